// SPDX-License-Identifier: MIT
#include "platform/Paths.h"

namespace reelport {

std::size_t directoryPartLength(std::string_view path) {
#ifdef _WIN32
    const std::size_t last = path.find_last_of("\\/");
    if (last != std::string_view::npos) return last + 1;
    if (path.size() < 2 || path[1] != ':') return 0;
    const auto letter = static_cast<unsigned char>(path[0] | 0x20);
    return letter >= 'a' && letter <= 'z' ? 2 : 0;
#else
    const std::size_t last = path.rfind(kSeparator);
    return last == std::string_view::npos ? 0 : last + 1;
#endif
}

std::string composePath(std::string_view directory, std::string_view fileName) {
    std::string path(directory);
    if (directory.empty() || directoryPartLength(directory) != directory.size()) path += kSeparator;
    path += fileName;
    return path;
}

}  // namespace reelport
