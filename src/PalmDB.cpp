// SPDX-License-Identifier: MIT
#include "PalmDB.h"

#include "Failure.h"
#include "Files.h"

#include <algorithm>
#include <optional>

namespace reelport {

namespace {

constexpr std::size_t kHeaderSize = 80;
constexpr std::size_t kRecordListStart = 78;
constexpr std::size_t kEntrySize = PalmDB::kEntrySize;

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
    recordList_ = {};
    recordCount_ = 0;
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
        // The entries are used where they lie; every one must be in the file.
        const std::uint64_t listEnd = kRecordListStart + std::uint64_t{kEntrySize} * recordCount;
        if (listEnd > fileLength) fatalCheck("short record entry read");
        recordList_ = file.subspan(kRecordListStart, kEntrySize * recordCount);
        position = listEnd;
        recordsStart = be32(recordList_.data());
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

    // Each record must start where the one before it ends and lie in the
    // file; then `entry()` can cut every record out of the image unchecked.
    for (std::size_t i = 0; i < recordCount; ++i) {
        if (position != be32(recordList_.data() + i * kEntrySize)) fatalCheck("record position mismatch");
        const bool last = i + 1 == recordCount;
        const std::uint64_t end = last ? fileLength : be32(recordList_.data() + (i + 1) * kEntrySize);
        if (end < position) {
            if (!last) fatalCheck("record position mismatch");
            fatalCheck("short data read");  // the last record starts past the end of the file
        }
        if (end != position && end > fileLength) fatalCheck("short data read");
        position = end;
    }
    recordCount_ = recordCount;
}

}  // namespace reelport
