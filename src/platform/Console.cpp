// SPDX-License-Identifier: MIT
#include "platform/Console.h"

#include <fcntl.h>

#include <cerrno>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <string>
#else
#include <unistd.h>
#endif

namespace reelport {

void Console::write(std::string_view text) {
#ifdef _WIN32
    // The stream's handle, looked up at each write: a library silenced for a
    // while (SilencedStandardError) leaves standard error on another one.
    const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream_)));
    DWORD mode = 0;
    if (console != INVALID_HANDLE_VALUE && GetConsoleMode(console, &mode)) {
        const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(size), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
        DWORD written = 0;
        if (!WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) && error_ == 0) {
            error_ = EIO;
        }
        return;
    }
#endif
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

}  // namespace reelport
