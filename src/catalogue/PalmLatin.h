// SPDX-License-Identifier: MIT
// The handheld's character set, and its UTF-8 form.
//
// Texts on a Palm OS handheld of Western Europe or America are in Palm OS
// Latin: Windows-1252 with a few glyphs of the handheld's own. Bytes 0x01 to
// 0x7F are ASCII, except 0x18, the handheld's ellipsis, and 0x19, its
// numeric space. 0x80 to 0xFF are as in Windows-1252, except the five bytes
// Windows-1252 leaves undefined: 0x8D, 0x8F and 0x90 are the card suits the
// handheld's fonts draw (diamond, heart, spade), while 0x81 and 0x9D have no
// glyph and keep their own code points, so no byte is ever lost.
//
// The CSV files hold the stored bytes as they are, which Excel on a Western
// Windows reads right; with --utf8 every byte of them is written in its UTF-8
// form instead, for every other program.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace reelport {

// The bytes that change in UTF-8: everything from 0x80, and the two glyphs
// of the handheld among the ASCII control codes.
constexpr bool changesInUtf8(unsigned char byte) { return byte >= 0x80 || byte == 0x18 || byte == 0x19; }

// The longest UTF-8 form of one byte: three bytes (U+0800 and up).
inline constexpr std::size_t kMaxUtf8Size = 3;

namespace palmlatin {

// The Unicode code point of each byte.
inline constexpr std::array<std::uint16_t, 256> kCodePoints = [] {
    std::array<std::uint16_t, 256> points{};
    for (unsigned byte = 0; byte < 256; ++byte) points[byte] = static_cast<std::uint16_t>(byte);
    points[0x18] = 0x2026;  // horizontal ellipsis
    points[0x19] = 0x2007;  // figure (numeric) space
    constexpr std::array<std::uint16_t, 32> kWindows1252High = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x2666, 0x017D, 0x2665,  // 0x88: 0x8D diamond, 0x8F heart
        0x2660, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90: 0x90 spade
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
    };
    for (unsigned i = 0; i < kWindows1252High.size(); ++i) points[0x80 + i] = kWindows1252High[i];
    return points;
}();

// Each byte's UTF-8 form, padded to kMaxUtf8Size bytes, and its length.
struct Utf8Form {
    std::array<char, kMaxUtf8Size> bytes{};
    std::uint8_t size = 0;
};

inline constexpr std::array<Utf8Form, 256> kUtf8Forms = [] {
    std::array<Utf8Form, 256> forms{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        const unsigned point = kCodePoints[byte];
        Utf8Form& form = forms[byte];
        if (point < 0x80) {
            form.bytes[0] = static_cast<char>(point);
            form.size = 1;
        } else if (point < 0x800) {
            form.bytes[0] = static_cast<char>(0xC0 | point >> 6);
            form.bytes[1] = static_cast<char>(0x80 | (point & 0x3F));
            form.size = 2;
        } else {
            form.bytes[0] = static_cast<char>(0xE0 | point >> 12);
            form.bytes[1] = static_cast<char>(0x80 | (point >> 6 & 0x3F));
            form.bytes[2] = static_cast<char>(0x80 | (point & 0x3F));
            form.size = 3;
        }
    }
    return forms;
}();

}  // namespace palmlatin

// Writes the UTF-8 form of `byte` at `out`, which has room for kMaxUtf8Size
// bytes; returns the end of what it wrote.
inline char* putUtf8(char* out, char byte) {
    const palmlatin::Utf8Form& form = palmlatin::kUtf8Forms[static_cast<unsigned char>(byte)];
    std::memcpy(out, form.bytes.data(), kMaxUtf8Size);
    return out + form.size;
}

// The handheld's bytes of `text` in UTF-8, appended to `out`.
inline void appendUtf8(std::string& out, std::string_view text) {
    for (const char byte : text) {
        if (!changesInUtf8(static_cast<unsigned char>(byte))) {
            out += byte;
        } else {
            char form[kMaxUtf8Size];
            out.append(form, static_cast<std::size_t>(putUtf8(form, byte) - form));
        }
    }
}

}  // namespace reelport
