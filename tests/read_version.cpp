// SPDX-License-Identifier: MIT
// read_version FILE: prints the product name, the product version and the
// file version of a program's version resource, read with the calls Explorer
// uses for Properties > Details; status 1 when one of them is missing.
#include <windows.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    const DWORD size = argc == 2 ? GetFileVersionInfoSizeA(argv[1], nullptr) : 0;
    std::vector<char> block(size);
    void* fixed = nullptr;
    void* translation = nullptr;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoA(argv[1], 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", &fixed, &length) ||
        !VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &translation, &length) || length < 4) {
        return 1;
    }
    const auto* language = static_cast<const WORD*>(translation);
    for (const char* name : {"ProductName", "ProductVersion"}) {
        char key[64];
        std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\%s", unsigned{language[0]}, unsigned{language[1]},
                      name);
        void* text = nullptr;
        if (!VerQueryValueA(block.data(), key, &text, &length) || length == 0) return 1;
        std::printf("%s: %s\n", name, static_cast<const char*>(text));
    }
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    const DWORD high = info->dwFileVersionMS, low = info->dwFileVersionLS;
    std::printf("FileVersion: %u.%u.%u.%u\n", unsigned{HIWORD(high)}, unsigned{LOWORD(high)}, unsigned{HIWORD(low)},
                unsigned{LOWORD(low)});
    return 0;
}
