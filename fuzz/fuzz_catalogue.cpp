// SPDX-License-Identifier: MIT
// The libFuzzer entry: every input is a catalogue (see CatalogueInput.h), run
// through the reader, the identity checks and both exports in memory, once as
// a default run and once as a salvage run. A failure of the tool is a normal
// end. A finding is every other ending, every crash, leak, out-of-bounds
// access or undefined behaviour the sanitizers see, a run that allocates far
// more than its input holds, and a salvage run that differs from a default
// run that converts the catalogue.
#include "CatalogueInput.h"

#include <sanitizer/allocator_interface.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

// Bytes allocated while an input runs, seen through the address sanitizer's
// allocation hook; counting is off while libFuzzer itself works.
bool counting = false;
std::size_t allocated = 0;

void countAllocation(const volatile void*, std::size_t size) {
    if (counting) allocated += size;
}
void ignoreRelease(const volatile void*) {}

// The UTF-8 runs are judged by isValidUtf8: a validator that took a stray
// continuation byte, an overlong form or a surrogate for valid UTF-8 would
// let every such finding pass, so it must judge these texts right first.
bool validatorJudgesItsTable() {
    using namespace std::string_view_literals;
    for (const std::string_view valid : {""sv, "a\0b"sv, "\xC2\x80\xDF\xBF"sv, "\xE2\x80\xA6\xEF\xBF\xBF"sv,
                                         "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"sv}) {
        if (!reelport::fuzz::isValidUtf8(valid)) return false;
    }
    for (const std::string_view invalid : {"\x80"sv, "\xE9"sv, "a\xC3"sv, "\xC3\x28"sv, "\xC0\xAF"sv, "\xE0\x9F\xBF"sv,
                                           "\xED\xA0\x80"sv, "\xF4\x90\x80\x80"sv, "\xF8\x88\x80\x80\x80"sv}) {
        if (reelport::fuzz::isValidUtf8(invalid)) return false;
    }
    return true;
}

// Everything a run allocates, added up: the fixed buffers of the two CSV
// writers (68 KiB each), the radix sort's counts (128 KiB) and a little more
// for the messages, the two images, the sort and look-up tables (a salvage
// run's record ends and report findings among them), and the CSV text (at
// most ten bytes per input byte) with the growth of its strings, copied once
// more into the outcome. Claimed sizes must never count.
constexpr std::size_t kAllocationFixedBytes = 512 << 10;
constexpr std::size_t kAllocationPerInputByte = 64;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!validatorJudgesItsTable()) {
        std::fputs("fuzz_catalogue: isValidUtf8 misjudges a text of its own table\n", stderr);
        std::abort();
    }
    if (__sanitizer_install_malloc_and_free_hooks(countAllocation, ignoreRelease) == 0) {
        std::fputs("fuzz_catalogue: cannot install the allocation hook\n", stderr);
        std::abort();
    }
    return 0;
}

namespace {

// Runs the tool in one mode on the input, with its allocations counted.
reelport::fuzz::Outcome countedRun(const reelport::fuzz::CatalogueInput& catalogue, bool salvage,
                                   reelport::CsvEncoding encoding = reelport::CsvEncoding::Palm) {
    allocated = 0;
    counting = true;
    reelport::fuzz::Outcome outcome = reelport::fuzz::runCatalogue(catalogue, salvage, encoding);
    counting = false;
    return outcome;
}

std::string allocationProblem(std::size_t size, const char* mode) {
    if (allocated <= kAllocationFixedBytes + kAllocationPerInputByte * size) return {};
    return std::string(mode) + ": " + std::to_string(allocated) + " bytes allocated for an input of " +
           std::to_string(size) + " bytes";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Every input runs as a default run, in the handheld's bytes and in
    // UTF-8, and as a salvage run.
    const reelport::fuzz::CatalogueInput catalogue = reelport::fuzz::splitInput({data, size});
    const reelport::fuzz::Outcome strict = countedRun(catalogue, false);
    std::string problem = reelport::fuzz::unexpectedOutcome(strict, size);
    if (problem.empty()) problem = allocationProblem(size, "default run");
    if (problem.empty()) {
        problem = reelport::fuzz::unexpectedUtf8(strict, countedRun(catalogue, false, reelport::CsvEncoding::Utf8));
        if (problem.empty()) problem = allocationProblem(size, "UTF-8 run");
    }
    if (problem.empty()) {
        const reelport::fuzz::Outcome salvaged = countedRun(catalogue, true);
        problem = reelport::fuzz::unexpectedSalvage(strict, salvaged, size);
        if (problem.empty()) problem = allocationProblem(size, "salvage");
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "fuzz_catalogue: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
