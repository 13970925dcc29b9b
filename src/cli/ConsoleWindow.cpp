// SPDX-License-Identifier: MIT
#include "cli/ConsoleWindow.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#include <cwchar>
#endif

namespace reelport {

bool waitsForEnter(const ConsoleState& console) {
    return console.processCount == 1 && console.hasWindow && console.inputIsConsole && console.outputIsConsole;
}

#ifdef _WIN32
namespace {

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

int keepOwnWindowOpen(int status, bool withoutArguments) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD processes[2];  // only whether there is more than one matters; the count is the whole one
    const ConsoleState console{GetConsoleProcessList(processes, 2), isConsole(input),
                               isConsole(GetStdHandle(STD_OUTPUT_HANDLE)), GetConsoleWindow() != nullptr};
    if (!waitsForEnter(console)) return status;

    if (withoutArguments) std::fwrite(kDropHint.data(), 1, kDropHint.size(), stdout);
    std::fwrite(kClosePrompt.data(), 1, kClosePrompt.size(), stdout);
    std::fflush(stdout);
    // An Enter pressed while the run went on was no answer to the prompt.
    FlushConsoleInputBuffer(input);
    // A console reads a line at a time: the read returns with Enter (CR LF,
    // or a lone CR where line input is off), at the end of input, or failing.
    wchar_t typed[64];
    DWORD count = 0;
    while (ReadConsoleW(input, typed, 64, &count, nullptr) != 0 && count > 0 &&
           std::wmemchr(typed, L'\r', count) == nullptr && std::wmemchr(typed, L'\n', count) == nullptr) {
    }
    return status;
}
#endif

}  // namespace reelport
