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
#include "LargeBlocks.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
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

// Programmes and tapes are sorted by keys packed into one u64 each, so the
// sorts compare plain integers. A database holds at most 65535 records, so a
// record's place in its file fits in the low 16 bits.
constexpr std::uint64_t kFileIndexMask = 0xFFFF;
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

// A programme's place in the list: by tape ID (bits 63-32), then by its order
// on the tape (bits 31-16), then by its place in the file (bits 15-0). The
// keys of the programmes are put in `room`, one for each record at most.
Keys sortedProgs(const PalmDB& progsDb, DamageReport* damage, Keys room, Keys scratch) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < progsDb.recordCount(); ++i) {
        const RecordEntry entry = progsDb.entry(i);
        switch (fitOf(entry, kProgKind, kMinimumSize)) {
        case RecordFit::OtherKind:
            reportOtherKind(progsDb, entry, i, "programme", damage);
            continue;
        case RecordFit::TooShort:
            if (damage == nullptr) fatalCheck("short prog record");
            damage->skipRecord(i, entry.uniqueId, "too short for a programme record");
            continue;
        case RecordFit::Whole:
            room[count++] = std::uint64_t{be32(entry.data, kTapeIdOffset)} << 32 |
                            std::uint64_t{be16(entry.data, kOrderOffset)} << 16 | i;
            break;
        }
    }
    const Keys progs = room.first(count);
    sortKeys(progs, scratch);
    return progs;
}

// Every record of the tape database by its unique ID (bits 39-16), then by
// its place in the file: a programme's tape is the first record listed with
// its tape ID, whatever its kind or length and whatever a salvage run reports
// of it, so that salvage gives each intact programme the label a default run
// gives it. (A default run never gets here with a tape too short for its
// label: the tape list has ended it.) The keys are put in `room`, one for
// each record.
//
// Their labels are copied on the way into `labels`, a slot of kLabelSlot
// bytes for each record, filled up with NUL behind a shorter one (whose
// record ends before 16 bytes of label): the programme rows
// then take a tape's label from a table of 1 MiB, which the processor's
// caches hold, not from the tape record, which in a catalogue kept in any
// order lies anywhere in the file.
constexpr std::size_t kLabelSlot = kTapeLabelSize;
Keys tapesByUniqueId(const PalmDB& tapesDb, Keys room, Keys scratch, std::span<char> labels) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < tapesDb.recordCount(); ++i) {
        const RecordEntry entry = tapesDb.entry(i);
        room[count++] = std::uint64_t{entry.uniqueId} << 16 | i;
        const std::string_view label = tapeLabel(entry);
        char* const slot = &labels[i * kLabelSlot];
        if (label.size() == kLabelSlot) {
            std::memcpy(slot, label.data(), kLabelSlot);
        } else {
            std::fill(std::copy(label.begin(), label.end(), slot), slot + kLabelSlot, '\0');
        }
    }
    const Keys tapes = room.first(count);
    // A handheld hands out rising IDs, so the list is often in order already.
    if (!std::is_sorted(tapes.begin(), tapes.end())) sortKeys(tapes, scratch);
    return tapes;
}

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
// ahead, when the entry has come, the first and the last of its first
// `reach` bytes (most records span two cache lines).
constexpr std::size_t kAhead = 16;
[[gnu::always_inline]] inline void askAhead(const PalmDB& db, std::span<const std::uint64_t> keys, std::size_t at,
                                            std::size_t reach) {
    if (at + 2 * kAhead < keys.size()) {
        prefetch(&db.recordList()[(keys[at + 2 * kAhead] & kFileIndexMask) * PalmDB::kEntrySize]);
    }
    if (at + kAhead < keys.size()) {
        const auto data = db.data(keys[at + kAhead] & kFileIndexMask);
        if (!data.empty()) {
            prefetch(data.data());
            const std::size_t size = std::min(data.size(), reach);
            if (size > 64) prefetch(&data[64]);
            prefetch(&data[size - 1]);
        }
    }
}

