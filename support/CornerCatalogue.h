// SPDX-License-Identifier: MIT
// A catalogue made for the corners of both lists, each record saying what it
// shows: labels and category names of 16 bytes without NUL, records of other
// kinds and empty ones, lengths and dates at their edges, texts that need
// quoting, the handheld's own glyphs, programmes whose keys tie. The tests
// compare its CSV files with golden files; the fuzz target starts from it.
#pragma once

#include "PdbWriter.h"

namespace reelport {

PdbFile cornerTapes();
PdbFile cornerProgs();

}  // namespace reelport
