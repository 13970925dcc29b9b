// SPDX-License-Identifier: MIT
// An Excel workbook (.xlsx: XML files in a zip container), written by
// libxlsxwriter in its constant-memory mode: each row goes to a temporary
// file as soon as the next one starts, so the largest catalogue takes a few
// MiB, not a hundred. The library opens its files by narrow names, and
// workbook_close writes the whole file at once.
#pragma once

#include "xlsx/Library.h"

#include <xlsxwriter.h>

#include <ctime>
#include <memory>
#include <string>

namespace reelport {

class Workbook {
public:
    // A workbook that closes into the file `file`, named `path` in messages,
    // its temporary files in `temporaryFolder` (empty: the system's). Its
    // creation time is `created`, never the clock's, so the same catalogue
    // gives the same bytes every time.
    Workbook(const std::string& file, std::string path, const std::string& temporaryFolder, std::time_t created);

    // Adds a sheet; the sheets come in the order added.
    lxw_worksheet* addSheet(const char* name);
    // Writes the file. The workbook is gone afterwards, whatever happened.
    void close();
    // Ends the run when `error` is one: the workbook cannot be written.
    void check(lxw_error error) const;

    // The library's calls, for the cells of the workbook's sheets.
    const XlsxLibrary& library() const { return library_; }

    lxw_format* bold() const { return bold_; }
    lxw_format* whole() const { return whole_; }        // numbers without decimals: "0"
    lxw_format* duration() const { return duration_; }  // hours and minutes: "[h]:mm"
    lxw_format* date() const { return date_; }          // "yyyy-mm-dd"

private:
    struct Free {
        decltype(&lxw_workbook_free) free;
        void operator()(lxw_workbook* workbook) const { free(workbook); }
    };
    std::string path_;
    const XlsxLibrary& library_;
    std::unique_ptr<lxw_workbook, Free> workbook_;
    lxw_format* bold_ = nullptr;
    lxw_format* whole_ = nullptr;
    lxw_format* duration_ = nullptr;
    lxw_format* date_ = nullptr;
};

}  // namespace reelport
