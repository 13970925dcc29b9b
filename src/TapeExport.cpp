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
constexpr std::size_t kLengthOffset = 18;
constexpr std::size_t kNoteOffset = 35;
// The fixed fields end with the length; the note may be missing altogether.
constexpr std::size_t kMinimumSize = kLengthOffset + 2;
// The label (Exports.h) runs up to the length.
static_assert(kTapeLabelOffset + kTapeLabelSize == kLengthOffset);

// Writes the row of a tape; returns whether its note ends inside the record.
template <CsvEncoding kEncoding>
[[gnu::always_inline]] inline bool writeTapeRow(const RecordEntry& tape, const CategoryFields& categories, CsvWriter& out) {
    const auto data = tape.data;
    char* at = out.beginRow();
    at = digits::decimal(at, tape.uniqueId);
    *at++ = ',';
    at = out.quoted<kEncoding>(at, tapeLabel(tape));
    // Seconds that do not make a whole minute are dropped.
    const unsigned seconds = be16(data, kLengthOffset);
    *at++ = ',';
    at = digits::decimal(at, seconds / 3600);
    *at++ = ':';
    at = digits::twoDigits(at, seconds / 60 % 60);
    *at++ = ',';
    at = categories.put(at, tape.categoryIndex());
    *at++ = ',';
    std::size_t noteLength = 0;
    at = out.quoted<kEncoding>(at, bytesFrom(data, kNoteOffset), &noteLength);
    out.endRow(CsvWriter::lineEnd(at));
    return kNoteOffset + noteLength < data.size();
}

// The rows of the tapes, in file order; one loop for each encoding.
template <CsvEncoding kEncoding>
int writeTapeRows(const PalmDB& tapesDb, const CategoryFields& categories, CsvWriter& out, DamageReport* damage) {
    int rows = 0;
    for (std::size_t i = 0; i < tapesDb.recordCount(); ++i) {
        const RecordEntry entry = tapesDb.entry(i);
        switch (fitOf(entry, kTapeKind, kMinimumSize)) {
        case RecordFit::OtherKind:
            reportOtherKind(tapesDb, entry, i, "tape", damage);
            continue;
        case RecordFit::TooShort:
            if (damage == nullptr) fatalCheck("short tape record");
            damage->skipRecord(i, entry.uniqueId, "too short for a tape record");
            continue;
        case RecordFit::Whole:
            reportUnended(tapesDb, entry, i, writeTapeRow<kEncoding>(entry, categories, out), damage);
            break;
        }
        ++rows;
    }
    return rows;
}

}  // namespace

int writeTapeList(const PalmDB& tapesDb, CsvWriter& out, DamageReport* damage) {
    out.write(kHeaderLine);
    const CategoryFields categories(tapesDb.appInfo(), out);
    const int rows = out.encoding() == CsvEncoding::Utf8
                         ? writeTapeRows<CsvEncoding::Utf8>(tapesDb, categories, out, damage)
                         : writeTapeRows<CsvEncoding::Palm>(tapesDb, categories, out, damage);
    out.write('\n');
    return rows;
}

void exportTapes(const std::string& directory, PalmDB& tapesDb, Console& console, DamageReport* damage,
                 CsvEncoding encoding) {
    runExport(directory, kTapeExport, tapesDb, console, writeTapeList, damage, encoding);
}

}  // namespace reelport
