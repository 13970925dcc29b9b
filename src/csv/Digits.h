// SPDX-License-Identifier: MIT
// Numbers of a row in decimal, written straight into room in the CSV
// writer's buffer, without locale and without a call for the short ones.
#pragma once

#include <array>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace reelport {

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