// Writes the row of a programme; returns whether the texts it holds end
// inside the record (a short row holds no note).
template <CsvEncoding kEncoding>
[[gnu::always_inline]] inline bool writeProgRow(const RecordEntry& prog, std::uint32_t tapeId, std::string_view tapeLabel,
                  const CategoryFields& categories, CsvWriter& out) {
    const auto data = prog.data;
    const std::uint8_t flags = data[kFlagsOffset];
    const unsigned speedCode = flags & kSpeedMask;
    const std::uint32_t seconds = std::uint32_t{be16(data, kLengthOffset)} * (speedCode + 1);
    // The length in hours and whole minutes, then the speed's name.
    const auto putLength = [&](char* at) {
        at = digits::decimal(at, seconds / 3600);
        *at++ = ':';
        at = digits::twoDigits(at, seconds / 60 % 60);
        *at++ = ',';
        at = std::copy_n(kSpeedNames[speedCode].data(), 2, at);
        *at++ = ',';
        return at;
    };

    char* at = out.beginRow();
    at = digits::decimal(at, tapeId);
    *at++ = ',';
    at = out.quoted<kEncoding>(at, tapeLabel);
    *at++ = ',';
    at = digits::decimal(at, prog.uniqueId);
    *at++ = ',';

    // A programme without a title gets a short row: no flags, date, category, rating or note.
    if (data.size() <= kTitleOffset || data[kTitleOffset] == 0) {
        at = std::copy_n("-,,,,", 5, at);
        at = putLength(at);
        *at++ = ',';
        *at++ = ',';
        out.endRow(CsvWriter::lineEnd(at));
        return data.size() > kTitleOffset;
    }
    std::size_t titleLength = 0;
    at = out.quoted<kEncoding>(at, bytesFrom(data, kTitleOffset), &titleLength);

    const unsigned date = be16(data, kDateOffset);
    const unsigned year = (date >> 9) + 1904;
    *at++ = ',';
    if ((flags & kSeenFlag) != 0) *at++ = 'X';
    *at++ = ',';
    if ((flags & kKeepFlag) != 0) *at++ = 'X';
    *at++ = ',';
    at = digits::twoDigits(at, year / 100);
    at = digits::twoDigits(at, year % 100);
    *at++ = '-';
    at = digits::twoDigits(at, date >> 5 & 0x0F);
    *at++ = '-';
    at = digits::twoDigits(at, date & 0x1F);
    *at++ = ',';
    at = putLength(at);
    at = categories.put(at, prog.categoryIndex());
    *at++ = ',';
    // The rating as one character counted up from '0'; the byte wraps past 255.
    const std::uint8_t rating = data[kRatingOffset];
    at = CsvWriter::byte<kEncoding>(at, rating > 0 ? static_cast<char>(static_cast<unsigned char>('0' + rating)) : '-');
    *at++ = ',';
    // The note starts behind the title's NUL; a title running to the end of the record has none.
    const std::size_t noteOffset = kTitleOffset + titleLength + 1;
    std::size_t noteLength = 0;
    at = out.quoted<kEncoding>(at, bytesFrom(data, noteOffset), &noteLength);
    out.endRow(CsvWriter::lineEnd(at));
    return noteOffset + noteLength < data.size();
}

