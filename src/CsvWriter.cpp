// SPDX-License-Identifier: MIT
#include "CsvWriter.h"

#include "Failure.h"

#include <bit>
#include <cerrno>
#include <utility>

namespace reelport {

namespace {

// Texts are scanned eight bytes at a time for the bytes that need care (NUL
// ends a text, a double quote is doubled, LF becomes CR LF, and in UTF-8 every
// byte that changes there), while the eight bytes are copied. A word is
// loaded only where all its bytes lie in the text.
using Word = std::uint64_t;
constexpr std::size_t kWordSize = sizeof(Word);
constexpr Word kLow7 = 0x7F7F7F7F7F7F7F7Fu;
constexpr Word kHigh = ~kLow7;
constexpr Word kQuotes = 0x2222222222222222u;
constexpr Word kLineFeeds = 0x0A0A0A0A0A0A0A0Au;
// 0x18 and 0x19, the handheld's ellipsis and numeric space, differ only in the lowest bit.
constexpr Word kNotLowest = 0xFEFEFEFEFEFEFEFEu;
constexpr Word kPalmGlyphs = 0x1818181818181818u;

// The high bit of every zero byte of `x`, and of no other byte: exact, with
// no carry between bytes, so the first marked byte is right on either byte order.
constexpr Word zeroBytes(Word x) { return ~(((x & kLow7) + kLow7) | x | kLow7); }

template <CsvEncoding kEncoding>
constexpr Word bytesNeedingCare(Word w) {
    const Word marks = zeroBytes(w) | zeroBytes(w ^ kQuotes) | zeroBytes(w ^ kLineFeeds);
    if constexpr (kEncoding == CsvEncoding::Utf8) return marks | (w & kHigh) | zeroBytes((w & kNotLowest) ^ kPalmGlyphs);
    return marks;
}

// The place in memory of the first marked byte of a word loaded from there.
unsigned firstMarked(Word marks) {
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<unsigned>(std::countr_zero(marks)) / 8;
    } else {
        return static_cast<unsigned>(std::countl_zero(marks)) / 8;
    }
}

template <CsvEncoding kEncoding>
bool needsCare(char c) {
    return c == '\0' || c == '"' || c == '\n' ||
           (kEncoding == CsvEncoding::Utf8 && changesInUtf8(static_cast<unsigned char>(c)));
}

// At most this many bytes are written for each byte of a text.
constexpr std::size_t expansion(CsvEncoding encoding) { return encoding == CsvEncoding::Utf8 ? kMaxUtf8Size : 2; }

// Copies the text from `text` to `end` into `out`, doubling double quotes,
// writing LF as CR LF and, in UTF-8, each byte in its UTF-8 form; stops early
// at a NUL. `out` has room for `expansion(kEncoding)` times the text. Returns
// where the text and the output stopped.
template <CsvEncoding kEncoding>
std::pair<const char*, char*> quoteInto(const char* text, const char* const end, char* out) {
    // Where the current run of bytes copied unchanged began, in the text.
    const char* run = text;
    while (true) {
        while (end - text >= static_cast<std::ptrdiff_t>(kWordSize)) {
            Word word;
            std::memcpy(&word, text, kWordSize);
            std::memcpy(out, &word, kWordSize);
            if (const Word marks = bytesNeedingCare<kEncoding>(word); marks != 0) {
                const unsigned plain = firstMarked(marks);
                text += plain;
                out += plain;
                goto care;
            }
            text += kWordSize;
            out += kWordSize;
        }
        if (text != end && end - run >= static_cast<std::ptrdiff_t>(kWordSize)) {
            // The last few bytes: the word that ends with the text. Its first
            // bytes belong to the run already copied and are written again as they are.
            const auto behind = kWordSize - static_cast<std::size_t>(end - text);
            Word word;
            std::memcpy(&word, end - kWordSize, kWordSize);
            std::memcpy(out - behind, &word, kWordSize);
            const Word marks = bytesNeedingCare<kEncoding>(word);
            const std::size_t plain = marks != 0 ? firstMarked(marks) - behind : kWordSize - behind;
            text += plain;
            out += plain;
        } else {
            while (text != end && !needsCare<kEncoding>(*text)) *out++ = *text++;
        }
        if (text == end) return {text, out};
    care:
        if (*text == '\0') return {text, out};
        if (*text == '"' || *text == '\n') {
            *out++ = *text == '"' ? '"' : '\r';
            *out++ = *text;
        } else {
            out = putUtf8(out, *text);
        }
        run = ++text;
    }
}

std::pair<const char*, char*> quoteInto(CsvEncoding encoding, const char* text, const char* end, char* out) {
    return encoding == CsvEncoding::Utf8 ? quoteInto<CsvEncoding::Utf8>(text, end, out)
                                         : quoteInto<CsvEncoding::Palm>(text, end, out);
}

}  // namespace

