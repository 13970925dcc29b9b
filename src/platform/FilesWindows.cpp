// SPDX-License-Identifier: MIT
// Files on Windows. Names are UTF-16 there: the tool's UTF-8 names are
// converted for every call, so a name in any script is reached. The file
// system ignores case itself, so no case variant is looked for.
#include "platform/Files.h"

#include "base/Failure.h"
#include "platform/FileSink.h"

#include <sys/stat.h>

#include <cerrno>
#include <cwchar>
#include <random>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max, not the macros
#endif
#include <windows.h>

namespace reelport {

namespace {

// The tool's own names are well-formed UTF-8: they come from utf8FromWide.
std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::optional<std::string> toUtf8(std::wstring_view wide, DWORD flags) {
    if (wide.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size == 0) return std::nullopt;
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, flags, wide.data(), static_cast<int>(wide.size()), utf8.data(), size, nullptr,
                        nullptr);
    return utf8;
}

std::FILE* openFile(const std::string& path, const wchar_t* mode) { return _wfopen(widen(path).c_str(), mode); }

}  // namespace

std::optional<std::string> utf8FromWide(std::wstring_view wide) { return toUtf8(wide, WC_ERR_INVALID_CHARS); }

std::string displayFromWide(std::wstring_view wide) { return toUtf8(wide, 0).value_or(std::string()); }

std::string pathToRead(const std::string& path) { return path; }

bool isRegularFile(const std::string& path) {
    struct _stat64 info {};
    return _wstat64(widen(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool sameFile(const std::string& first, const std::string& second) {
    const auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        const HANDLE handle = CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return false;
        const bool known = GetFileInformationByHandle(handle, &info) != 0;
        CloseHandle(handle);
        return known;
    };
    BY_HANDLE_FILE_INFORMATION one{};
    BY_HANDLE_FILE_INFORMATION other{};
    return identify(first, one) && identify(second, other) && one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

FileImage readWholeFile(const std::string& path) {
    const OpenFile file(openFile(path, L"rb"));
    if (!file) cannotRead(path, errno);
    struct _stat64 info {};  // the plain one holds the size in 32 bits
    if (_fstat64(fileno(file.get()), &info) != 0) cannotRead(path, errno);
    if (S_ISDIR(info.st_mode)) cannotRead(path, EISDIR);
    // Only a regular file has a length; anything else reads as empty.
    const auto length = S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) : 0;
    std::vector<std::uint8_t> image(length);
    image.resize(std::fread(image.data(), 1, image.size(), file.get()));
    return heapImage(std::move(image));
}

std::string createScratchFile(const std::string& folder, const std::string& nameForMessages) {
    std::wstring directory = widen(folder);
    if (directory.empty()) {
        wchar_t temporary[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
        directory.assign(temporary, length);
    }
    // A bare drive "D:" names that drive's current folder: nothing goes between.
    const bool bareDrive = directory.size() == 2 && directory[1] == L':';
    if (directory.back() != L'\\' && directory.back() != L'/' && !bareDrive) directory += L'\\';
    // A name of its own, made here rather than by GetTempFileNameW, which
    // takes no folder deeper than MAX_PATH (and Wine's writes past its buffer).
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t name[16];
        std::swprintf(name, 16, L"rlp%08x.tmp", static_cast<unsigned>(random()));
        const std::wstring path = directory + name;
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return *utf8FromWide(path);
        }
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    cannotWrite(nameForMessages, GetLastError() == ERROR_FILENAME_EXCED_RANGE ? ENAMETOOLONG : EACCES);
}

void renameReplacing(const std::string& from, const std::string& to) {
    if (MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return;
    // A file another program holds open (a workbook in Excel) cannot be replaced.
    const DWORD error = GetLastError();
    cannotWrite(to, error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? EACCES : EIO);
}

void removeFile(const std::string& path) noexcept { DeleteFileW(widen(path).c_str()); }

std::string libraryName(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }
std::string libraryFolder(const std::string&) { return "."; }

InFolder::InFolder(const std::string& folder, const std::string& nameForMessages) {
    const DWORD length = GetCurrentDirectoryW(0, nullptr);
    previous_.resize(length);
    previous_.resize(GetCurrentDirectoryW(length, previous_.data()));
    // A folder the working directory cannot be (deeper than Windows allows
    // it to be) would leave the library's bare names in another folder.
    if (!SetCurrentDirectoryW(widen(folder).c_str())) cannotWrite(nameForMessages, ENAMETOOLONG);
}

InFolder::~InFolder() { SetCurrentDirectoryW(previous_.c_str()); }

std::unique_ptr<ByteSink> createOutputFile(const std::string& path) {
    std::FILE* file = openFile(path, L"wb");
    if (file == nullptr) cannotWrite(path, errno);
    return std::make_unique<FileSink>(file, path);
}

}  // namespace reelport
