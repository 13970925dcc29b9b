// SPDX-License-Identifier: MIT
// The seed corpus of the fuzz target, written by the project's database
// writer: valid catalogues of several shapes, and one damaged catalogue for
// each fatal check and each identity refusal, so the fuzzer starts from
// every path through the reader and the exports.
#pragma once

#include "PdbWriter.h"

#include <string>
#include <vector>

namespace reelport::fuzz {

struct Seed {
    std::string name;      // file name in the corpus
    Bytes input;           // joined by joinInput
    std::string expected;  // "" a run that succeeds; else the fatal check's
                           // condition or the refusal's first line
};

std::vector<Seed> seeds();

}  // namespace reelport::fuzz
