// SPDX-License-Identifier: MIT
// reelport: exports the two databases of a Cinecase video-tape catalogue,
// "CinecaseTapes.PDB" and "CinecaseProgs.PDB", to "CinecaseTapes.CSV" and
// "CinecaseProgs.CSV" in the same directory, or to one workbook
// "Cinecase.xlsx".
//
// Exit status: 0 both lists written, or help or version shown; 1 usage shown
// (also for an unknown option), a file cannot be opened or written, standard
// output cannot be written, or a database of another application or version;
// 2 a damaged database (a fatal check failed), or no memory for it; 3 with
// --salvage, both lists written with damaged parts skipped.
#include "cli/CommandLine.h"
#include "cli/ConsoleWindow.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "run/Conversion.h"
#include "run/DirectoryPlace.h"
#include "run/Verdict.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace reelport;

// Count lines to standard output, reports and failures to standard error.
class ConsoleMessages : public Messages {
public:
    ConsoleMessages(Console& output, Console& errors) : output_(output), errors_(errors) {}
    void print(std::string_view text) override { output_.write(text); }
    void report(std::string_view text) override { errors_.write(text); }

private:
    Console& output_;
    Console& errors_;
};

// What a run of the command line did: its exit status, and for a
// conversion its outcome.
struct Ending {
    int status = kStatusSuccess;
    std::optional<Outcome> outcome;
};

Ending run(const CommandLine& commandLine, Console& output, Console& errors) {
    ConsoleMessages messages(output, errors);
    Ending ending;
    switch (commandLine.action) {
    case Action::UnknownOption:
        messages.report("Unknown option: " + commandLine.argument + "\n");
        [[fallthrough]];
    case Action::Usage:
        output.write(kUsage);
        ending.status = kStatusRefused;
        break;
    case Action::Help:
        output.write(kUsage);
        break;
    case Action::Version:
        output.write(kUsage.substr(0, kUsage.find('\n') + 1));
        break;
    case Action::Export: {
        DirectoryPlace place(directoryOfArgument(commandLine.argument));
        ending.outcome = convertCatalogue(place, commandLine.options, messages);
        ending.status = ending.outcome->status();
        // A failure of the run is the one reported: standard output matters less.
        if (ending.outcome->failure) return ending;
        break;
    }
    }
    // Reported last: the files are written by now, which matters more.
    if (output.error() != 0) {
        messages.report(std::string("standard output: ") + std::strerror(output.error()) + "\n");
        ending.status = kStatusRefused;
    }
    return ending;
}

Ending runAndReport(const CommandLine& commandLine, Console& output, Console& errors) {
#ifndef _WIN32
    // A reader of standard output that has gone, or a file size limit, would
    // end the process by a signal, without a word and with a CSV file left
    // unwritten; ignored, they make the write fail with EPIPE or EFBIG, which
    // is reported like every other write error.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    try {
        return run(commandLine, output, errors);
    } catch (const std::bad_alloc&) {
        errors.write(kOutOfMemory);
        return {kStatusFatal, std::nullopt};
    }
}

}  // namespace

#ifdef _WIN32
// The wide-character entry (linked with -municode): the arguments as the
// system holds them, not cut down to the ANSI code page. A name holding an
// unpaired surrogate cannot be carried in UTF-8 and is refused, where it is
// the directory; the other arguments are options, or ignored.
//
// Started from Explorer (a folder or a database dropped on reelport.exe),
// the program has a window of its own, which closes when it ends: there it
// says what happened in plain words, offers what can be done next (salvage a
// damaged catalogue, write the workbook as well), and waits for Enter.
int wmain(int argc, wchar_t** argv) {
    Console output(stdout);
    Console errors(stderr);
    std::vector<std::string> arguments;
    std::vector<std::size_t> unreadable;
    for (int i = 1; i < argc; ++i) {
        const std::optional<std::string> argument = utf8FromWide(argv[i]);
        if (!argument) unreadable.push_back(arguments.size());
        arguments.push_back(argument.value_or(displayFromWide(argv[i])));
    }
    const CommandLine commandLine = parseCommandLine(arguments);
    if (commandLine.action == Action::Export &&
        std::find(unreadable.begin(), unreadable.end(), commandLine.place) != unreadable.end()) {
        errors.write(commandLine.argument + ": the name holds a character that is not valid Unicode (an unpaired "
                                            "surrogate); rename the folder or file, then convert again\n");
        if (ownsWindow()) {
            output.write(promptOf(WindowOffer::Close));
            readAnswer();
        }
        return kStatusRefused;
    }
    if (!ownsWindow()) return runAndReport(commandLine, output, errors).status;

    Ending ending = runAndReport(commandLine, output, errors);
    if (commandLine.action == Action::Usage) output.write(kDropHint);
    RunOptions options = commandLine.options;
    while (ending.outcome) {
        const Outcome& outcome = *ending.outcome;
        DirectoryPlace place(directoryOfArgument(commandLine.argument));
        const std::optional<SalvageCount> count = wantsSalvageCount(outcome) ? countSalvage(place) : std::nullopt;
        const Verdict verdict = verdictOf(outcome, count, Face::Window);
        output.write("\n" + verdict.text + "\n");
        const WindowOffer offer = windowOffer(outcome, options, verdict);
        if (offer == WindowOffer::Close) break;
        output.write(promptOf(offer));
        if (!takes(offer, readAnswer())) return ending.status;
        output.write("\n");
        options = optionsFor(offer, options);
        CommandLine again = commandLine;
        again.options = options;
        ending = runAndReport(again, output, errors);
    }
    output.write(promptOf(WindowOffer::Close));
    readAnswer();
    return ending.status;
}
#else
int main(int argc, char** argv) {
    Console output(stdout);
    Console errors(stderr);
    const std::vector<std::string> arguments =
        argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
    return runAndReport(parseCommandLine(arguments), output, errors).status;
}
#endif
