// SPDX-License-Identifier: MIT
// reelport: exports the two databases of a Cinecase video-tape catalogue,
// "CinecaseTapes.PDB" and "CinecaseProgs.PDB", to "CinecaseTapes.CSV" and
// "CinecaseProgs.CSV" in the same directory.
//
// Exit status: 0 both files written, or help or version shown; 1 usage shown,
// a file cannot be opened or written, standard output cannot be written, or a
// database of another application or version; 2 a damaged database (a fatal
// check failed); 3 with --salvage, both files written with damaged parts
// skipped.
#include "Exports.h"
#include "Failure.h"
#include "Files.h"
#include "PalmDB.h"

#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kUsage =
    "Reelport v 1.2 - Cinecase catalogue to CSV export, by the Reelport developers <reelport@example.org>\n"
    "\nUsage: Reelport [options] directory\n\nOptions:\n    -h\t   gives this usage\n"
    "\n";

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// What the command line asks for.
enum class Action { Usage, Help, Version, Export, Salvage };

struct CommandLine {
    Action action = Action::Usage;
    std::string directory;  // for Export and Salvage
};

// Only a first argument that is exactly one of the options below is taken as
// an option; any other names the directory, so a directory called "-h" is
// reached as "./-h". "--salvage" takes the directory as the second argument.
// Arguments after the directory are ignored; an empty one names no directory.
CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments.front().empty()) return {Action::Usage, {}};
    const std::string& first = arguments.front();
    if (first == "-h" || first == "--help" || (kWindows && first == "/?")) return {Action::Help, {}};
    if (first == "--version") return {Action::Version, {}};
    if (first == "--salvage") {
        if (arguments.size() < 2 || arguments[1].empty()) return {Action::Usage, {}};
        return {Action::Salvage, arguments[1]};
    }
    return {Action::Export, first};
}

int run(const std::vector<std::string>& arguments) {
    // Constructed before the command line is looked at and destroyed in the
    // reverse order; the programme export looks tapes up in the tape database.
    reelport::PalmDB tapesDb;
    reelport::PalmDB progsDb;
    reelport::Console console(stdout);

    const CommandLine commandLine = parseCommandLine(arguments);
    int status = reelport::kStatusSuccess;
    switch (commandLine.action) {
    case Action::Usage:
        console.write(kUsage);
        status = reelport::kStatusRefused;
        break;
    case Action::Help:
        console.write(kUsage);
        break;
    case Action::Version:
        console.write(kUsage.substr(0, kUsage.find('\n') + 1));
        break;
    case Action::Export:
        reelport::exportTapes(commandLine.directory, tapesDb, console);
        reelport::exportProgs(commandLine.directory, progsDb, tapesDb, console);
        break;
    case Action::Salvage: {
        reelport::DamageReport tapesDamage;
        reelport::DamageReport progsDamage;
        reelport::exportTapes(commandLine.directory, tapesDb, console, &tapesDamage);
        reelport::exportProgs(commandLine.directory, progsDb, tapesDb, console, &progsDamage);
        if (!tapesDamage.empty() || !progsDamage.empty()) status = reelport::kStatusSalvaged;
        break;
    }
    }
    // Reported last: the files are written by now, which matters more.
    if (console.error() != 0) reelport::fileFailure("standard output", console.error());
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
    } catch (const reelport::Failure& failure) {
        std::fputs(failure.message(), stderr);
        return failure.status();
    } catch (const std::bad_alloc&) {
        std::fputs("Reelport: out of memory\n", stderr);
        return reelport::kStatusFatal;
    }
}

}  // namespace

#ifdef _WIN32
// The wide-character entry (linked with -municode): the arguments as the
// system holds them, not cut down to the ANSI code page.
int wmain(int argc, wchar_t** argv) {
    const reelport::Utf8Console utf8Console;
    return runAndReport(reelport::utf8Arguments(argc, argv));
}
#else
int main(int argc, char** argv) {
    return runAndReport(argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>());
}
#endif
