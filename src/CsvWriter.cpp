// SPDX-License-Identifier: MIT
#include "CsvWriter.h"

#include "Failure.h"

#include <bit>
#include <cerrno>
#include <utility>

namespace reelport {

namespace {

// Text is written out in blocks of this size.
constexpr std::size_t kBufferSize = 1 << 16;

// Texts are scanned eight bytes at a time for the three bytes that need care
// (NUL ends a text, a double quote is doubled, LF becomes CR LF), while the
// eight bytes are copied. A word is loaded only where all its bytes lie in
// the text; the last few bytes go one by one.
using Word = std::uint64_t;
constexpr std::size_t kWordSize = sizeof(Word);
constexpr Word kLow7 = 0x7F7F7F7F7F7F7F7Fu;
constexpr Word kQuotes = 0x2222222222222222u;
constexpr Word kLineFeeds = 0x0A0A0A0A0A0A0A0Au;

// The high bit of every zero byte of `x`, and of no other byte: exact, with
// no carry between bytes, so the first marked byte is right on either byte order.
constexpr Word zeroBytes(Word x) { return ~(((x & kLow7) + kLow7) | x | kLow7); }

constexpr Word bytesNeedingCare(Word w) {
    return zeroBytes(w) | zeroBytes(w ^ kQuotes) | zeroBytes(w ^ kLineFeeds);
}

// The place in memory of the first marked byte of a word loaded from there.
unsigned firstMarked(Word marks) {
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<unsigned>(std::countr_zero(marks)) / 8;
    } else {
        return static_cast<unsigned>(std::countl_zero(marks)) / 8;
    }
}

bool needsCare(char c) { return c == '\0' || c == '"' || c == '\n'; }

}  // namespace

CsvWriter::CsvWriter(const std::string& path) : CsvWriter() {
    path_ = path;
    file_ = createOutputFile(path);
}

CsvWriter::CsvWriter() : buffer_(kBufferSize) {}

CsvWriter::~CsvWriter() {
    if (file_ && used_ > 0) {
        // Best effort: the run is already ending with another failure.
        (void)std::fwrite(buffer_.data(), 1, used_, file_.get());
    }
}

void CsvWriter::writeLines(std::string_view text) {
    for (auto lineEnd = text.find('\n'); lineEnd != std::string_view::npos; lineEnd = text.find('\n')) {
        put(text.substr(0, lineEnd));
        put("\r\n");
        text.remove_prefix(lineEnd + 1);
    }
    put(text);
}

void CsvWriter::writeNumber(std::uint64_t value) { commit(digits::decimal(reserve(20), value)); }

const char* CsvWriter::copyPlain(const char* text, const char* end) {
    while (true) {
        if (used_ == buffer_.size()) emptyBuffer();
        char* out = buffer_.data() + used_;
        // As much as the buffer holds this time.
        const char* const start = text;
        const char* const stop = text + std::min<std::size_t>(static_cast<std::size_t>(end - text),
                                                              buffer_.size() - used_);
        while (stop - text >= static_cast<std::ptrdiff_t>(kWordSize)) {
            Word word;
            std::memcpy(&word, text, kWordSize);
            std::memcpy(out, &word, kWordSize);
            if (const Word marks = bytesNeedingCare(word); marks != 0) {
                const unsigned plain = firstMarked(marks);
                commit(out + plain);
                return text + plain;
            }
            text += kWordSize;
            out += kWordSize;
        }
        if (text != stop && stop - start >= static_cast<std::ptrdiff_t>(kWordSize)) {
            // The last few bytes: the word that ends at `stop`. Its first bytes
            // were copied unchanged already and are written again as they are.
            const auto behind = kWordSize - static_cast<std::size_t>(stop - text);
            Word word;
            std::memcpy(&word, stop - kWordSize, kWordSize);
            std::memcpy(out - behind, &word, kWordSize);
            if (const Word marks = bytesNeedingCare(word); marks != 0) {
                const std::size_t plain = firstMarked(marks) - behind;
                commit(out + plain);
                return text + plain;
            }
            out += stop - text;
            text = stop;
        }
        while (text != stop && !needsCare(*text)) *out++ = *text++;
        commit(out);
        if (text != stop || text == end) return text;
    }
}

std::size_t CsvWriter::writeQuoted(std::string_view text) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    put('"');
    const char* at = begin;
    while ((at = copyPlain(at, end)) != end && *at != '\0') {
        put(*at == '"' ? '"' : '\r');
        put(*at);
        ++at;
    }
    put('"');
    return static_cast<std::size_t>(at - begin);
}

void CsvWriter::putInPieces(std::string_view bytes) {
    while (bytes.size() > buffer_.size() - used_) {
        const std::size_t free = buffer_.size() - used_;
        std::copy_n(bytes.begin(), free, buffer_.data() + used_);
        used_ += free;
        bytes.remove_prefix(free);
        emptyBuffer();
    }
    put(bytes);
}

void CsvWriter::emptyBuffer() {
    const std::size_t size = std::exchange(used_, 0);
    if (!file_) {
        kept_.append(buffer_.data(), size);
    } else if (std::fwrite(buffer_.data(), 1, size, file_.get()) != size) {
        fileFailure(path_, errno);
    }
}

std::string CsvWriter::pending() const { return kept_ + std::string(buffer_.data(), used_); }

void CsvWriter::close() {
    if (!file_) return;
    emptyBuffer();
    if (std::fclose(file_.release()) != 0) fileFailure(path_, errno);
}

}  // namespace reelport
