// SPDX-License-Identifier: MIT
// What several tests share: scratch directories, running the built tool, and
// the texts of its console and its fatal checks in a form tests can compare.
#pragma once

#include "PdbWriter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace reelport::test {

// Windows' console streams write every LF as CR LF, and its separator is "\".
#ifdef _WIN32
inline constexpr bool kWindows = true;
inline constexpr char kSeparator = '\\';
#else
inline constexpr bool kWindows = false;
inline constexpr char kSeparator = '/';
#endif

std::string replaceAll(std::string text, const std::string& from, const std::string& to);
// `text` as the tool's standard output and standard error write it.
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

std::string readFile(const std::string& path);

// What a run of the built tool did.
struct RunResult {
    int status = -1;
    std::string out, err;
};

enum class StandardOutput {
    Captured,
    Unwritable,  // open for reading only, so that every write to it fails
};

// Runs the built reelport with these arguments; standard error is captured.
RunResult runReelport(const std::vector<std::string>& arguments,
                      StandardOutput output = StandardOutput::Captured);
// Runs a program (argv[0] is its path) the same way.
RunResult runProgram(const std::vector<std::string>& argv, StandardOutput output = StandardOutput::Captured);

// The fatal-check line "Assert failed: CONDITION (at FILE, line N)" as the
// tool writes it; `placeless` turns the place of the check in the source (a
// file's base name and a line) into that "FILE" and "N", so tests compare the
// rest of the text exactly without pinning where a check stands.
std::string fatal(const std::string& condition);
std::string placeless(std::string text);

PdbRecord record(Bytes data, std::uint32_t uniqueId, std::uint8_t attributes = 0);

}  // namespace reelport::test
