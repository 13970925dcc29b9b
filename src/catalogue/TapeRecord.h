// SPDX-License-Identifier: MIT
// A tape record's data (numbers big-endian):
//    0  u8       record kind in the high four bits: 0xA is a tape
//    2  16 bytes label, NUL-terminated when shorter than 16 bytes
//   18  u16      length of the tape in seconds
//   35  text     note, up to its NUL
// The tape's ID is its record's unique ID, its category the low four bits of
// the record's attributes. Bytes 1, 20 to 34 and the low four bits of byte 0
// are not used.
#pragma once

#include "base/ByteOrder.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace reelport {

// Bytes of a record from `offset` to its end; empty when the offset lies at
// or past the end, so a short record never yields bytes it does not hold.
inline std::string_view bytesFrom(std::span<const std::uint8_t> data, std::size_t offset) {
    if (offset >= data.size()) return {};
    return {reinterpret_cast<const char*>(data.data()) + offset, data.size() - offset};
}

// A view of a tape record whose fixed fields are whole (kMinimumSize bytes).
class TapeRecord {
public:
    static constexpr std::uint8_t kKind = 0xA0;
    static constexpr std::size_t kLabelOffset = 2;
    static constexpr std::size_t kLabelSize = 16;
    static constexpr std::size_t kLengthOffset = 18;
    static constexpr std::size_t kNoteOffset = 35;
    // The fixed fields end with the length; the note may be missing altogether.
    static constexpr std::size_t kMinimumSize = kLengthOffset + 2;
    static_assert(kLabelOffset + kLabelSize == kLengthOffset);

    explicit TapeRecord(std::span<const std::uint8_t> data) : data_(data) {}

    // The label of any record taken for a tape: its 16 bytes from offset 2,
    // up to a NUL or fewer in a shorter record (a programme's tape may be a
    // record of any kind and length).
    static std::string_view labelOf(std::span<const std::uint8_t> data) {
        return bytesFrom(data, kLabelOffset).substr(0, kLabelSize);
    }
    // The label's bytes as stored (a NUL in them ends it).
    std::string_view label() const { return labelOf(data_); }
    // Seconds; hours and minutes of it are written, the seconds left over dropped.
    unsigned lengthSeconds() const { return be16(data_, kLengthOffset); }
    // From the note's start to the end of the record: the note runs to its NUL.
    std::string_view note() const { return bytesFrom(data_, kNoteOffset); }
    // Whether a note of `noteLength` bytes (NUL not counted) ends inside the record.
    bool endsInside(std::size_t noteLength) const { return kNoteOffset + noteLength < data_.size(); }

private:
    std::span<const std::uint8_t> data_;
};

}  // namespace reelport
