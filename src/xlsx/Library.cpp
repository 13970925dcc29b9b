// SPDX-License-Identifier: MIT
#include "xlsx/Library.h"

#include "base/Failure.h"

#include <string>

#ifdef REELPORT_XLSXWRITER_DLOPEN
#include <dlfcn.h>
#endif

namespace reelport {

namespace {

#ifdef REELPORT_XLSXWRITER_DLOPEN
// The soname of Debian's libxlsxwriter 1.1.4 (package libxlsxwriter4).
constexpr const char* kSoname = "libxlsxwriter.so.4";

template <typename Function>
void find(void* library, const char* name, Function& function, std::string& missing) {
    if (void* symbol = dlsym(library, name)) {
        function = reinterpret_cast<Function>(symbol);
    } else {
        missing = name;
    }
}

// The loaded library, unloaded when the program ends (after every workbook
// is closed), so that the loader's own records of it are freed as well.
class LoadedLibrary {
public:
    LoadedLibrary() : handle_(dlopen(kSoname, RTLD_NOW | RTLD_LOCAL)) {}
    ~LoadedLibrary() {
        if (handle_ != nullptr) dlclose(handle_);
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    void* handle() const { return handle_; }

private:
    void* handle_;
};

XlsxLibrary load(std::string& problem) {
    XlsxLibrary library{};
    // Loaded once, for the rest of the run.
    static const LoadedLibrary loaded;
    void* handle = loaded.handle();
    if (handle == nullptr) {
        const char* error = dlerror();
        problem = error != nullptr ? error : kSoname;
        return library;
    }
    std::string missing;
    find(handle, "workbook_new_opt", library.workbookNew, missing);
    find(handle, "workbook_add_format", library.addFormat, missing);
    find(handle, "format_set_bold", library.setBold, missing);
    find(handle, "format_set_num_format", library.setNumberFormat, missing);
    find(handle, "workbook_set_properties", library.setProperties, missing);
    find(handle, "workbook_add_worksheet", library.addWorksheet, missing);
    find(handle, "workbook_close", library.close, missing);
    find(handle, "lxw_workbook_free", library.free, missing);
    find(handle, "lxw_strerror", library.errorText, missing);
    find(handle, "worksheet_set_column", library.setColumn, missing);
    find(handle, "worksheet_write_string", library.writeString, missing);
    find(handle, "worksheet_write_number", library.writeNumber, missing);
    find(handle, "worksheet_write_datetime", library.writeDatetime, missing);
    find(handle, "worksheet_freeze_panes", library.freezePanes, missing);
    find(handle, "worksheet_autofilter", library.autofilter, missing);
    if (!missing.empty()) problem = std::string(kSoname) + " has no " + missing;
    return library;
}
#endif

}  // namespace

const XlsxLibrary& xlsxLibrary(const std::string& path) {
#ifdef REELPORT_XLSXWRITER_DLOPEN
    static std::string problem;
    static const XlsxLibrary library = load(problem);
    if (!problem.empty()) {
        refuse(FailureKind::OutputUnwritable,
               path + ": the library that writes workbooks cannot be loaded (" + problem +
                   "); install libxlsxwriter4\n",
               path);
    }
    return library;
#else
    (void)path;
    static constexpr XlsxLibrary library{
        workbook_new_opt,       workbook_add_format,    format_set_bold,         format_set_num_format,
        workbook_set_properties, workbook_add_worksheet, workbook_close,         lxw_workbook_free,
        lxw_strerror,           worksheet_set_column,   worksheet_write_string,  worksheet_write_number,
        worksheet_write_datetime, worksheet_freeze_panes, worksheet_autofilter,
    };
    return library;
#endif
}

}  // namespace reelport
