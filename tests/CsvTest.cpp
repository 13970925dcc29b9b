// SPDX-License-Identifier: MIT
// The CSV rules for text fields, and the blocks the CSV files are written in.
#include "base/Failure.h"
#include "csv/CsvWriter.h"
#include "csv/Digits.h"

#include "TestSupport.h"

#include <cerrno>
#include <cstring>

namespace reelport {
namespace {

// All `write` writes with a CSV writer in `encoding`, once the writer is closed.
template <typename Write>
std::string written(const Write& write, CsvEncoding encoding = CsvEncoding::Palm) {
    std::string text;
    MemorySink sink(text);
    CsvWriter out(sink, encoding);
    write(out);
    out.close();
    return text;
}

// A disk that takes the first `room` bytes of a write, fails it without an
// error number (as some C libraries do), then has room again.
struct FillingDisk : ByteSink {
    std::string text;
    std::size_t room = 1000;
    void write(std::string_view bytes) override {
        if (room < bytes.size()) {
            text.append(bytes.substr(0, std::exchange(room, SIZE_MAX)));
            cannotWrite("disk", 0);
        }
        text.append(bytes);
    }
    void close() override {}
};

// Bytes of a failed write may have landed: they are never written again,
// also not when the writer is destroyed; and the failure names an error.
TEST(CsvWriter, NeverWritesAgainWhatAFailedWriteMayHaveWritten) {
    FillingDisk disk;
    const std::string rows(3 * CsvWriter::kBlockSize, 'r');
    try {
        CsvWriter out(disk);
        out.write(rows);
        FAIL() << "the failed write went unnoticed";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.message(), "disk: " + std::string(std::strerror(EIO)) + "\n");
    }
    EXPECT_EQ(disk.text, rows.substr(0, 1000));
}

// A text as a quoted CSV field in the handheld's bytes: quotes doubled, LF written as CR LF.
std::string field(const std::string& text) {
    return '"' + test::replaceAll(test::replaceAll(text, "\"", "\"\""), "\n", "\r\n") + '"';
}
// A text in the handheld's bytes as a writer in `encoding` gives it.
std::string inEncoding(CsvEncoding encoding, const std::string& palm) {
    return encoding == CsvEncoding::Utf8 ? test::palmToUtf8(palm) : palm;
}

// Texts are copied 16 bytes at a time (SSE2) or eight (a word) while the
// writer looks for the bytes that need care: every place of a NUL (the text
// ends there), quote, line feed or carriage return (kept as it is), in UTF-8
// of a byte that changes there (and of the bytes that differ from them in one
// bit only) against the edges of vectors and words, in texts of every length
// up to two and a half vectors (the empty one too), across a block edge too,
// must give what a plain byte-by-byte writer gives; and each field leaves
// room for the fixed parts of a row behind it, which fill that room here.
TEST(WriteQuotedField, TakesEveryPlaceOfASpecialByteAsAByteByByteWriter) {
    EXPECT_EQ(written([](CsvWriter& out) { writeQuotedField(out, std::string_view(), kWholeText); }), R"("")");
    for (const CsvEncoding encoding : {CsvEncoding::Palm, CsvEncoding::Utf8}) {
        for (const std::size_t lead : {std::size_t{0}, CsvWriter::kBlockSize - 13}) {
            std::string expected(lead, '.');
            const std::string all = written([&](CsvWriter& out) {
                out.write(expected);
                for (std::size_t length = 0; length <= 40; ++length) {
                    for (std::size_t at = 0; at <= length; ++at) {
                        for (const char special : {'\0', '"', '\n', '\r', 'x', '\x80', '\xA2', '\x8A', '\x18', '\x19',
                                                   '\x1A', '\x08', '\x7F', '\xFF'}) {
                            std::string text;
                            for (std::size_t i = 0; i < length; ++i) text += i == at ? special : i == at + 5 ? '"' : 'a';
                            const std::string taken = text.substr(0, text.find('\0'));
                            expected += inEncoding(encoding, field(taken)) + std::string(CsvWriter::kRowRoom, '-');
                            std::size_t took = 0;
                            char* const row = out.beginRow();
                            char* const end = encoding == CsvEncoding::Utf8 ? out.quoted<CsvEncoding::Utf8>(row, text, &took)
                                                                            : out.quoted<CsvEncoding::Palm>(row, text, &took);
                            out.endRow(std::fill_n(end, CsvWriter::kRowRoom, '-'));
                            ASSERT_EQ(took, taken.size()) << text;
                        }
                    }
                }
            }, encoding);
            EXPECT_TRUE(all == expected) << lead;
        }
    }
}

// Every byte of the handheld's character set as a bare character (a rating),
// and all of them as a plain text, as a quoted text, as a prepared field (a
// category name) and in texts longer than a block, which go in pieces, each
// of which may triple (every byte does, in the last), come out in UTF-8 as
// the table of characters says; the default keeps them as they are.
TEST(CsvWriter, WritesEachByteInItsUtf8FormOnlyWhenAsked) {
    std::string all, huge;
    for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
    while (huge.size() < 3 * CsvWriter::kBlockSize) huge += all;
    for (const CsvEncoding encoding : {CsvEncoding::Palm, CsvEncoding::Utf8}) {
        // Unquoted, as a text (a header) and byte by byte: only the line break changes in the handheld's bytes.
        const std::string plain = inEncoding(encoding, test::replaceAll(all, "\n", "\r\n"));
        EXPECT_EQ(written([&](CsvWriter& out) { out.write(all); }, encoding), plain);
        EXPECT_EQ(written([&](CsvWriter& out) { for (const char c : all) out.write(c); }, encoding), plain);
        const std::string prepared = inEncoding(encoding, field(all));
        EXPECT_EQ(written([&](CsvWriter& out) { EXPECT_EQ(out.prepareQuoted(all), prepared); }, encoding), "");
        for (const std::string& text : {all, huge, std::string(2 * CsvWriter::kBlockSize, '\x80')}) {
            const std::string large = written([&](CsvWriter& out) { writeQuotedField(out, text, kWholeText); }, encoding);
            EXPECT_TRUE(large == inEncoding(encoding, field(text))) << text.size();
        }
    }
    // Three bytes for each of 60 bytes, with 150 bytes left in the block:
    // room for twice the text is not enough; then more than a block behind it.
    const std::string lead(CsvWriter::kBlockSize - 150, '.'), tail(2 * CsvWriter::kBlockSize, 't');
    const std::string edge = written([&](CsvWriter& out) {
        out.write(lead);
        writeQuotedField(out, std::string(60, '\x80'), kWholeText);
        writeQuotedField(out, tail, kWholeText);
    }, CsvEncoding::Utf8);
    EXPECT_TRUE(edge == test::palmToUtf8(lead + field(std::string(60, '\x80')) + field(tail)));
}

// Numbers are written by digit pairs, up to 99 by one pair, up to eight
// digits all at once: every length on either side of each of those ways.
TEST(Digits, WritesEveryLengthOfNumberAsItsDecimalText) {
    std::vector<unsigned> numbers = {0, std::numeric_limits<unsigned>::max()};
    for (unsigned power = 10; power <= 1000000000; power *= 10) numbers.insert(numbers.end(), {power - 1, power, power + 1});
    for (const unsigned number : numbers) {
        std::array<char, 20> room{};
        const char* const end = digits::decimal(room.data(), number);
        EXPECT_EQ(std::string(room.data(), static_cast<std::size_t>(end - room.data())), std::to_string(number));
    }
}

}  // namespace
}  // namespace reelport
