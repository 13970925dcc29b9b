// SPDX-License-Identifier: MIT
#include "xlsx/Workbook.h"

#include "base/Failure.h"
#include "platform/Console.h"

#include <cerrno>
#include <new>

namespace reelport {

namespace {

lxw_format* numberFormat(const XlsxLibrary& library, lxw_workbook* workbook, const char* pattern) {
    lxw_format* format = library.addFormat(workbook);
    if (format == nullptr) throw std::bad_alloc();
    library.setNumberFormat(format, pattern);
    return format;
}

}  // namespace

Workbook::Workbook(const std::string& file, std::string path, const std::string& temporaryFolder,
                   std::time_t created)
    : path_(std::move(path)), library_(xlsxLibrary(path_)), workbook_(nullptr, Free{library_.free}) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    std::string folder = temporaryFolder;
    options.tmpdir = folder.empty() ? nullptr : folder.data();
    workbook_.reset(library_.workbookNew(file.c_str(), &options));
    if (!workbook_) throw std::bad_alloc();
    bold_ = library_.addFormat(workbook_.get());
    if (bold_ == nullptr) throw std::bad_alloc();
    library_.setBold(bold_);
    whole_ = numberFormat(library_, workbook_.get(), "0");
    duration_ = numberFormat(library_, workbook_.get(), "[h]:mm");
    date_ = numberFormat(library_, workbook_.get(), "yyyy-mm-dd");
    lxw_doc_properties properties{};
    properties.created = created;
    check(library_.setProperties(workbook_.get(), &properties));
}

lxw_worksheet* Workbook::addSheet(const char* name) {
    lxw_worksheet* sheet = nullptr;
    {
        // The library writes its own line to standard error on a failure, which has ours.
        const SilencedStandardError silenced;
        errno = 0;
        sheet = library_.addWorksheet(workbook_.get(), name);
    }
    // Each sheet of a constant-memory workbook takes a temporary file at once.
    if (sheet == nullptr) cannotWrite(path_, errno);
    return sheet;
}

void Workbook::close() {
    lxw_error error = LXW_NO_ERROR;
    {
        const SilencedStandardError silenced;
        errno = 0;
        error = library_.close(workbook_.release());
    }
    check(error);
}

void Workbook::check(lxw_error error) const {
    switch (error) {
    case LXW_NO_ERROR:
        return;
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        throw std::bad_alloc();
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        // A file the system would not create or write: its error number says why.
        if (errno != 0) cannotWrite(path_, errno);
        break;
    default:
        break;
    }
    refuse(FailureKind::OutputUnwritable, path_ + ": " + library_.errorText(error) + "\n", path_);
}

}  // namespace reelport
