// SPDX-License-Identifier: MIT
// The tape list: one row per tape record of the tape database.
//
// A tape record's data (numbers big-endian):
//    0  u8       record kind in the high four bits: 0xA is a tape
//    2  16 bytes label, NUL-terminated when shorter than 16 bytes
//   18  u16      length of the tape in seconds
//   35  text     note, up to its NUL
// The tape's ID is its record's unique ID, its category the low four bits of
// the record's attributes.
#include "Exports.h"

#include "Failure.h"

namespace reelport {

namespace {

constexpr std::string_view kHeaderLine = "TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE\n";

constexpr std::uint8_t kTapeKind = 0xA0;
constexpr std::size_t kLabelOffset = 2;
constexpr int kLabelLength = 16;
constexpr std::size_t kLengthOffset = 18;
constexpr std::size_t kNoteOffset = 35;
// The fixed fields end with the length; the note may be missing altogether.
constexpr std::size_t kMinimumSize = kLengthOffset + 2;

void writeTapeRow(const RecordEntry& tape, std::span<const std::uint8_t> appInfo, CsvWriter& out) {
    const auto data = tape.data;
    if (data.size() < kMinimumSize) fatalCheck("short tape record");

    out.writeNumber(tape.uniqueIdValue());
    out.write(',');
    writeQuotedField(out, bytesFrom(data, kLabelOffset), kLabelLength);

    // Seconds that do not make a whole minute are dropped.
    const unsigned seconds = be16(data, kLengthOffset);
    out.write(',');
    out.writeNumber(seconds / 3600);
    out.write(':');
    out.writePadded(seconds / 60 % 60, 2);
    out.write(',');

    writeQuotedField(out, categoryName(appInfo, tape.categoryIndex()), kLabelLength);
    out.write(',');
    writeQuotedField(out, bytesFrom(data, kNoteOffset), kWholeText);
    out.write("\n");
}

}  // namespace

int writeTapeList(const PalmDB& tapesDb, CsvWriter& out) {
    out.write(kHeaderLine);
    int rows = 0;
    for (const RecordEntry& entry : tapesDb.entries()) {
        // An empty record has no kind; records of other kinds are passed over.
        if (entry.data.empty() || (entry.data[0] & 0xF0) != kTapeKind) continue;
        writeTapeRow(entry, tapesDb.appInfo(), out);
        ++rows;
    }
    out.write("\n");
    return rows;
}

void exportTapes(const std::string& directory, PalmDB& tapesDb, Console& console) {
    runExport(directory, kTapesDatabase, kTapesCsv, "tapes", tapesDb, console, writeTapeList);
}

}  // namespace reelport
