// SPDX-License-Identifier: MIT
// A file's bytes in memory: mapped from the file system by the command line,
// or handed over by the web page.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace reelport {

struct FileImage {
    std::span<const std::uint8_t> bytes;
    std::shared_ptr<const void> owner;  // keeps the bytes where they are
};

// Bytes already in memory, kept for as long as the image lives.
inline FileImage heapImage(std::vector<std::uint8_t> bytes) {
    auto owner = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    return {std::span<const std::uint8_t>(*owner), owner};
}

}  // namespace reelport
