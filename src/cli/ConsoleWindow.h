// SPDX-License-Identifier: MIT
// The console window Windows opens for a console program started from
// Explorer (a double-click, or a folder or a database dropped on
// reelport.exe). Such a window belongs to the program alone and closes the
// moment it ends, before anyone could read what it wrote; so the program then
// ends with an empty line and "Press Enter to close this window.", and waits.
// Started from a command prompt, PowerShell, a batch file or another console
// program, the program shares the console of the one that started it, which
// stays open: it never waits there, nor when its standard input or output is
// redirected (a script, or a program capturing its output), nor in a console
// without a window (one a program made hidden, where no one could answer).
#pragma once

#include "run/Options.h"
#include "run/Outcome.h"
#include "run/Verdict.h"

#include <string>
#include <string_view>

namespace reelport {

// What a run knows of its console as it ends.
struct ConsoleState {
    // Processes attached to the console, the program among them
    // (GetConsoleProcessList); 0 without a console.
    unsigned long processCount = 0;
    // Whether the standard handle is the console itself, not a file or pipe
    // (GetConsoleMode succeeds on it).
    bool inputIsConsole = false;
    bool outputIsConsole = false;
    // Whether the console has a window (GetConsoleWindow).
    bool hasWindow = false;
};

// Whether the run waits for Enter before it ends: only when the program is
// the only process attached to its console, the console has a window, and
// neither standard input nor standard output is redirected.
bool waitsForEnter(const ConsoleState& console);

// After the usage of a run without arguments in a window of its own.
inline constexpr std::string_view kDropHint =
    "To convert a catalogue, drop its folder, or one of its two .PDB files, on reelport.exe.\n";
// The last text of a run that waits; the cursor stays behind it.
inline constexpr std::string_view kClosePrompt = "\nPress Enter to close this window.";

// What a window of its own offers once a conversion's verdict is shown: to
// salvage a damaged catalogue where that would write something, to write
// the workbook as well after CSV files, or only to close. Each offer is
// taken by typing its letter (either case) and Enter; Enter alone closes.
enum class WindowOffer { Close, Salvage, Workbook };
WindowOffer windowOffer(const Outcome& outcome, const RunOptions& options, const Verdict& verdict);
// The offer's question; the cursor stays behind it, a space after the
// sentence so that the letter typed stands apart.
std::string_view promptOf(WindowOffer offer);
// Whether the line typed (its line end removed) takes the offer.
bool takes(WindowOffer offer, std::string_view typed);
// The options of the run an offer taken asks for.
RunOptions optionsFor(WindowOffer offer, RunOptions options);

#ifdef _WIN32
// Whether the program has a window of its own: `waitsForEnter` for the
// console as it is now.
bool ownsWindow();
// Discards keys pressed before a question, then reads a line the person
// types, as UTF-8 without its line end; "" at the end of input.
std::string readAnswer();
#endif

}  // namespace reelport
