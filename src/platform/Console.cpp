// SPDX-License-Identifier: MIT
#include "platform/Console.h"

#include <fcntl.h>

#include <cerrno>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace reelport {

void Console::write(std::string_view text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stream_) == text.size() && std::fflush(stream_) == 0) return;
    if (error_ == 0) error_ = errno != 0 ? errno : EIO;
}

SilencedStandardError::SilencedStandardError() {
#ifndef __EMSCRIPTEN__  // the web page has no standard error to silence
#ifdef _WIN32
    constexpr const char* kNowhere = "NUL";
#else
    constexpr const char* kNowhere = "/dev/null";
#endif
    std::fflush(stderr);
    const int nowhere = open(kNowhere, O_WRONLY);
    if (nowhere < 0) return;
    saved_ = dup(2);
    if (saved_ >= 0 && dup2(nowhere, 2) < 0) {
        close(saved_);
        saved_ = -1;
    }
    close(nowhere);
#endif
}

SilencedStandardError::~SilencedStandardError() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
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
