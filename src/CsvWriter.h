// SPDX-License-Identifier: MIT
// The CSV text writer: the one place that knows the CSV files' line end.
#pragma once

#include "Files.h"
#include "PalmLatin.h"

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
        if (c == '\n') put('\r');
        if (encoding_ == CsvEncoding::Utf8 && changesInUtf8(static_cast<unsigned char>(c))) {
            commit(putUtf8(reserve(kMaxUtf8Size), c));
        } else {
            put(c);
        }
    }

    // Writes `text` up to its first NUL as one quoted field: enclosed in double
    // quotes, every double quote inside doubled, every LF written as CR LF.
    // Returns the number of bytes taken, the NUL not counted.
    std::size_t writeQuoted(std::string_view text);

    // The bytes `writeQuoted(text)` writes, for a field written on many rows
    // (a category name); `writePrepared` writes them.
    std::string prepareQuoted(std::string_view text) const;
    void writePrepared(std::string_view prepared) { put(prepared); }

    // Room for `size` bytes, at most the buffer's size, that the caller
    // writes straight into the buffer (fixed-width numbers, dates and
    // separators, without LF); `commit` takes the end of what was written.
    static constexpr std::size_t kMaxReserve = 64;
    char* reserve(std::size_t size) {
        if (size > kBufferSize - used_) emptyBuffer();
        return buffer_.get() + used_;
    }
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }

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
    // writeQuoted for a text too long for the buffer at once: in pieces.
    std::size_t writeQuotedInPieces(std::string_view text);
    // Writes the buffer out to the file, or keeps it in memory.
    void emptyBuffer();

    CsvEncoding encoding_;
    std::string path_;
    OutputFile file_;
    // Text is written out in blocks of this size.
    static constexpr std::size_t kBufferSize = std::size_t{1} << 16;
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

// An unsigned decimal number, without leading zeros (at most 20 bytes).
template <std::unsigned_integral T>
char* decimal(char* at, T value) {
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
    const std::size_t length = std::max<std::size_t>(1, estimate + (value >= kPowers[estimate]));
    char* const end = at + length;
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

}  // namespace digits

}  // namespace reelport
