// SPDX-License-Identifier: MIT
#include "Files.h"

#include "Failure.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string_view>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max, not the macros
#endif
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#endif

namespace reelport {

namespace {

using InputFile = std::unique_ptr<std::FILE, FileCloser>;

// Finds a file beside the missing `path` whose name differs only in ASCII case.
std::optional<std::string> findIgnoringCase(const std::string& path) {
#ifdef _WIN32
    (void)path;  // the file system already ignores case
    return std::nullopt;
#else
    const auto slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string_view wanted = std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
    if (!dir) return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir.get())) names.emplace_back(entry->d_name);
    const std::optional<std::size_t> found = findByName(names, wanted);
    if (!found) return std::nullopt;
    return path.substr(0, slash == std::string::npos ? 0 : slash + 1) + names[*found];
#endif
}

// The path a database named `path` is read from: `path` itself when the
// directory has an entry of that name, whatever it is (a dangling link too,
// whose open then fails); else its case-insensitive namesake, when there is one.
std::string pathToRead(const std::string& path) {
#ifndef _WIN32
    struct stat entry {};
    if (lstat(path.c_str(), &entry) == 0 || errno != ENOENT) return path;
#endif
    return findIgnoringCase(path).value_or(path);
}

#ifdef _WIN32
std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::string toUtf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}
#endif

// Whether both paths name one existing file: the same device and inode, or
// on Windows the same volume and file index. A link, symbolic or hard, is the
// file it leads to.
bool sameFile(const std::string& first, const std::string& second) {
#ifdef _WIN32
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
#else
    struct stat one {};
    struct stat other {};
    return stat(first.c_str(), &one) == 0 && stat(second.c_str(), &other) == 0 && one.st_dev == other.st_dev &&
           one.st_ino == other.st_ino;
#endif
}

// Opens `path` with the C library's `mode`.
std::FILE* openFile(const std::string& path, const char* mode) {
#ifdef _WIN32
    return _wfopen(widen(path).c_str(), widen(mode).c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

// Opens `path` for reading without waiting: a named pipe with no writer would
// otherwise hold the open forever. No read waits either, as nothing but a
// regular file is read.
InputFile openInput(const std::string& path) {
#ifdef _WIN32
    std::FILE* file = openFile(path, "rb");
#else
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    std::FILE* file = descriptor < 0 ? nullptr : fdopen(descriptor, "rb");
    if (descriptor >= 0 && file == nullptr) {
        const int error = errno;
        close(descriptor);
        errno = error;
    }
#endif
    if (file == nullptr) fileFailure(path, errno);
    return InputFile(file);
}

#ifdef __linux__
// Maps a regular file read-only into memory, all its pages at once. For a
// database of 65535 records this takes a third off the run time against
// reading it into fresh memory: the file's pages in the page cache are used as
// they are, none is cleared, faulted in one by one or copied. Nothing when the
// system cannot map the file, or when not every page could be read in (a
// failing medium): the caller then reads the file, and a read error shows as a
// short read instead of a SIGBUS on first touch. (A file cut short by another
// program while the tool runs still ends it with SIGBUS, as with every mapped
// file.)
std::optional<FileImage> mappedImage(std::FILE* file, std::size_t length) {
    if (length == 0) return std::nullopt;  // nothing to map
    void* const address = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fileno(file), 0);
    if (address == MAP_FAILED) return std::nullopt;
    const std::shared_ptr<const void> owner(
        address, [length](const void* mapped) { munmap(const_cast<void*>(mapped), length); });
    const auto pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident((length + pageSize - 1) / pageSize);
    if (mincore(address, length, resident.data()) != 0 ||
        !std::all_of(resident.begin(), resident.end(), [](unsigned char page) { return (page & 1) != 0; })) {
        return std::nullopt;
    }
    return FileImage{{static_cast<const std::uint8_t*>(address), length}, owner};
}
#endif

}  // namespace

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

bool isRegularFile(const std::string& path) {
#ifdef _WIN32
    struct _stat64 info {};
    return _wstat64(widen(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
#else
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
#endif
}

std::optional<std::size_t> findByName(std::span<const std::string> names, std::string_view wanted) {
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == wanted) return i;
        if (equalIgnoringAsciiCase(names[i], wanted) && (!found || names[i] < names[*found])) found = i;
    }
    return found;
}

FileImage heapImage(std::vector<std::uint8_t> bytes) {
    auto owner = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    return {std::span<const std::uint8_t>(*owner), owner};
}

FileImage readWholeFile(std::string& path) {
    path = pathToRead(path);
    const InputFile file = openInput(path);
#ifdef _WIN32
    struct _stat64 info {};  // the plain one holds the size in 32 bits
    if (_fstat64(fileno(file.get()), &info) != 0) fileFailure(path, errno);
#else
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0) fileFailure(path, errno);
#endif
    // Some C libraries open a directory for reading; it is never read as a database.
    if (S_ISDIR(info.st_mode)) fileFailure(path, EISDIR);
    // Only a regular file has a length; anything else reads as empty and is
    // refused as too short, so a device can never make the read endless.
    const auto length = S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) : 0;
#ifdef __linux__
    if (auto mapped = mappedImage(file.get(), length)) return std::move(*mapped);
#endif
    std::vector<std::uint8_t> image(length);
    image.resize(std::fread(image.data(), 1, image.size(), file.get()));
    return heapImage(std::move(image));
}

OutputFile createOutputFile(const std::string& path) {
    OutputFile file(openFile(path, "wb"));
    if (!file) fileFailure(path, errno);
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    return file;
}

void refuseToReplaceInput(const std::string& outputPath, const std::string& inputPath) {
    const std::string database = pathToRead(inputPath);
    if (sameFile(outputPath, database)) {
        refuse(outputPath + ": is the same file as " + database + "\n");
    }
}

void Console::write(std::string_view text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stream_) == text.size() && std::fflush(stream_) == 0) return;
    if (error_ == 0) error_ = errno != 0 ? errno : EIO;
}

#ifdef _WIN32
std::vector<std::string> utf8Arguments(int argc, const wchar_t* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(toUtf8(argv[i]));
    return arguments;
}

Utf8Console::Utf8Console() {
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) || GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode)) {
        previousCodePage_ = GetConsoleOutputCP();
        SetConsoleOutputCP(CP_UTF8);
    }
}

Utf8Console::~Utf8Console() {
    if (previousCodePage_ != 0) SetConsoleOutputCP(previousCodePage_);
}
#endif

}  // namespace reelport
