// SPDX-License-Identifier: MIT
// Paths as the system writes them: "/" separates folders, and on Windows "\"
// too, where "X:" alone names the current folder of drive X.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace reelport {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// The length of the directory part of `path`: up to and including its last
// separator (on Windows also the ":" of a bare drive, as in "D:name"), 0
// when it has none.
std::size_t directoryPartLength(std::string_view path);

// The path of `fileName` inside `directory`: a separator is put between them
// unless the directory already ends in one ("/" anywhere, and on Windows also
// "\", or a bare drive "X:", whose current directory it names).
std::string composePath(std::string_view directory, std::string_view fileName);

}  // namespace reelport
