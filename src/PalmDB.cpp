// SPDX-License-Identifier: MIT
#include "PalmDB.h"

#include "Failure.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>

#ifndef _WIN32
#include <dirent.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace reelport {

namespace {

constexpr std::size_t kHeaderSize = 80;
constexpr std::size_t kRecordListStart = 78;
constexpr std::size_t kEntrySize = 8;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

#ifndef _WIN32
bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}
#endif

// Backups copied through other systems often come back as "cinecasetapes.pdb"
// or "CINECASETAPES.PDB". Finds such a file beside the missing `path`: the
// first name in byte order that matches ignoring ASCII case.
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
    std::optional<std::string> best;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (equalIgnoringAsciiCase(name, wanted) && (!best || name < *best)) best = std::string(name);
    }
    if (!best) return std::nullopt;
    return path.substr(0, slash == std::string::npos ? 0 : slash + 1) + *best;
#endif
}

// Opens `path` for reading, or its case-insensitive namesake; `path` is
// updated to the file actually opened.
InputFile openInput(std::string& path) {
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) return InputFile(file);
    const int error = errno;
    if (error == ENOENT) {
        if (auto namesake = findIgnoringCase(path)) {
            path = std::move(*namesake);
            if (std::FILE* file = std::fopen(path.c_str(), "rb")) return InputFile(file);
            fileFailure(path, errno);
        }
    }
    fileFailure(path, error);
}

// A file's bytes in memory, and what keeps them there.
struct FileImage {
    std::span<const std::uint8_t> bytes;
    std::shared_ptr<const void> owner;
};

FileImage heapImage(std::vector<std::uint8_t> bytes) {
    auto owner = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    return {std::span<const std::uint8_t>(*owner), owner};
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

FileImage readWholeFile(std::string& path) {
    const InputFile file = openInput(path);
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0) fileFailure(path, errno);
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

PdbHeader decodeHeader(std::span<const std::uint8_t> bytes) {
    PdbHeader header;
    std::copy_n(bytes.begin(), header.name.size(), header.name.begin());
    header.attributes = be16(bytes, 32);
    header.version = be16(bytes, 34);
    header.creationDate = be32(bytes, 36);
    header.modificationDate = be32(bytes, 40);
    header.lastBackupDate = be32(bytes, 44);
    header.modificationNumber = be32(bytes, 48);
    header.appInfoOffset = be32(bytes, 52);
    header.sortInfoOffset = be32(bytes, 56);
    header.type = be32(bytes, 60);
    header.creator = be32(bytes, 64);
    header.uniqueIdSeed = be32(bytes, 68);
    header.nextRecordListId = be32(bytes, 72);
    header.numRecords = be16(bytes, 76);
    header.trailing = be16(bytes, 78);
    return header;
}

// The bytes from `start` up to `end` (end >= start), or nothing when they run
// past the end of the file. An empty range passes wherever it lies.
std::optional<std::span<const std::uint8_t>> bytesBetween(std::span<const std::uint8_t> file,
                                                          std::uint64_t start, std::uint64_t end) {
    if (start == end) return std::span<const std::uint8_t>();
    if (end > file.size()) return std::nullopt;
    return file.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

}  // namespace

void PalmDB::read(const std::string& path) {
    std::string usedPath = path;
    FileImage image = readWholeFile(usedPath);
    path_ = std::move(usedPath);
    image_ = image.bytes;
    imageOwner_ = std::move(image.owner);
    parse();
}

void PalmDB::load(std::vector<std::uint8_t> image, std::string path) {
    FileImage onHeap = heapImage(std::move(image));
    path_ = std::move(path);
    image_ = onHeap.bytes;
    imageOwner_ = std::move(onHeap.owner);
    parse();
}

void PalmDB::parse() {
    entries_.clear();
    appInfo_ = {};
    sortInfo_ = {};

    const std::span<const std::uint8_t> file = image_;
    const std::uint64_t fileLength = file.size();
    if (fileLength < kHeaderSize) fatalCheck("short header read");
    header_ = decodeHeader(file.first(kHeaderSize));
    std::uint64_t position = kHeaderSize;
    if (header_.nextRecordListId != 0) fatalCheck("Cannot parse chained record lists");

    // Where the area before the records ends: the first record, or the end of
    // the file when there are none.
    std::uint64_t recordsStart = fileLength;
    const std::size_t recordCount = header_.numRecords;
    if (recordCount > 0) {
        position = kRecordListStart;
        // No more entries than the file can hold, whatever the count claims.
        entries_.reserve(std::min<std::size_t>(recordCount, (fileLength - kRecordListStart) / kEntrySize));
        for (std::size_t i = 0; i < recordCount; ++i) {
            if (fileLength - position < kEntrySize) fatalCheck("short record entry read");
            const auto bytes = file.subspan(static_cast<std::size_t>(position), kEntrySize);
            RecordEntry& entry = entries_.emplace_back();
            entry.offset = be32(bytes, 0);
            entry.attributes = bytes[4];
            std::copy_n(bytes.begin() + 5, entry.uniqueId.size(), entry.uniqueId.begin());
            position += kEntrySize;
        }
        recordsStart = entries_.front().offset;
    }

    if (header_.appInfoOffset != 0) {
        if (position > header_.appInfoOffset) fatalCheck("missed appinfo position");
        position = header_.appInfoOffset;
        const bool endsAtSortInfo = header_.sortInfoOffset != 0;
        const std::uint64_t end = endsAtSortInfo ? header_.sortInfoOffset : recordsStart;
        if (end < position) {
            // The block would end before it starts: the part behind it starts too early.
            if (endsAtSortInfo) fatalCheck("missed sortinfo position");
            if (recordCount > 0) fatalCheck("missed first record position");
            fatalCheck("short appinfo read");  // no records: the block starts past the end of the file
        }
        const auto block = bytesBetween(file, position, end);
        if (!block) fatalCheck("short appinfo read");
        appInfo_ = *block;
        position = end;
    }

    if (header_.sortInfoOffset != 0) {
        if (position > header_.sortInfoOffset) fatalCheck("missed sortinfo position");
        position = header_.sortInfoOffset;
        const std::uint64_t end = recordsStart;
        if (end < position) {
            if (recordCount > 0) fatalCheck("missed first record position");
            fatalCheck("short sortinfo read");
        }
        const auto block = bytesBetween(file, position, end);
        if (!block) fatalCheck("short sortinfo read");
        sortInfo_ = *block;
        position = end;
    }

    if (recordCount == 0) return;

    // This one position check compares signed 32-bit numbers, so a first
    // record claimed at or beyond 2 GiB is refused here.
    if (static_cast<std::int32_t>(static_cast<std::uint32_t>(position)) >
        static_cast<std::int32_t>(static_cast<std::uint32_t>(recordsStart))) {
        fatalCheck("missed first record position");
    }
    position = recordsStart;

    for (std::size_t i = 0; i < recordCount; ++i) {
        RecordEntry& entry = entries_[i];
        if (position != entry.offset) fatalCheck("record position mismatch");
        const bool last = i + 1 == recordCount;
        const std::uint64_t end = last ? fileLength : entries_[i + 1].offset;
        if (end < position) {
            if (!last) fatalCheck("record position mismatch");
            fatalCheck("short data read");  // the last record starts past the end of the file
        }
        const auto data = bytesBetween(file, position, end);
        if (!data) fatalCheck("short data read");
        entry.data = *data;
        position = end;
    }
}

}  // namespace reelport
