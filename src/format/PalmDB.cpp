// SPDX-License-Identifier: MIT
#include "format/PalmDB.h"

#include "base/Failure.h"

#include <algorithm>
#include <optional>

namespace reelport {

namespace {

constexpr std::size_t kRecordListStart = 78;

}  // namespace

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

namespace {

// The bytes from `start` up to `end` (end >= start), or nothing when they run
// past the end of the file. An empty range passes wherever it lies.
std::optional<std::span<const std::uint8_t>> bytesBetween(std::span<const std::uint8_t> file,
                                                          std::uint64_t start, std::uint64_t end) {
    if (start == end) return std::span<const std::uint8_t>();
    if (end > file.size()) return std::nullopt;
    return file.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

}  // namespace

void PalmDB::load(FileImage image, std::string path, DamageReport& damage) {
    path_ = std::move(path);
    image_ = image.bytes;
    imageOwner_ = std::move(image.owner);
    try {
        parseStrictly();
    } catch (const Failure& failure) {
        // A file shorter than the header has nothing to salvage.
        if (!damage.salvaging() || failure.kind() != FailureKind::Damaged || image_.size() < kHeaderSize) throw;
        salvage(damage, failure.condition());
    }
}

void PalmDB::parseStrictly() {
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
    // That holds when the offsets never fall and the last lies in the file,
    // which one quick pass finds; else the pass below finds what fails first.
    std::uint32_t previous = 0;
    bool falls = false;
    for (std::size_t i = 0; i < recordCount; ++i) {
        const std::uint32_t offset = be32(recordList_.data() + i * kEntrySize);
        falls |= offset < previous;
        previous = offset;
    }
    if (!falls && previous <= fileLength) {
        recordCount_ = recordCount;
        return;
    }
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

// What a strict reading refuses, a salvage reading takes apart piece by
// piece: every record that starts after the record list and inside the file
// is kept, and runs up to the next record in the file (so records listed out
// of order still come out whole) or to the end of the file; every other
// record is skipped. The category names are read wherever the
// application-info block says they lie, as far as the file holds whole
// names; the sort-info block, never used, is passed over. (The exports then
// report what they pass over of such a database, and each record whose texts
// do not end inside it: one that runs to where the file was cut, or up to a
// damaged offset.)
void PalmDB::salvage(DamageReport& damage, const std::string& condition) {
    damage.noteDatabase("damaged: " + condition);
    salvaged_ = true;
    const std::span<const std::uint8_t> file = image_;
    const std::uint64_t fileLength = file.size();
    header_ = decodeHeader(file.first(kHeaderSize));
    appInfo_ = {};
    sortInfo_ = {};
    if (header_.nextRecordListId != 0) damage.noteDatabase("a second, chained record list is ignored");

    // The entries that lie whole in the file.
    const std::size_t listed = header_.numRecords;
    const std::size_t whole = std::min(listed, static_cast<std::size_t>((fileLength - kRecordListStart) / kEntrySize));
    if (whole < listed) {
        damage.noteDatabase("record list cut short: " + std::to_string(whole) + " of " + std::to_string(listed) +
                            " entries in the file");
        damage.skipUnlisted(listed - whole);
    }
    recordList_ = file.subspan(kRecordListStart, kEntrySize * whole);
    recordCount_ = whole;
    const std::uint64_t listEnd = whole > 0 ? kRecordListStart + kEntrySize * whole : kHeaderSize;

    // Each record that can be read, by its place in the file: offset in the
    // high bits, place in the list below, so equal offsets keep list order.
    LargeVector<std::uint64_t> starts;
    starts.reserve(whole);
    recordEnds_.assign(whole, kSkipped);
    for (std::size_t i = 0; i < whole; ++i) {
        const std::uint32_t offset = be32(recordList_.data() + i * kEntrySize);
        if (offset >= listEnd && offset <= fileLength) starts.push_back(std::uint64_t{offset} << 16 | i);
    }
    if (!std::is_sorted(starts.begin(), starts.end())) {
        damage.noteDatabase("records listed out of file order: each read up to the next one in the file");
        std::sort(starts.begin(), starts.end());
    }
    for (std::size_t k = 0; k < starts.size(); ++k) {
        recordEnds_[starts[k] & 0xFFFF] = k + 1 < starts.size() ? starts[k + 1] >> 16 : fileLength;
    }
    const auto uniqueIdAt = [&](std::size_t index) { return be24(recordList_.data() + index * kEntrySize + 5); };
    for (std::size_t i = 0; i < whole; ++i) {
        const std::uint32_t offset = be32(recordList_.data() + i * kEntrySize);
        if (offset < listEnd) damage.skipRecord(i, uniqueIdAt(i), "starts inside the record list");
        if (offset > fileLength) damage.skipRecord(i, uniqueIdAt(i), "starts past the end of the file");
    }
    // The first record in the file, where the blocks before it end.
    const std::uint64_t recordsStart = starts.empty() ? fileLength : starts.front() >> 16;

    // The blocks, where a strict reading takes them; else what is needed of them.
    std::uint64_t blocksEnd = listEnd;
    if (header_.appInfoOffset != 0) {
        const std::uint64_t start = header_.appInfoOffset;
        // Up to the sort-info block, or where the records start when that cannot be its end.
        const std::uint64_t end = header_.sortInfoOffset >= start ? header_.sortInfoOffset : recordsStart;
        if (start >= listEnd && end >= start && end <= fileLength) {
            appInfo_ = file.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
            blocksEnd = end;
        } else if (start < fileLength) {
            damage.noteDatabase("application-info block misplaced or cut short: only whole category names in "
                                "the file are read");
            const std::uint64_t held = std::min<std::uint64_t>(fileLength - start, kCategoryTableSize);
            const std::uint64_t kept =
                held < kCategoryTableStart ? 0 : held - (held - kCategoryTableStart) % kCategoryNameSize;
            appInfo_ = file.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(kept));
        } else {
            damage.noteDatabase("application-info block past the end of the file: no category names");
        }
    }
    if (header_.sortInfoOffset != 0) {
        const std::uint64_t start = header_.sortInfoOffset;
        if (start >= blocksEnd && recordsStart >= start && recordsStart <= fileLength) {
            sortInfo_ = file.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(recordsStart - start));
        } else {
            damage.noteDatabase("sort-info block misplaced or cut short: not read (not needed)");
        }
    }
}

}  // namespace reelport
