// SPDX-License-Identifier: MIT
// What a run is asked to do, by the command line's options or the web page's controls.
#pragma once

#include "csv/CsvEncoding.h"

namespace reelport {

struct RunOptions {
    // Damage is salvaged and reported instead of ending the run (--salvage).
    bool salvage = false;
    // The CSV files' character set (--utf8 for UTF-8).
    CsvEncoding encoding = CsvEncoding::Palm;
    // One workbook instead of the two CSV files (--xlsx); its texts are Unicode.
    bool workbook = false;
};

}  // namespace reelport
