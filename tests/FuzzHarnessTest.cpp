// SPDX-License-Identifier: MIT
// The fuzz target is only worth its findings when its in-memory run ends as
// the built tool does, and its seed corpus starts the fuzzer on every ending.
#include "CatalogueInput.h"
#include "Seeds.h"

#include "TestSupport.h"

#include <filesystem>
#include <set>

namespace reelport::fuzz {
namespace {

TEST(FuzzHarness, EndsEachSeedAsItsNameSaysAndExactlyAsTheBuiltTool) {
    std::set<std::string> endings;
    for (const Seed& seed : seeds()) {
        SCOPED_TRACE(seed.name);
        const CatalogueInput catalogue = splitInput(seed.input);
        const Outcome outcome = runCatalogue(catalogue);
        // The name promises "" for a success, else the fatal check's condition or the refusal's first line.
        const std::string message = outcome.failure ? outcome.failure->message() : "";
        EXPECT_EQ(fatalCheckCondition(message).value_or(message.substr(0, message.find('\n'))), seed.expected);
        EXPECT_EQ(unexpectedOutcome(outcome, seed.input.size()), "");
        endings.insert(seed.expected);

        const test::TempDir dir;
        writeBytes(dir.file("CinecaseTapes.PDB"), catalogue.tapes);
        writeBytes(dir.file("CinecaseProgs.PDB"), catalogue.progs);
        const test::RunResult run = test::runReelport({dir.path()});
        EXPECT_EQ(run.status, outcome.failure ? outcome.failure->status() : kStatusSuccess);
        // The tool names the files with their directory.
        EXPECT_EQ(test::replaceAll(run.err, dir.path() + test::kSeparator, ""), test::console(message));
        for (const auto& [name, text] : {std::pair{"CinecaseTapes.CSV", outcome.tapesCsv},
                                         std::pair{"CinecaseProgs.CSV", outcome.progsCsv}}) {
            EXPECT_EQ(std::filesystem::exists(dir.file(name)) ? test::readFile(dir.file(name)) : "", text) << name;
        }
    }
    // One seed for a valid catalogue, one for each of the 14 fatal checks and the 2 refusals.
    EXPECT_EQ(endings.size(), 17u);
}

}  // namespace
}  // namespace reelport::fuzz
