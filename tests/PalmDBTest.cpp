// SPDX-License-Identifier: MIT
#include "PalmDB.h"

#include "TestSupport.h"

#include <filesystem>

#include <functional>

namespace reelport {
namespace {

using test::IsFatalCheck;

// A database of `count` records of `size` bytes each, unique IDs 1, 2, ...
PdbFile withRecords(std::size_t count, std::size_t size) {
    PdbFile file;
    for (std::size_t i = 0; i < count; ++i) {
        file.records.push_back({Bytes(size, static_cast<std::uint8_t>(i)), 0, static_cast<std::uint32_t>(i + 1), {}});
    }
    return file;
}

PalmDB loaded(const Bytes& image) {
    PalmDB db;
    db.load(image, "test.PDB");
    return db;
}

Bytes truncated(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

struct DamagedFile {
    const char* what;
    std::function<Bytes()> make;
    const char* condition;
};

// In these files, with two records of 10 bytes and no blocks, the record list
// ends at 94 and the data starts at 96.
const DamagedFile kDamagedFiles[] = {
    {"empty file", [] { return Bytes(); }, "short header read"},
    {"78-byte header without filler", [] { return truncated(buildPdb({}), 78); }, "short header read"},
    {"79 bytes", [] { return truncated(buildPdb({}), 79); }, "short header read"},
    {"chained record list",
     [] {
         PdbFile file;
         file.nextRecordListId = 1;
         return buildPdb(file);
     },
     "Cannot parse chained record lists"},
    {"more records claimed than listed",
     [] {
         PdbFile file = withRecords(1, 4);
         file.numRecords = 5;
         return buildPdb(file);
     },
     "short record entry read"},
    {"record list cut inside an entry", [] { return truncated(buildPdb(withRecords(2, 10)), 90); },
     "short record entry read"},
    {"appinfo inside the filler of an empty list",
     [] {
         PdbFile file;
         file.appInfo = Bytes(10);
         file.appInfoOffset = 79;
         return buildPdb(file);
     },
     "missed appinfo position"},
    {"appinfo inside the record list",
     [] {
         PdbFile file = withRecords(2, 10);
         file.appInfo = Bytes(10);
         file.appInfoOffset = 86;
         return buildPdb(file);
     },
     "missed appinfo position"},
    {"appinfo claiming gigabytes up to the sortinfo",
     [] {
         PdbFile file;
         file.appInfo = Bytes(300);
         file.sortInfoOffset = 0xFFFFFF00;
         return buildPdb(file);
     },
     "short appinfo read"},
    {"appinfo beyond the end of a file without records",
     [] {
         PdbFile file;
         file.appInfo = Bytes(8);
         file.appInfoOffset = 5000;
         return buildPdb(file);
     },
     "short appinfo read"},
    {"sortinfo before the appinfo",
     [] {
         PdbFile file;
         file.appInfo = Bytes(40);
         file.appInfoOffset = 100;
         file.sortInfoOffset = 90;
         return buildPdb(file);
     },
     "missed sortinfo position"},
    {"sortinfo inside the filler of an empty list",
     [] {
         PdbFile file;
         file.sortInfo = Bytes(10);
         file.sortInfoOffset = 78;
         return buildPdb(file);
     },
     "missed sortinfo position"},
    {"sortinfo beyond the end of a file without records",
     [] {
         PdbFile file;
         file.sortInfo = Bytes(8);
         file.sortInfoOffset = 5000;
         return buildPdb(file);
     },
     "short sortinfo read"},
    {"sortinfo up to a first record claimed at 2 GiB - 16",
     [] {
         PdbFile file = withRecords(1, 10);
         file.sortInfo = Bytes(8);
         file.records[0].offset = 0x7FFFFFF0;
         return buildPdb(file);
     },
     "short sortinfo read"},
    {"first record inside the record list",
     [] {
         PdbFile file = withRecords(2, 10);
         file.records[0].offset = 80;
         return buildPdb(file);
     },
     "missed first record position"},
    {"first record before the end of the appinfo",
     [] {
         PdbFile file = withRecords(1, 10);
         file.appInfo = Bytes(20);
         file.records[0].offset = 86;  // the appinfo starts at 88
         return buildPdb(file);
     },
     "missed first record position"},
    {"first record before the sortinfo",
     [] {
         PdbFile file = withRecords(1, 10);
         file.sortInfo = Bytes(20);
         file.records[0].offset = 87;
         return buildPdb(file);
     },
     "missed first record position"},
    {"first record at 2 GiB (the check is signed)",
     [] {
         PdbFile file = withRecords(1, 10);
         file.records[0].offset = 0x80000000;
         return buildPdb(file);
     },
     "missed first record position"},
    {"next record before the previous one",
     [] {
         PdbFile file = withRecords(2, 10);
         file.records[1].offset = 95;
         return buildPdb(file);
     },
     "record position mismatch"},
    {"record running past the end of the file",
     [] {
         PdbFile file = withRecords(2, 10);
         file.records[1].offset = 0xFFFFFFF0;
         return buildPdb(file);
     },
     "short data read"},
    {"last record beyond the end of the file",
     [] {
         PdbFile file = withRecords(1, 10);
         file.records[0].offset = 200;
         return buildPdb(file);
     },
     "short data read"},
};

TEST(PalmDBLoad, RefusesEachDamagedLayoutWithItsFatalCheck) {
    for (const DamagedFile& damaged : kDamagedFiles) {
        SCOPED_TRACE(damaged.what);
        const Bytes image = damaged.make();
        const auto failure = test::failureOf([&] { loaded(image); });
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->status(), kStatusFatal);
        EXPECT_THAT(std::string(failure->message()), IsFatalCheck(damaged.condition, "PalmDB.cpp"));
    }
}

TEST(PalmDBLoad, DecodesHeaderAndRecordEntries) {
    PdbFile file = withRecords(2, 3);
    file.version = 0x0123;
    file.attributes = 0x0008;
    file.records[0].attributes = 0x47;
    file.records[1].uniqueId = 0x010203;
    const PalmDB db = loaded(buildPdb(file));

    EXPECT_EQ(db.header().version, 0x0123);
    EXPECT_EQ(db.header().attributes, 0x0008);
    EXPECT_EQ(db.header().type, fourCharCode("DATA"));
    EXPECT_EQ(db.header().creator, fourCharCode("Qox0"));
    EXPECT_EQ(db.header().numRecords, 2);
    ASSERT_EQ(db.recordCount(), 2u);
    EXPECT_EQ(db.entry(0).offset, 96u);
    EXPECT_EQ(db.entry(0).categoryIndex(), 7u);
    EXPECT_EQ(db.entry(1).uniqueId, 66051u);
    EXPECT_EQ(db.entry(1).offset, 99u);
    EXPECT_EQ(Bytes(db.entry(1).data.begin(), db.entry(1).data.end()), Bytes(3, 1));
}

TEST(PalmDBLoad, EmptyDatabaseHasNoRecordsAndNoBlocks) {
    const PalmDB db = loaded(buildPdb({}));
    EXPECT_TRUE((db.recordCount() == 0));
    EXPECT_TRUE(db.appInfo().empty());
    EXPECT_TRUE(db.sortInfo().empty());
}

TEST(PalmDBLoad, BlocksOfADatabaseWithoutRecordsRunToTheEndOfTheFile) {
    PdbFile onlyAppInfo;
    onlyAppInfo.appInfo = Bytes(258, 7);
    EXPECT_EQ(loaded(buildPdb(onlyAppInfo)).appInfo().size(), 258u);

    PdbFile both;
    both.appInfo = Bytes(20, 1);
    both.sortInfo = Bytes(30, 2);
    const PalmDB db = loaded(buildPdb(both));
    EXPECT_EQ(db.appInfo().size(), 20u);
    EXPECT_EQ(db.sortInfo().size(), 30u);
    EXPECT_EQ(db.sortInfo()[0], 2);
}

TEST(PalmDBLoad, SortInfoWithoutAppInfoRunsToTheFirstRecord) {
    PdbFile file = withRecords(1, 5);
    file.sortInfo = Bytes(12, 9);
    const PalmDB db = loaded(buildPdb(file));
    EXPECT_TRUE(db.appInfo().empty());
    EXPECT_EQ(db.sortInfo().size(), 12u);
    EXPECT_EQ(db.entry(0).data.size(), 5u);
}

TEST(PalmDBLoad, SkipsAGapBeforeTheFirstRecord) {
    PdbFile file = withRecords(2, 4);
    file.filler = 40;
    const PalmDB db = loaded(buildPdb(file));
    EXPECT_EQ(db.entry(0).offset, 134u);
    EXPECT_EQ(db.entry(1).data.size(), 4u);
}

TEST(PalmDBLoad, AcceptsEmptyRecordsAndEmptyBlocksWhereverTheyLie) {
    PdbFile file = withRecords(3, 6);
    file.records[1].data.clear();  // same offset as the next record
    file.records[2].data.clear();  // last record at the end of the file
    const PalmDB db = loaded(buildPdb(file));
    EXPECT_EQ(db.entry(0).data.size(), 6u);
    EXPECT_TRUE(db.entry(1).data.empty());
    EXPECT_TRUE(db.entry(2).data.empty());

    PdbFile atTheEnd;  // both blocks start, and end, at the end of an 80-byte file
    atTheEnd.appInfoOffset = 80;
    atTheEnd.sortInfoOffset = 80;
    const PalmDB blocks = loaded(buildPdb(atTheEnd));
    EXPECT_TRUE(blocks.appInfo().empty());
    EXPECT_TRUE(blocks.sortInfo().empty());
}

TEST(PalmDBLoad, ReadsRecordsLongerThan64KiBWhole) {
    PdbFile file = withRecords(2, 10);
    file.records[0].data.assign(65536 + 100, 0x5A);
    file.appInfo = Bytes(65536 + 3, 1);
    const PalmDB db = loaded(buildPdb(file));
    EXPECT_EQ(db.appInfo().size(), 65539u);
    EXPECT_EQ(db.entry(0).data.size(), 65636u);
    EXPECT_EQ(db.entry(1).data.size(), 10u);
}

TEST(PalmDBLoad, ReadsTheLargestRecordCount) {
    const PalmDB db = loaded(buildPdb(withRecords(65535, 1)));
    ASSERT_EQ(db.recordCount(), 65535u);
    EXPECT_EQ(db.entry(db.recordCount() - 1).uniqueId, 65535u);
}

TEST(PalmDBRead, ReportsAMissingFileWithItsPath) {
    const test::TempDir dir;
    PalmDB db;
    const auto failure = test::failureOf([&] { db.read(dir.file("CinecaseTapes.PDB")); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->status(), kStatusRefused);
    EXPECT_EQ(std::string(failure->message()), dir.file("CinecaseTapes.PDB") + ": No such file or directory\n");
}

TEST(PalmDBRead, RefusesADirectoryWithoutReadingIt) {
    const test::TempDir dir;
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("CinecaseTapes.PDB")));
    PalmDB db;
    const auto failure = test::failureOf([&] { db.read(dir.file("CinecaseTapes.PDB")); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->status(), kStatusRefused);
    // Windows' C runtime refuses to open a directory at all.
    EXPECT_EQ(std::string(failure->message()),
              dir.file("CinecaseTapes.PDB") + (test::kWindows ? ": Permission denied\n" : ": Is a directory\n"));
}

TEST(PalmDBRead, FallsBackToTheFirstNameMatchingIgnoringCase) {
    const test::TempDir dir;
    writeBytes(dir.file("cinecasetapes.pdb"), buildPdb(withRecords(1, 2)));
    writeBytes(dir.file("CINECASETAPES.PDB"), buildPdb(withRecords(3, 2)));
    writeBytes(dir.file("CinecaseTapes.PDBX"), buildPdb(withRecords(5, 2)));
    PalmDB db;
    db.read(dir.file("CinecaseTapes.PDB"));
    // Windows file names ignore case: there the first two writes went to one
    // file, which opens under the name asked for. Elsewhere 'C' sorts before 'c'.
    EXPECT_EQ(db.path(), dir.file(test::kWindows ? "CinecaseTapes.PDB" : "CINECASETAPES.PDB"));
    EXPECT_EQ(db.recordCount(), 3u);
}

TEST(PalmDBRead, PrefersTheExactName) {
    const test::TempDir dir;
    writeBytes(dir.file("CINECASETAPES.PDB"), buildPdb(withRecords(3, 2)));
    writeBytes(dir.file("CinecaseTapes.PDB"), buildPdb(withRecords(1, 2)));
    PalmDB db;
    db.read(dir.file("CinecaseTapes.PDB"));
    EXPECT_EQ(db.path(), dir.file("CinecaseTapes.PDB"));
    EXPECT_EQ(db.recordCount(), 1u);
}

}  // namespace
}  // namespace reelport

namespace reelport::test {
namespace {

TEST(FatalCheckMatcher, AcceptsOnlyTheWholeLineOfItsCondition) {
    EXPECT_TRUE(isFatalCheckLine("Assert failed: short data read (at PalmDB.cpp, line 12)\n", "short data read",
                                 "PalmDB.cpp"));
    EXPECT_FALSE(isFatalCheckLine("Assert failed: short data read (at PalmDB.cpp, line 12)\n", "short header read",
                                  "PalmDB.cpp"));
    EXPECT_FALSE(isFatalCheckLine("Assert failed: short data read (at Other.cpp, line 12)\n", "short data read",
                                  "PalmDB.cpp"));
    EXPECT_FALSE(isFatalCheckLine("Assert failed: short data read (at PalmDB.cpp, line )\n", "short data read",
                                  "PalmDB.cpp"));
    EXPECT_FALSE(isFatalCheckLine("Assert failed: short data read (at PalmDB.cpp, line 12)\nmore\n",
                                  "short data read", "PalmDB.cpp"));
}

}  // namespace
}  // namespace reelport::test
