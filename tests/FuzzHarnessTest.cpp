// SPDX-License-Identifier: MIT
// The fuzz target is only worth its findings when its in-memory run (the web page's too) ends as the built tool
// does, in both modes, and its seed corpus starts the fuzzer on every ending.
#include "CatalogueInput.h"
#include "SampleCatalogue.h"
#include "Seeds.h"

#include "TestSupport.h"

#include <filesystem>

namespace reelport::fuzz {
namespace {

// Runs the built tool on a directory of the databases given (nothing: that one is missing) and expects it to end
// as the in-memory run did: the status, both streams (the tool names the files with their directory), and each CSV
// file written or not, byte for byte.
void expectToolEndsAs(const Outcome& outcome, const std::optional<Bytes>& tapes, const std::optional<Bytes>& progs,
                      bool salvage) {
    const test::TempDir dir;
    if (tapes) writeBytes(dir.file("CinecaseTapes.PDB"), *tapes);
    if (progs) writeBytes(dir.file("CinecaseProgs.PDB"), *progs);
    using Arguments = std::vector<std::string>;
    const auto run = test::runReelport(salvage ? Arguments{"--salvage", dir.path()} : Arguments{dir.path()});
    EXPECT_EQ(run.status, outcome.status());
    for (const bool standardError : {false, true}) {
        const std::string printed = test::replaceAll(standardError ? run.err : run.out, dir.path() + test::kSeparator, "");
        EXPECT_EQ(printed, test::console(outcome.printed(standardError)));
    }
    for (const auto& [name, text] : {std::pair{"CinecaseTapes.CSV", outcome.tapesCsv},
                                     std::pair{"CinecaseProgs.CSV", outcome.progsCsv}}) {
        const bool written = std::filesystem::exists(dir.file(name));
        EXPECT_EQ(written ? std::optional(test::readFile(dir.file(name))) : std::nullopt, text) << name;
    }
}

TEST(FuzzHarness, EndsEachSeedAsItsNameSaysAndExactlyAsTheBuiltTool) {
    for (const Seed& seed : seeds()) {
        const CatalogueInput catalogue = splitInput(seed.input);
        const Outcome strict = runCatalogue(catalogue);
        for (const bool salvage : {false, true}) {
            SCOPED_TRACE(seed.name + (salvage ? ", salvaged" : ""));
            const Outcome outcome = salvage ? runCatalogue(catalogue, true) : strict;
            // The name promises "" for a success, else the fatal check's condition or the refusal's first line.
            const std::string message = strict.failure ? strict.failure->message() : "";
            EXPECT_EQ(fatalCheckCondition(message).value_or(message.substr(0, message.find('\n'))), seed.expected);
            EXPECT_EQ(salvage ? unexpectedSalvage(strict, outcome, seed.input.size())
                              : unexpectedOutcome(outcome, seed.input.size()), "");
            EXPECT_EQ(unexpectedUtf8(outcome, runCatalogue(catalogue, salvage, CsvEncoding::Utf8)), "");
            expectToolEndsAs(outcome, catalogue.tapes, catalogue.progs, salvage);
        }
    }
}

// The web page runs in memory the databases it finds among the files chosen; one missing ends as the tool does.
TEST(FuzzHarness, EndsAsTheBuiltToolWhereADatabaseIsMissing) {
    const MemoryDatabase tapes{"CinecaseTapes.PDB", sampleTapesDatabase()};
    const MemoryDatabase progs{"CinecaseProgs.PDB", sampleProgsDatabase()};
    expectToolEndsAs(runInMemory({tapes, {}}, {}), tapes.bytes, {}, false);
    expectToolEndsAs(runInMemory({{}, progs}, {}), {}, progs.bytes, false);
}

}  // namespace
}  // namespace reelport::fuzz
