// SPDX-License-Identifier: MIT
// How a run ends early.
//
// Every failure the tool can meet (a damaged database, a file that cannot be
// opened, a database of another application) ends the run with a fixed text.
// Code that finds a failure throws a `Failure`, which carries that text and
// what kind of failure it is; the run catches it and turns it into its
// outcome (run/Outcome.h), from which each face takes the message, the exit
// status and, for people, a sentence in plain words. Throwing instead of
// calling exit() lets the unwinding close a CSV file cut short with the rows
// already written, and lets tests and the fuzz target drive the reader and
// the exports in-process.
#pragma once

#include <stdexcept>
#include <string>

namespace reelport {

enum class FailureKind {
    DatabaseUnreadable,  // a database that cannot be opened or read (its error number says why)
    NotCinecase,         // a database of another application (its creator)
    WrongVersion,        // a Cinecase database of another version
    Damaged,             // a fatal check: the file's layout or contents cannot be followed
    OutputUnwritable,    // a CSV file, the workbook or standard output that cannot be created or written
    OutputIsDatabase,    // an output's name is a link to one of the databases
    OutOfMemory,         // the system could not give the run the memory it needs
};

class Failure : public std::runtime_error {
public:
    Failure(FailureKind kind, std::string message, std::string path = {}, int errorNumber = 0,
            std::string condition = {})
        : std::runtime_error(std::move(message)), kind_(kind), errorNumber_(errorNumber), path_(std::move(path)),
          condition_(std::move(condition)) {}

    FailureKind kind() const noexcept { return kind_; }
    // The complete text for standard error, newline included.
    const char* message() const noexcept { return what(); }
    // The file the failure is about, where one is named; empty otherwise.
    const std::string& path() const noexcept { return path_; }
    // The system's error number of a file failure; 0 for every other failure.
    int errorNumber() const noexcept { return errorNumber_; }
    // The condition of a fatal check; empty for every other failure.
    const std::string& condition() const noexcept { return condition_; }

private:
    FailureKind kind_;
    int errorNumber_;
    std::string path_;
    std::string condition_;
};

// The text a run ends with when the system cannot give it the memory it
// needs (a std::bad_alloc).
inline constexpr const char* kOutOfMemory = "Reelport: out of memory\n";

// Ends the run with a fatal check, the line
// "Assert failed: <condition> (at <source file>, line <n>)". The defaults
// take the caller's place: the builtins behind std::source_location, which
// GCC, clang and MSVC all have, while clang 14 cannot build
// std::source_location itself with the GNU library.
[[noreturn]] void fatalCheck(const char* condition, const char* file = __builtin_FILE(),
                             int line = __builtin_LINE());

// End the run with "<path>: <strerror(errorNumber)>": a database that cannot
// be opened or read, or an output that cannot be created or written. An
// error number of 0 (a C library that set none) is reported as EIO.
[[noreturn]] void cannotRead(const std::string& path, int errorNumber);
[[noreturn]] void cannotWrite(const std::string& path, int errorNumber);

// Ends the run with a refusal of `kind` and the given text, which carries
// its own newlines.
[[noreturn]] void refuse(FailureKind kind, std::string message, std::string path = {});

}  // namespace reelport
