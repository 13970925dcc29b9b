// SPDX-License-Identifier: MIT
// The programme list: one row per programme record, grouped by tape.
//
// A programme record's data (numbers big-endian):
//    0  u8    record kind in the high four bits: 0xB is a programme
//    1  u8    flags: bit 7 seen, bit 5 keep, bits 1-0 speed code
//    2  u8    rating, 0 = none
//    4  u32   tape ID: the unique ID of the tape record it lies on
//    8  u16   order of the programme on its tape
//   12  u16   stored length; times the speed factor it gives seconds
//   14  u16   recording date: bits 15-9 years since 1904, 8-5 month, 4-0 day
//   18  text  title, up to its NUL; empty when the first byte is NUL
//       text  note, right after the title's NUL
#include "Exports.h"

#include "Failure.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace reelport {

namespace {

constexpr std::string_view kHeaderLine =
    "TAPE_ID,TAPE_LABEL,PROG_ID,TITLE,SEEN,KEEP,DATE,LENGTH,SPEED,CATEGORY,RATING,NOTE\n";

constexpr std::uint8_t kProgKind = 0xB0;
constexpr std::size_t kFlagsOffset = 1;
constexpr std::size_t kRatingOffset = 2;
constexpr std::size_t kTapeIdOffset = 4;
constexpr std::size_t kOrderOffset = 8;
constexpr std::size_t kLengthOffset = 12;
constexpr std::size_t kDateOffset = 14;
constexpr std::size_t kTitleOffset = 18;
// The fixed fields end with the date; title and note may be missing.
constexpr std::size_t kMinimumSize = kDateOffset + 2;

constexpr std::uint8_t kSeenFlag = 0x80;
constexpr std::uint8_t kKeepFlag = 0x20;
constexpr std::uint8_t kSpeedMask = 0x03;
// The speed factor is the speed code plus one.
constexpr std::array<std::string_view, 4> kSpeedNames = {"SP", "LP", "EP", "??"};

constexpr std::size_t kTapeLabelOffset = 2;
constexpr int kTapeLabelLength = 16;

// Programmes and tapes are sorted by keys packed into one u64 each, so the
// sorts compare plain integers. A database holds at most 65535 records, so a
// record's place in its file fits in the low 16 bits.
constexpr std::uint64_t kFileIndexMask = 0xFFFF;

// A programme's place in the list: by tape ID (bits 63-32), then by its order
// on the tape (bits 31-16), then by its place in the file (bits 15-0).
std::vector<std::uint64_t> sortedProgs(const std::vector<RecordEntry>& entries) {
    std::vector<std::uint64_t> progs;
    progs.reserve(entries.size());
    for (std::uint32_t i = 0; i < entries.size(); ++i) {
        const auto data = entries[i].data;
        // An empty record has no kind; records of other kinds are passed over.
        if (data.empty() || (data[0] & 0xF0) != kProgKind) continue;
        if (data.size() < kMinimumSize) fatalCheck("short prog record");
        progs.push_back(std::uint64_t{be32(data, kTapeIdOffset)} << 32 |
                        std::uint64_t{be16(data, kOrderOffset)} << 16 | i);
    }
    std::sort(progs.begin(), progs.end());
    return progs;
}

// Finds a tape by the unique ID of its record: the first record in file order
// with that ID, whatever its kind. Built once, so that joining every programme
// costs a logarithmic look-up rather than a walk over all tapes.
class TapeIndex {
public:
    explicit TapeIndex(const std::vector<RecordEntry>& tapes) : tapes_(tapes) {
        keys_.reserve(tapes.size());
        for (std::uint32_t i = 0; i < tapes.size(); ++i) {
            keys_.push_back(std::uint64_t{tapes[i].uniqueIdValue()} << 32 | i);
        }
        std::sort(keys_.begin(), keys_.end());  // equal IDs keep file order, the first comes first
    }

