// SPDX-License-Identifier: MIT
// Synthetic Cinecase catalogues of a chosen size and shape, for the benchmark
// and its micro-benchmarks. Every catalogue is a pure function of its shape:
// the same shape gives the same bytes on every machine, so the checksums of
// the converted CSV files can be compared between builds and between runs.
#pragma once

#include "PdbWriter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace reelport::bench {

// Where the programmes lie.
enum class Placement {
    Spread,    // each on a tape drawn at random: some tapes hold several, some none
    Distinct,  // programme i on tape i: every programme on a tape of its own
};

// The order of the records in the two files.
enum class RecordOrder {
    Entered,     // as typed in on the handheld: tapes by rising unique ID, programmes
                 // roughly tape by tape, each a few places away from its neighbours
    Random,      // both files shuffled
    Descending,  // tapes by falling unique ID, programmes by falling tape ID
    ByTape,      // tapes as entered, programmes sorted by tape ID and their order on
                 // the tape: the order the programme list is written in
};

struct Shape {
    std::uint32_t tapes = 0;       // at most 65535, the records a database can count
    std::uint32_t progs = 0;       // at most 65535
    std::uint32_t titleLength = 0; // mean title length in bytes; lengths run from half to 1.5 times
    std::uint32_t noteLength = 0;  // mean note length of the notes that are not empty
    Placement placement = Placement::Spread;
    RecordOrder order = RecordOrder::Entered;
    std::uint64_t seed = 1;
};

// The named shapes:
//   "typical"   65535 tapes and 65535 programmes spread over them, titles and
//               notes of everyday length, records in the order they were entered;
//   "scattered" 65535 tapes and 65535 programmes, each on a different tape, the
//               programmes stored by falling tape ID and the tapes by falling
//               unique ID: the worst order for finding tapes and for sorting;
//   "random"    65535 tapes stored in random unique-ID order and 65535
//               programmes each on a random tape, stored in random order, as
//               in a catalogue kept for years: the join then reads the
//               programme records in a random walk through the file;
//   "tape-order" the tapes and programmes of "typical", the programmes stored
//               sorted by tape ID and then by their order on the tape, the
//               order the programme list is written in: the join reads the
//               records from the front of the file to its end;
//   "small"     the size of the bundled sample: 12 tapes, 40 programmes.
std::optional<Shape> namedShape(std::string_view name);

struct Catalogue {
    Bytes tapesDatabase;
    Bytes progsDatabase;
};

// Builds both databases; throws std::invalid_argument for counts a database cannot hold.
Catalogue makeCatalogue(const Shape& shape);

}  // namespace reelport::bench
