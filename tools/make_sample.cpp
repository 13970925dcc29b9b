// SPDX-License-Identifier: MIT
// Writes the sample catalogue, "CinecaseTapes.PDB" and "CinecaseProgs.PDB",
// into the directory given as the only argument.
#include "SampleCatalogue.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_sample directory\n", stderr);
        return 1;
    }
    try {
        const std::string directory = argv[1];
        reelport::writeBytes(directory + "/CinecaseTapes.PDB", reelport::sampleTapesDatabase());
        reelport::writeBytes(directory + "/CinecaseProgs.PDB", reelport::sampleProgsDatabase());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_sample: %s\n", error.what());
        return 1;
    }
    return 0;
}
