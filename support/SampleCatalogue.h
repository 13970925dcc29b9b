// SPDX-License-Identifier: MIT
// The sample catalogue bundled in examples/sample: a small collection of
// tapes and programmes that shows every feature of the two CSV files.
#pragma once

#include "PdbWriter.h"

namespace reelport {

Bytes sampleTapesDatabase();
Bytes sampleProgsDatabase();

}  // namespace reelport
