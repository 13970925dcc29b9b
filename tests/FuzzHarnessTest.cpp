// SPDX-License-Identifier: MIT
// The fuzz target is only worth its findings when its in-memory run ends as
// the built tool does, in both modes, and its seed corpus starts the fuzzer on
// every ending.
#include "CatalogueInput.h"
#include "Seeds.h"

#include "TestSupport.h"

#include <filesystem>

namespace reelport::fuzz {
namespace {

TEST(FuzzHarness, EndsEachSeedAsItsNameSaysAndExactlyAsTheBuiltTool) {
    for (const Seed& seed : seeds()) {
        const CatalogueInput catalogue = splitInput(seed.input);
        const Outcome strict = runCatalogue(catalogue);
        for (const bool salvage : {false, true}) {
            SCOPED_TRACE(seed.name + (salvage ? ", salvaged" : ""));
            const Outcome outcome = salvage ? runCatalogue(catalogue, true) : strict;
            const std::string message = outcome.failure ? outcome.failure->message() : "";
            if (!salvage) {
                // The name promises "" for a success, else the fatal check's condition or the refusal's first line.
                EXPECT_EQ(fatalCheckCondition(message).value_or(message.substr(0, message.find('\n'))), seed.expected);
            }
            EXPECT_EQ(salvage ? unexpectedSalvage(strict, outcome, seed.input.size())
                              : unexpectedOutcome(outcome, seed.input.size()), "");

            const test::TempDir dir;
            writeBytes(dir.file("CinecaseTapes.PDB"), catalogue.tapes);
            writeBytes(dir.file("CinecaseProgs.PDB"), catalogue.progs);
            using Arguments = std::vector<std::string>;
            const auto run = test::runReelport(salvage ? Arguments{"--salvage", dir.path()} : Arguments{dir.path()});
            EXPECT_EQ(run.status, outcome.failure ? outcome.failure->status()
                                                  : outcome.damaged ? kStatusSalvaged : kStatusSuccess);
            // The tool names the files with their directory.
            const std::string err = test::replaceAll(run.err, dir.path() + test::kSeparator, "");
            EXPECT_EQ(err, test::console(outcome.report + message));
            for (const auto& [name, text] : {std::pair{"CinecaseTapes.CSV", outcome.tapesCsv},
                                             std::pair{"CinecaseProgs.CSV", outcome.progsCsv}}) {
                EXPECT_EQ(std::filesystem::exists(dir.file(name)) ? test::readFile(dir.file(name)) : "", text) << name;
            }
        }
    }
}

}  // namespace
}  // namespace reelport::fuzz
