// SPDX-License-Identifier: MIT
// reelport: exports the two databases of a Cinecase video-tape catalogue,
// "CinecaseTapes.PDB" and "CinecaseProgs.PDB", to "CinecaseTapes.CSV" and
// "CinecaseProgs.CSV" in the same directory.
//
// Exit status: 0 both files written; 1 usage shown, a file cannot be opened
// or written, or a database of another application or version; 2 a damaged
// database (a fatal check failed).
#include "Exports.h"
#include "Failure.h"
#include "PalmDB.h"

#include <cstdio>
#include <new>
#include <string>

namespace {

constexpr const char* kUsage =
    "Reelport v 1.2 - Cinecase catalogue to CSV export, by the Reelport developers <reelport@example.org>\n"
    "\nUsage: Reelport [options] directory\n\nOptions:\n    -h\t   gives this usage\n"
    "\n";

int run(int argc, char** argv) {
    // Constructed before the command line is looked at and destroyed in the
    // reverse order; the programme export looks tapes up in the tape database.
    reelport::PalmDB tapesDb;
    reelport::PalmDB progsDb;

    // The first argument is the directory, whatever it looks like; no options
    // are parsed, so "-h" is a directory too. An empty one names no directory.
    if (argc < 2 || argv[1][0] == '\0') {
        std::fputs(kUsage, stdout);
        return reelport::kStatusRefused;
    }
    const std::string directory = argv[1];
    reelport::exportTapes(directory, tapesDb, stdout);
    reelport::exportProgs(directory, progsDb, tapesDb, stdout);
    return reelport::kStatusSuccess;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const reelport::Failure& failure) {
        std::fputs(failure.message(), stderr);
        return failure.status();
    } catch (const std::bad_alloc&) {
        std::fputs("Reelport: out of memory\n", stderr);
        return reelport::kStatusFatal;
    }
}
