// SPDX-License-Identifier: MIT
// The standard Palm OS category table, which starts an application's
// application-info block: a u16 (which categories were renamed, not used
// here), then 16 names of 16 bytes, each NUL-terminated when shorter. A
// record's category is the low four bits of its entry's attributes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace reelport {

inline constexpr std::size_t kCategoryCount = 16;
inline constexpr std::size_t kCategoryTableStart = 2;
inline constexpr std::size_t kCategoryNameSize = 16;
inline constexpr std::size_t kCategoryTableSize = kCategoryTableStart + kCategoryCount * kCategoryNameSize;

// The name of category `index` (0 to 15): at most its slot's 16 bytes, up to
// a NUL. A slot outside the block (a block missing or cut short) gives "".
inline std::string_view categoryName(std::span<const std::uint8_t> appInfo, unsigned index) {
    const std::size_t start = kCategoryTableStart + kCategoryNameSize * index;
    if (start >= appInfo.size()) return {};
    const std::string_view slot(reinterpret_cast<const char*>(appInfo.data()) + start,
                                std::min(kCategoryNameSize, appInfo.size() - start));
    return slot.substr(0, slot.find('\0'));
}

}  // namespace reelport
