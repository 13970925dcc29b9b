// SPDX-License-Identifier: MIT
// The tape list: one row per tape record of the tape database, in file order.
#pragma once

#include "catalogue/RecordFit.h"
#include "catalogue/Rows.h"
#include "format/DamageReport.h"
#include "format/PalmDB.h"

namespace reelport {

// Writes the tape list of `tapesDb` with `rows`; returns the number of rows.
// Records of other kinds are passed over. A tape record too short for its
// length ends the run with a fatal check, unless `damage` is salvaging: then
// it is skipped and reported.
template <RowWriter<TapeRow> Rows>
int writeTapeList(const PalmDB& tapesDb, Rows& rows, DamageReport& damage) {
    rows.begin(kTapeColumns, tapesDb.appInfo());
    constexpr RecordKind kTapes{TapeRecord::kKind, TapeRecord::kMinimumSize, "tape", "short tape record"};
    int count = 0;
    for (std::size_t i = 0; i < tapesDb.recordCount(); ++i) {
        const RecordEntry entry = tapesDb.entry(i);
        if (!makesRow(tapesDb, entry, i, kTapes, damage)) continue;
        const bool ended = rows.row(TapeRow{entry.uniqueId, entry.categoryIndex(), TapeRecord(entry.data)});
        reportUnended(tapesDb, entry, i, ended, damage);
        ++count;
    }
    rows.end();
    return count;
}

}  // namespace reelport
