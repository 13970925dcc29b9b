// SPDX-License-Identifier: MIT
// Writes a synthetic catalogue, "CinecaseTapes.PDB" and "CinecaseProgs.PDB",
// into a directory: one of the named shapes, with any of its parameters
// changed by an option.
#include "Catalogue.h"

#include <charconv>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "usage: make_catalogue SHAPE DIRECTORY [OPTION VALUE]...\n"
    "  SHAPE: typical | scattered | random | tape-order | small\n"
    "  --tapes N        number of tapes (at most 65535)\n"
    "  --progs N        number of programmes (at most 65535)\n"
    "  --title N        mean title length in bytes\n"
    "  --note N         mean note length in bytes\n"
    "  --placement P    spread (random tapes) | distinct (a tape per programme)\n"
    "  --order O        entered | random | descending | tape\n"
    "  --seed N         seed of the pseudo-random texts\n";

std::uint64_t number(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        throw std::invalid_argument("not a number: " + std::string(text));
    }
    return value;
}

std::uint32_t count(std::string_view text) {
    const std::uint64_t value = number(text);
    if (value > 65535) throw std::invalid_argument("at most 65535: " + std::string(text));
    return static_cast<std::uint32_t>(value);
}

void setOption(reelport::bench::Shape& shape, std::string_view option, std::string_view value) {
    using reelport::bench::Placement;
    using reelport::bench::RecordOrder;
    if (option == "--tapes") {
        shape.tapes = count(value);
    } else if (option == "--progs") {
        shape.progs = count(value);
    } else if (option == "--title") {
        shape.titleLength = count(value);
    } else if (option == "--note") {
        shape.noteLength = count(value);
    } else if (option == "--seed") {
        shape.seed = number(value);
    } else if (option == "--placement" && (value == "spread" || value == "distinct")) {
        shape.placement = value == "spread" ? Placement::Spread : Placement::Distinct;
    } else if (option == "--order" && value == "entered") {
        shape.order = RecordOrder::Entered;
    } else if (option == "--order" && value == "random") {
        shape.order = RecordOrder::Random;
    } else if (option == "--order" && value == "descending") {
        shape.order = RecordOrder::Descending;
    } else if (option == "--order" && value == "tape") {
        shape.order = RecordOrder::ByTape;
    } else {
        throw std::invalid_argument("unknown option or value: " + std::string(option) + " " + std::string(value));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    try {
        auto shape = reelport::bench::namedShape(argv[1]);
        if (!shape) throw std::invalid_argument("unknown shape: " + std::string(argv[1]));
        for (int i = 3; i + 1 < argc; i += 2) setOption(*shape, argv[i], argv[i + 1]);

        const auto catalogue = reelport::bench::makeCatalogue(*shape);
        const std::string directory = argv[2];
        reelport::writeBytes(directory + "/CinecaseTapes.PDB", catalogue.tapesDatabase);
        reelport::writeBytes(directory + "/CinecaseProgs.PDB", catalogue.progsDatabase);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_catalogue: %s\n%s", error.what(), kUsage);
        return 1;
    }
    return 0;
}
