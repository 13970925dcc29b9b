// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>

namespace reelport::test {

std::string console(std::string text) {
    if (!kWindows) return text;
    std::string crlf;
    for (const char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return crlf;
}

TempDir::TempDir() {
#ifdef _WIN32
    // The C runtime has no mkdtemp; create_directory fails on a name taken.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const auto candidate =
            std::filesystem::temp_directory_path() / ("reelport-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) path_ = candidate.string();
    }
    if (path_.empty()) throw std::runtime_error("cannot create a temporary directory");
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "reelport-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
#endif
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path utf8Path(const std::string& path) {
#ifdef _WIN32
    return std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size());
#else
    return path;
#endif
}

std::string readFile(const std::string& path) {
    std::ifstream in(utf8Path(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool fileExists(const std::string& path) { return std::filesystem::exists(utf8Path(path)); }

std::string asText(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

#ifdef _WIN32

bool underWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::optional<std::string> fullDevice() {
    // Wine passes Linux's devices through under drive Z:.
    if (underWine()) return "Z:\\dev\\full";
    return std::nullopt;
}

LockedFile::LockedFile(const std::string& path)
    : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (handle_ == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot lock " + path);
}

LockedFile::~LockedFile() { CloseHandle(handle_); }

namespace {

// One argument on a Windows command line, quoted so that the C runtime's
// parser gives it back unchanged: backslashes are literal except before a
// double quote, where they and the quote are escaped.
std::string quoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(2 * backslashes, '\\');
    quoted += '"';
    return quoted;
}

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle inheritableFile(const std::string& path, DWORD access) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE handle = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                access == GENERIC_READ ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
    return Handle(handle);
}

}  // namespace

RunResult runReelport(const std::vector<std::string>& arguments, const RunSetup& setup) {
    const StandardOutput output = setup.output;  // the other settings are POSIX only
    const TempDir capture;
    const std::string outPath = capture.file("stdout");
    const std::string errPath = capture.file("stderr");

    std::string commandLine = quoteArgument(REELPORT_BINARY);
    for (const std::string& argument : arguments) commandLine += " " + quoteArgument(argument);

    RunResult result;
    {
        Handle out;
        if (output == StandardOutput::Unwritable) {
            inheritableFile(outPath, GENERIC_WRITE);  // an empty file, opened again for reading only
            out = inheritableFile(outPath, GENERIC_READ);
        } else {
            out = inheritableFile(outPath, GENERIC_WRITE);
        }
        const Handle err = inheritableFile(errPath, GENERIC_WRITE);

        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = INVALID_HANDLE_VALUE;
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        PROCESS_INFORMATION process{};
        // Wide, so that arguments in any script reach the tool as they are.
        std::wstring wideCommandLine = utf8Path(commandLine).wstring();
        if (!CreateProcessW(utf8Path(REELPORT_BINARY).c_str(), wideCommandLine.data(), nullptr, nullptr, TRUE, 0,
                            nullptr, nullptr, &startup, &process)) {
            throw std::runtime_error("cannot start " + std::string(REELPORT_BINARY));
        }
        const Handle child(process.hProcess);
        CloseHandle(process.hThread);
        DWORD status = 0;
        if (WaitForSingleObject(child.get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(child.get(), &status)) {
            throw std::runtime_error("cannot wait for " + std::string(REELPORT_BINARY));
        }
        result.status = static_cast<int>(status);
    }
    if (output == StandardOutput::Captured) result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

#else

bool underWine() { return false; }

std::optional<std::string> fullDevice() { return "/dev/full"; }

RunResult runProgram(std::vector<std::string> argv, const RunSetup& setup) {
    const TempDir capture;
    const StandardOutput output = setup.output;
    const std::string outPath = output == StandardOutput::Unwritable ? *fullDevice() : capture.file("stdout");
    const std::string errPath = capture.file("stderr");

    std::vector<char*> pointers;
    for (std::string& argument : argv) pointers.push_back(argument.data());
    pointers.push_back(nullptr);

    int pipeEnds[2] = {-1, -1};
    if (output == StandardOutput::BrokenPipe) {
        if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
        close(pipeEnds[0]);  // the reader is gone before the run starts
    }
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        std::signal(SIGPIPE, SIG_DFL);
        std::signal(SIGXFSZ, SIG_DFL);
        alarm(60);
        const int out = output == StandardOutput::BrokenPipe ? pipeEnds[1]
                                                              : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
        if (output == StandardOutput::Closed) close(1);
        const rlimit limit{setup.fileSizeLimit, setup.fileSizeLimit};
        if (setup.fileSizeLimit != 0 && setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    if (pipeEnds[1] >= 0) close(pipeEnds[1]);
    int wait = 0;
    if (waitpid(child, &wait, 0) != child) throw std::runtime_error("waitpid failed");

    RunResult result;
    result.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait);
    if (output == StandardOutput::Captured) result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

RunResult runReelport(const std::vector<std::string>& arguments, const RunSetup& setup) {
    std::vector<std::string> argv{REELPORT_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProgram(std::move(argv), setup);
}

#endif

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
