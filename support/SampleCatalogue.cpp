// SPDX-License-Identifier: MIT
#include "SampleCatalogue.h"

#include <cstdint>

namespace reelport {

namespace {

// Tape record unique IDs; programmes name their tape by it.
constexpr std::uint32_t kFirstTapeId = 0x5A1001;

struct SampleTape {
    std::uint8_t category;
    TapeFields fields;
};

// Texts are in the handheld's character set, Windows-1252: "\xE9" is an e
// with an acute accent, "\xFC" a u with two dots.
const std::vector<SampleTape>& sampleTapes() {
    static const std::vector<SampleTape> tapes = {
        {1, {"Films 1", 10800, "E-180, bought 1998"}},
        {1, {"Films 2", 14400, "E-240"}},
        {2, {"Twin Peaks", 14400, "Season 1, \"complete\""}},
        {2, {"Twin Peaks II", 14400, "Season 2 (part)"}},
        {3, {"Nature & Wildlife", 10800, "Label says \"Tierfilme\"\nsecond line of the note"}},
        {4, {"World Cup 98", 18000, "Final + highlights"}},
        {5, {"Concerts", 7200, "Unplugged, Live Aid"}},
        {6, {"Kids", 10800, "Saturday mornings"}},
        {1, {"Caf\xE9 Classics", 11700, "Old films, b/w"}},
        {0, {"Spare tape", 1800, ""}},
        {3, {"Documentaries", 14400, "Space, history"}},
        {1, {"Films 3", 10800, "Recorded at EP"}},
    };
    return tapes;
}

struct SampleProg {
    std::uint8_t category;
    std::uint32_t uniqueId;
    ProgFields fields;
};

std::vector<SampleProg> samplePrograms() {
    const auto tape = [](int n) { return kFirstTapeId + static_cast<std::uint32_t>(n); };
    // Stored in the order they were entered on the handheld, not by tape.
    return {
        {1, 0x5B2001, {tape(0), 1, kSeen | kKeep | kSpeedSP, 5, 6480, palmDate(1998, 12, 24), "Casablanca", "Play it, Sam"}},
        {1, 0x5B2002, {tape(0), 2, kSeen | kSpeedSP, 4, 5820, palmDate(1998, 12, 26), "The Third Man", ""}},
        {1, 0x5B2003, {tape(0), 3, kSpeedLP, 0, 3000, palmDate(1999, 1, 2), "Some Like It Hot", "LP, the end is cut"}},
        {2, 0x5B2004, {tape(2), 1, kSeen | kKeep | kSpeedSP, 5, 5400, palmDate(1999, 3, 7), "Twin Peaks: Pilot", ""}},
        {2, 0x5B2005, {tape(2), 2, kSeen | kKeep | kSpeedSP, 4, 2820, palmDate(1999, 3, 14), "Twin Peaks 1x01", "Traces to Nowhere"}},
        {2, 0x5B2006, {tape(2), 3, kSeen | kKeep | kSpeedSP, 4, 2820, palmDate(1999, 3, 21), "Twin Peaks 1x02", "Zen, or the Skill to Catch a Killer"}},
        {2, 0x5B2007, {tape(2), 4, kKeep | kSpeedSP, 0, 2820, palmDate(1999, 3, 28), "Twin Peaks 1x03", ""}},
        {3, 0x5B2008, {tape(4), 1, kSeen | kSpeedLP, 3, 2700, palmDate(2000, 5, 1), "Life on Earth", "Episode \"The Infinite Variety\""}},
        {3, 0x5B2009, {tape(4), 2, kSpeedLP, 0, 2700, palmDate(2000, 5, 8), "Life on Earth", "Episode 2"}},
        {5, 0x5B200A, {tape(6), 1, kSeen | kKeep | kSpeedSP, 5, 3600, palmDate(1993, 11, 18), "MTV Unplugged", "Nirvana, New York"}},
        {4, 0x5B200B, {tape(5), 1, kSeen | kKeep | kSpeedSP, 5, 7200, palmDate(1998, 7, 12), "World Cup Final", "France - Brazil 3:0"}},
        {4, 0x5B200C, {tape(5), 2, kSeen | kSpeedSP, 2, 5400, palmDate(1998, 7, 11), "Third place", "Croatia - Netherlands"}},
        {4, 0x5B200D, {tape(5), 3, kSpeedSP, 0, 3600, palmDate(1998, 7, 13), "Highlights", ""}},
        {6, 0x5B200E, {tape(7), 1, kSeen | kSpeedEP, 3, 1800, palmDate(2001, 2, 3), "Cartoon morning", "Three hours at EP"}},
        {6, 0x5B200F, {tape(7), 2, kSpeedEP, 0, 1200, palmDate(2001, 2, 10), "Sesame Street", ""}},
        {1, 0x5B2010, {tape(8), 1, kSeen | kKeep | kSpeedSP, 5, 5880, palmDate(2002, 4, 1), "Am\xE9lie", "Le fabuleux destin, \xFC" "ber 2 Stunden"}},
        {1, 0x5B2011, {tape(8), 2, kSeen | kSpeedSP, 3, 5700, palmDate(2002, 4, 5), "Metropolis", "Silent, \"restored\" version"}},
        {2, 0x5B2012, {tape(3), 1, kSeen | kSpeedLP, 4, 1410, palmDate(2000, 1, 10), "Twin Peaks 2x01", "May the Giant Be with You"}},
        {2, 0x5B2013, {tape(3), 2, kSeen | kSpeedLP, 4, 1410, palmDate(2000, 1, 17), "Twin Peaks 2x02", "Coma"}},
        {2, 0x5B2014, {tape(3), 3, kSpeedLP, 0, 1410, palmDate(2000, 1, 24), "Twin Peaks 2x03", "The Man Behind Glass"}},
        {0, 0x5B2015, {tape(3), 4, kSpeedLP, 0, 900, palmDate(2000, 1, 31), "", "Recorded by mistake: news"}},
        {3, 0x5B2016, {tape(10), 1, kSeen | kKeep | kSpeedSP, 5, 3300, palmDate(2003, 6, 2), "Cosmos", "Part 1, \"The Shores of the Cosmic Ocean\""}},
        {3, 0x5B2017, {tape(10), 2, kSeen | kSpeedSP, 4, 3300, palmDate(2003, 6, 9), "Cosmos", "Part 2"}},
        {3, 0x5B2018, {tape(10), 3, kSpeedSP, 0, 3000, palmDate(2003, 6, 16), "History of the 20th century", ""}},
        {1, 0x5B2019, {tape(11), 1, kSeen | kSpeedEP, 3, 2100, palmDate(2004, 9, 5), "Jaws", ""}},
        {1, 0x5B201A, {tape(11), 2, kSeen | kSpeedEP, 4, 2400, palmDate(2004, 9, 12), "Alien", "Director's cut"}},
        {1, 0x5B201B, {tape(11), 3, kSpeedEP, 0, 2500, palmDate(2004, 9, 19), "Blade Runner", "Voice-over, 1982"}},
        {1, 0x5B201C, {tape(11), 4, kSpeedEP, 0, 2200, palmDate(2004, 9, 26), "Brazil", ""}},
        {1, 0x5B201D, {tape(1), 1, kSeen | kKeep | kSpeedSP, 5, 10020, palmDate(1999, 12, 25), "Lawrence of Arabia", "Two parts, with intermission"}},
        {1, 0x5B201E, {tape(1), 2, kSeen | kSpeedSP, 3, 4200, palmDate(2000, 1, 1), "Dr. Strangelove", "or: How I Learned to Stop Worrying"}},
        {5, 0x5B201F, {tape(6), 2, kSeen | kSpeedSP, 4, 3000, palmDate(1985, 7, 13), "Live Aid", "London, Wembley"}},
        {5, 0x5B2020, {tape(6), 3, kSpeedSP, 0, 500, palmDate(1985, 7, 14), "Live Aid, Philadelphia", ""}},
        {6, 0x5B2021, {tape(7), 3, kSeen | kSpeedEP, 2, 1500, palmDate(2001, 2, 17), "Pippi Longstocking", ""}},
        {0, 0x5B2022, {tape(0), 4, kSpeedSP, 0, 300, palmDate(1999, 1, 3), "Trailer", "Cut off at the end"}},
        {4, 0x5B2023, {tape(5), 4, kSeen | kSpeedSP, 1, 1200, palmDate(1998, 7, 14), "Press conference", ""}},
        {3, 0x5B2024, {tape(4), 3, kSeen | kKeep | kSpeedLP, 5, 2700, palmDate(2000, 5, 15), "Life on Earth", "Episode 3, \"The First Forests\""}},
        {1, 0x5B2025, {tape(8), 3, kSpeedSP, 0, 0, 0, "To be recorded", "Slot kept free"}},
        {2, 0x5B2026, {tape(2), 5, kSeen | kKeep | kSpeedSP, 4, 2820, palmDate(1999, 4, 4), "Twin Peaks 1x04", ""}},
        {2, 0x5B2027, {tape(2), 6, kSeen | kKeep | kSpeedSP, 4, 2820, palmDate(1999, 4, 11), "Twin Peaks 1x05", ""}},
        {3, 0x5B2028, {tape(10), 4, kSeen | kSpeedSP, 3, 2700, palmDate(2003, 6, 23), "Moon landing", "Apollo 11, 1969"}},
    };
}

}  // namespace

Bytes sampleTapesDatabase() {
    PdbFile file;
    file.name = "CinecaseTapes";
    file.appInfo = categoryBlock({"Unfiled", "Films", "Series", "Nature", "Sports", "Music", "Kids"});
    std::uint32_t uniqueId = kFirstTapeId;
    for (const SampleTape& tape : sampleTapes()) {
        file.records.push_back(record(tapeRecord(tape.fields), uniqueId++, tape.category));
    }
    return buildPdb(file);
}

Bytes sampleProgsDatabase() {
    PdbFile file;
    file.name = "CinecaseProgs";
    file.appInfo = categoryBlock({"Unfiled", "Film", "Series", "Documentary", "Sport", "Concert", "Children"});
    for (const SampleProg& prog : samplePrograms()) {
        file.records.push_back(record(progRecord(prog.fields), prog.uniqueId, prog.category));
    }
    return buildPdb(file);
}

}  // namespace reelport
