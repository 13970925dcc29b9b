// SPDX-License-Identifier: MIT
// The programme list: one row per programme record, grouped by tape, each
// carrying its tape's label from the tape database.
#pragma once

#include "base/Failure.h"
#include "base/LargeBlocks.h"
#include "catalogue/RecordFit.h"
#include "catalogue/Rows.h"
#include "format/DamageReport.h"
#include "format/PalmDB.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace reelport {

// The order of the programme list and what it needs of the tape database,
// worked out before the first row: the programmes' sort keys, sorted, every
// record of the tape database by unique ID, and their labels.
class ProgOrder {
public:
    // Keys are packed into one u64 each, so the sorts compare plain
    // integers. A database holds at most 65535 records, so a record's place
    // in its file fits in the low 16 bits.
    static constexpr std::uint64_t kFileIndexMask = 0xFFFF;
    // Each tape's label in a slot of 16 bytes, NUL-padded when shorter.
    static constexpr std::size_t kLabelSlot = TapeRecord::kLabelSize;
    static constexpr std::size_t kNoTape = SIZE_MAX;

    // Programme records too short for their fixed fields end the run with a
    // fatal check, unless `damage` is salvaging: then they are skipped and
    // reported, as are records of other kinds in a salvaged layout.
    ProgOrder(const PalmDB& progsDb, const PalmDB& tapesDb, DamageReport& damage);

    // A programme's key: its tape ID (bits 63-32), its order on the tape
    // (bits 31-16), its place in the file (bits 15-0); in that order.
    std::span<const std::uint64_t> progs() const { return progs_; }
    // The place in the file of the first record of the tape database listed
    // with unique ID `tapeId`, or kNoTape; asked in rising tape ID, for the
    // programme at `row`. Asks for the label of a tape a few rows ahead.
    std::size_t findTape(std::uint32_t tapeId, std::size_t row);
    // The label slot of the tape record at `index` in the file.
    std::string_view label(std::size_t index) const { return {&labels_[index * kLabelSlot], kLabelSlot}; }

private:
    struct Layout;
    ProgOrder(const PalmDB& progsDb, const PalmDB& tapesDb, DamageReport& damage, const Layout& layout);

    LargeBuffer<std::uint64_t> buffer_;
    std::span<char> labels_;
    std::span<std::uint64_t> progs_;
    // A handheld hands out unique IDs one after another, so the tapes' IDs
    // lie close together: a table with a slot for each ID from the lowest
    // to the highest, holding the place in the file plus one of the first
    // record listed with it (0: none), finds a tape in one look-up. Where
    // the IDs spread wider, the tapes' keys, unique ID (bits 39-16) and
    // place in the file, are sorted and walked forward.
    std::uint32_t lowestId_ = 0;
    std::span<std::uint16_t> slots_;
    std::span<std::uint64_t> tapes_;
    std::size_t walked_ = 0;
};

namespace detail {

// Asks for the memory at `address` ahead of its use; a hint that changes
// nothing else. (Inlined where it is used: the compiler takes a function that
// only prefetches for one without effect, and drops its calls.)
[[gnu::always_inline]] inline void prefetch(const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

// Records are read in the order of sorted keys, which in a catalogue kept in
// any order is all over the file. Each is asked for a few keys ahead of its
// use: its entry in the record list 2 * kAhead keys ahead, then, kAhead keys
// ahead, when the entry has come, the first, the second and the last cache
// line of the record (most records span two).
inline constexpr std::size_t kAhead = 16;
[[gnu::always_inline]] inline void askAhead(const PalmDB& db, std::span<const std::uint64_t> keys, std::size_t at) {
    if (at + 2 * kAhead < keys.size()) {
        prefetch(&db.recordList()[(keys[at + 2 * kAhead] & ProgOrder::kFileIndexMask) * PalmDB::kEntrySize]);
    }
    if (at + kAhead < keys.size()) {
        const auto data = db.data(keys[at + kAhead] & ProgOrder::kFileIndexMask);
        if (!data.empty()) {
            prefetch(data.data());
            if (data.size() > 64) prefetch(&data[64]);
            prefetch(&data[data.size() - 1]);
        }
    }
}

}  // namespace detail

// Writes the programme list of `progsDb` with `rows`, each programme with
// the label of its tape in `tapesDb`; returns the number of rows. A
// programme's tape is the first record listed with its tape ID as unique ID,
// of whatever kind; a programme whose tape is missing ends the run with a
// fatal check, unless `damage` is salvaging: then it is written with an
// empty tape label and reported. (A tape whose record could not be read at
// all, in a salvaged layout, is missing.)
template <RowWriter<ProgRow> Rows>
int writeProgList(const PalmDB& progsDb, const PalmDB& tapesDb, Rows& rows, DamageReport& damage) {
    rows.begin(kProgColumns, progsDb.appInfo());
    // The programmes are in rising tape ID: a run of them on one tape shares its look-up.
    ProgOrder order(progsDb, tapesDb, damage);
    const auto progs = order.progs();
    std::optional<std::uint32_t> currentTape;
    bool tapeFound = false;
    std::string_view label;
    for (std::size_t row = 0; row < progs.size(); ++row) {
        detail::askAhead(progsDb, progs, row);
        const std::uint64_t key = progs[row];
        const std::size_t index = key & ProgOrder::kFileIndexMask;
        const auto tapeId = static_cast<std::uint32_t>(key >> 32);
        const RecordEntry prog = progsDb.entry(index);
        if (currentTape != tapeId) {
            currentTape = tapeId;
            const std::size_t tape = order.findTape(tapeId, row);
            // A tape whose record could not be read at all (salvage only) is
            // missing: no later record of the same ID stands in for it.
            const bool listed = tape != ProgOrder::kNoTape;
            tapeFound = listed && !tapesDb.skipped(tape);
            if (!tapeFound && !damage.salvaging()) fatalCheck("no matching tape for record");
            // Its label: that of the record listed, none when it could not be read.
            label = listed ? order.label(tape) : std::string_view();
        }
        if (!tapeFound) {
            damage.alterRecord(index, prog.uniqueId, "its tape {} is missing: written with an empty tape label", tapeId);
        }
        const bool ended = rows.row(ProgRow{tapeId, label, prog.uniqueId, prog.categoryIndex(), ProgRecord(prog.data)});
        reportUnended(progsDb, prog, index, ended, damage);
    }
    rows.end();
    return static_cast<int>(progs.size());
}

}  // namespace reelport
