// SPDX-License-Identifier: MIT
#include "Exports.h"

#include "TestSupport.h"

namespace reelport {
namespace {

using test::IsFatalCheck;
using test::record;

constexpr const char* kHeader = "TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE\r\n";

std::string tapeList(const PdbFile& file) {
    const PalmDB db = test::loadedDatabase(file);
    CsvWriter out;
    writeTapeList(db, out);
    return out.pending();
}

std::string tapeRow(const TapeFields& tape) {
    PdbFile file;
    file.records.push_back(record(tapeRecord(tape), 1));
    const std::string list = tapeList(file);
    return list.substr(std::string_view(kHeader).size(), list.size() - std::string_view(kHeader).size() - 4);
}

TEST(TapeList, WritesHeaderRowsInFileOrderAndAnEmptyLine) {
    PdbFile file;
    file.appInfo = categoryBlock({"Unfiled", "Films", "Series"});
    file.records = {
        record(tapeRecord({"Films 2", 14400, "E-240"}), 0x000102, 1),
        record(tapeRecord({"Twin Peaks", 10800, "Season 1, \"complete\""}), 0x5A1001, 2),
        record(tapeRecord({"Spare", 1800, ""}), 3, 0),
    };
    const PalmDB db = test::loadedDatabase(file);
    CsvWriter out;
    EXPECT_EQ(writeTapeList(db, out), 3);
    EXPECT_EQ(out.pending(),
              std::string(kHeader) +
                  "258,\"Films 2\",4:00,\"Films\",\"E-240\"\r\n"
                  "5902337,\"Twin Peaks\",3:00,\"Series\",\"Season 1, \"\"complete\"\"\"\r\n"
                  "3,\"Spare\",0:30,\"Unfiled\",\"\"\r\n"
                  "\r\n");
}

TEST(TapeList, FormatsLengthsAsHoursAndWholeMinutes) {
    const struct {
        std::uint16_t seconds;
        const char* length;
    } cases[] = {{0, "0:00"}, {59, "0:00"}, {3599, "0:59"}, {3600, "1:00"}, {36000, "10:00"}, {65535, "18:12"}};
    for (const auto& c : cases) {
        EXPECT_EQ(tapeRow({"T", c.seconds, ""}), std::string("1,\"T\",") + c.length + ",\"\",\"\"") << c.seconds;
    }
}

TEST(TapeList, CutsTheLabelAtSixteenBytes) {
    EXPECT_EQ(tapeRow({"0123456789ABCDEF", 0, "n"}), "1,\"0123456789ABCDEF\",0:00,\"\",\"n\"");
    // A 16-byte label without NUL followed by more text in the record.
    Bytes data = tapeRecord({"0123456789ABCDEF", 0, ""});
    data[17] = 'F';
    data[18] = 'G';  // and the length right behind it: 0x4700 seconds
    PdbFile file;
    file.records.push_back(record(data, 1));
    EXPECT_EQ(tapeList(file), std::string(kHeader) + "1,\"0123456789ABCDEF\",5:02,\"\",\"\"\r\n\r\n");
}

TEST(TapeList, CopiesNotesByteForByteWithLineFeedsAsCrLf) {
    EXPECT_EQ(tapeRow({"T", 0, "caf\xE9\nline 2\r\nend"}), "1,\"T\",0:00,\"\",\"caf\xE9\r\nline 2\r\r\nend\"");
}

TEST(TapeList, PassesOverOtherKindsAndEmptyRecords) {
    PdbFile file;
    Bytes tapeWithFlags = tapeRecord({"Low bits", 60, ""});
    tapeWithFlags[0] = 0xAF;  // the low four bits of the kind byte do not matter
    Bytes prog = progRecord({});
    file.records = {record(prog, 1), record({}, 2), record(tapeWithFlags, 3), record({0x0A}, 4)};
    EXPECT_EQ(tapeList(file), std::string(kHeader) + "3,\"Low bits\",0:01,\"\",\"\"\r\n\r\n");
}

TEST(TapeList, OfADatabaseWithoutTapesIsHeaderAndEmptyLine) {
    PdbFile file;
    file.appInfo = categoryBlock({"Unfiled"});
    EXPECT_EQ(tapeList(file), std::string(kHeader) + "\r\n");
}

TEST(TapeList, UsesEmptyCategoryNamesWithoutAUsableTable) {
    PdbFile file;
    file.appInfo = Bytes(10, 'x');  // too short to hold the name of category 1
    file.records = {record(tapeRecord({"T", 0, ""}), 1, 1), record(tapeRecord({"U", 0, ""}), 2, 0)};
    EXPECT_EQ(tapeList(file), std::string(kHeader) + "1,\"T\",0:00,\"\",\"\"\r\n2,\"U\",0:00,\"xxxxxxxx\",\"\"\r\n\r\n");
}

TEST(TapeList, ReadsNothingPastTheEndOfAShortRecord) {
    // 20 bytes hold kind, label and length; the note is missing altogether.
    Bytes data = tapeRecord({"0123456789ABCDEF", 120, ""});
    data.resize(20);
    PdbFile file;
    file.records.push_back(record(data, 9));
    EXPECT_EQ(tapeList(file), std::string(kHeader) + "9,\"0123456789ABCDEF\",0:02,\"\",\"\"\r\n\r\n");

    // A note without NUL ends with the record.
    data = tapeRecord({"T", 0, "unterminated"});
    data.pop_back();
    file.records = {record(data, 9)};
    EXPECT_EQ(tapeList(file), std::string(kHeader) + "9,\"T\",0:00,\"\",\"unterminated\"\r\n\r\n");
}

TEST(TapeList, EndsWithAFatalCheckOnATapeRecordTooShortForItsLength) {
    PdbFile file;
    file.records = {record(tapeRecord({"Good", 0, ""}), 1), record(Bytes{0xA0, 0, 'S', 'h'}, 2)};
    const PalmDB db = test::loadedDatabase(file);
    CsvWriter out;
    const auto failure = test::failureOf([&] { writeTapeList(db, out); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->status(), kStatusFatal);
    EXPECT_THAT(std::string(failure->message()), IsFatalCheck("short tape record", "TapeExport.cpp"));
    EXPECT_EQ(out.pending(), std::string(kHeader) + "1,\"Good\",0:00,\"\",\"\"\r\n");
}

}  // namespace
}  // namespace reelport