CsvWriter::CsvWriter(const std::string& path, CsvEncoding encoding) : CsvWriter(encoding) {
    path_ = path;
    file_ = createOutputFile(path);
}

CsvWriter::CsvWriter(CsvEncoding encoding) : encoding_(encoding) {}

CsvWriter::~CsvWriter() {
    if (file_ && used_ > 0) {
        // Best effort: the run is already ending with another failure.
        (void)std::fwrite(buffer_.get(), 1, used_, file_.get());
    }
}

std::size_t CsvWriter::writeQuoted(std::string_view text) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    // Room for the whole field even when every byte grows to its largest,
    // for any text but a huge one, which goes in pieces.
    const std::size_t growth = expansion(encoding_);
    const std::size_t pieceSize = kBufferSize / growth - 1;
    if (text.size() < pieceSize) {
        char* out = reserve(growth * text.size() + 2);
        *out++ = '"';
        const auto [stopped, outEnd] = quoteInto(encoding_, begin, end, out);
        *outEnd = '"';
        commit(outEnd + 1);
        return static_cast<std::size_t>(stopped - begin);
    }
    put('"');
    const char* at = begin;
    while (at != end) {
        const char* const pieceEnd = at + std::min<std::size_t>(static_cast<std::size_t>(end - at), pieceSize);
        const auto [stopped, outEnd] =
            quoteInto(encoding_, at, pieceEnd, reserve(growth * static_cast<std::size_t>(pieceEnd - at)));
        commit(outEnd);
        at = stopped;
        if (at != pieceEnd) break;  // a NUL ends the text
    }
    put('"');
    return static_cast<std::size_t>(at - begin);
}

std::string CsvWriter::prepareQuoted(std::string_view text) const {
    std::string prepared(expansion(encoding_) * text.size() + 2, '"');
    const char* const end = quoteInto(encoding_, text.data(), text.data() + text.size(), &prepared[1]).second;
    prepared.resize(static_cast<std::size_t>(end - prepared.data()) + 1);
    prepared.back() = '"';
    return prepared;
}

void CsvWriter::putInPieces(std::string_view bytes) {
    while (bytes.size() > kBufferSize - used_) {
        const std::size_t free = kBufferSize - used_;
        std::copy_n(bytes.begin(), free, buffer_.get() + used_);
        used_ += free;
        bytes.remove_prefix(free);
        emptyBuffer();
    }
    put(bytes);
}

void CsvWriter::emptyBuffer() {
    const std::size_t size = std::exchange(used_, 0);
    if (!file_) {
        kept_.append(buffer_.get(), size);
    } else if (std::fwrite(buffer_.get(), 1, size, file_.get()) != size) {
        fileFailure(path_, errno);
    }
}

std::string CsvWriter::pending() const { return kept_ + std::string(buffer_.get(), used_); }

void CsvWriter::close() {
    if (!file_) return;
    emptyBuffer();
    if (std::fclose(file_.release()) != 0) fileFailure(path_, errno);
}

}  // namespace reelport
