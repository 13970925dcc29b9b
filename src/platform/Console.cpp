// SPDX-License-Identifier: MIT
#include "platform/Console.h"

#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#endif

namespace reelport {

void Console::write(std::string_view text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stream_) == text.size() && std::fflush(stream_) == 0) return;
    if (error_ == 0) error_ = errno != 0 ? errno : EIO;
}

#ifdef _WIN32
Utf8Console::Utf8Console() {
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) || GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode)) {
        previousCodePage_ = GetConsoleOutputCP();
        SetConsoleOutputCP(CP_UTF8);
    }
}

Utf8Console::~Utf8Console() {
    if (previousCodePage_ != 0) SetConsoleOutputCP(previousCodePage_);
}
#endif

}  // namespace reelport
