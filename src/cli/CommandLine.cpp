// SPDX-License-Identifier: MIT
#include "cli/CommandLine.h"

#include "catalogue/Identity.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace reelport {

namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    const auto answer = [](Action action, std::string argument = {}) {
        CommandLine commandLine;
        commandLine.action = action;
        commandLine.argument = std::move(argument);
        return commandLine;
    };
    CommandLine commandLine;
    auto argument = arguments.begin();
    for (; argument != arguments.end(); ++argument) {
        const std::string& option = *argument;
        if (option == "-h" || option == "--help" || (kWindows && option == "/?")) return answer(Action::Help);
        if (option == "--version") return answer(Action::Version);
        if (option == "--salvage") {
            commandLine.options.salvage = true;
        } else if (option == "--utf8") {
            commandLine.options.encoding = CsvEncoding::Utf8;
        } else if (option == "--xlsx") {
            commandLine.options.workbook = true;
        } else if (option == "--") {
            ++argument;
            break;
        } else if (option.starts_with('-')) {
            return answer(Action::UnknownOption, option);
        } else {
            break;
        }
    }
    if (argument == arguments.end() || argument->empty()) return answer(Action::Usage);
    commandLine.action = Action::Export;
    commandLine.argument = *argument;
    commandLine.place = static_cast<std::size_t>(argument - arguments.begin());
    return commandLine;
}

std::string directoryOfArgument(std::string argument) {
#ifdef _WIN32
    // The command prompt passes "D:\Palm Backup\" on as D:\Palm Backup" (a
    // backslash before a double quote makes the quote text), and no Windows
    // name holds a double quote. A bare drive gets back the backslash the
    // quote stood for: "D:\" is the drive's root, not its current folder.
    if (argument.size() > 1 && argument.back() == '"') {
        argument.pop_back();
        if (argument.size() == 2 && argument[1] == ':' && directoryPartLength(argument) == 2) argument += kSeparator;
    }
#endif
    const std::size_t length = directoryPartLength(argument);
    const std::string_view name = std::string_view(argument).substr(length);
    const bool database = equalIgnoringAsciiCase(name, kTapesDatabase) || equalIgnoringAsciiCase(name, kProgsDatabase);
    if (!database || !isRegularFile(argument)) return argument;
    return length == 0 ? std::string{'.', kSeparator} : argument.substr(0, length);
}

}  // namespace reelport
