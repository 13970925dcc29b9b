// The libFuzzer entry: every input is a catalogue (see CatalogueInput.h), run
// through the reader, the identity checks and both exports in memory. A
// failure of the tool is a normal end; anything else it ends with, and every
// crash, leak, out-of-bounds access or undefined behaviour the sanitizers
// see, is a finding.
#include "CatalogueInput.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    const reelport::fuzz::Outcome outcome = reelport::fuzz::runCatalogue(reelport::fuzz::splitInput(input));
    const std::string problem = reelport::fuzz::unexpectedOutcome(outcome, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "fuzz_catalogue: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