// The rows of the programmes in the order of their sorted keys, each with the
// label of its tape; one loop for each encoding.
template <CsvEncoding kEncoding>
void writeProgRows(const PalmDB& progsDb, const PalmDB& tapesDb, Keys progs, Keys tapes, std::span<const char> labels,
                   const CategoryFields& categories, CsvWriter& out, DamageReport* damage) {
    // Both lists are in rising tape ID: one walk through the tapes finds them
    // all, and a run of programmes on one tape shares its look-up.
    auto tape = tapes.begin();
    std::optional<std::uint32_t> currentTape;
    bool tapeFound = false;
    std::string_view label;
    for (std::size_t row = 0; row < progs.size(); ++row) {
        askAhead(progsDb, progs, row, SIZE_MAX);
        const std::uint64_t key = progs[row];
        const auto tapeId = static_cast<std::uint32_t>(key >> 32);
        const RecordEntry prog = progsDb.entry(key & kFileIndexMask);
        if (currentTape != tapeId) {
            // Each tape passed asks for the label of one further ahead.
            while (tape != tapes.end() && *tape >> 16 < tapeId) {
                if (tapes.end() - tape > static_cast<std::ptrdiff_t>(kAhead)) {
                    prefetch(&labels[(tape[kAhead] & kFileIndexMask) * kLabelSlot]);
                }
                ++tape;
            }
            currentTape = tapeId;
            // A tape whose record could not be read at all (salvage only) is
            // missing: no later record of the same ID stands in for it.
            const bool listed = tape != tapes.end() && *tape >> 16 == tapeId;
            tapeFound = listed && !tapesDb.skipped(*tape & kFileIndexMask);
            if (!tapeFound && damage == nullptr) fatalCheck("no matching tape for record");
            // Its label: that of the record listed, none when it could not be read.
            label = listed ? std::string_view(&labels[(*tape & kFileIndexMask) * kLabelSlot], kLabelSlot)
                           : std::string_view();
        }
        if (!tapeFound) {
            damage->alterRecord(key & kFileIndexMask, prog.uniqueId,
                                "its tape {} is missing: written with an empty tape label", tapeId);
        }
        reportUnended(progsDb, prog, key & kFileIndexMask, writeProgRow<kEncoding>(prog, tapeId, label, categories, out),
                      damage);
    }
}

}  // namespace

int writeProgList(const PalmDB& progsDb, const PalmDB& tapesDb, CsvWriter& out, DamageReport* damage) {
    out.write(kHeaderLine);
    // The keys of both lists, and room to sort them in, in one block of
    // memory: for the largest catalogue one huge page (LargeBlocks.h), not four.
    // The tapes' labels come first, in words of the block's.
    const std::size_t progCount = progsDb.recordCount();
    const std::size_t tapeCount = tapesDb.recordCount();
    const std::size_t sortRoom = std::max(progCount, tapeCount) + kSortRoom;
    constexpr std::size_t kLabelWords = kLabelSlot / sizeof(std::uint64_t);
    const LargeBuffer<std::uint64_t> buffer(progCount + tapeCount + sortRoom + kLabelWords * tapeCount);
    const std::span<char> labels(reinterpret_cast<char*>(buffer.span().data()), kLabelSlot * tapeCount);
    const Keys block = buffer.span().subspan(kLabelWords * tapeCount);
    const Keys scratch = block.subspan(progCount + tapeCount, sortRoom);
    const Keys progs = sortedProgs(progsDb, damage, block.first(progCount), scratch);
    const Keys tapes = tapesByUniqueId(tapesDb, block.subspan(progCount, tapeCount), scratch, labels);
    const CategoryFields categories(progsDb.appInfo(), out);
    if (out.encoding() == CsvEncoding::Utf8) {
        writeProgRows<CsvEncoding::Utf8>(progsDb, tapesDb, progs, tapes, labels, categories, out, damage);
    } else {
        writeProgRows<CsvEncoding::Palm>(progsDb, tapesDb, progs, tapes, labels, categories, out, damage);
    }
    out.write('\n');
    return static_cast<int>(progs.size());
}

void exportProgs(const std::string& directory, PalmDB& progsDb, const PalmDB& tapesDb, Console& console,
                 DamageReport* damage, CsvEncoding encoding) {
    runExport(directory, kProgExport, progsDb, console, progListWriter(tapesDb), damage, encoding);
}

RowWriter progListWriter(const PalmDB& tapesDb) {
    return [&tapesDb](const PalmDB& db, CsvWriter& out, DamageReport* damage) {
        return writeProgList(db, tapesDb, out, damage);
    };
}

}  // namespace reelport
