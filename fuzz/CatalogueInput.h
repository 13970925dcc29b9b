// SPDX-License-Identifier: MIT
// One fuzz input holds a whole catalogue: both databases, so that the tape
// list, the programme list and the join between them are exercised at once.
//
// Layout of an input:
//    0  u32 (big-endian)  length N of the tape database
//    4  N bytes           "CinecaseTapes.PDB"
//  4+N  the rest          "CinecaseProgs.PDB"
// A length past the end of the input takes everything behind the prefix as
// the tape database; an input shorter than the prefix is a tape database of
// those bytes. Every byte string is therefore a valid input.
#pragma once

#include "Failure.h"
#include "PdbWriter.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace reelport::fuzz {

struct CatalogueInput {
    Bytes tapes;
    Bytes progs;
};

CatalogueInput splitInput(std::span<const std::uint8_t> input);
Bytes joinInput(const Bytes& tapes, const Bytes& progs);

// What a run of the tool on the catalogue did, in-process: the failure it
// ended with, if any, and the CSV text written up to then.
struct Outcome {
    std::optional<Failure> failure;
    std::string tapesCsv;
    std::string progsCsv;
    int tapeRows = -1;  // -1: that list was not finished
    int progRows = -1;
};

// Runs the tool's sequence on the catalogue in memory: reads the tape
// database, checks its identity, writes the tape list, then the same for the
// programme database and the programme list.
Outcome runCatalogue(const CatalogueInput& catalogue);

// Why an outcome is not one the tool may end with, or "" when it is: a
// failure must carry one of the tool's own messages and statuses, and the CSV
// text must stay within a small multiple of the input's size.
std::string unexpectedOutcome(const Outcome& outcome, std::size_t inputSize);

// The condition of a fatal-check line ("Assert failed: CONDITION (at FILE,
// line N)"), or nothing when the text is not such a line.
std::optional<std::string> fatalCheckCondition(const std::string& message);

}  // namespace reelport::fuzz
