// SPDX-License-Identifier: MIT
// Which records make the rows of a list: those of its kind, with their fixed
// fields whole; and what a salvage run reports of the records a list passes
// over or cuts short.
#pragma once

#include "base/Failure.h"
#include "format/DamageReport.h"
#include "format/PalmDB.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace reelport {

// A record of the list's kind (the high four bits of its first byte) with
// its fixed fields whole, too short for them, or of another kind (an empty
// record has no kind).
enum class RecordFit { Whole, TooShort, OtherKind };
inline RecordFit fitOf(const RecordEntry& record, std::uint8_t kind, std::size_t minimumSize) {
    if (record.data.empty() || (record.data[0] & 0xF0) != kind) return RecordFit::OtherKind;
    return record.data.size() < minimumSize ? RecordFit::TooShort : RecordFit::Whole;
}

// A record of another kind is passed over without a word, as a default run
// does, unless the layout had to be salvaged: then it may be a piece of a
// damaged file, and the report names it (once: a record skipped while
// reading is reported already).
inline void reportOtherKind(const PalmDB& db, const RecordEntry& record, std::size_t index, std::string_view kindName,
                            DamageReport& damage) {
    if (!damage.salvaging() || !db.salvaged() || record.skipped) return;
    damage.skipRecord(index, record.uniqueId, record.data.empty() ? "empty" : "not a " + std::string(kindName));
}

// A record written whose texts do not end inside it, in a salvaged layout:
// one that runs to where the file was cut, or up to a damaged offset.
inline void reportUnended(const PalmDB& db, const RecordEntry& record, std::size_t index, bool textsEnded,
                          DamageReport& damage) {
    if (!damage.salvaging() || !db.salvaged() || textsEnded) return;
    damage.alterRecord(index, record.uniqueId, "its texts do not end inside the record: written as far as they go");
}

// The records of one list.
struct RecordKind {
    std::uint8_t kind;         // the high four bits of the first byte
    std::size_t minimumSize;   // the bytes of the fixed fields
    std::string_view name;     // "tape", in a salvage report
    const char* tooShort;      // the fatal check of a record too short for its fixed fields
};

// Whether `entry`, the record at `index` of `db`, makes a row of a list of
// `kind`: a record of that kind with its fixed fields whole. Records of other
// kinds are passed over; a record too short ends the run with a fatal check,
// unless `damage` is salvaging: then it is skipped and reported.
// (Inlined in the lists' loops; what it does with the others is not.)
[[gnu::noinline]] inline void passOver(const PalmDB& db, const RecordEntry& entry, std::size_t index,
                                       const RecordKind& kind, RecordFit fit, DamageReport& damage) {
    if (fit == RecordFit::OtherKind) {
        reportOtherKind(db, entry, index, kind.name, damage);
        return;
    }
    if (!damage.salvaging()) fatalCheck(kind.tooShort);
    damage.skipRecord(index, entry.uniqueId, "too short for a " + std::string(kind.name) + " record");
}
[[gnu::always_inline]] inline bool makesRow(const PalmDB& db, const RecordEntry& entry, std::size_t index,
                                            const RecordKind& kind, DamageReport& damage) {
    const RecordFit fit = fitOf(entry, kind.kind, kind.minimumSize);
    if (fit == RecordFit::Whole) return true;
    passOver(db, entry, index, kind, fit, damage);
    return false;
}

}  // namespace reelport
