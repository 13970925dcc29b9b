// SPDX-License-Identifier: MIT
// What several tests share: scratch directories, running the built tool, and
// the texts of its console and its fatal checks in a form tests can compare.
#pragma once

#include "PdbWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace reelport::test {

// Windows' console streams write every LF as CR LF, and its separator is "\".
#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif
inline constexpr char kSeparator = kWindows ? '\\' : '/';

std::string replaceAll(std::string text, const std::string& from, const std::string& to);

// The UTF-8 form of a text in the handheld's character set, byte by byte,
// from a table of the characters themselves, independent of the tool's.
std::string palmToUtf8(std::string_view palm);
// `text` as the tool's standard output and standard error write it.
inline std::string console(std::string text) { return kWindows ? replaceAll(std::move(text), "\n", "\r\n") : text; }

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

// A path held in UTF-8, for the standard library (on Windows a plain string goes through the ANSI code page).
std::filesystem::path utf8Path(const std::string& path);
std::string readFile(const std::string& path);

struct RunResult { int status = -1; std::string out, err; };

// Standard output captured; POSIX only: /dev/full, where every write fails, or a pipe whose reader has gone.
enum class StandardOutput { Captured, Unwritable, BrokenPipe };

// POSIX limits of the run in bytes, 0 for none: file size ("ulimit -f"), stack, address space.
struct RunSetup {
    StandardOutput output = StandardOutput::Captured;
    std::uint64_t fileSizeLimit = 0, stackLimit = 0, addressLimit = 0;
};

// Runs a program (argv[0] is its path) as a shell would start it: SIGPIPE and
// SIGXFSZ end it unless it ignores them itself. Standard error is captured; a
// run still going after a minute is ended. runReelport runs the built tool.
RunResult runProgram(const std::vector<std::string>& argv, const RunSetup& setup = {});
inline RunResult runReelport(std::vector<std::string> arguments, const RunSetup& setup = {}) {
    arguments.insert(arguments.begin(), REELPORT_BINARY);
    return runProgram(arguments, setup);
}

// The fatal-check line "Assert failed: CONDITION (at FILE, line N)"; `placeless` turns the place of a check in
// the source (a base name and a line) into that "FILE" and "N", so tests compare the rest exactly.
inline std::string fatal(const std::string& condition) { return "Assert failed: " + condition + " (at FILE, line N)\n"; }
std::string placeless(std::string text);

}  // namespace reelport::test
