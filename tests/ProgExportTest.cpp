// SPDX-License-Identifier: MIT
#include "Exports.h"

#include "TestSupport.h"

namespace reelport {
namespace {

using test::IsFatalCheck;
using test::record;

constexpr std::string_view kHeader =
    "TAPE_ID,TAPE_LABEL,PROG_ID,TITLE,SEEN,KEEP,DATE,LENGTH,SPEED,CATEGORY,RATING,NOTE\r\n";

// Tapes 1 "Alpha", 2 "Beta", 3 "Gamma", in this file order.
PdbFile threeTapes() {
    PdbFile file;
    file.records = {record(tapeRecord({"Alpha", 0, ""}), 1), record(tapeRecord({"Beta", 0, ""}), 2),
                    record(tapeRecord({"Gamma", 0, ""}), 3)};
    return file;
}

std::string progList(const PdbFile& progs, const PdbFile& tapes = threeTapes()) {
    const PalmDB progsDb = test::loadedDatabase(progs);
    const PalmDB tapesDb = test::loadedDatabase(tapes);
    CsvWriter out;
    writeProgList(progsDb, tapesDb, out);
    return out.pending();
}

// The row of one programme on tape 1 "Alpha", without its line end.
std::string progRow(const ProgFields& fields) {
    PdbFile file;
    file.records.push_back(record(progRecord(fields), 7));
    const std::string list = progList(file);
    return list.substr(kHeader.size(), list.size() - kHeader.size() - 4);
}

ProgFields titled(std::string title) {
    ProgFields prog;
    prog.tapeId = 1;
    prog.title = std::move(title);
    return prog;
}

TEST(ProgList, WritesAFullRowForATitledProgramme) {
    PdbFile progs;
    progs.appInfo = categoryBlock({"Unfiled", "Film"});
    progs.records.push_back(record(progRecord({2, 1, kSeen | kKeep | kSpeedLP, 5, 5400, palmDate(2002, 4, 1),
                                               "Am\xE9lie", "2 \"parts\",\nrestored"}),
                                   0x5B2001, 1));
    const PalmDB progsDb = test::loadedDatabase(progs);
    const PalmDB tapesDb = test::loadedDatabase(threeTapes());
    CsvWriter out;
    EXPECT_EQ(writeProgList(progsDb, tapesDb, out), 1);
    EXPECT_EQ(out.pending(), std::string(kHeader) +
                                 "2,\"Beta\",5971969,\"Am\xE9lie\",X,X,2002-04-01,3:00,LP,\"Film\",5,"
                                 "\"2 \"\"parts\"\",\r\nrestored\"\r\n"
                                 "\r\n");
}

TEST(ProgList, GroupsByTapeThenOrderKeyWhateverTheFileOrder) {
    PdbFile progs;
    const auto prog = [](std::uint32_t tape, std::uint16_t order, const char* title) {
        ProgFields fields;
        fields.tapeId = tape;
        fields.order = order;
        fields.title = title;
        return progRecord(fields);
    };
    progs.records = {record(prog(3, 1, "g1"), 10), record(prog(1, 2, "a2"), 11), record(prog(2, 1, "b1"), 12),
                     record(prog(1, 1, "a1"), 13), record(prog(3, 0, "g0"), 14), record(prog(1, 2, "a2 again"), 15),
                     record(prog(1, 65535, "a-last"), 16)};
    const std::string list = progList(progs);
    const char* rest = ",,,1904-00-00,0:00,SP,\"\",-,\"\"\r\n";
    EXPECT_EQ(list, std::string(kHeader) +
                        "1,\"Alpha\",13,\"a1\"" + rest +
                        "1,\"Alpha\",11,\"a2\"" + rest +
                        "1,\"Alpha\",15,\"a2 again\"" + rest +  // equal keys keep their file order
                        "1,\"Alpha\",16,\"a-last\"" + rest +
                        "2,\"Beta\",12,\"b1\"" + rest +
                        "3,\"Gamma\",14,\"g0\"" + rest +
                        "3,\"Gamma\",10,\"g1\"" + rest + "\r\n");
}

TEST(ProgList, KeepsTheFileOrderOfManyProgrammesWithEqualKeys) {
    // Enough equal keys that a sort which is not stable would reorder them.
    PdbFile progs;
    std::string expected(kHeader);
    for (std::uint32_t i = 0; i < 200; ++i) {
        ProgFields prog = titled(std::to_string(i));
        prog.tapeId = 1 + i % 2;
        prog.order = 7;
        progs.records.push_back(record(progRecord(prog), i));
    }
    for (const std::uint32_t tape : {1u, 2u}) {
        for (std::uint32_t i = tape - 1; i < 200; i += 2) {
            expected += std::to_string(tape) + (tape == 1 ? ",\"Alpha\"," : ",\"Beta\",") + std::to_string(i) + ",\"" +
                        std::to_string(i) + "\",,,1904-00-00,0:00,SP,\"\",-,\"\"\r\n";
        }
    }
    EXPECT_EQ(progList(progs), expected + "\r\n");
}

TEST(ProgList, MultipliesTheStoredLengthBySpeedFactor) {
    const struct {
        std::uint16_t stored;
        std::uint8_t speedCode;
        const char* lengthAndSpeed;
    } cases[] = {{5400, 0, "1:30,SP"},  {5400, 1, "3:00,LP"},   {5400, 2, "4:30,EP"},
                 {5400, 3, "6:00,??"},  {65535, 3, "72:49,??"}, {59, 0, "0:00,SP"},
                 {3599, 0, "0:59,SP"},  {1800, 1, "1:00,LP"},   {0, 2, "0:00,EP"}};
    for (const auto& c : cases) {
        ProgFields prog = titled("T");
        prog.storedLength = c.stored;
        prog.flags = c.speedCode;
        EXPECT_EQ(progRow(prog), std::string("1,\"Alpha\",7,\"T\",,,1904-00-00,") + c.lengthAndSpeed + ",\"\",-,\"\"")
            << c.stored << " at code " << int{c.speedCode};
    }
}

TEST(ProgList, WritesPalmDatesWithoutSpecialValues) {
    const struct {
        std::uint16_t date;
        const char* written;
    } cases[] = {{0, "1904-00-00"}, {0xC481, "2002-04-01"}, {0xFFFF, "2031-15-31"}, {palmDate(1999, 12, 31), "1999-12-31"}};
    for (const auto& c : cases) {
        ProgFields prog = titled("T");
        prog.date = c.date;
        EXPECT_EQ(progRow(prog), std::string("1,\"Alpha\",7,\"T\",,,") + c.written + ",0:00,SP,\"\",-,\"\"") << c.date;
    }
}

TEST(ProgList, WritesFlagsAndRatingAsSingleCharacters) {
    const struct {
        std::uint8_t flags;
        std::uint8_t rating;
        const char* seenKeep;
        const char* rating_;
    } cases[] = {{0x00, 0, ",", "-"},    {kSeen, 5, "X,", "5"}, {kKeep, 1, ",X", "1"}, {0xFF, 9, "X,X", "9"},
                 {0x5C, 10, ",", ":"},   {0, 207, ",", "\xFF"}, {0, 255, ",", "/"}};
    for (const auto& c : cases) {
        ProgFields prog = titled("T");
        prog.flags = static_cast<std::uint8_t>(c.flags & ~3);
        prog.rating = c.rating;
        EXPECT_EQ(progRow(prog), std::string("1,\"Alpha\",7,\"T\",") + c.seenKeep + ",1904-00-00,0:00,SP,\"\"," +
                                     c.rating_ + ",\"\"")
            << int{c.flags} << " " << int{c.rating};
    }
}

TEST(ProgList, WritesAShortRowForAnEmptyTitle) {
    ProgFields prog;
    prog.tapeId = 1;
    prog.flags = kSeen | kKeep | kSpeedEP;
    prog.rating = 5;
    prog.storedLength = 1200;
    prog.date = palmDate(2001, 2, 3);
    prog.note = "note not written";
    EXPECT_EQ(progRow(prog), "1,\"Alpha\",7,-,,,,1:00,EP,,,");

    // A record that ends before its title has an empty title too.
    Bytes data = progRecord(prog);
    data.resize(16);
    PdbFile file;
    file.records.push_back(record(data, 8));
    EXPECT_EQ(progList(file), std::string(kHeader) + "1,\"Alpha\",8,-,,,,1:00,EP,,,\r\n\r\n");
}

TEST(ProgList, ReadsNothingPastTheEndOfTheRecord) {
    // A title without NUL runs to the end of the record and leaves no note.
    Bytes data = progRecord(titled("Runs to the end"));
    data.resize(data.size() - 2);
    PdbFile file;
    file.records.push_back(record(data, 8));
    EXPECT_EQ(progList(file), std::string(kHeader) + "1,\"Alpha\",8,\"Runs to the end\",,,1904-00-00,0:00,SP,\"\",-,\"\"\r\n\r\n");

    // A note without NUL ends with the record.
    ProgFields noted = titled("T");
    noted.note = "cut";
    data = progRecord(noted);
    data.pop_back();
    file.records = {record(data, 8)};
    EXPECT_EQ(progList(file), std::string(kHeader) + "1,\"Alpha\",8,\"T\",,,1904-00-00,0:00,SP,\"\",-,\"cut\"\r\n\r\n");
}

TEST(ProgList, CapsCategoryNamesAtTheirSlot) {
    PdbFile progs;
    progs.appInfo = categoryBlock({"Unfiled", "0123456789ABCDEF", "Next"});
    progs.records.push_back(record(progRecord(titled("T")), 7, 1));
    EXPECT_EQ(progList(progs), std::string(kHeader) +
                                   "1,\"Alpha\",7,\"T\",,,1904-00-00,0:00,SP,\"0123456789ABCDEF\",-,\"\"\r\n\r\n");
}

TEST(ProgList, FindsTheFirstTapeEntryOfAnyKindWithTheId) {
    PdbFile tapes;
    Bytes odd = {0x00, 0x00, 'O', 'd', 'd', 0};  // not a tape record, still a candidate
    tapes.records = {record(tapeRecord({"Other", 0, ""}), 5), record(odd, 9), record(tapeRecord({"Later", 0, ""}), 9),
                     record({}, 4), record({0xA0, 0}, 6)};
    PdbFile progs;
    ProgFields prog;
    for (const std::uint32_t tape : {9u, 4u, 6u}) {
        prog.tapeId = tape;
        prog.title = "on " + std::to_string(tape);
        progs.records.push_back(record(progRecord(prog), tape + 100));
    }
    const std::string rest = ",,,1904-00-00,0:00,SP,\"\",-,\"\"\r\n";
    EXPECT_EQ(progList(progs, tapes), std::string(kHeader) +
                                          "4,\"\",104,\"on 4\"" + rest +  // an empty record has an empty label
                                          "6,\"\",106,\"on 6\"" + rest +
                                          "9,\"Odd\",109,\"on 9\"" + rest + "\r\n");
}

TEST(ProgList, PassesOverOtherKindsAndEmptyRecords) {
    PdbFile progs;
    Bytes lowBits = progRecord(titled("Low bits"));
    lowBits[0] = 0xB7;
    progs.records = {record(tapeRecord({"a tape", 0, ""}), 1), record({}, 2), record(lowBits, 3), record({0x0B}, 4)};
    EXPECT_EQ(progList(progs), std::string(kHeader) + "1,\"Alpha\",3,\"Low bits\",,,1904-00-00,0:00,SP,\"\",-,\"\"\r\n\r\n");
}

TEST(ProgList, OfADatabaseWithoutProgrammesIsHeaderAndEmptyLine) {
    EXPECT_EQ(progList({}), std::string(kHeader) + "\r\n");
    EXPECT_EQ(progList({}, {}), std::string(kHeader) + "\r\n");
}

// A programme list that ends with a fatal check: the check's text and what was written before it.
std::pair<std::string, std::string> failingProgList(const PdbFile& progs) {
    const PalmDB progsDb = test::loadedDatabase(progs);
    const PalmDB tapesDb = test::loadedDatabase(threeTapes());
    CsvWriter out;
    const auto failure = test::failureOf([&] { writeProgList(progsDb, tapesDb, out); });
    if (!failure) return {};
    EXPECT_EQ(failure->status(), kStatusFatal);
    return {failure->message(), out.pending()};
}

TEST(ProgList, EndsWithAFatalCheckWhenATapeIsMissingKeepingTheRowsBefore) {
    PdbFile progs;
    ProgFields prog = titled("found");
    progs.records.push_back(record(progRecord(prog), 1));
    prog.tapeId = 0x01000001;  // beyond 24 bits: no unique ID can match it
    prog.title = "lost";
    progs.records.push_back(record(progRecord(prog), 2));
    const auto [message, written] = failingProgList(progs);
    EXPECT_THAT(message, IsFatalCheck("no matching tape for record", "ProgExport.cpp"));
    EXPECT_EQ(written, std::string(kHeader) + "1,\"Alpha\",1,\"found\",,,1904-00-00,0:00,SP,\"\",-,\"\"\r\n");
}

TEST(ProgList, EndsWithAFatalCheckOnAProgrammeRecordTooShortForItsDate) {
    PdbFile progs;
    progs.records = {record(progRecord(titled("fine")), 1), record(Bytes(15, 0xB0), 2)};
    const auto [message, written] = failingProgList(progs);
    EXPECT_THAT(message, IsFatalCheck("short prog record", "ProgExport.cpp"));
    EXPECT_EQ(written, kHeader);  // checked before any row is written
}

TEST(ProgList, JoinsEveryProgrammeOnADifferentTape) {
    PdbFile tapes;
    PdbFile progs;
    std::string expected(kHeader);
    for (std::uint32_t i = 1; i <= 3000; ++i) {
        // Tapes stored in descending ID, programmes in ascending: every row needs a new look-up.
        const std::uint32_t tapeId = 3001 - i;
        tapes.records.push_back(record(tapeRecord({"T" + std::to_string(tapeId), 0, ""}), tapeId));
        progs.records.push_back(record(progRecord(titled("P")), i));
        progs.records.back().data[7] = static_cast<std::uint8_t>(i);
        progs.records.back().data[6] = static_cast<std::uint8_t>(i >> 8);
        expected += std::to_string(i) + ",\"T" + std::to_string(i) + "\"," + std::to_string(i) +
                    ",\"P\",,,1904-00-00,0:00,SP,\"\",-,\"\"\r\n";
    }
    EXPECT_EQ(progList(progs, tapes), expected + "\r\n");
}

}  // namespace
}  // namespace reelport
