// SPDX-License-Identifier: MIT
#include "CornerCatalogue.h"

#include <cstdint>
#include <string>

namespace reelport {

namespace {

// `data` with its kind byte set and its last `drop` bytes cut off.
Bytes edited(Bytes data, std::uint8_t kind, std::size_t drop = 0) {
    data[0] = kind;
    data.resize(data.size() - drop);
    return data;
}

}  // namespace

PdbFile cornerTapes() {
    PdbFile file;
    file.appInfo = categoryBlock({"Unfiled", "0123456789ABCDEF", "Next"});
    file.records = {
        // A 16-byte label right before the length 0x4142 ("AB"); category 1 in
        // attributes with flag bits set; a 16-byte category name before "Next".
        record(tapeRecord({"0123456789ABCDEF", 0x4142, "label \"quoted\""}), 0x010203, 0x91),
        record(tapeRecord({"Zero", 0, "category 9: no name, not category 1's"}), 0, 9),
        record(tapeRecord({"Max", 65535, "category 15 has no name"}), 0xFFFFFF, 15),
        record(edited(tapeRecord({"Kind AF", 59, "low bits of the kind byte"}), 0xAF), 4),
        record(progRecord({1, 1, 0, 0, 0, 0, "a programme", ""}), 5),  // no tape: passed over
        record({0x0A, 0, 'O', 'd', 'd', 0}, 6),                           // no tape, yet a programme's
        record({}, 7),                                                    // empty: passed over
        record(tapeRecord({"Hour", 3600, ""}), 8),
        record(tapeRecord({"Almost an hour", 3599, ""}), 9),
        record(tapeRecord({"Ten hours", 36000, ""}), 10),
        record(tapeRecord({"Second eight", 60, "programmes on 8 carry the first one's label"}), 8),
        record(edited(tapeRecord({"No note", 120, ""}), 0xA0, 16), 12),  // kind, label and length only
        // Unique ID 100: its leading digits come to 100 exactly, where a digit-pair writer may slip.
        record(tapeRecord({"Notes", 7200, "\"\"starts and ends\"\r\nCR LF, lone \r, caf\xE9, \""}), 100),
        // The handheld's own glyphs and the gaps of Windows-1252, in a label and in a note.
        record(tapeRecord({"Suits \x8D\x8F\x90\x18", 60, "\x19\x81\x9D\x80\x7F\x01"}), 101),
        record(edited(tapeRecord({"Last", 60, "runs to the end of the record"}), 0xA0, 1), 14),
    };
    return file;
}

PdbFile cornerProgs() {
    PdbFile file;
    file.appInfo = categoryBlock({"Unfiled", "Film \x85\xE9", "0123456789ABCDEF", "Next"});
    file.records = {
        record(progRecord({0xFFFFFF, 1, kSeen | kKeep | 3, 9, 65535, 0xFFFF, "Longest", "speed ??"}), 0x101, 0x92),
        record(progRecord({0x010203, 65535, kSpeedSP, 255, 5400, 0, "Last on its tape", ""}), 0x102),
        record(progRecord({0x010203, 256, kSpeedLP, 10, 5400, 0xC481, "Order 256", ""}), 0x103, 1),
        record(tapeRecord({"a tape", 0, ""}), 0x111),  // passed over
        record(progRecord({0x010203, 1, kSpeedEP, 207, 5400, palmDate(1999, 12, 31), "First on its tape", ""}), 0x104),
        record(progRecord({0x010203, 256, kSeen, 1, 0, palmDate(2000, 1, 1), "Order 256 again", ""}), 0x105),
        // A rating of 232 is written as the byte 0x18, the handheld's ellipsis.
        record(progRecord({6, 1, 0, 232, 0, 0, "On another kind of record", ""}), 0x109),
        record(progRecord({7, 1, 0, 0, 0, 0, "On an empty record", ""}), 0x10A),
        record({}, 0x112),  // passed over
        record(progRecord({8, 1, 0, 0, 0, 0, "On the first of two eights", ""}), 0x10B),
        record(progRecord({9, 1, kSeen | kKeep | kSpeedEP, 5, 1200, palmDate(2001, 2, 3), "", "unwritten"}), 0x10C, 1),
        record(edited(progRecord({9, 2, kSpeedLP, 3, 900, 0, "", ""}), 0xB0, 2), 0x10D),  // ends at its title
        record(edited(progRecord({10, 1, 0, 0, 0, 0, "Title to the end", ""}), 0xB0, 2), 0x10E),
        record(progRecord({10, 2, 0, 0, 0, 0, "\"Quoted\", title\nline 2", "note, \"quoted\"\r\n"}), 0x10F),
        record(edited(progRecord({10, 3, 0, 0, 0, 0, "Kind B7", ""}), 0xB7), 0x110),
        record({0x0B, 0}, 0x113),  // passed over
        record(progRecord({0, 0, 0x5C, 0, 60, palmDate(1990, 6, 15), "Unused flag bits", ""}), 0x106),
        record(progRecord({0, 2, kSeen, 5, 3600, 0, "Seen", ""}), 0x107),
        record(progRecord({0, 1, kKeep, 0, 3599, 0, "Keep", ""}), 0x108),
    };
    // More programmes with equal keys than a sort keeps in order unless it is stable.
    for (std::uint32_t i = 0; i < 30; ++i) {
        const std::uint32_t tape = i % 2 == 0 ? 4 : 14;
        file.records.push_back(
            record(progRecord({tape, 7, 0, 0, 0, 0, "Equal keys " + std::to_string(i), ""}), 0x200 + i));
    }
    return file;
}

}  // namespace reelport
