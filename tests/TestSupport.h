// Helpers shared by the tests: scratch directories, files, running the built
// tool, and catching a run's failure in-process.
#pragma once

#include "Failure.h"
#include "PdbWriter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace reelport::test {

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
std::string asText(const Bytes& bytes);

// What a run of the built tool did.
struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the built reelport with these arguments. Standard output goes to
// `stdoutPath` when given (for example /dev/full), else it is captured.
RunResult runReelport(const std::vector<std::string>& arguments,
                      const std::optional<std::string>& stdoutPath = std::nullopt);

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

}  // namespace reelport::test

namespace reelport::test {

// A database built by the writer and read from memory.
PalmDB loadedDatabase(const PdbFile& file, const std::string& path = "test/Cinecase.PDB");

// A record of the tape or programme database.
PdbRecord record(Bytes data, std::uint32_t uniqueId, std::uint8_t category = 0);

}  // namespace reelport::test
