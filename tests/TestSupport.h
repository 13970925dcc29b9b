// SPDX-License-Identifier: MIT
// Helpers shared by the tests: scratch directories, files, running the built
// tool, and catching a run's failure in-process.
#pragma once

#include "Failure.h"
#include "PdbWriter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace reelport::test {

// What the tool puts between a directory and a file name.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// Whether this build is for Windows, where the console streams are text
// streams that write every LF as CR LF and file names ignore case.
#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

// `text` as the tool's standard output and standard error write it: with
// CR LF for every LF on Windows, unchanged elsewhere.
std::string console(std::string text);

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + kSeparator + name; }

private:
    std::string path_;
};

// A path the tests hold as UTF-8 (bytes as they are on POSIX), for the
// standard library; on Windows a plain string would go through the ANSI code page.
std::filesystem::path utf8Path(const std::string& path);

std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
std::string asText(const Bytes& bytes);

// Whether this Windows build runs under Wine on Linux.
bool underWine();

// A device on which every write fails for lack of space: Linux's /dev/full;
// on Windows the same device as Wine shows it, none on Windows itself.
std::optional<std::string> fullDevice();

#ifdef _WIN32
// Holds a file open without sharing it, as a spreadsheet holds a CSV file it
// shows: nobody else can open the file until this is destroyed.
class LockedFile {
public:
    explicit LockedFile(const std::string& path);
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

private:
    void* handle_;
};
#endif

// What a run of the built tool did.
struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Where a run's standard output goes.
enum class StandardOutput {
    Captured,
    // Every write fails: /dev/full (a full disk) on Linux, a handle open for
    // reading only on Windows.
    Unwritable,
    // POSIX only: no standard output at all (">&-"), and a pipe whose reader
    // has gone ("| true" once true has ended).
    Closed,
    BrokenPipe,
};

// What a run meets besides its arguments.
struct RunSetup {
    RunSetup(StandardOutput output_ = StandardOutput::Captured, std::uint64_t fileSizeLimit_ = 0)
        : output(output_), fileSizeLimit(fileSizeLimit_) {}
    StandardOutput output;
    // POSIX only: the size in bytes no file may grow beyond ("ulimit -f"); 0 for no limit.
    std::uint64_t fileSizeLimit;
};

// Runs the built reelport with these arguments; standard error is captured.
RunResult runReelport(const std::vector<std::string>& arguments, const RunSetup& setup = {});

#ifndef _WIN32
// Runs a program (argv[0] is its path) as a shell would start it: SIGPIPE and
// SIGXFSZ end it unless it ignores them itself. A run still going after a
// minute ends by SIGALRM, so a hang fails its test instead of stopping the suite.
RunResult runProgram(std::vector<std::string> argv, const RunSetup& setup = {});
#endif

// The failure a call ends with; the test fails when it ends without one.
template <typename Call>
std::optional<Failure> failureOf(Call&& call) {
    try {
        call();
    } catch (const Failure& failure) {
        return failure;
    }
    ADD_FAILURE() << "expected the call to end the run with a failure";
    return std::nullopt;
}

// Whether `text` is the whole fatal-check line for `condition` raised in
// `sourceFile`; only the line number is left open.
bool isFatalCheckLine(const std::string& text, const std::string& condition, const std::string& sourceFile);

MATCHER_P2(IsFatalCheck, condition, sourceFile,
           "is \"Assert failed: " + std::string(condition) + " (at " + std::string(sourceFile) + ", line N)\"") {
    return isFatalCheckLine(arg, condition, sourceFile);
}

// The same line as written on the tool's standard error (see `console`).
MATCHER_P2(IsFatalCheckOnConsole, condition, sourceFile,
           "is \"Assert failed: " + std::string(condition) + " (at " + std::string(sourceFile) +
               ", line N)\" with the console's line end") {
    const std::string text = arg;
    if (!kWindows) return isFatalCheckLine(text, condition, sourceFile);
    return text.ends_with("\r\n") && text.find('\r') == text.size() - 2 &&
           isFatalCheckLine(text.substr(0, text.size() - 2) + "\n", condition, sourceFile);
}

}  // namespace reelport::test

namespace reelport::test {

// A database built by the writer and read from memory.
PalmDB loadedDatabase(const PdbFile& file, const std::string& path = "test/Cinecase.PDB");

// A record of the tape or programme database.
PdbRecord record(Bytes data, std::uint32_t uniqueId, std::uint8_t category = 0);

}  // namespace reelport::test
