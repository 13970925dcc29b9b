// SPDX-License-Identifier: MIT
// The libFuzzer entry: every input is a catalogue (see CatalogueInput.h), run
// through the reader, the identity checks and both exports in memory. A
// failure of the tool is a normal end. A finding is every other ending, every
// crash, leak, out-of-bounds access or undefined behaviour the sanitizers
// see, and a run that allocates far more than its input holds.
#include "CatalogueInput.h"

#include <sanitizer/allocator_interface.h>

#include <cstdio>
#include <cstdlib>

namespace {

// Bytes allocated while an input runs, seen through the address sanitizer's
// allocation hook; counting is off while libFuzzer itself works.
bool counting = false;
std::size_t allocated = 0;

void countAllocation(const volatile void*, std::size_t size) {
    if (counting) allocated += size;
}
void ignoreRelease(const volatile void*) {}

// Everything a run allocates, added up: the fixed 64 KiB buffers of the two
// CSV writers and a little more for the messages, the two images, 24 bytes of entry
// for every 8-byte entry in a file, the sort and look-up tables, and the CSV
// text (at most ten bytes per input byte) with the growth of its strings,
// copied once more into the outcome. Claimed sizes must never count.
constexpr std::size_t kAllocationFixedBytes = 256 << 10;
constexpr std::size_t kAllocationPerInputByte = 64;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (__sanitizer_install_malloc_and_free_hooks(countAllocation, ignoreRelease) == 0) {
        std::fputs("fuzz_catalogue: cannot install the allocation hook\n", stderr);
        std::abort();
    }
    return 0;
}

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
