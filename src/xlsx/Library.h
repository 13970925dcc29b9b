// SPDX-License-Identifier: MIT
// The calls into libxlsxwriter, through one table.
//
// On Linux the library is Debian's shared one, and it brings OpenSSL's
// libcrypto with it: loaded with the program, the two took some 4 ms of
// every run's start, conversions to CSV included, which never use them. So
// there the library is loaded when the first workbook is begun (dlopen),
// and a CSV run never pays for it. The Windows program and the web page
// link their own static copy, and the table points straight into it.
#pragma once

#include <xlsxwriter.h>

#include <string>

namespace reelport {

struct XlsxLibrary {
    decltype(&workbook_new_opt) workbookNew;
    decltype(&workbook_add_format) addFormat;
    decltype(&format_set_bold) setBold;
    decltype(&format_set_num_format) setNumberFormat;
    decltype(&workbook_set_properties) setProperties;
    decltype(&workbook_add_worksheet) addWorksheet;
    decltype(&workbook_close) close;
    decltype(&lxw_workbook_free) free;
    decltype(&lxw_strerror) errorText;
    decltype(&worksheet_set_column) setColumn;
    decltype(&worksheet_write_string) writeString;
    decltype(&worksheet_write_number) writeNumber;
    decltype(&worksheet_write_datetime) writeDatetime;
    decltype(&worksheet_freeze_panes) freezePanes;
    decltype(&worksheet_autofilter) autofilter;
};

// The library, loaded on the first call; a library that cannot be loaded
// ends the run naming the workbook at `path`.
const XlsxLibrary& xlsxLibrary(const std::string& path);

}  // namespace reelport
