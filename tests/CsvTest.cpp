// SPDX-License-Identifier: MIT
// The CSV rules for text fields, and the blocks the CSV files are written in.
#include "Exports.h"
#include "Failure.h"

#include "TestSupport.h"

namespace reelport {
namespace {

using namespace std::string_view_literals;

std::string quoted(std::string_view text, int maxLength) {
    CsvWriter out;
    writeQuotedField(out, text, maxLength);
    return out.pending();
}

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
    for (const auto& c : cases) EXPECT_EQ(quoted(c.text, c.maxLength), c.expected) << c.text;
}

// The tool writes its files in blocks of 64 KiB: fields, numbers and line
// ends that fall on the edge between two blocks must come out whole. Tape rows
// of growing notes shift the edges across every place of a row.
TEST(CsvWriter, KeepsRowsWholeAcrossItsBlocks) {
    PdbFile tapes;
    std::string expected = "TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE\r\n";
    std::string note;
    for (std::uint32_t id = 1; expected.size() < 3 * 65536; ++id) {
        note += id % 3 == 0 ? "\"" : id % 3 == 1 ? "\n" : "x";
        tapes.records.push_back(test::record(tapeRecord({"T", 3600, note}), id * 4099));
        std::string field;
        for (const char c : note) field += c == '"' ? "\"\"" : c == '\n' ? "\r\n" : "x";
        expected += std::to_string(id * 4099) + ",\"T\",1:00,\"\",\"" + field + "\"\r\n";
    }
    const test::TempDir dir;
    writeBytes(dir.file("CinecaseTapes.PDB"), buildPdb(tapes));
    writeBytes(dir.file("CinecaseProgs.PDB"), buildPdb({}));
    EXPECT_EQ(test::runReelport({dir.path()}).status, 0);
    EXPECT_TRUE(test::readFile(dir.file("CinecaseTapes.CSV")) == expected + "\r\n");
}

}  // namespace
}  // namespace reelport
