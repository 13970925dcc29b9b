// SPDX-License-Identifier: MIT
// The Palm OS database reader.
//
// A Palm database (".PDB") file is laid out front to back as
//   an 80-byte header (78 bytes of fields; the last two bytes read with it
//     are the start of the record list or the filler behind an empty one),
//   the record list: one 8-byte entry per record,
//   the application-info block (optional; starts with the category table),
//   the sort-info block (optional),
//   the records' data, each record directly behind the previous one.
// All numbers are big-endian. Each part ends where the next one begins, so
// the length of a block or a record is the difference of two offsets.
//
// `PalmDB` reads such a file into memory and follows that layout strictly
// front to back: a file whose parts lie out of order, overlap or run past the
// end of the file is refused with a fatal check, before anything of a claimed
// size is touched.
#pragma once

#include "base/ByteOrder.h"
#include "base/FileImage.h"
#include "base/LargeBlocks.h"
#include "format/CategoryTable.h"
#include "format/DamageReport.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace reelport {

// The header fields, converted to host order.
struct PdbHeader {
    std::array<std::uint8_t, 32> name{};  //  0: database name, as stored
    std::uint16_t attributes = 0;         // 32
    std::uint16_t version = 0;            // 34
    std::uint32_t creationDate = 0;       // 36
    std::uint32_t modificationDate = 0;   // 40
    std::uint32_t lastBackupDate = 0;     // 44
    std::uint32_t modificationNumber = 0; // 48
    std::uint32_t appInfoOffset = 0;      // 52: 0 = no application-info block
    std::uint32_t sortInfoOffset = 0;     // 56: 0 = no sort-info block
    std::uint32_t type = 0;               // 60: four characters
    std::uint32_t creator = 0;            // 64: four characters
    std::uint32_t uniqueIdSeed = 0;       // 68
    std::uint32_t nextRecordListId = 0;   // 72: must be 0, chained lists are not supported
    std::uint16_t numRecords = 0;         // 76
    std::uint16_t trailing = 0;           // 78: first bytes of the record list, unused
};

// The reader always reads 80 bytes of header: the 78 of its fields and the
// two behind them.
inline constexpr std::size_t kHeaderSize = 80;

// The header at the start of a file of at least kHeaderSize bytes.
PdbHeader decodeHeader(std::span<const std::uint8_t> bytes);

// One record: its entry in the record list, and its data.
struct RecordEntry {
    std::uint32_t offset = 0;            // file offset of the data
    std::uint8_t attributes = 0;         // low four bits: category index
    std::uint32_t uniqueId = 0;          // three bytes, most significant first, as a 24-bit number
    std::span<const std::uint8_t> data;  // the record's bytes, owned by the PalmDB
    bool skipped = false;                // salvaged database: the data could not be read, `data` is empty

    unsigned categoryIndex() const { return attributes & 0x0Fu; }
};

class PalmDB {
public:
    PalmDB() = default;
    PalmDB(const PalmDB&) = delete;
    PalmDB& operator=(const PalmDB&) = delete;
    PalmDB(PalmDB&&) = default;
    PalmDB& operator=(PalmDB&&) = default;

    // Takes the database from a file's bytes; `path` names it in messages. A
    // damaged database ends the run with a fatal check, unless `damage` is
    // salvaging: then what can be read is kept and the rest reported there (a
    // file shorter than the header still ends the run).
    void load(FileImage image, std::string path, DamageReport& damage);

    const std::string& path() const { return path_; }
    const PdbHeader& header() const { return header_; }
    // Empty when the database has no such block.
    std::span<const std::uint8_t> appInfo() const { return appInfo_; }
    std::span<const std::uint8_t> sortInfo() const { return sortInfo_; }

    // The records, in file order. Each entry is decoded from the file's own
    // record list when asked for: the list is not copied, which for 65535
    // records spares the run a megabyte and a half of fresh memory.
    std::size_t recordCount() const { return recordCount_; }
    RecordEntry entry(std::size_t index) const {
        const std::uint8_t* const bytes = recordList_.data() + index * kEntrySize;
        RecordEntry entry;
        entry.offset = be32(bytes);
        entry.attributes = bytes[4];
        entry.uniqueId = be24(bytes + 5);
        entry.skipped = skipped(index);
        entry.data = data(index);
        return entry;
    }
    // Whether a record of a salvaged database could not be read: entry(index).skipped.
    bool skipped(std::size_t index) const { return !recordEnds_.empty() && recordEnds_[index] == kSkipped; }
    // The bytes of one record alone: entry(index).data.
    std::span<const std::uint8_t> data(std::size_t index) const {
        const std::uint8_t* const bytes = recordList_.data() + index * kEntrySize;
        const std::size_t offset = be32(bytes);
        // Each record runs up to the next one, the last to the end of the file;
        // in a salvaged database, to the next one in the file.
        std::size_t end = 0;
        if (recordEnds_.empty()) {
            end = index + 1 < recordCount_ ? be32(bytes + kEntrySize) : image_.size();
        } else if ((end = static_cast<std::size_t>(recordEnds_[index])) == kSkipped) {  // an end within the image
            return {};
        }
        return image_.subspan(offset, end - offset);
    }

    // Whether `read` or `load` had to salvage the database: its layout is damaged.
    bool salvaged() const { return salvaged_; }

    // The record list as stored: recordCount() entries of kEntrySize bytes.
    std::span<const std::uint8_t> recordList() const { return recordList_; }
    static constexpr std::size_t kEntrySize = 8;

private:
    std::string path_;
    // The whole file, mapped into memory or read into it; blocks, records and
    // the record list view into it. `imageOwner_` keeps it there for the life
    // of the object.
    std::span<const std::uint8_t> image_;
    std::shared_ptr<const void> imageOwner_;
    PdbHeader header_;
    std::span<const std::uint8_t> recordList_;  // recordCount_ entries of kEntrySize bytes
    std::size_t recordCount_ = 0;
    std::span<const std::uint8_t> appInfo_;
    std::span<const std::uint8_t> sortInfo_;
    // Salvaged database only: where each record ends (a file may pass 4 GiB),
    // or kSkipped.
    LargeVector<std::uint64_t> recordEnds_;
    static constexpr std::uint64_t kSkipped = 0;
    bool salvaged_ = false;

    // Finds the parts of `image_`, with every layout check.
    void parseStrictly();
    void salvage(DamageReport& damage, const std::string& condition);
};


}  // namespace reelport
