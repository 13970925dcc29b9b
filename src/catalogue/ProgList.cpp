// SPDX-License-Identifier: MIT
#include "catalogue/ProgList.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace reelport {

namespace {

using Keys = std::span<std::uint64_t>;

// Sorts keys whose low 16 bits, the place in the file, rise already (they are
// taken in file order): a stable radix sort of the bits above, 12 at a time
// from the lowest, leaves keys equal there in file order. Digits that all
// keys share take no pass, so the usual IDs of three bytes take three passes
// and a tape list two. Linear, whatever the order of the records, where a
// comparison sort of keys in random order takes four times as long.
// Fewer keys than kRadixFrom are sorted whole by comparison: as every key
// holds its own place in the file, that is the same order, and it spares a
// small catalogue the counts' 128 KiB, fresh memory whose first touch costs
// more than the sort. `scratch` lends room for the passes: sortRoom(keys).
constexpr unsigned kSortedBits = 16;
constexpr unsigned kDigitBits = 12;
constexpr unsigned kDigits = (64 - kSortedBits) / kDigitBits;
constexpr std::uint64_t kDigitMask = (std::uint64_t{1} << kDigitBits) - 1;
constexpr std::size_t kCountWords = kDigits * (kDigitMask + 1);
constexpr std::size_t kRadixFrom = 2048;
constexpr std::size_t sortRoom(std::size_t keys) { return keys < kRadixFrom ? 0 : keys + kCountWords; }
void sortKeys(Keys keys, Keys scratch) {
    if (keys.size() < kRadixFrom) {
        std::sort(keys.begin(), keys.end());
        return;
    }
    // How many keys hold each value of each digit, then where the next of them goes.
    const Keys counts = scratch.last(kCountWords);
    std::fill(counts.begin(), counts.end(), 0);
    const auto count = [&](unsigned digit, std::uint64_t key) -> std::uint64_t& {
        return counts[digit * (kDigitMask + 1) + (key >> (kSortedBits + kDigitBits * digit) & kDigitMask)];
    };
    for (const std::uint64_t key : keys) {
        for (unsigned digit = 0; digit < kDigits; ++digit) ++count(digit, key);
    }
    Keys from = keys;
    Keys to = scratch.first(keys.size());
    for (unsigned digit = 0; digit < kDigits; ++digit) {
        if (count(digit, keys.front()) == keys.size()) continue;
        std::uint64_t start = 0;
        for (std::uint64_t& next : counts.subspan(digit * (kDigitMask + 1), kDigitMask + 1)) {
            start += std::exchange(next, start);
        }
        for (const std::uint64_t key : from) to[static_cast<std::size_t>(count(digit, key)++)] = key;
        std::swap(from, to);
    }
    if (from.data() != keys.data()) std::copy(from.begin(), from.end(), keys.begin());
}

// The keys of the programmes, put in `room` (one for each record at most), sorted.
Keys sortedProgs(const PalmDB& progsDb, DamageReport& damage, Keys room, Keys scratch) {
    constexpr RecordKind kProgs{ProgRecord::kKind, ProgRecord::kMinimumSize, "programme", "short prog record"};
    std::size_t count = 0;
    for (std::size_t i = 0; i < progsDb.recordCount(); ++i) {
        const RecordEntry entry = progsDb.entry(i);
        if (!makesRow(progsDb, entry, i, kProgs, damage)) continue;
        room[count++] = std::uint64_t{ProgRecord::tapeIdOf(entry.data)} << 32 |
                        std::uint64_t{ProgRecord::orderOf(entry.data)} << 16 | i;
    }
    const Keys progs = room.first(count);
    // Programmes stored tape by tape, as a catalogue entered in that order
    // holds them, need no sort.
    if (!std::is_sorted(progs.begin(), progs.end())) sortKeys(progs, scratch);
    return progs;
}

// Every record of the tape database by its unique ID, then by its place in
// the file: a programme's tape is the first record listed with its tape ID,
// whatever its kind or length and whatever a salvage run reports of it, so
// that salvage gives each intact programme the label a default run gives it.
// (A default run never gets here with a tape too short for its label: the
// tape list has ended it.) The keys are put in `room`, one for each record.
Keys tapesByUniqueId(const PalmDB& tapesDb, Keys room, Keys scratch) {
    for (std::size_t i = 0; i < tapesDb.recordCount(); ++i) {
        room[i] = std::uint64_t{tapesDb.entry(i).uniqueId} << 16 | i;
    }
    const Keys tapes = room.first(tapesDb.recordCount());
    // A handheld hands out rising IDs, so the list is often in order already.
    if (!std::is_sorted(tapes.begin(), tapes.end())) sortKeys(tapes, scratch);
    return tapes;
}

// The labels of the tape records are copied into `labels`, a slot for each
// record, filled up with NUL behind a shorter one (whose record ends before
// 16 bytes of label): the programme rows then take a tape's label from a
// table of 1 MiB at most, which the processor's caches hold, not from the
// tape record, which in a catalogue kept in any order lies anywhere in the
// file.
void copyLabels(const PalmDB& tapesDb, std::span<char> labels) {
    constexpr std::size_t kSlot = ProgOrder::kLabelSlot;
    for (std::size_t i = 0; i < tapesDb.recordCount(); ++i) {
        const std::string_view label = TapeRecord::labelOf(tapesDb.entry(i).data);
        char* const slot = &labels[i * kSlot];
        if (label.size() == kSlot) {
            std::memcpy(slot, label.data(), kSlot);
        } else {
            std::fill(std::copy(label.begin(), label.end(), slot), slot + kSlot, '\0');
        }
    }
}

constexpr std::size_t kLabelWords = ProgOrder::kLabelSlot / sizeof(std::uint64_t);
constexpr std::size_t kSlotsPerWord = sizeof(std::uint64_t) / sizeof(std::uint16_t);

// The lowest and highest unique ID of the tape records; {1, 0} when there are none.
std::pair<std::uint32_t, std::uint32_t> uniqueIdRange(const PalmDB& tapesDb) {
    std::uint32_t lowest = UINT32_MAX;
    std::uint32_t highest = 0;
    for (std::size_t i = 0; i < tapesDb.recordCount(); ++i) {
        const std::uint32_t id = tapesDb.entry(i).uniqueId;
        lowest = std::min(lowest, id);
        highest = std::max(highest, id);
    }
    return lowest <= highest ? std::pair{lowest, highest} : std::pair<std::uint32_t, std::uint32_t>{1, 0};
}

}  // namespace

