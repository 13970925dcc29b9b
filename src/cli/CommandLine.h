// SPDX-License-Identifier: MIT
// The command line: its options, the usage text, and the directory an
// argument names.
#pragma once

#include "run/Options.h"

#include <string>
#include <string_view>
#include <vector>

namespace reelport {

inline constexpr std::string_view kUsage =
    "Reelport v 1.2 - Cinecase catalogue to CSV export, by the Reelport developers <reelport@example.org>\n"
    "\nUsage: Reelport [options] directory\n\nOptions:\n    -h\t   gives this usage\n"
    "    --salvage  writes what is intact of a damaged catalogue, and reports the rest\n"
    "    --utf8     writes the CSV texts in UTF-8\n"
    "    --version  gives the program's version\n"
    "    --xlsx     writes one Excel workbook, Cinecase.xlsx, instead of the CSV files\n"
    "\n";

// What the command line asks for.
enum class Action { Usage, UnknownOption, Help, Version, Export };

struct CommandLine {
    Action action = Action::Usage;
    std::string argument;   // the directory to export, or the unknown option
    std::size_t place = 0;  // the argument's place among the arguments
    RunOptions options;
};

// Options come before the directory, in any order, and "--" ends them. The
// first other argument is the directory, whatever it looks like; arguments
// after it are ignored. Help, version or an unknown option (any other
// argument that starts with "-" in an option's place) decides at once, so
// the first of them is the one answered. A directory that starts with "-" is
// reached as "./-x" or "-- -x". No directory, or an empty one, names none:
// the usage.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The directory a command-line argument names. A database file stands for its
// folder: an argument that names an existing regular file (or a link to one)
// called CinecaseTapes.PDB or CinecaseProgs.PDB, ignoring ASCII case, gives
// its directory part, up to and including the last separator ("/"; on
// Windows also "\", or the ":" of a bare drive as in "D:CinecaseTapes.PDB"),
// or "./" (".\" on Windows) when it has none. Any other argument is the
// directory as it stands. On Windows a closing double quote is removed first
// (and a bare drive "D:" left that way becomes "D:\", the root it stood for).
std::string directoryOfArgument(std::string argument);

}  // namespace reelport
