// SPDX-License-Identifier: MIT
// The bundled sample catalogue: reproducible from its maker, and converted
// without a failure.
#include "SampleCatalogue.h"

#include "TestSupport.h"

#include <filesystem>

namespace reelport {
namespace {

TEST(SampleCatalogue, BundledFilesAreWhatTheMakerWrites) {
    EXPECT_EQ(test::readFile(REELPORT_SAMPLE_DIR "/CinecaseTapes.PDB"), test::asText(sampleTapesDatabase()));
    EXPECT_EQ(test::readFile(REELPORT_SAMPLE_DIR "/CinecaseProgs.PDB"), test::asText(sampleProgsDatabase()));
}

TEST(SampleCatalogue, ConvertsEveryTapeAndProgramme) {
    const test::TempDir dir;
    for (const char* name : {"CinecaseTapes.PDB", "CinecaseProgs.PDB"}) {
        std::filesystem::copy_file(std::string(REELPORT_SAMPLE_DIR "/") + name, dir.file(name));
    }
    const auto result = test::runReelport({dir.path()});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, test::console("  12 tapes exported to " + dir.file("CinecaseTapes.CSV") +
                                        "\n  40 progs exported to " + dir.file("CinecaseProgs.CSV") + "\n"));

    const std::string tapes = test::readFile(dir.file("CinecaseTapes.CSV"));
    EXPECT_NE(tapes.find("5902341,\"Nature & Wildlif\",3:00,\"Nature\",\"Label says \"\"Tierfilme\"\"\r\n"
                         "second line of the note\"\r\n"),
              std::string::npos);
    const std::string progs = test::readFile(dir.file("CinecaseProgs.CSV"));
    EXPECT_NE(progs.find("5902345,\"Caf\xE9 Classics\",5971984,\"Am\xE9lie\",X,X,2002-04-01,1:38,SP,\"Film\",5,"),
              std::string::npos);
    EXPECT_NE(progs.find("5902340,\"Twin Peaks II\",5971989,-,,,,0:30,LP,,,\r\n"), std::string::npos);
}

}  // namespace
}  // namespace reelport
