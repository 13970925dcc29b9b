// SPDX-License-Identifier: MIT
// How a run ends early.
//
// Every failure the tool can meet (a damaged database, a file that cannot be
// opened, a database of another application) ends the run with a fixed text on
// standard error and an exit status. Code that finds a failure throws a
// `Failure`; only the command-line entry catches it, writes its text and
// returns its status. Throwing instead of calling exit() lets the unwinding
// close a CSV file cut short with the rows already written, and lets tests and
// the fuzz target drive the reader and the exports in-process.
#pragma once

#include <stdexcept>
#include <string>

namespace reelport {

// Exit statuses of the tool.
inline constexpr int kStatusSuccess = 0;
inline constexpr int kStatusRefused = 1;  // usage, open failure, wrong identity, write failure
inline constexpr int kStatusFatal = 2;    // a fatal consistency check failed
inline constexpr int kStatusSalvaged = 3; // salvage: both lists written, damaged parts skipped

// The text a run ends with when the system cannot give it the memory it
// needs (a std::bad_alloc), with status 2.
inline constexpr const char* kOutOfMemory = "Reelport: out of memory\n";

class Failure : public std::runtime_error {
public:
    Failure(int status, std::string message, std::string condition = {})
        : std::runtime_error(std::move(message)), status_(status), condition_(std::move(condition)) {}

    int status() const noexcept { return status_; }
    // The complete text for standard error, newline included.
    const char* message() const noexcept { return what(); }
    // The condition of a fatal check; empty for every other failure.
    const std::string& condition() const noexcept { return condition_; }

private:
    int status_;
    std::string condition_;
};

// Ends the run with status 2 and the line
// "Assert failed: <condition> (at <source file>, line <n>)". The defaults
// take the caller's place: the builtins behind std::source_location, which
// GCC, clang and MSVC all have, while clang 14 cannot build
// std::source_location itself with the GNU library.
[[noreturn]] void fatalCheck(const char* condition, const char* file = __builtin_FILE(),
                             int line = __builtin_LINE());

// Ends the run with status 1 and "<path>: <strerror(errorNumber)>": a file
// that cannot be opened, read or written.
[[noreturn]] void fileFailure(const std::string& path, int errorNumber);

// Ends the run with status 1 and the given text, which carries its own newlines.
[[noreturn]] void refuse(std::string message);

}  // namespace reelport
