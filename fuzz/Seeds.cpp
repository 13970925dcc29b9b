// SPDX-License-Identifier: MIT
#include "Seeds.h"

#include "CatalogueInput.h"
#include "CornerCatalogue.h"
#include "SampleCatalogue.h"

#include <cstdint>
#include <utility>

namespace reelport::fuzz {

namespace {

// A small valid pair: two tapes and three programmes on the first.
PdbFile smallTapes() {
    PdbFile file;
    file.appInfo = categoryBlock({"Unfiled", "Films"});
    file.records = {record(tapeRecord({"Films 1", 10800, "E-180"}), 0x10, 1),
                    record(tapeRecord({"Empty", 7200, "no \"programme\"\nyet"}), 0x11, 0)};
    return file;
}

PdbFile smallProgs() {
    PdbFile file;
    file.appInfo = categoryBlock({"Unfiled", "Drama"});
    file.records = {
        record(progRecord({0x10, 2, kSeen | kSpeedLP, 4, 3000, palmDate(1999, 1, 2), "Second", "b, \"c\""}), 0x21, 1),
        record(progRecord({0x10, 1, kKeep, 0, 5400, palmDate(1998, 12, 24), "First", ""}), 0x20, 0),
        record(progRecord({0x10, 3, kSpeedEP, 0, 600, 0, "", "unseen note"}), 0x22, 0)};
    return file;
}

Seed valid(std::string name, const PdbFile& tapes, const PdbFile& progs) {
    return {std::move(name), joinInput(buildPdb(tapes), buildPdb(progs)), ""};
}

Seed damaged(std::string name, Bytes tapes, Bytes progs, std::string expected) {
    return {std::move(name), joinInput(tapes, progs), std::move(expected)};
}

Bytes truncated(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

std::vector<Seed> validSeeds() {
    std::vector<Seed> out;
    out.push_back({"valid-sample", joinInput(sampleTapesDatabase(), sampleProgsDatabase()), ""});
    out.push_back(valid("valid-empty", PdbFile{}, PdbFile{}));
    out.push_back(valid("valid-small", smallTapes(), smallProgs()));
    out.push_back(valid("valid-corners", cornerTapes(), cornerProgs()));  // the end-to-end tests' catalogue

    // Blocks of every kind, empty records, records of other kinds, a label of
    // 16 bytes without NUL, a tape without note, duplicate tape IDs, every
    // speed code, a rating past '9', a title running to the end of its record.
    PdbFile tapes = smallTapes();
    tapes.sortInfo = Bytes{1, 2, 3, 4};
    tapes.records.push_back(record(tapeRecord({"Sixteen bytes!!!", 65535, ""}), 0x12, 15));
    tapes.records.push_back(record({}, 0x13));
    tapes.records.push_back(record({0x10, 0, 'x'}, 0x14));
    Bytes noNote = tapeRecord({"No note", 60, ""});
    noNote.resize(20);
    tapes.records.push_back(record(noNote, 0x15, 2));
    tapes.records.push_back(record(tapeRecord({"Same ID", 120, "second of 0x10"}), 0x10, 1));
    PdbFile progs;
    progs.sortInfo = Bytes{9, 9};
    progs.records = {
        record(progRecord({0x12, 1, kSeen | kKeep | 3, 200, 1000, palmDate(2031, 12, 31), "Speed ??", "\"q\"\n"}), 1, 3),
        record(progRecord({0x15, 1, kSpeedEP, 10, 7000, palmDate(1904, 1, 1), "EP", ""}), 2, 15),
        record({}, 3),
        record({0xC0, 1, 2}, 4),
        record(progRecord({0x10, 9, 0, 1, 1, 0, "", ""}), 5)};
    Bytes titleToEnd = progRecord({0x11, 1, 0, 0, 60, 0, "Title without NUL", ""});
    titleToEnd.resize(titleToEnd.size() - 2);
    progs.records.push_back(record(titleToEnd, 6));
    out.push_back(valid("valid-varied", tapes, progs));

    // Blocks without records, and a gap before the first record.
    PdbFile blocksOnly;
    blocksOnly.appInfo = categoryBlock({"A"});
    blocksOnly.sortInfo = Bytes(6, 0xEE);
    PdbFile gap = smallTapes();
    gap.filler = 40;
    out.push_back(valid("valid-gap-and-blocks", gap, blocksOnly));

    // Many small records, so that length fields and counts get mutated at scale.
    PdbFile manyTapes;
    PdbFile manyProgs;
    for (std::uint32_t i = 0; i < 60; ++i) {
        // Appended, not "T" + ...: g++ 12 at -O3 warns of a false -Wrestrict there.
        std::string label = "T";
        label += std::to_string(i);
        manyTapes.records.push_back(record(tapeRecord({label, static_cast<std::uint16_t>(i * 61), ""}), i + 1,
                                           static_cast<std::uint8_t>(i % 16)));
        manyProgs.records.push_back(
            record(progRecord({60 - i, static_cast<std::uint16_t>(i % 3), static_cast<std::uint8_t>(i), 0,
                               static_cast<std::uint16_t>(i * 7), 0, "P", ""}),
                   0x100 + i));
    }
    out.push_back(valid("valid-many", manyTapes, manyProgs));
    return out;
}

std::vector<Seed> damagedSeeds() {
    const Bytes goodTapes = buildPdb(smallTapes());
    const Bytes goodProgs = buildPdb(smallProgs());
    std::vector<Seed> out;

    out.push_back(damaged("fatal-short-header", truncated(goodTapes, 79), goodProgs, "short header read"));
    {
        PdbFile file = smallProgs();
        file.nextRecordListId = 0x1234;
        out.push_back(damaged("fatal-chained-list", goodTapes, buildPdb(file), "Cannot parse chained record lists"));
    }
    {
        PdbFile file = smallTapes();
        file.numRecords = 65535;  // a few hundred bytes claiming half a megabyte of record list
        out.push_back(damaged("fatal-short-entry", buildPdb(file), goodProgs, "short record entry read"));
    }
    {
        PdbFile file = smallTapes();
        file.appInfoOffset = 80;
        out.push_back(damaged("fatal-missed-appinfo", buildPdb(file), goodProgs, "missed appinfo position"));
    }
    {
        PdbFile file;
        file.appInfo = categoryBlock({"X"});
        file.sortInfoOffset = 0xFFFFFF00;  // the block would run for gigabytes
        out.push_back(damaged("fatal-short-appinfo", goodTapes, buildPdb(file), "short appinfo read"));
    }
    {
        PdbFile file = smallTapes();
        file.sortInfo = Bytes(4);
        file.sortInfoOffset = 90;
        out.push_back(damaged("fatal-missed-sortinfo", buildPdb(file), goodProgs, "missed sortinfo position"));
    }
    {
        PdbFile file;
        file.sortInfo = Bytes(8);
        file.sortInfoOffset = 0x40000000;
        out.push_back(damaged("fatal-short-sortinfo", buildPdb(file), goodProgs, "short sortinfo read"));
    }
    {
        PdbFile file = smallProgs();
        file.appInfo.reset();
        file.records[0].offset = 0x80000000;  // the check compares signed numbers
        out.push_back(damaged("fatal-missed-first-record", goodTapes, buildPdb(file), "missed first record position"));
    }
    {
        PdbFile file = smallProgs();
        file.records[2].offset = 100;
        out.push_back(damaged("fatal-record-position", goodTapes, buildPdb(file), "record position mismatch"));
    }
    {
        PdbFile file = smallProgs();
        file.records[2].offset = 0xFFFFFFF0;
        out.push_back(damaged("fatal-short-data", goodTapes, buildPdb(file), "short data read"));
    }
    {
        PdbFile file = smallProgs();
        file.type = fourCharCode("DAT ");
        out.push_back(damaged("fatal-wrong-type", goodTapes, buildPdb(file), "wrong PDB type"));
    }
    {
        PdbFile file = smallTapes();
        file.records[1].data.resize(19);
        out.push_back(damaged("fatal-short-tape", buildPdb(file), goodProgs, "short tape record"));
    }
    {
        PdbFile file = smallProgs();
        file.records[1].data.resize(15);
        out.push_back(damaged("fatal-short-prog", goodTapes, buildPdb(file), "short prog record"));
    }
    {
        PdbFile file = smallProgs();
        file.records.push_back(record(progRecord({0x99, 1, 0, 0, 60, 0, "Lost", ""}), 0x23));
        out.push_back(damaged("fatal-no-tape", goodTapes, buildPdb(file), "no matching tape for record"));
    }
    {
        PdbFile file = smallTapes();
        file.creator = fourCharCode("memo");
        out.push_back(damaged("refused-creator", buildPdb(file), goodProgs, "Invalid creator ID!"));
    }
    {
        PdbFile file = smallProgs();
        file.version = 0x11;
        out.push_back(damaged("refused-version", goodTapes, buildPdb(file), "Wrong database version!"));
    }
    // Not a database at all.
    out.push_back(damaged("fatal-text-file", Bytes(300, 'a'), goodProgs, "Cannot parse chained record lists"));
    return out;
}

}  // namespace

std::vector<Seed> seeds() {
    std::vector<Seed> all = validSeeds();
    std::vector<Seed> broken = damagedSeeds();
    all.insert(all.end(), std::make_move_iterator(broken.begin()), std::make_move_iterator(broken.end()));
    return all;
}

}  // namespace reelport::fuzz
