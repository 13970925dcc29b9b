// SPDX-License-Identifier: MIT
#include "ExportFrame.h"

#include "TestSupport.h"


namespace reelport {
namespace {

using test::IsFatalCheck;

TEST(ComposePath, PutsOneSeparatorBetweenDirectoryAndName) {
    const struct {
        const char* directory;
        const char* expected;
    } cases[] = {
#ifdef _WIN32
        {"dir", "dir\\CinecaseTapes.PDB"},
        {"dir\\", "dir\\CinecaseTapes.PDB"},
        {"C:\\", "C:\\CinecaseTapes.PDB"},
        {"a\\b", "a\\b\\CinecaseTapes.PDB"},
        {"-h", "-h\\CinecaseTapes.PDB"},
#else
        {"dir", "dir/CinecaseTapes.PDB"},
        {"dir/", "dir/CinecaseTapes.PDB"},
        {"/", "/CinecaseTapes.PDB"},
        {"a/b", "a/b/CinecaseTapes.PDB"},
        {"dir\\", "dir\\/CinecaseTapes.PDB"},  // a backslash is an ordinary character here
        {"-h", "-h/CinecaseTapes.PDB"},
#endif
    };
    for (const auto& c : cases) {
        EXPECT_EQ(composePath(c.directory, kTapesDatabase), c.expected) << c.directory;
    }
}

TEST(ComposePath, NeverCutsALongPath) {
    const std::string directory(300, 'd');
    EXPECT_EQ(composePath(directory, kProgsCsv), directory + test::kSeparator + "CinecaseProgs.CSV");
}

std::string quoted(std::string_view text, int maxLength) {
    CsvWriter out;
    writeQuotedField(out, text, maxLength);
    return out.pending();
}

TEST(WriteQuotedField, EnclosesTheTextAndDoublesItsQuotes) {
    using namespace std::string_view_literals;
    const struct {
        std::string_view text;
        int maxLength;
        const char* expected;
    } cases[] = {
        {"", kWholeText, R"("")"},
        {"\"", kWholeText, R"("""")"},
        {"plain", kWholeText, R"("plain")"},
        {"a \"b\" c", kWholeText, R"("a ""b"" c")"},
        {"ends in \"", kWholeText, R"("ends in """)"},
        {"\"\"", kWholeText, R"("""""")"},
        {"comma, inside", kWholeText, R"("comma, inside")"},
        {"stops\0at NUL"sv, kWholeText, R"("stops")"},
        {"0123456789ABCDEF", 16, R"("0123456789ABCDEF")"},
        {"0123456789ABCDEFGHIJ", 16, R"("0123456789ABCDEF")"},
        {"short\0tail"sv, 16, R"("short")"},
        {"abc", 0, R"("")"},
        {"caf\xE9", kWholeText, "\"caf\xE9\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(quoted(c.text, c.maxLength), c.expected) << c.text;
    }
}

TEST(CsvWriter, WritesEveryLineFeedAsCarriageReturnLineFeed) {
    CsvWriter out;
    out.write("a\nb\n");
    out.write('\n');
    writeQuotedField(out, "x\ny\r\nz\r", kWholeText);
    EXPECT_EQ(out.pending(), "a\r\nb\r\n\r\n\"x\r\ny\r\r\nz\r\"");
}

TEST(CsvWriter, FormatsNumbersWithoutLocale) {
    CsvWriter out;
    out.writeNumber(0);
    out.write(',');
    out.writeNumber(4294967295u);
    EXPECT_EQ(out.pending(), "0,4294967295");
}

TEST(CsvWriter, WritesLargeOutputWhole) {
    const test::TempDir dir;
    const std::string path = dir.file("big.CSV");
    std::string expected;
    {
        CsvWriter out(path);
        for (int i = 0; i < 20000; ++i) {
            out.writeNumber(static_cast<std::uint64_t>(i));
            out.write(",row\n");
            expected += std::to_string(i) + ",row\r\n";
        }
        out.close();
    }
    EXPECT_EQ(test::readFile(path), expected);
}

// The writer holds 64 KiB at a time: texts, numbers and line ends that fall
// across the edge of its buffer must come out whole, in memory and in a file.
TEST(CsvWriter, KeepsTextWholeAcrossItsBuffer) {
    std::string text;
    for (int i = 0; text.size() < 3 * 65536; ++i) text += "line \"" + std::to_string(i) + "\"\n";
    std::string expected = "\"";
    for (const char c : text) expected += c == '"' ? "\"\"" : c == '\n' ? "\r\n" : std::string(1, c);
    expected += "\"";
    const auto writeAll = [&](CsvWriter& out) {
        for (int i = 0; i < 3; ++i) {  // shifts the buffer's edge against the text
            writeQuotedField(out, text, kWholeText);
            out.write(",x\n");
            out.writeNumber(18446744073709551615u);
        }
    };
    std::string expectedAll;
    for (int i = 0; i < 3; ++i) expectedAll += expected + ",x\r\n18446744073709551615";

    CsvWriter inMemory;
    writeAll(inMemory);
    EXPECT_EQ(inMemory.pending(), expectedAll);

    const test::TempDir dir;
    const std::string path = dir.file("edge.CSV");
    {
        CsvWriter out(path);
        writeAll(out);
        out.close();
    }
    EXPECT_EQ(test::readFile(path), expectedAll);
}

// An empty view may carry no address (a category missing from a short
// application-info block); copying it must not hand a null pointer to memcpy,
// which the undefined-behaviour sanitizer reports.
TEST(CsvWriter, WritesAnEmptyTextThatHasNoAddress) {
    CsvWriter out;
    out.write(std::string_view());
    writeQuotedField(out, std::string_view(), kWholeText);
    EXPECT_EQ(out.pending(), "\"\"");
}

// A text longer than the writer's blocks of 64 KiB, with line feeds on and
// around the block edges, comes out whole, to a file and in memory alike.
TEST(CsvWriter, WritesOneLongTextWholeAcrossItsBlocks) {
    std::string text(3 * 65536 + 7, 'x');
    for (const std::size_t at : {0u, 65535u, 65536u, 131071u, 131073u, 3u * 65536u + 6u}) text[at] = '\n';
    std::string expected;
    for (const char c : text) expected += c == '\n' ? "\r\n" : std::string(1, c);

    const test::TempDir dir;
    const std::string path = dir.file("long.CSV");
    CsvWriter file(path);
    file.write(text);
    file.close();
    EXPECT_EQ(test::readFile(path), expected);

    CsvWriter memory;
    memory.write(text);
    EXPECT_EQ(memory.pending(), expected);
}

TEST(CsvWriter, ReportsAnOutputThatCannotBeOpened) {
    const test::TempDir dir;
    const std::string path = dir.file("missing/CinecaseTapes.CSV");
    const auto failure = test::failureOf([&] { CsvWriter out(path); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->status(), kStatusRefused);
    EXPECT_EQ(std::string(failure->message()), path + ": No such file or directory\n");
}

TEST(CsvWriter, ReportsAFullDiskWhenClosing) {
    const auto device = test::fullDevice();
    if (!device) GTEST_SKIP() << "no device here that is always full";
    CsvWriter out(*device);
    out.write("TAPE_ID\n");
    const auto failure = test::failureOf([&] { out.close(); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->status(), kStatusRefused);
    EXPECT_EQ(std::string(failure->message()), *device + ": No space left on device\n");
}

TEST(CategoryName, ReadsAtMostTheNamesOwnSlot) {
    const Bytes block = categoryBlock({"Unfiled", "Films", "", "0123456789ABCDEF", "Next"});
    EXPECT_EQ(categoryName(block, 0), "Unfiled");
    EXPECT_EQ(categoryName(block, 1), "Films");
    EXPECT_EQ(categoryName(block, 2), "");
    EXPECT_EQ(categoryName(block, 3), "0123456789ABCDEF");  // no NUL: does not run on into "Next"
    EXPECT_EQ(categoryName(block, 15), "");
}

TEST(CategoryName, IsEmptyOutsideAShortOrMissingBlock) {
    const Bytes full = categoryBlock({"Unfiled", "Films", "Series"});
    const Bytes cut(full.begin(), full.begin() + 2 + 16 + 3);  // ends three bytes into "Films"
    EXPECT_EQ(categoryName(cut, 0), "Unfiled");
    EXPECT_EQ(categoryName(cut, 1), "Fil");
    EXPECT_EQ(categoryName(cut, 2), "");
    EXPECT_EQ(categoryName({}, 0), "");
}

TEST(BytesFrom, NeverReachesPastTheRecord) {
    const Bytes record = {'a', 'b', 0, 'c'};
    EXPECT_EQ(bytesFrom(record, 1), std::string_view("b\0c", 3));
    EXPECT_EQ(untilNul(bytesFrom(record, 3)), "c");
    EXPECT_TRUE(bytesFrom(record, 4).empty());
    EXPECT_TRUE(bytesFrom(record, 400).empty());
}

PalmDB databaseWith(std::uint32_t creator, std::uint16_t version, std::uint32_t type) {
    PdbFile file;
    file.creator = creator;
    file.version = version;
    file.type = type;
    PalmDB db;
    db.load(buildPdb(file), "dir/CinecaseTapes.PDB");
    return db;
}

std::optional<Failure> identityFailure(std::uint32_t creator, std::uint16_t version, std::uint32_t type) {
    const PalmDB db = databaseWith(creator, version, type);
    return test::failureOf([&] { checkIdentity(db); });
}

TEST(CheckIdentity, AcceptsACinecaseVersion12DataFile) {
    EXPECT_NO_THROW(checkIdentity(databaseWith(fourCharCode("Qox0"), 0x12, fourCharCode("DATA"))));
}

TEST(CheckIdentity, RefusesAnotherCreatorEvenWhenTheVersionIsWrongToo) {
    const auto failure = identityFailure(fourCharCode("Qox1"), 0x13, fourCharCode("DATA"));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->status(), kStatusRefused);
    EXPECT_EQ(std::string(failure->message()),
              "Invalid creator ID!\nThe file dir/CinecaseTapes.PDB is not a valid Cinecase database.\n");
}

TEST(CheckIdentity, NamesTheVersionFoundByItsNibbles) {
    const struct {
        std::uint16_t version;
        const char* named;
    } cases[] = {{0x13, "1.3"}, {0x123, "18.3"}, {0x00, "0.0"}, {0xFFFF, "4095.15"}};
    for (const auto& c : cases) {
        const auto failure = identityFailure(fourCharCode("Qox0"), c.version, fourCharCode("DATA"));
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->status(), kStatusRefused);
        EXPECT_EQ(std::string(failure->message()),
                  std::string("Wrong database version!\n"
                              "This conversion tool only works for version 1.2 of Cinecase databases.\n"
                              "The file dir/CinecaseTapes.PDB seems to be from version ") +
                      c.named + "\n");
    }
}

TEST(CheckIdentity, EndsWithAFatalCheckForAnotherType) {
    const auto failure = identityFailure(fourCharCode("Qox0"), 0x12, fourCharCode("appl"));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->status(), kStatusFatal);
    EXPECT_THAT(std::string(failure->message()), IsFatalCheck("wrong PDB type", "ExportFrame.cpp"));
}

}  // namespace
}  // namespace reelport
