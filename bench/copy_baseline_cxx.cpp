// SPDX-License-Identifier: MIT
// The benchmark's former baseline, timed for information beside the C one
// (copy_baseline.c): the same bytes moved the same way, in C++. Reads the two
// databases in DIRECTORY as cat does (into one reused buffer, the bytes
// unused), then creates DIRECTORY/baseline.out and copies the two CSV files
// the tool wrote into it, in writes of 256 KiB, the tool's block size.
//
//   copy_baseline_cxx DIRECTORY
//
// Built with the tool's compiler flags and linked as the tool is (the C++
// runtime linked in by default, REELPORT_STATIC_RUNTIME), so the difference
// from the C baseline is what the C++ runtime costs a process to start.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 18;

struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, Closer>;

// Opened unbuffered, as the tool opens its CSV files: every read and write
// below is one system call of a whole block.
File open(const std::string& path, const char* mode) {
    File file(std::fopen(path.c_str(), mode));
    if (!file) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    return file;
}

// Reads the file at `path` to its end into `block`; writes each block to `to` when given.
void pass(const std::string& path, char* block, std::FILE* to) {
    const File from = open(path, "rb");
    while (const std::size_t read = std::fread(block, 1, kBlockSize, from.get())) {
        if (to != nullptr && std::fwrite(block, 1, read, to) != read) {
            std::perror("baseline.out");
            std::exit(1);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: copy_baseline_cxx DIRECTORY\n", stderr);
        return 1;
    }
    const std::string directory = std::string(argv[1]) + "/";
    const auto block = std::make_unique_for_overwrite<char[]>(kBlockSize);
    for (const char* database : {"CinecaseTapes.PDB", "CinecaseProgs.PDB"}) {
        pass(directory + database, block.get(), nullptr);
    }
    File out = open(directory + "baseline.out", "wb");
    for (const char* csv : {"CinecaseTapes.CSV", "CinecaseProgs.CSV"}) pass(directory + csv, block.get(), out.get());
    if (std::fclose(out.release()) != 0) {
        std::perror("baseline.out");
        return 1;
    }
    return 0;
}
