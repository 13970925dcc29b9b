#include "TestSupport.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace reelport::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "reelport-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

std::string asText(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

RunResult runReelport(const std::vector<std::string>& arguments, const std::optional<std::string>& stdoutPath) {
    const TempDir capture;
    const std::string outPath = stdoutPath.value_or(capture.file("stdout"));
    const std::string errPath = capture.file("stderr");

    std::vector<std::string> argv{REELPORT_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& argument : argv) pointers.push_back(argument.data());
    pointers.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    int wait = 0;
    if (waitpid(child, &wait, 0) != child) throw std::runtime_error("waitpid failed");

    RunResult result;
    result.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait);
    if (!stdoutPath) result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

bool isFatalCheckLine(const std::string& text, const std::string& condition, const std::string& sourceFile) {
    const std::string head = "Assert failed: " + condition + " (at " + sourceFile + ", line ";
    const std::string_view tail = ")\n";
    if (text.size() <= head.size() + tail.size() || text.compare(0, head.size(), head) != 0 ||
        !text.ends_with(tail)) {
        return false;
    }
    const std::string_view line(text.data() + head.size(), text.size() - head.size() - tail.size());
    return std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace reelport::test

namespace reelport::test {

PalmDB loadedDatabase(const PdbFile& file, const std::string& path) {
    PalmDB db;
    db.load(buildPdb(file), path);
    return db;
}

PdbRecord record(Bytes data, std::uint32_t uniqueId, std::uint8_t category) {
    return {std::move(data), category, uniqueId, std::nullopt};
}

}  // namespace reelport::test
