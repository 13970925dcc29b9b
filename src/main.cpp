// SPDX-License-Identifier: MIT
// reelport: exports the two databases of a Cinecase video-tape catalogue,
// "CinecaseTapes.PDB" and "CinecaseProgs.PDB", to "CinecaseTapes.CSV" and
// "CinecaseProgs.CSV" in the same directory.
//
// Exit status: 0 both files written; 1 usage shown, a file cannot be opened
// or written, standard output cannot be written, or a database of another
// application or version; 2 a damaged database (a fatal check failed).
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

int run(const std::vector<std::string>& arguments) {
    // Constructed before the command line is looked at and destroyed in the
    // reverse order; the programme export looks tapes up in the tape database.
    reelport::PalmDB tapesDb;
    reelport::PalmDB progsDb;
    reelport::Console console(stdout);

    // The first argument is the directory, whatever it looks like; no options
    // are parsed, so "-h" is a directory too. An empty one names no directory.
    int status = reelport::kStatusSuccess;
    if (arguments.empty() || arguments.front().empty()) {
        console.write(kUsage);
        status = reelport::kStatusRefused;
    } else {
        reelport::exportTapes(arguments.front(), tapesDb, console);
        reelport::exportProgs(arguments.front(), progsDb, tapesDb, console);
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

int main(int argc, char** argv) {
    return runAndReport(argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>());
}
