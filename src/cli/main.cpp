// SPDX-License-Identifier: MIT
// reelport: exports the two databases of a Cinecase video-tape catalogue,
// "CinecaseTapes.PDB" and "CinecaseProgs.PDB", to "CinecaseTapes.CSV" and
// "CinecaseProgs.CSV" in the same directory.
//
// Exit status: 0 both files written, or help or version shown; 1 usage shown
// (also for an unknown option), a file cannot be opened or written, standard
// output cannot be written, or a database of another application or version;
// 2 a damaged database (a fatal check failed); 3 with --salvage, both files
// written with damaged parts skipped.
#include "cli/CommandLine.h"
#include "cli/ConsoleWindow.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "run/Conversion.h"
#include "run/DirectoryPlace.h"

#include <csignal>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <optional>
#include <new>
#include <string>
#include <vector>

namespace {

using namespace reelport;

// Count lines to standard output, reports and failures to standard error.
class ConsoleMessages : public Messages {
public:
    explicit ConsoleMessages(Console& console) : console_(console) {}
    void print(std::string_view text) override { console_.write(text); }
    void report(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stderr); }

private:
    Console& console_;
};

int run(const std::vector<std::string>& arguments) {
    Console console(stdout);
    ConsoleMessages messages(console);
    const CommandLine commandLine = parseCommandLine(arguments);
    int status = kStatusSuccess;
    switch (commandLine.action) {
    case Action::UnknownOption:
        messages.report("Unknown option: " + commandLine.argument + "\n");
        [[fallthrough]];
    case Action::Usage:
        console.write(kUsage);
        status = kStatusRefused;
        break;
    case Action::Help:
        console.write(kUsage);
        break;
    case Action::Version:
        console.write(kUsage.substr(0, kUsage.find('\n') + 1));
        break;
    case Action::Export: {
        DirectoryPlace place(directoryOfArgument(commandLine.argument));
        const Outcome outcome = convertCatalogue(place, commandLine.options, messages);
        // A failure of the run is the one reported: standard output matters less.
        if (outcome.failure) return outcome.status();
        status = outcome.status();
        break;
    }
    }
    // Reported last: the files are written by now, which matters more.
    if (console.error() != 0) {
        messages.report(std::string("standard output: ") + std::strerror(console.error()) + "\n");
        return kStatusRefused;
    }
    return status;
}

int runAndReport(const std::vector<std::string>& arguments) {
#ifndef _WIN32
    // A reader of standard output that has gone, or a file size limit, would
    // end the process by a signal, without a word and with a CSV file left
    // unwritten; ignored, they make the write fail with EPIPE or EFBIG, which
    // is reported like every other write error.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    try {
        return run(arguments);
    } catch (const std::bad_alloc&) {
        std::fputs(kOutOfMemory, stderr);
        return kStatusFatal;
    }
}

}  // namespace

#ifdef _WIN32
// The wide-character entry (linked with -municode): the arguments as the
// system holds them, not cut down to the ANSI code page. A name holding an
// unpaired surrogate cannot be carried in UTF-8 and is refused, where it is
// the directory; the other arguments are options, or ignored.
int wmain(int argc, wchar_t** argv) {
    const Utf8Console utf8Console;
    std::vector<std::string> arguments;
    std::vector<std::size_t> unreadable;
    for (int i = 1; i < argc; ++i) {
        const std::optional<std::string> argument = utf8FromWide(argv[i]);
        if (!argument) unreadable.push_back(arguments.size());
        arguments.push_back(argument.value_or(displayFromWide(argv[i])));
    }
    int status = 0;
    const CommandLine commandLine = parseCommandLine(arguments);
    if (commandLine.action == Action::Export &&
        std::find(unreadable.begin(), unreadable.end(), commandLine.place) != unreadable.end()) {
        std::fputs((commandLine.argument + ": the name holds a character that is not valid Unicode (an unpaired "
                                           "surrogate); rename the folder or file, then convert again\n")
                       .c_str(),
                   stderr);
        status = kStatusRefused;
    } else {
        status = runAndReport(arguments);
    }
    return keepOwnWindowOpen(status, argc < 2);
}
#else
int main(int argc, char** argv) {
    return runAndReport(argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>());
}
#endif
