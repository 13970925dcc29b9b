// SPDX-License-Identifier: MIT
#include "base/Failure.h"

#include <cerrno>
#include <cstring>
#include <string_view>

namespace reelport {

namespace {

// Build folders differ between machines; the base name keeps messages stable.
std::string_view baseName(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

[[noreturn]] void fileFailure(FailureKind kind, const std::string& path, int errorNumber) {
    // A failed call that left errno at 0 still failed: say so in the system's words.
    if (errorNumber == 0) errorNumber = EIO;
    throw Failure(kind, path + ": " + std::strerror(errorNumber) + "\n", path, errorNumber);
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
    throw Failure(FailureKind::Damaged, std::move(text), {}, 0, condition);
}

void cannotRead(const std::string& path, int errorNumber) {
    fileFailure(FailureKind::DatabaseUnreadable, path, errorNumber);
}

void cannotWrite(const std::string& path, int errorNumber) {
    fileFailure(FailureKind::OutputUnwritable, path, errorNumber);
}

void refuse(FailureKind kind, std::string message, std::string path) {
    throw Failure(kind, std::move(message), std::move(path));
}

}  // namespace reelport