    const RecordEntry* find(std::uint32_t tapeId) const {
        const auto found = std::lower_bound(keys_.begin(), keys_.end(), std::uint64_t{tapeId} << 32);
        if (found == keys_.end() || *found >> 32 != tapeId) return nullptr;
        return &tapes_[*found & kFileIndexMask];
    }

private:
    const std::vector<RecordEntry>& tapes_;
    std::vector<std::uint64_t> keys_;  // unique ID in the high 32 bits, place in the file below
};

void writeProgRow(const RecordEntry& prog, const RecordEntry& tape, std::span<const std::uint8_t> appInfo,
                  CsvWriter& out) {
    const auto data = prog.data;
    const std::uint8_t flags = data[kFlagsOffset];
    const std::uint8_t rating = data[kRatingOffset];
    const std::string_view speed = kSpeedNames[flags & kSpeedMask];
    const std::uint32_t seconds = std::uint32_t{be16(data, kLengthOffset)} * ((flags & kSpeedMask) + 1u);

    out.writeNumber(be32(data, kTapeIdOffset));
    out.write(',');
    writeQuotedField(out, bytesFrom(tape.data, kTapeLabelOffset), kTapeLabelLength);
    out.write(',');
    out.writeNumber(prog.uniqueIdValue());
    out.write(',');

    const std::string_view titleOnwards = bytesFrom(data, kTitleOffset);
    const std::string_view title = untilNul(titleOnwards);
    const auto writeLength = [&] {
        out.writeNumber(seconds / 3600);
        out.write(':');
        out.writePadded(seconds / 60 % 60, 2);
        out.write(',');
        out.write(speed);
        out.write(',');
    };

    if (title.empty()) {
        // A programme without a title gets a short row: no flags, date, category, rating or note.
        out.write("-,,,,");
        writeLength();
        out.write(",,\n");
        return;
    }

    writeQuotedField(out, title, kWholeText);
    out.write((flags & kSeenFlag) != 0 ? ",X" : ",");
    out.write((flags & kKeepFlag) != 0 ? ",X" : ",");

    const unsigned date = be16(data, kDateOffset);
    out.write(',');
    out.writePadded((date >> 9) + 1904, 4);
    out.write('-');
    out.writePadded(date >> 5 & 0x0F, 2);
    out.write('-');
    out.writePadded(date & 0x1F, 2);
    out.write(',');
    writeLength();

    writeQuotedField(out, categoryName(appInfo, prog.categoryIndex()), kWholeText);
    out.write(',');
    // The rating as one character counted up from '0'; the byte wraps past 255.
    out.write(rating > 0 ? static_cast<char>(static_cast<unsigned char>('0' + rating)) : '-');
    out.write(',');
    // The note starts behind the title's NUL; a title running to the end of the record has none.
    writeQuotedField(out, bytesFrom(data, kTitleOffset + title.size() + 1), kWholeText);
    out.write("\n");
}

}  // namespace

int writeProgList(const PalmDB& progsDb, const PalmDB& tapesDb, CsvWriter& out) {
    out.write(kHeaderLine);
    const auto& entries = progsDb.entries();
    const std::vector<std::uint64_t> progs = sortedProgs(entries);
    const TapeIndex tapes(tapesDb.entries());

    // Runs of programmes on one tape share its look-up.
    const RecordEntry* tape = nullptr;
    for (const std::uint64_t key : progs) {
        const RecordEntry& prog = entries[key & kFileIndexMask];
        const std::uint32_t tapeId = be32(prog.data, kTapeIdOffset);
        if (tape == nullptr || tape->uniqueIdValue() != tapeId) {
            tape = tapes.find(tapeId);
            if (tape == nullptr) fatalCheck("no matching tape for record");
        }
        writeProgRow(prog, *tape, progsDb.appInfo(), out);
    }
    out.write("\n");
    return static_cast<int>(progs.size());
}

void exportProgs(const std::string& directory, PalmDB& progsDb, const PalmDB& tapesDb, Console& console) {
    runExport(directory, kProgsDatabase, kProgsCsv, "progs", progsDb, console,
              [&tapesDb](const PalmDB& db, CsvWriter& out) { return writeProgList(db, tapesDb, out); });
}

}  // namespace reelport