// How the block is laid out. With a look-up table: the programmes' keys, the
// table, then room to sort the keys in, which afterwards holds the labels.
// Without: the labels, the keys of both lists and room to sort them in.
struct ProgOrder::Layout {
    std::uint32_t lowestId = 0;
    std::size_t slots = 0;
    std::size_t slotWords = 0;
    std::size_t words = 0;

    Layout(std::size_t progCount, const PalmDB& tapesDb) {
        const std::size_t tapeCount = tapesDb.recordCount();
        const auto [lowest, highest] = uniqueIdRange(tapesDb);
        // A table where the IDs lie close enough: up to four slots for each
        // tape (and 4096 for a small catalogue). The largest catalogue then
        // keeps its keys, its table and its labels in one huge page of 2 MiB
        // (base/LargeBlocks.h).
        const std::size_t span = lowest <= highest ? std::size_t{highest - lowest} + 1 : 0;
        if (span != 0 && span <= 4 * std::max<std::size_t>(tapeCount, 1024)) {
            lowestId = lowest;
            slots = span;
            slotWords = (span + kSlotsPerWord - 1) / kSlotsPerWord;
            words = progCount + slotWords + std::max(sortRoom(progCount), kLabelWords * tapeCount);
        } else {
            words = kLabelWords * tapeCount + progCount + tapeCount + sortRoom(std::max(progCount, tapeCount));
        }
    }
};

ProgOrder::ProgOrder(const PalmDB& progsDb, const PalmDB& tapesDb, DamageReport& damage)
    : ProgOrder(progsDb, tapesDb, damage, Layout(progsDb.recordCount(), tapesDb)) {}

ProgOrder::ProgOrder(const PalmDB& progsDb, const PalmDB& tapesDb, DamageReport& damage, const Layout& layout)
    : buffer_(layout.words) {
    const std::size_t progCount = progsDb.recordCount();
    const std::size_t tapeCount = tapesDb.recordCount();
    const Keys block = buffer_.span();
    if (layout.slots != 0) {
        const Keys room = block.subspan(progCount + layout.slotWords);
        progs_ = sortedProgs(progsDb, damage, block.first(progCount), room);
        labels_ = {reinterpret_cast<char*>(room.data()), kLabelSlot * tapeCount};
        copyLabels(tapesDb, labels_);
        lowestId_ = layout.lowestId;
        slots_ = {reinterpret_cast<std::uint16_t*>(block.subspan(progCount).data()), layout.slots};
        std::fill(slots_.begin(), slots_.end(), std::uint16_t{0});
        // The first record listed with an ID holds its slot. (A database
        // holds at most 65535 records, so its place plus one fits.)
        for (std::size_t i = 0; i < tapeCount; ++i) {
            const RecordEntry entry = tapesDb.entry(i);
            std::uint16_t& slot = slots_[entry.uniqueId - lowestId_];
            if (slot == 0) slot = static_cast<std::uint16_t>(i + 1);
        }
    } else {
        labels_ = {reinterpret_cast<char*>(block.data()), kLabelSlot * tapeCount};
        const Keys keys = block.subspan(kLabelWords * tapeCount);
        const Keys scratch = keys.subspan(progCount + tapeCount);
        progs_ = sortedProgs(progsDb, damage, keys.first(progCount), scratch);
        tapes_ = tapesByUniqueId(tapesDb, keys.subspan(progCount, tapeCount), scratch);
        copyLabels(tapesDb, labels_);
    }
}

std::size_t ProgOrder::findTape(std::uint32_t tapeId, std::size_t row) {
    if (!slots_.empty()) {
        const auto placeOf = [this](std::uint32_t id) -> std::size_t {
            const std::size_t at = id - lowestId_;
            return at < slots_.size() && slots_[at] != 0 ? slots_[at] - std::size_t{1} : kNoTape;
        };
        if (row + detail::kAhead < progs_.size()) {
            const std::size_t ahead = placeOf(static_cast<std::uint32_t>(progs_[row + detail::kAhead] >> 32));
            if (ahead != kNoTape) detail::prefetch(&labels_[ahead * kLabelSlot]);
        }
        return placeOf(tapeId);
    }
    // Both lists rise in tape ID: walk the tapes' keys forward to this one.
    while (walked_ < tapes_.size() && (tapes_[walked_] >> 16) < tapeId) ++walked_;
    if (walked_ + detail::kAhead < tapes_.size()) {
        detail::prefetch(&labels_[(tapes_[walked_ + detail::kAhead] & kFileIndexMask) * kLabelSlot]);
    }
    return walked_ < tapes_.size() && (tapes_[walked_] >> 16) == tapeId ? tapes_[walked_] & kFileIndexMask
                                                                         : kNoTape;
}

}  // namespace reelport
