// SPDX-License-Identifier: MIT
// The quoted-field writer copies texts eight bytes at a time while looking for
// the bytes that need care. Every placement of a NUL, a double quote and a line
// feed against the edges of those words and of the writer's 64 KiB blocks must
// give what a plain byte-by-byte writer gives.
#include "ExportFrame.h"

#include "TestSupport.h"

namespace reelport {
namespace {

// One quoted field, byte by byte, and the number of text bytes it takes.
std::size_t quoteByteByByte(std::string_view text, std::string& out) {
    out += '"';
    std::size_t taken = 0;
    for (; taken < text.size() && text[taken] != '\0'; ++taken) {
        out += text[taken] == '"' ? "\"\"" : text[taken] == '\n' ? "\r\n" : std::string(1, text[taken]);
    }
    out += '"';
    return taken;
}

TEST(CsvWriter, QuotesEveryPlacementOfSpecialBytesAsAByteByByteWriterDoes) {
    for (const std::size_t lead : {std::size_t{0}, std::size_t{65536 - 13}}) {  // fields across a block edge
        SCOPED_TRACE(lead);
        CsvWriter out;
        std::string expected(lead, '.');
        out.write(expected);
        for (std::size_t length = 0; length <= 19; ++length) {
            for (std::size_t first = 0; first <= length; ++first) {
                for (const char special : {'\0', '"', '\n', 'x'}) {
                    std::string text(length, 'a');
                    for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + i);
                    if (first < length) text[first] = special;
                    if (first + 5 < length) text[first + 5] = '"';
                    const std::size_t taken = quoteByteByByte(text, expected);
                    ASSERT_EQ(writeQuotedField(out, text, kWholeText), taken) << text;
                }
            }
        }
        EXPECT_EQ(out.pending(), expected);
    }
}

}  // namespace
}  // namespace reelport
