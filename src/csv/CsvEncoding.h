// SPDX-License-Identifier: MIT
#pragma once

namespace reelport {

// How the CSV files are written.
enum class CsvEncoding {
    Palm,  // the handheld's bytes as they are (catalogue/PalmLatin.h)
    Utf8,  // each byte converted to UTF-8, without a byte order mark
};

}  // namespace reelport
