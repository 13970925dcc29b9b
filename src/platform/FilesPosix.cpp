// SPDX-License-Identifier: MIT
// Files on POSIX systems (Linux, and the web page's emscripten, which reads
// nothing from files). Names are bytes, compared as they are: a case variant
// is looked for in the directory listing.
#include "platform/Files.h"

#include "base/Failure.h"
#include "base/LargeBlocks.h"
#include "platform/FileSink.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace reelport {

namespace {

// Finds a file beside the missing `path` whose name differs only in ASCII case.
std::optional<std::string> findIgnoringCase(const std::string& path) {
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
}

// Opens `path` for reading without waiting: a named pipe with no writer would
// otherwise hold the open forever. No read waits either, as nothing but a
// regular file is read.
OpenFile openInput(const std::string& path) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    std::FILE* file = descriptor < 0 ? nullptr : fdopen(descriptor, "rb");
    if (descriptor >= 0 && file == nullptr) {
        const int error = errno;
        close(descriptor);
        errno = error;
    }
    if (file == nullptr) cannotRead(path, errno);
    return OpenFile(file);
}

#ifdef __linux__
// Reads a regular file of kHugePageImageFrom bytes or more into memory backed
// by huge pages (base/LargeBlocks.h): the system copies it out of the page
// cache, and the tool's reads then walk a few huge pages. Mapping the file
// instead makes each 4 KiB page of it a page of the tool's own, and on a
// virtual machine the first touch of each costs microseconds, the page tables
// filled in or not: for the largest catalogue, reading took 3 ms less than
// mapping. Nothing when the file cannot be read whole (it was cut short
// meanwhile, or the medium fails): the caller reads it again from its start.
constexpr std::size_t kHugePageImageFrom = std::size_t{256} << 10;
[[maybe_unused]] std::optional<FileImage> hugePageImage(std::FILE* file, std::size_t length) {
    std::uint8_t* const block = LargeBlockAllocator<std::uint8_t>().allocate(length);
    const std::shared_ptr<const void> owner(block, [length](const void* bytes) {
        LargeBlockAllocator<std::uint8_t>().deallocate(static_cast<std::uint8_t*>(const_cast<void*>(bytes)), length);
    });
    for (std::size_t done = 0; done < length;) {
        const ssize_t got = read(fileno(file), block + done, length - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        done += static_cast<std::size_t>(got);
    }
    return FileImage{{block, length}, owner};
}

// Maps a regular file read-only into memory, all its pages at once (a build
// with REELPORT_MAP_DATABASES; see above): the file's pages in the page cache
// are used as they are. Nothing when the system cannot map the file, or when
// not every page could be read in (a failing medium): the caller then reads
// the file, and a read error shows as a short read instead of a SIGBUS on
// first touch. (A file cut short by another program while the tool runs still
// ends it with SIGBUS, as with every mapped file.)
[[maybe_unused]] std::optional<FileImage> mappedImage(std::FILE* file, std::size_t length) {
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

std::string pathToRead(const std::string& path) {
    struct stat entry {};
    if (lstat(path.c_str(), &entry) == 0 || errno != ENOENT) return path;
    return findIgnoringCase(path).value_or(path);
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool sameFile(const std::string& first, const std::string& second) {
    struct stat one {};
    struct stat other {};
    return stat(first.c_str(), &one) == 0 && stat(second.c_str(), &other) == 0 && one.st_dev == other.st_dev &&
           one.st_ino == other.st_ino;
}

FileImage readWholeFile(const std::string& path) {
    const OpenFile file = openInput(path);
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0) cannotRead(path, errno);
    // Some C libraries open a directory for reading; it is never read as a database.
    if (S_ISDIR(info.st_mode)) cannotRead(path, EISDIR);
    // Only a regular file has a length; anything else reads as empty and is
    // refused as too short, so a device can never make the read endless.
    const auto length = S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) : 0;
#if defined(__linux__) && defined(REELPORT_MAP_DATABASES)
    if (auto mapped = mappedImage(file.get(), length)) return std::move(*mapped);
#elif defined(__linux__)
    if (length >= kHugePageImageFrom) {
        if (auto image = hugePageImage(file.get(), length)) return std::move(*image);
        if (std::fseek(file.get(), 0, SEEK_SET) != 0) cannotRead(path, errno);
    }
#endif
    std::vector<std::uint8_t> image(length);
    image.resize(std::fread(image.data(), 1, image.size(), file.get()));
    return heapImage(std::move(image));
}

std::string createScratchFile(const std::string& folder, const std::string& nameForMessages) {
    std::string path = (folder.empty() ? std::string(P_tmpdir) : folder) + "/.reelport-XXXXXX";
    const int descriptor = mkstemp(path.data());
    if (descriptor < 0) cannotWrite(nameForMessages, errno);
#ifndef __EMSCRIPTEN__  // whose umask is a stub that would leave no permission at all
    // mkstemp makes a file only its owner may read; the output gets what
    // every file the user creates gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, 0666 & ~mask);
#endif
    close(descriptor);
    return path;
}

void renameReplacing(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) cannotWrite(to, errno);
}

void removeFile(const std::string& path) noexcept { std::remove(path.c_str()); }

std::string libraryName(const std::string& path) { return path; }
std::string libraryFolder(const std::string& folder) { return folder; }

InFolder::InFolder(const std::string&, const std::string&) {}
InFolder::~InFolder() = default;

std::unique_ptr<ByteSink> createOutputFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) cannotWrite(path, errno);
    return std::make_unique<FileSink>(file, path);
}

}  // namespace reelport
