// SPDX-License-Identifier: MIT
#include "cli/ConsoleWindow.h"

#include <algorithm>

#ifdef _WIN32
#include "platform/Files.h"

#include <windows.h>
#endif

namespace reelport {

bool waitsForEnter(const ConsoleState& console) {
    return console.processCount == 1 && console.hasWindow && console.inputIsConsole && console.outputIsConsole;
}

WindowOffer windowOffer(const Outcome& outcome, const RunOptions& options, const Verdict& verdict) {
    if (verdict.offerSalvage && !options.salvage) return WindowOffer::Salvage;
    if (!outcome.failure && !options.workbook) return WindowOffer::Workbook;
    return WindowOffer::Close;
}

std::string_view promptOf(WindowOffer offer) {
    switch (offer) {
    case WindowOffer::Salvage:
        return "\nType S and press Enter to write what is intact, or press Enter to close. ";
    case WindowOffer::Workbook:
        return "\nType X and press Enter to write an Excel workbook as well, or press Enter to close. ";
    case WindowOffer::Close:
        break;
    }
    return kClosePrompt;
}

bool takes(WindowOffer offer, std::string_view typed) {
    const auto trimmed = typed.substr(0, typed.find_last_not_of(" \t") + 1);
    const auto answer = trimmed.substr(std::min(trimmed.find_first_not_of(" \t"), trimmed.size()));
    if (answer.size() != 1) return false;
    const char letter = static_cast<char>(answer[0] | 0x20);
    return (offer == WindowOffer::Salvage && letter == 's') || (offer == WindowOffer::Workbook && letter == 'x');
}

RunOptions optionsFor(WindowOffer offer, RunOptions options) {
    if (offer == WindowOffer::Salvage) options.salvage = true;
    if (offer == WindowOffer::Workbook) options.workbook = true;
    return options;
}

#ifdef _WIN32
namespace {

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

bool ownsWindow() {
    DWORD processes[2];  // only whether there is more than one matters; the count is the whole one
    const ConsoleState console{GetConsoleProcessList(processes, 2), isConsole(GetStdHandle(STD_INPUT_HANDLE)),
                               isConsole(GetStdHandle(STD_OUTPUT_HANDLE)), GetConsoleWindow() != nullptr};
    return waitsForEnter(console);
}

std::string readAnswer() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    // An Enter pressed while the run went on was no answer to the question.
    FlushConsoleInputBuffer(input);
    // A console reads a line at a time: the read returns with Enter (CR LF,
    // or a lone CR where line input is off), at the end of input, or failing.
    std::wstring line;
    wchar_t typed[64];
    DWORD count = 0;
    while (ReadConsoleW(input, typed, 64, &count, nullptr) != 0 && count > 0) {
        line.append(typed, count);
        if (line.find_first_of(L"\r\n") != std::wstring::npos) break;
    }
    line.resize(std::min(line.size(), line.find_first_of(L"\r\n")));
    return displayFromWide(line);
}
#endif

}  // namespace reelport
