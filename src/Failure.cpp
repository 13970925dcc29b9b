// SPDX-License-Identifier: MIT
#include "Failure.h"

#include <cstring>
#include <string_view>

namespace reelport {

namespace {

// Build folders differ between machines; the base name keeps messages stable.
std::string_view baseName(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

void fatalCheck(const char* condition, const char* file, int line) {
    std::string text = "Assert failed: ";
    text += condition;
    text += " (at ";
    text += baseName(file);
    text += ", line ";
    text += std::to_string(line);
    text += ")\n";
    throw Failure(kStatusFatal, std::move(text), condition);
}

void fileFailure(const std::string& path, int errorNumber) {
    throw Failure(kStatusRefused, path + ": " + std::strerror(errorNumber) + "\n");
}

void refuse(std::string message) {
    throw Failure(kStatusRefused, std::move(message));
}

}  // namespace reelport
