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

#include "PdbWriter.h"
#include "csv/CsvEncoding.h"
#include "run/MemoryRun.h"

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

// What a run of the tool on the catalogue did, in-process: its ending, its
// messages and the CSV text written up to then (src/run/MemoryRun.h).
using Outcome = MemoryOutcome;

// Runs the tool's sequence on the catalogue in memory, both databases under
// their own names; as `reelport --salvage` when `salvage` is set, and with the
// CSV files in `encoding`.
Outcome runCatalogue(const CatalogueInput& catalogue, bool salvage = false,
                     CsvEncoding encoding = CsvEncoding::Palm);

// Why an outcome is not one the tool may end with, or "" when it is: a
// failure must carry one of the tool's own messages and statuses, and the CSV
// text must stay within a small multiple of the input's size.
std::string unexpectedOutcome(const Outcome& outcome, std::size_t inputSize);

// Why a salvage run's outcome is not one it may end with, given the default
// run's outcome on the same input, or "" when it is: it ends only where
// nothing can be salvaged, stays within the same bounds, and equals the
// default run wherever that converts the catalogue.
std::string unexpectedSalvage(const Outcome& strict, const Outcome& salvaged, std::size_t inputSize);

// Why a run with the CSV files in UTF-8 is not the same run as `palm`, the
// same catalogue's in the handheld's bytes, or "" when it is: the same ending,
// messages and rows, and CSV files that are valid UTF-8 and equal to the
// other run's converted byte by byte.
std::string unexpectedUtf8(const Outcome& palm, const Outcome& utf8);

// Whether `text` is well-formed UTF-8: no stray or missing continuation
// bytes, no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);

// The condition of a fatal-check line ("Assert failed: CONDITION (at FILE,
// line N)"), or nothing when the text is not such a line.
std::optional<std::string> fatalCheckCondition(const std::string& message);

}  // namespace reelport::fuzz
