// SPDX-License-Identifier: MIT
// The CSV rules for text fields, and the blocks the CSV files are written in.
#include "Exports.h"
#include "Failure.h"

#include "TestSupport.h"

namespace reelport {
namespace {

using namespace std::string_view_literals;

TEST(WriteQuotedField, FollowsTheCsvRules) {
    const struct {
        std::string_view text;
        int maxLength;
        std::string_view expected;  // and the fault the row guards against
    } cases[] = {
        {"", kWholeText, R"("")"},                            // nothing written for an empty text
        {std::string_view(), kWholeText, R"("")"},            // an empty text without an address
        {"\"", kWholeText, R"("""")"},                        // a lone quote not doubled
        {"\"\"x\"", kWholeText, R"("""""x""")"},              // quotes at the start, side by side, at the end
        {"stops\0at NUL"sv, kWholeText, R"("stops")"},        // text read past its NUL
        {"0123456789ABCDEFGH", 16, R"("0123456789ABCDEF")"},  // cut one byte off or on
        {"short\0tail"sv, 16, R"("short")"},                  // the NUL before the limit ignored
        {"a\nb\r\nc\r", kWholeText, "\"a\r\nb\r\r\nc\r\""},   // LF not written as CR LF, CR changed
        {"caf\xE9,\x81\xFF", kWholeText, "\"caf\xE9,\x81\xFF\""},  // bytes translated
    };
    for (const auto& c : cases) {
        CsvWriter out;
        writeQuotedField(out, c.text, c.maxLength);
        EXPECT_EQ(out.pending(), c.expected) << c.text;
    }
}

// The tool writes its files in blocks of 64 KiB, and a text must come out
// whole across the edge between two blocks. A note of 65536 times "x", a
// double quote and a line break comes out as five bytes each, and since 65536
// leaves 1 when divided by 5, each edge falls one place further into them:
// after the x, inside the doubled quote, after it and inside the CR LF.
TEST(CsvWriter, KeepsTextWholeAcrossItsBlocks) {
    std::string note;
    std::string field;
    for (int i = 0; i < 65536; ++i) note += "x\"\n", field += "x\"\"\r\n";
    PdbFile tapes;
    tapes.records = {test::record(tapeRecord({"T", 0, note}), 1), test::record(tapeRecord({"U", 0, ""}), 2)};
    const test::TempDir dir;
    writeBytes(dir.file("CinecaseTapes.PDB"), buildPdb(tapes));
    writeBytes(dir.file("CinecaseProgs.PDB"), buildPdb({}));
    EXPECT_EQ(test::runReelport({dir.path()}).status, 0);
    const std::string list = "TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE\r\n1,\"T\",0:00,\"\",\"" + field + "\"\r\n";
    EXPECT_TRUE(test::readFile(dir.file("CinecaseTapes.CSV")) == list + "2,\"U\",0:00,\"\",\"\"\r\n\r\n");
}

}  // namespace
}  // namespace reelport
