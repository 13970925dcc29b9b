// SPDX-License-Identifier: MIT
// What finding and writing files is on every system; the system's own calls
// are in FilesPosix.cpp and FilesWindows.cpp.
#include "platform/Files.h"

#include "base/Failure.h"
#include "platform/FileSink.h"

#include <algorithm>
#include <cerrno>

namespace reelport {

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::optional<std::size_t> findByName(std::span<const std::string> names, std::string_view wanted) {
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == wanted) return i;
        if (equalIgnoringAsciiCase(names[i], wanted) && (!found || names[i] < names[*found])) found = i;
    }
    return found;
}

FileSink::FileSink(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
}

void FileSink::write(std::string_view bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) cannotWrite(path_, errno);
}

void FileSink::close() {
    errno = 0;
    if (std::fclose(file_.release()) != 0) cannotWrite(path_, errno);
}

}  // namespace reelport
