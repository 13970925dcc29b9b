// SPDX-License-Identifier: MIT
// read_version FILE: prints what Explorer shows under Properties > Details of
// a Windows program, read through the same Windows calls: the product name
// and product version texts of the language block the file names, and the
// numeric file version. Prints nothing on standard output and ends with
// status 1 when the file has no version resource or lacks one of them.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string narrow(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(out.size() - 1);  // the terminating NUL
    return out;
}

bool query(std::vector<unsigned char>& block, const std::wstring& key, void** value, UINT* size) {
    return VerQueryValueW(block.data(), key.c_str(), value, size) != 0 && *size > 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: read_version FILE\n", stderr);
        return 2;
    }
    const DWORD blockSize = GetFileVersionInfoSizeA(argv[1], nullptr);
    std::vector<unsigned char> block(blockSize);
    if (blockSize == 0 || GetFileVersionInfoA(argv[1], 0, blockSize, block.data()) == 0) {
        std::fputs("no version resource\n", stderr);
        return 1;
    }

    void* value = nullptr;
    UINT size = 0;
    if (!query(block, L"\\", &value, &size)) {
        std::fputs("no fixed file information\n", stderr);
        return 1;
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);

    // The texts live in a block per language and code page, named by the
    // first entry of the translation table.
    if (!query(block, L"\\VarFileInfo\\Translation", &value, &size) || size < 2 * sizeof(WORD)) {
        std::fputs("no translation table\n", stderr);
        return 1;
    }
    const auto* translation = static_cast<const WORD*>(value);
    wchar_t language[9];
    std::swprintf(language, 9, L"%04x%04x", unsigned{translation[0]}, unsigned{translation[1]});

    std::string lines;
    for (const wchar_t* name : {L"ProductName", L"ProductVersion"}) {
        if (!query(block, std::wstring(L"\\StringFileInfo\\") + language + L"\\" + name, &value, &size)) {
            std::fprintf(stderr, "no %s text\n", narrow(name).c_str());
            return 1;
        }
        lines += narrow(name) + ": " + narrow(static_cast<const wchar_t*>(value)) + "\n";
    }
    std::printf("%sFileVersion: %u.%u.%u.%u\n", lines.c_str(), unsigned{HIWORD(fixed->dwFileVersionMS)},
                unsigned{LOWORD(fixed->dwFileVersionMS)}, unsigned{HIWORD(fixed->dwFileVersionLS)},
                unsigned{LOWORD(fixed->dwFileVersionLS)});
    return 0;
}
