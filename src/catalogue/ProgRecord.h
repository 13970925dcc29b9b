// SPDX-License-Identifier: MIT
// A programme record's data (numbers big-endian):
//    0  u8    record kind in the high four bits: 0xB is a programme
//    1  u8    flags: bit 7 seen, bit 5 keep, bits 1-0 speed code
//    2  u8    rating, 0 = none
//    4  u32   tape ID: the unique ID of the tape record it lies on
//    8  u16   order of the programme on its tape
//   12  u16   stored length; times the speed factor it gives seconds
//   14  u16   recording date: bits 15-9 years since 1904, 8-5 month, 4-0 day
//   18  text  title, up to its NUL; empty when the first byte is NUL
//       text  note, right after the title's NUL
// The programme's ID is its record's unique ID, its category the low four
// bits of the record's attributes.
#pragma once

#include "base/ByteOrder.h"
#include "catalogue/TapeRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace reelport {

// A view of a programme record whose fixed fields are whole (kMinimumSize bytes).
class ProgRecord {
public:
    static constexpr std::uint8_t kKind = 0xB0;
    static constexpr std::size_t kFlagsOffset = 1;
    static constexpr std::size_t kRatingOffset = 2;
    static constexpr std::size_t kTapeIdOffset = 4;
    static constexpr std::size_t kOrderOffset = 8;
    static constexpr std::size_t kLengthOffset = 12;
    static constexpr std::size_t kDateOffset = 14;
    static constexpr std::size_t kTitleOffset = 18;
    // The fixed fields end with the date; title and note may be missing.
    static constexpr std::size_t kMinimumSize = kDateOffset + 2;

    static constexpr std::uint8_t kSeenFlag = 0x80;
    static constexpr std::uint8_t kKeepFlag = 0x20;
    static constexpr std::uint8_t kSpeedMask = 0x03;
    // The speed code's name; the speed factor is the code plus one.
    static constexpr std::array<std::string_view, 4> kSpeedNames = {"SP", "LP", "EP", "??"};

    explicit ProgRecord(std::span<const std::uint8_t> data) : data_(data) {}

    // The two sort keys of the programme list.
    static std::uint32_t tapeIdOf(std::span<const std::uint8_t> data) { return be32(data, kTapeIdOffset); }
    static std::uint16_t orderOf(std::span<const std::uint8_t> data) { return be16(data, kOrderOffset); }

    bool seen() const { return (data_[kFlagsOffset] & kSeenFlag) != 0; }
    bool keep() const { return (data_[kFlagsOffset] & kKeepFlag) != 0; }
    unsigned speedCode() const { return data_[kFlagsOffset] & kSpeedMask; }
    std::string_view speedName() const { return kSpeedNames[speedCode()]; }
    // The stored length times the speed factor: up to 262140 seconds.
    std::uint32_t lengthSeconds() const { return std::uint32_t{be16(data_, kLengthOffset)} * (speedCode() + 1); }
    // 0: none; else a character counted up from '0' (the byte wraps past 255).
    std::uint8_t rating() const { return data_[kRatingOffset]; }
    // The date as stored; its fields are not checked (month 0 and 15 occur).
    unsigned year() const { return (date() >> 9) + 1904; }
    unsigned month() const { return date() >> 5 & 0x0F; }
    unsigned day() const { return date() & 0x1F; }

    // A programme without a title: its row holds no flags, date, category,
    // rating or note.
    bool untitled() const { return data_.size() <= kTitleOffset || data_[kTitleOffset] == 0; }
    // From the title's start to the end of the record: the title runs to its NUL.
    std::string_view title() const { return bytesFrom(data_, kTitleOffset); }
    // The note behind a title of `titleLength` bytes and its NUL; a title
    // running to the end of the record leaves none.
    std::string_view noteAfter(std::size_t titleLength) const {
        return bytesFrom(data_, kTitleOffset + titleLength + 1);
    }
    // Whether the texts of the row end inside the record: title and note of
    // the lengths found, or for a programme without a title, its first byte.
    bool endsInside(std::size_t titleLength, std::size_t noteLength) const {
        return kTitleOffset + titleLength + 1 + noteLength < data_.size();
    }
    bool untitledEndsInside() const { return data_.size() > kTitleOffset; }

private:
    std::span<const std::uint8_t> data_;
    unsigned date() const { return be16(data_, kDateOffset); }
};

}  // namespace reelport
