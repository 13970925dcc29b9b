// SPDX-License-Identifier: MIT
// Writes the seed corpus of the fuzz target into the directory given as the
// only argument: one file per seed, named after it.
#include "Seeds.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_corpus directory\n", stderr);
        return 1;
    }
    try {
        const std::string directory = argv[1];
        int count = 0;
        for (const reelport::fuzz::Seed& seed : reelport::fuzz::seeds()) {
            reelport::writeBytes(directory + "/" + seed.name, seed.input);
            ++count;
        }
        std::printf("%d seeds written to %s\n", count, directory.c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_corpus: %s\n", error.what());
        return 1;
    }
    return 0;
}
