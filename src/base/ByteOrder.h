// SPDX-License-Identifier: MIT
// Numbers as Palm OS stores them: big-endian, at fixed offsets of a record or
// header whose size the caller has checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace reelport {

inline std::uint16_t be16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}
inline std::uint32_t be24(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) << 16 | static_cast<std::uint32_t>(bytes[1]) << 8 | bytes[2];
}
inline std::uint32_t be32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) << 24 | be24(bytes + 1);
}
inline std::uint16_t be16(std::span<const std::uint8_t> bytes, std::size_t at) { return be16(&bytes[at]); }
inline std::uint32_t be32(std::span<const std::uint8_t> bytes, std::size_t at) { return be32(&bytes[at]); }

// A four-character code (a database's type or creator) as the u32 the header holds.
constexpr std::uint32_t fourCharCode(std::string_view code) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
           static_cast<unsigned char>(code[3]);
}

}  // namespace reelport
