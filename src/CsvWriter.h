// SPDX-License-Identifier: MIT
// The CSV text writer: the one place that knows the CSV files' line end.
#pragma once

#include "Files.h"
#include "PalmLatin.h"
#include "QuotedText.h"

#include <algorithm>
#include <array>
#include <bit>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace reelport {

// Writes CSV text to a file. Every LF byte is written as CR LF, the line ends
// and any LF inside a text alike; in UTF-8 every byte that is not plain ASCII
// is written in its UTF-8 form (PalmLatin.h); no other byte is changed. All
// text goes through one fixed buffer that is written out whenever it fills,
// so a row costs no allocation and the file sees a few large writes.
class CsvWriter {
public:
    // Creates or empties the file; a failure to open it ends the run.
    explicit CsvWriter(const std::string& path, CsvEncoding encoding = CsvEncoding::Palm);
    // Keeps all text in memory only (tests and fuzzing).
    explicit CsvWriter(CsvEncoding encoding = CsvEncoding::Palm);
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;
    // A writer not closed (a run ended by a failure) still writes out what it
    // holds, so a file cut short keeps the rows written before the failure.
    ~CsvWriter();

    CsvEncoding encoding() const { return encoding_; }

    void write(std::string_view text) {
        // Most texts hold no line break: they are copied as they are.
        if (encoding_ == CsvEncoding::Palm && text.find('\n') == std::string_view::npos) {
            put(text);
        } else {
            for (const char c : text) write(c);
        }
    }
    void write(char c) {
        commit(encoding_ == CsvEncoding::Utf8 ? byte<CsvEncoding::Utf8>(reserve(kMaxByteSize), c)
                                              : byte<CsvEncoding::Palm>(reserve(kMaxByteSize), c));
    }

    // Writes `text` up to its first NUL as one quoted field: enclosed in double
    // quotes, every double quote inside doubled, every LF written as CR LF.
    // Returns the number of bytes taken, the NUL not counted.
    std::size_t writeQuoted(std::string_view text) {
        std::size_t taken = 0;
        char* const at = beginRow();
        endRow(encoding_ == CsvEncoding::Utf8 ? quoted<CsvEncoding::Utf8>(at, text, &taken)
                                              : quoted<CsvEncoding::Palm>(at, text, &taken));
        return taken;
    }

    // The bytes `writeQuoted(text)` writes, for a field written on many rows
    // (a category name).
    std::string prepareQuoted(std::string_view text) const;

    // A row is written straight into the buffer, with no call for most of it:
    // `beginRow` gives room for kRowRoom bytes, where the caller writes the
    // fixed parts of the row (numbers, dates, separators, prepared fields,
    // bytes through `byte`); `quoted` writes a quoted field there and gives
    // room for kRowRoom bytes more behind it; `lineEnd` ends the line and
    // `endRow` takes the end of what was written. A row writer is a template
    // on the writer's encoding, so that every field's loop is in place.
    static constexpr std::size_t kRowRoom = 128;
    char* beginRow() { return reserve(kRowRoom); }
    void endRow(const char* end) { commit(end); }

    // Writes `text` up to its first NUL at `at` as one quoted field in
    // `kEncoding`, the writer's encoding; returns the end. `taken`, when
    // given, receives the number of bytes taken, the NUL not counted.
    template <CsvEncoding kEncoding>
    [[gnu::always_inline]] char* quoted(char* at, std::string_view text, std::size_t* taken = nullptr) {
        // Room for the field even when every byte grows to its largest, and
        // for the fixed parts behind it; a text too long for what is left of
        // the buffer goes elsewhere. (The product cannot overflow: the text
        // lies in memory.)
        const auto room = static_cast<std::size_t>(buffer_.get() + kBufferSize - at);
        if (quoting::expansion(kEncoding) * text.size() + 2 + kRowRoom > room) return quotedElsewhere(at, text, taken);
        const char* const begin = text.data();
        *at = '"';
        const auto [stopped, end] = quoting::quoteInto<kEncoding>(begin, begin + text.size(), at + 1);
        *end = '"';
        if (taken != nullptr) *taken = static_cast<std::size_t>(stopped - begin);
        return end + 1;
    }

    // One byte at `at` (a rating character) in `kEncoding`: LF as CR LF, and
    // in UTF-8 a byte that changes there in its UTF-8 form. At most
    // kMaxByteSize bytes.
    static constexpr std::size_t kMaxByteSize = 1 + kMaxUtf8Size;
    template <CsvEncoding kEncoding>
    static char* byte(char* at, char c) {
        if (c == '\n') *at++ = '\r';
        if (kEncoding == CsvEncoding::Utf8 && changesInUtf8(static_cast<unsigned char>(c))) return putUtf8(at, c);
        *at++ = c;
        return at;
    }
    // The end of a row's line at `at`.
    static char* lineEnd(char* at) { return byte<CsvEncoding::Palm>(at, '\n'); }

    // Writes out what is held and closes the file; a write or close error
    // ends the run with "<path>: <error text>".
    void close();

