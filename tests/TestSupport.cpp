// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

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

std::string palmToUtf8(std::string_view palm) {
    // Bytes 0x80 to 0xFF, eight to a line: Windows-1252, its five gaps filled
    // with the card suits 0x8D, 0x8F, 0x90 and the bare code points 0x81, 0x9D.
    static const std::vector<std::string> high = [] {
        const std::string characters =
            "€\u0081‚ƒ„…†‡" "ˆ‰Š‹Œ♦Ž♥" "♠‘’“”•–—" "˜™š›œ\u009DžŸ"
            "\u00A0¡¢£¤¥¦§" "¨©ª«¬\u00AD®¯" "°±²³´µ¶·" "¸¹º»¼½¾¿"
            "ÀÁÂÃÄÅÆÇ" "ÈÉÊËÌÍÎÏ" "ÐÑÒÓÔÕÖ×" "ØÙÚÛÜÝÞß"
            "àáâãäåæç" "èéêëìíîï" "ðñòóôõö÷" "øùúûüýþÿ";
        std::vector<std::string> forms;
        // A character's first byte tells its length in UTF-8.
        for (std::size_t at = 0; at < characters.size(); at += forms.back().size()) {
            forms.push_back(characters.substr(at, static_cast<unsigned char>(characters[at]) >= 0xE0 ? 3 : 2));
        }
        if (forms.size() != 128) throw std::logic_error("the table of bytes 0x80 to 0xFF is not whole");
        return forms;
    }();
    std::string utf8;
    for (const char c : palm) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0x18) utf8 += "…";  // the handheld's ellipsis
        else if (byte == 0x19) utf8 += "\u2007";  // its numeric space
        else utf8 += byte < 0x80 ? std::string(1, c) : high[byte - 0x80];
    }
    return utf8;
}

TempDir::TempDir() {
    // A random name; create_directory fails on a name already taken.
    std::random_device random;
    while (path_.empty()) {
        const auto candidate = std::filesystem::temp_directory_path() / ("reelport-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) path_ = candidate.string();
    }
}

TempDir::~TempDir() { std::error_code ignored; std::filesystem::remove_all(path_, ignored); }

std::filesystem::path utf8Path(const std::string& path) {
    return std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size());
}

std::string readFile(const std::string& path) {
    std::ifstream in(utf8Path(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string placeless(std::string text) {
    const std::size_t at = text.find(" (at "), comma = text.find(", line ", at), end = text.find(')', comma);
    // A base name without folders, and a line number.
    const bool place = end != std::string::npos && comma > at + 5 && text.find_first_of("/\\ ", at + 5) > comma &&
                       end > comma + 7 && text.find_first_not_of("0123456789", comma + 7) == end;
    return place ? text.replace(at, end + 1 - at, " (at FILE, line N)") : text;
}

#ifdef _WIN32

// Started directly, with the command line in UTF-16 so that names in any
// script arrive whole, each argument quoted for the C runtime's parser.
// Standard input is a pipe that stays open and empty: a run that waited for
// input would not end by itself (it is ended after a minute, status 142).
RunResult runProgram(const std::vector<std::string>& argv, const RunSetup&) {
    const TempDir capture;
    // In double quotes; backslashes are doubled before a double quote, which is
    // escaped, and before the closing one.
    std::string command;
    for (const std::string& argument : argv) {
        std::size_t backslashes = 0;
        command += '"';
        for (const char c : argument) {
            if (c == '"') command.append(backslashes + 1, '\\');
            backslashes = c == '\\' ? backslashes + 1 : 0;
            command += c;
        }
        command += std::string(backslashes, '\\') + "\" ";
    }
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const auto create = [&](const char* name) {
        return CreateFileW(utf8Path(capture.file(name)).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = create("out");
    startup.hStdError = create("err");
    HANDLE inputWrite = nullptr;
    PROCESS_INFORMATION process{};
    std::wstring line = utf8Path(command).wstring();
    if (!CreatePipe(&startup.hStdInput, &inputWrite, &inherited, 0) ||
        !SetHandleInformation(inputWrite, HANDLE_FLAG_INHERIT, 0) ||
        !CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        throw std::runtime_error("cannot start " + argv.front());
    }
    for (const HANDLE handle : {startup.hStdOutput, startup.hStdError, startup.hStdInput}) CloseHandle(handle);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 142);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    for (const HANDLE handle : {process.hProcess, process.hThread, inputWrite}) CloseHandle(handle);
    return {static_cast<int>(status), readFile(capture.file("out")), readFile(capture.file("err"))};
}

#else

RunResult runProgram(const std::vector<std::string>& argv, const RunSetup& setup) {
    const TempDir capture;
    const std::string outPath = setup.output == StandardOutput::Unwritable ? "/dev/full" : capture.file("out");
    const std::string errPath = capture.file("err");
    std::vector<char*> pointers;
    for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
    pointers.push_back(nullptr);
    int pipeEnds[2] = {-1, -1};  // the reader's end is closed before the run starts
    if (setup.output == StandardOutput::BrokenPipe && (pipe(pipeEnds) != 0 || close(pipeEnds[0]) != 0)) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t child = fork();
    if (child == 0) {
        for (const int number : {SIGPIPE, SIGXFSZ}) std::signal(number, SIG_DFL);
        alarm(60);
        const auto create = [](const std::string& file) { return open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644); };
        const int out = pipeEnds[1] >= 0 ? pipeEnds[1] : create(outPath), err = create(errPath);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
        for (const auto& [resource, bytes] : {std::pair{RLIMIT_FSIZE, setup.fileSizeLimit},
                                              {RLIMIT_STACK, setup.stackLimit}, {RLIMIT_AS, setup.addressLimit}}) {
            const rlimit limit{bytes, bytes};
            if (bytes != 0 && setrlimit(resource, &limit) != 0) _exit(127);
        }
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    if (pipeEnds[1] >= 0) close(pipeEnds[1]);
    int wait = 0;
    if (child < 0 || waitpid(child, &wait, 0) != child) throw std::runtime_error("cannot run " + argv.front());
    return {WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait),
            setup.output == StandardOutput::Captured ? readFile(outPath) : "", readFile(errPath)};
}

#endif

}  // namespace reelport::test
