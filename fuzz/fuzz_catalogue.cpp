// The libFuzzer entry: every input is a catalogue (see CatalogueInput.h), run
// through the reader, the identity checks and both exports in memory. A
// failure of the tool is a normal end. A finding is every other ending, every
// crash, leak, out-of-bounds access or undefined behaviour the sanitizers
// see, and a run that allocates far more than its input holds.
#include "CatalogueInput.h"

#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

// Bytes requested from operator new while an input runs; counting is off
// while libFuzzer itself works.
bool counting = false;
std::size_t allocated = 0;

// Everything a run allocates, added up: the two images, 24 bytes of entry
// for every 8-byte entry in a file, the sort and look-up tables, and the CSV
// text (at most ten bytes per input byte) with the growth of its strings,
// copied once more into the outcome. Claimed sizes must never count.
constexpr std::size_t kAllocationFixedBytes = 64 << 10;
constexpr std::size_t kAllocationPerInputByte = 64;

}  // namespace

void* operator new(std::size_t size) {
    if (counting) allocated += size;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const reelport::fuzz::CatalogueInput catalogue = reelport::fuzz::splitInput({data, size});
    allocated = 0;
    counting = true;
    const reelport::fuzz::Outcome outcome = reelport::fuzz::runCatalogue(catalogue);
    counting = false;

    std::string problem = reelport::fuzz::unexpectedOutcome(outcome, size);
    if (problem.empty() && allocated > kAllocationFixedBytes + kAllocationPerInputByte * size) {
        problem = std::to_string(allocated) + " bytes allocated for an input of " + std::to_string(size) + " bytes";
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "fuzz_catalogue: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