    // In memory: all text written so far. With a file: what is held and not yet written out.
    std::string pending() const;

private:
    // Bytes as they are, without the LF translation.
    void put(char c) {
        if (used_ == kBufferSize) emptyBuffer();
        buffer_[used_++] = c;
    }
    void put(std::string_view bytes) {
        if (bytes.size() <= kBufferSize - used_) {
            // std::copy, not memcpy: an empty text may have no address at all.
            std::copy(bytes.begin(), bytes.end(), buffer_.get() + used_);
            used_ += bytes.size();
        } else {
            putInPieces(bytes);
        }
    }
    void putInPieces(std::string_view bytes);
    // Room for `size` bytes, at most the buffer's size less a page, at the end of the
    // buffer; `commit` takes the end of what was written there.
    char* reserve(std::size_t size) {
        if (size > kBufferSize - used_) emptyBuffer();
        return buffer_.get() + used_;
    }
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }
    // `quoted` for a text too long for what is left of the buffer: after the
    // buffer is written out, or in pieces when even a whole buffer is too small.
    char* quotedElsewhere(char* at, std::string_view text, std::size_t* taken);
    // Writes the buffer out to the file, or keeps it in memory: everything
    // when `all` (the file is closed), else the whole pages of the file it
    // holds, the rest (less than a page) moved to its front. A write that
    // ended inside a page would make the system take that page up twice.
    void emptyBuffer(bool all = false);
    static constexpr std::size_t kPage = 4096;

    CsvEncoding encoding_;
    std::string path_;
    OutputFile file_;
    // Text is written out in blocks of 64 KiB, whole pages of the file; the
    // buffer holds a page more, so that it is full when a block is written.
    static constexpr std::size_t kBufferSize = (std::size_t{1} << 16) + kPage;
    // Left uninitialised: every byte is written before it is read. The libc++
    // of emscripten 3.1 lacks make_unique_for_overwrite.
#ifdef __cpp_lib_smart_ptr_for_overwrite
    std::unique_ptr<char[]> buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
#else
    std::unique_ptr<char[]> buffer_{new char[kBufferSize]};
#endif
    std::size_t used_ = 0;
    std::string kept_;  // in memory: the text of the buffers emptied so far
};

// Fixed-width parts of a row, written straight into room from `reserve`:
// each returns the end of what it wrote.
namespace digits {

inline constexpr std::array<char, 200> kPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// Two digits, with a leading zero: 0 to 99.
inline char* twoDigits(char* at, unsigned value) {
    std::memcpy(at, &kPairs[2 * value], 2);
    return at + 2;
}

// Numbers from 100 to 99999999, which take in every ID of a catalogue, all
// eight digits at once: the two four-digit halves in the 32-bit lanes of one
// 64-bit number are split into two-digit pairs in its 16-bit lanes, and those
// into digits in its bytes, by multiplications that divide by 100 and by 10
// exactly in these ranges, in every lane together. The leading zeros are
// dropped; eight bytes are written.
inline char* eightDigits(char* at, std::uint32_t value) {
    const std::uint64_t high = value / 10000;
    std::uint64_t lanes = high | (value - high * 10000) << 32;  // the first four digits in the low lane
    std::uint64_t tens = (lanes * 10486 >> 20) & 0x0000007F0000007Fu;  // each lane / 100
    lanes = tens | (lanes - tens * 100) << 16;
    tens = (lanes * 103 >> 10) & 0x000F000F000F000Fu;  // each lane / 10
    lanes = tens | (lanes - tens * 10) << 8;  // digit i in byte i, counted from the low end
    const auto zeros = static_cast<unsigned>(std::countr_zero(lanes)) / 8;
    lanes = (lanes + 0x3030303030303030u) >> 8 * zeros;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(at, &lanes, 8);
    } else {
        for (unsigned i = 0; i < 8; ++i) at[i] = static_cast<char>(lanes >> 8 * i);
    }
    return at + 8 - zeros;
}

// A decimal number of nine digits or more (`decimal` takes the shorter ones).
template <std::unsigned_integral T>
[[gnu::noinline]] char* longDecimal(char* at, T value) {
    // Static: a constant array indexed at run time would be built on the stack at every call.
    static constexpr std::array<std::uint64_t, 20> kPowers = [] {
        std::array<std::uint64_t, 20> powers{};
        std::uint64_t power = 1;
        for (std::uint64_t& entry : powers) {
            entry = power;
            power *= 10;  // wraps only after the last entry
        }
        return powers;
    }();
    // The number of digits: 1233 / 4096 is just above log10(2).
    const auto estimate = static_cast<std::size_t>(std::bit_width(value)) * 1233 >> 12;
    char* const end = at + estimate + (value >= kPowers[estimate]);
    char* digit = end;
    for (; value >= 100; value = static_cast<T>(value / 100)) {
        digit -= 2;
        std::memcpy(digit, &kPairs[2 * static_cast<std::size_t>(value % 100)], 2);
    }
    if (value >= 10) {
        std::memcpy(digit - 2, &kPairs[2 * static_cast<std::size_t>(value)], 2);
    } else {
        digit[-1] = static_cast<char>('0' + value);
    }
    return end;
}

// An unsigned decimal number, without leading zeros, written into room for
// 20 bytes: bytes of the room past the end it returns may be overwritten.
// Inlined where a row is written, but for the rare long numbers.
template <std::unsigned_integral T>
[[gnu::always_inline]] inline char* decimal(char* at, T value) {
    if (value < 100) {
        // One digit is the second of its pair.
        const bool oneDigit = value < 10;
        std::memcpy(at, &kPairs[2 * static_cast<std::size_t>(value) + oneDigit], 2);
        return at + 2 - oneDigit;
    }
    if (value < 100000000) return eightDigits(at, static_cast<std::uint32_t>(value));
    return longDecimal(at, value);
}

}  // namespace digits

}  // namespace reelport
