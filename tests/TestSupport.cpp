// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace reelport::test {

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string console(std::string text) { return kWindows ? replaceAll(std::move(text), "\n", "\r\n") : text; }

TempDir::TempDir() {
    // A random name; create_directory fails on a name already taken.
    std::random_device random;
    while (path_.empty()) {
        const auto candidate = std::filesystem::temp_directory_path() / ("reelport-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) path_ = candidate.string();
    }
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

std::string fatal(const std::string& condition) { return "Assert failed: " + condition + " (at FILE, line N)\n"; }

std::string placeless(std::string text) {
    const std::size_t at = text.find(" (at "), comma = text.find(".cpp, line ", at), end = text.find(')', comma);
    // A base name without folders, and a line number.
    const bool place = end != std::string::npos && comma > at + 5 && text.find_first_of("/\\ ", at + 5) > comma &&
                       end > comma + 11 && text.find_first_not_of("0123456789", comma + 11) == end;
    return place ? text.replace(at, end + 1 - at, " (at FILE, line N)") : text;
}

PdbRecord record(Bytes data, std::uint32_t uniqueId, std::uint8_t attributes) {
    return {std::move(data), attributes, uniqueId, std::nullopt};
}

namespace {

// One argument for the shell: single quotes on POSIX; on Windows double
// quotes, with the backslashes before the closing one doubled for the C
// runtime's parser. No test passes an argument holding a quote.
std::string quoted(const std::string& argument) {
    if (!kWindows) return "'" + argument + "'";
    const std::size_t backslashes = argument.size() - (argument.find_last_not_of('\\') + 1);
    return "\"" + argument + std::string(backslashes, '\\') + "\"";
}

}  // namespace

RunResult runProgram(const std::vector<std::string>& argv, StandardOutput output) {
    const TempDir capture;
    std::string command;
    for (const std::string& argument : argv) command += quoted(argument) + " ";
    // Standard output open for reading only: every write to it fails.
    command += (output == StandardOutput::Captured ? ">" : "1<") + quoted(capture.file("out"));
    command += " 2>" + quoted(capture.file("err"));
    std::ofstream(capture.file("out")).flush();  // for reading when standard output is not to be written
    // cmd /c drops the first and the last quote of the line it runs.
    const int status = std::system((kWindows ? "\"" + command + "\"" : command).c_str());
    RunResult result;
#ifdef _WIN32
    result.status = status;
#else
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
    result.out = readFile(capture.file("out"));
    result.err = readFile(capture.file("err"));
    return result;
}

RunResult runReelport(const std::vector<std::string>& arguments, StandardOutput output) {
    std::vector<std::string> argv{REELPORT_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProgram(argv, output);
}

}  // namespace reelport::test
