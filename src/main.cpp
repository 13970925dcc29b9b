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
#include "Exports.h"
#include "Failure.h"
#include "Files.h"
#include "PalmDB.h"
#include "WindowsConsole.h"

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
    "    --salvage  writes what is intact of a damaged catalogue, and reports the rest\n"
    "    --utf8     writes the CSV texts in UTF-8\n"
    "    --version  gives the program's version\n"
    "\n";

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// What the command line asks for.
enum class Action { Usage, UnknownOption, Help, Version, Export };

struct CommandLine {
    Action action = Action::Usage;
    std::string argument;  // the directory to export, or the unknown option
    bool salvage = false;
    reelport::CsvEncoding encoding = reelport::CsvEncoding::Palm;
};

// Options come before the directory, in any order, and "--" ends them. The
// first other argument is the directory, whatever it looks like; arguments
// after it are ignored. Help, version or an unknown option (any other
// argument that starts with "-" in an option's place) decides at once, so
// the first of them is the one answered. A directory that starts with "-" is
// reached as "./-x" or "-- -x".
CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine commandLine;
    auto argument = arguments.begin();
    for (; argument != arguments.end(); ++argument) {
        const std::string& option = *argument;
        if (option == "-h" || option == "--help" || (kWindows && option == "/?")) return {Action::Help, {}};
        if (option == "--version") return {Action::Version, {}};
        if (option == "--salvage") {
            commandLine.salvage = true;
        } else if (option == "--utf8") {
            commandLine.encoding = reelport::CsvEncoding::Utf8;
        } else if (option == "--") {
            ++argument;
            break;
        } else if (option.starts_with('-')) {
            return {Action::UnknownOption, option};
        } else {
            break;
        }
    }
    // No directory, or an empty one, names none.
    if (argument == arguments.end() || argument->empty()) return {Action::Usage, {}};
    commandLine.action = Action::Export;
    commandLine.argument = *argument;
    return commandLine;
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
    case Action::UnknownOption:
        std::fputs(("Unknown option: " + commandLine.argument + "\n").c_str(), stderr);
        [[fallthrough]];
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
    case Action::Export: {
        // A salvage run collects what it finds damaged in each database.
        reelport::DamageReport tapesDamage;
        reelport::DamageReport progsDamage;
        const std::string directory = reelport::directoryOfArgument(commandLine.argument);
        reelport::exportTapes(directory, tapesDb, console, commandLine.salvage ? &tapesDamage : nullptr,
                              commandLine.encoding);
        reelport::exportProgs(directory, progsDb, tapesDb, console, commandLine.salvage ? &progsDamage : nullptr,
                              commandLine.encoding);
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
        std::fputs(reelport::kOutOfMemory, stderr);
        return reelport::kStatusFatal;
    }
}

}  // namespace

#ifdef _WIN32
// The wide-character entry (linked with -municode): the arguments as the
// system holds them, not cut down to the ANSI code page.
int wmain(int argc, wchar_t** argv) {
    const reelport::Utf8Console utf8Console;
    return reelport::keepOwnWindowOpen(runAndReport(reelport::utf8Arguments(argc, argv)), argc < 2);
}
#else
int main(int argc, char** argv) {
    return runAndReport(argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>());
}
#endif
