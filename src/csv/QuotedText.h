// SPDX-License-Identifier: MIT
// How a text becomes a quoted CSV field: copied a block at a time while the
// bytes that need care are looked for. Included by the CSV writer, whose
// quoted fields inline these loops.
#pragma once

#include "catalogue/PalmLatin.h"
#include "csv/CsvEncoding.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

// The SSE2 scan of texts, on targets that have it (every x86-64), unless
// the portable word-at-a-time scan alone is asked for.
#if defined(__SSE2__) && !defined(REELPORT_PORTABLE_SCAN)
#define REELPORT_SSE2_SCAN 1
#include <emmintrin.h>
#endif

namespace reelport::quoting {

// Texts are scanned a block of bytes at a time for the bytes that need care
// (NUL ends a text, a double quote is doubled, LF becomes CR LF, and in UTF-8
// every byte that changes there), while the block is copied: 16 bytes in an
// SSE2 register where the target has one (every x86-64), and eight in a
// 64-bit word on every target, which also takes the last few bytes of a text
// after the vectors. A block is loaded only where all its bytes lie in the text.

using Word = std::uint64_t;
inline constexpr Word kLow7 = 0x7F7F7F7F7F7F7F7Fu;
inline constexpr Word kHigh = ~kLow7;
inline constexpr Word kQuotes = 0x2222222222222222u;
inline constexpr Word kLineFeeds = 0x0A0A0A0A0A0A0A0Au;
// 0x18 and 0x19, the handheld's ellipsis and numeric space, differ only in the lowest bit.
inline constexpr Word kNotLowest = 0xFEFEFEFEFEFEFEFEu;
inline constexpr Word kPalmGlyphs = 0x1818181818181818u;

// The high bit of every zero byte of `x`, and of no other byte: exact, with
// no carry between bytes, so the first marked byte is right on either byte order.
constexpr Word zeroBytes(Word x) { return ~(((x & kLow7) + kLow7) | x | kLow7); }

template <CsvEncoding kEncoding>
constexpr Word bytesNeedingCare(Word w) {
    const Word marks = zeroBytes(w) | zeroBytes(w ^ kQuotes) | zeroBytes(w ^ kLineFeeds);
    if constexpr (kEncoding == CsvEncoding::Utf8) return marks | (w & kHigh) | zeroBytes((w & kNotLowest) ^ kPalmGlyphs);
    return marks;
}

// Eight bytes in a word.
struct WordBlock {
    static constexpr std::size_t kSize = sizeof(Word);

    // Copies the block at `from` to `to`; returns how many of its bytes, from
    // the first, need no care (kSize when none does).
    template <CsvEncoding kEncoding>
    static unsigned copy(const char* from, char* to) {
        Word word;
        std::memcpy(&word, from, kSize);
        std::memcpy(to, &word, kSize);
        // The place in memory of the first marked byte; a word without marks gives kSize.
        const Word marks = bytesNeedingCare<kEncoding>(word);
        if constexpr (std::endian::native == std::endian::little) {
            return static_cast<unsigned>(std::countr_zero(marks)) / 8;
        } else {
            return static_cast<unsigned>(std::countl_zero(marks)) / 8;
        }
    }
};

#ifdef REELPORT_SSE2_SCAN
// Sixteen bytes in an SSE2 register, compared with each byte that needs care
// at once; the mask of the comparisons has bit i for byte i on every target.
struct VectorBlock {
    static constexpr std::size_t kSize = sizeof(__m128i);

    template <CsvEncoding kEncoding>
    static unsigned copy(const char* from, char* to) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), bytes);
        const __m128i quotes = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('"'));
        __m128i care;
        if constexpr (kEncoding == CsvEncoding::Utf8) {
            // In UTF-8 every byte below 0x20 or from 0x80 is marked, in one
            // comparison of signed bytes: that takes in NUL, LF and every byte
            // that changes there, and a few more (CR, TAB, ...), which are
            // written one by one as they are.
            care = _mm_or_si128(quotes, _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20)));
        } else {
            care = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_setzero_si128()), quotes),
                                _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')));
        }
        const auto marks = static_cast<unsigned>(_mm_movemask_epi8(care));
        return static_cast<unsigned>(std::countr_zero(marks | 1u << kSize));
    }
};
#endif

template <CsvEncoding kEncoding>
inline bool needsCare(char c) {
    return c == '\0' || c == '"' || c == '\n' ||
           (kEncoding == CsvEncoding::Utf8 && changesInUtf8(static_cast<unsigned char>(c)));
}

// At most this many bytes are written for each byte of a text.
constexpr std::size_t expansion(CsvEncoding encoding) { return encoding == CsvEncoding::Utf8 ? kMaxUtf8Size : 2; }

// Copies the bytes from `text` on that need no care to `out`, a block at a
// time, up to the first byte that does or the end of the text: the blocks
// that lie wholly in the text, then the block that ends with the text, whose
// first bytes belong to the run copied unchanged since `run` and are written
// again as they are. Returns false, having done nothing, when fewer bytes than
// a block are left and the run is shorter than a block.
template <typename Block, CsvEncoding kEncoding>
[[gnu::always_inline]] inline bool copyPlainBytes(const char*& text, const char* const end, const char* const run, char*& out) {
    constexpr auto kSize = static_cast<std::ptrdiff_t>(Block::kSize);
    while (end - text >= kSize) {
        const unsigned plain = Block::template copy<kEncoding>(text, out);
        text += plain;
        out += plain;
        if (plain != Block::kSize) return true;
    }
    if (text == end) return true;
    if (end - run < kSize) return false;
    const std::ptrdiff_t behind = kSize - (end - text);
    const std::ptrdiff_t plain =
        static_cast<std::ptrdiff_t>(Block::template copy<kEncoding>(end - kSize, out - behind)) - behind;
    text += plain;
    out += plain;
    return true;
}

// Copies the text from `text` to `end` into `out`, doubling double quotes,
// writing LF as CR LF and, in UTF-8, each byte in its UTF-8 form; stops early
// at a NUL. `out` has room for `expansion(kEncoding)` times the text. Returns
// where the text and the output stopped.
template <CsvEncoding kEncoding>
[[gnu::always_inline]] inline std::pair<const char*, char*> quoteInto(const char* text, const char* const end,
                                                                      char* out) {
    // Where the current run of bytes copied unchanged began, in the text.
    const char* run = text;
    while (true) {
#ifdef REELPORT_SSE2_SCAN
        const bool copied = copyPlainBytes<VectorBlock, kEncoding>(text, end, run, out) ||
                            copyPlainBytes<WordBlock, kEncoding>(text, end, run, out);
#else
        const bool copied = copyPlainBytes<WordBlock, kEncoding>(text, end, run, out);
#endif
        if (!copied) {
            while (text != end && !needsCare<kEncoding>(*text)) *out++ = *text++;
        }
        if (text == end || *text == '\0') return {text, out};
        if (*text == '"' || *text == '\n') {
            *out++ = *text == '"' ? '"' : '\r';
            *out++ = *text;
        } else {
            out = putUtf8(out, *text);
        }
        run = ++text;
    }
}

inline std::pair<const char*, char*> quoteInto(CsvEncoding encoding, const char* text, const char* end, char* out) {
    return encoding == CsvEncoding::Utf8 ? quoteInto<CsvEncoding::Utf8>(text, end, out)
                                         : quoteInto<CsvEncoding::Palm>(text, end, out);
}

}  // namespace reelport::quoting
