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
// `scratch` lends room for the passes: kSortRoom more than the keys.
constexpr unsigned kSortedBits = 16;
constexpr unsigned kDigitBits = 12;
constexpr unsigned kDigits = (64 - kSortedBits) / kDigitBits;
constexpr std::uint64_t kDigitMask = (std::uint64_t{1} << kDigitBits) - 1;
constexpr std::size_t kSortRoom = kDigits * (kDigitMask + 1);
void sortKeys(Keys keys, Keys scratch) {
    if (keys.empty()) return;
    // How many keys hold each value of each digit, then where the next of them goes.
    const Keys counts = scratch.last(kSortRoom);
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
//
// Their labels are copied on the way into `labels`, a slot for each record,
// filled up with NUL behind a shorter one (whose record ends before 16 bytes
// of label): the programme rows then take a tape's label from a table of
// 1 MiB, which the processor's caches hold, not from the tape record, which
// in a catalogue kept in any order lies anywhere in the file.
Keys tapesByUniqueId(const PalmDB& tapesDb, Keys room, Keys scratch, std::span<char> labels) {
    constexpr std::size_t kSlot = ProgOrder::kLabelSlot;
    std::size_t count = 0;
    for (std::size_t i = 0; i < tapesDb.recordCount(); ++i) {
        const RecordEntry entry = tapesDb.entry(i);
        room[count++] = std::uint64_t{entry.uniqueId} << 16 | i;
        const std::string_view label = TapeRecord::labelOf(entry.data);
        char* const slot = &labels[i * kSlot];
        if (label.size() == kSlot) {
            std::memcpy(slot, label.data(), kSlot);
        } else {
            std::fill(std::copy(label.begin(), label.end(), slot), slot + kSlot, '\0');
        }
    }
    const Keys tapes = room.first(count);
    // A handheld hands out rising IDs, so the list is often in order already.
    if (!std::is_sorted(tapes.begin(), tapes.end())) sortKeys(tapes, scratch);
    return tapes;
}

// The labels first, in words of the block, then the keys of both lists and
// room to sort them in: for the largest catalogue one huge page
// (base/LargeBlocks.h), not four.
constexpr std::size_t kLabelWords = ProgOrder::kLabelSlot / sizeof(std::uint64_t);
std::size_t blockWords(const PalmDB& progsDb, const PalmDB& tapesDb) {
    const std::size_t progCount = progsDb.recordCount();
    const std::size_t tapeCount = tapesDb.recordCount();
    return kLabelWords * tapeCount + progCount + tapeCount + std::max(progCount, tapeCount) + kSortRoom;
}

}  // namespace

ProgOrder::ProgOrder(const PalmDB& progsDb, const PalmDB& tapesDb, DamageReport& damage)
    : buffer_(blockWords(progsDb, tapesDb)) {
    const std::size_t progCount = progsDb.recordCount();
    const std::size_t tapeCount = tapesDb.recordCount();
    labels_ = {reinterpret_cast<char*>(buffer_.span().data()), kLabelSlot * tapeCount};
    const Keys block = buffer_.span().subspan(kLabelWords * tapeCount);
    const Keys scratch = block.subspan(progCount + tapeCount);
    progs_ = sortedProgs(progsDb, damage, block.first(progCount), scratch);
    tapes_ = tapesByUniqueId(tapesDb, block.subspan(progCount, tapeCount), scratch, labels_);
}

}  // namespace reelport
