// SPDX-License-Identifier: MIT
// The workbook of the built tool: read back with openpyxl, a reader we did
// not write, against the UTF-8 CSV files of the same catalogue
// (tests/workbook_check.py), the same bytes on every run, and only ever kept
// whole: a run that fails leaves none, and an older one as it was.
#include "SampleCatalogue.h"

#include "TestSupport.h"

#include <filesystem>
#include <functional>

namespace reelport {
namespace {

namespace fs = std::filesystem;

// Texts a spreadsheet would take for something else, the format's own
// escape written literally (in a category name too), the rating whose
// character is byte 0, and dates that are no day of the calendar.
const PdbFile kOddTapes{.appInfo = categoryBlock({"Unfiled", "_x0041_"}),
                        .records = {record(tapeRecord({"_x0041_", 60, "a _x0041_ b _x00zz_ _x1234_x5678_\r\n\x01"}), 1, 1)}};
const PdbFile kOddProgs{.records = {record(progRecord({1, 1, kSeen, 208, 60, palmDate(2000, 2, 29), "=1+2", "007"}), 3),
                                    record(progRecord({1, 2, 0, 10, 60, palmDate(2001, 2, 29), "007", " lead"}), 4),
                                    record(progRecord({1, 3, 0, 9, 60, 13 << 5 | 1, "\x85", ""}), 5)}};

struct Catalogue {
    test::TempDir dir;
    Catalogue(const Bytes& tapes, const Bytes& progs) {
        writeBytes(dir.file("CinecaseTapes.PDB"), tapes);
        writeBytes(dir.file("CinecaseProgs.PDB"), progs);
    }
    std::string workbook() const { return dir.file("Cinecase.xlsx"); }
};

std::string countLines(const Catalogue& c, int tapes, int progs) {
    char lines[64];
    std::snprintf(lines, sizeof lines, "%4d tapes exported to ", tapes);
    std::string text = lines + c.workbook() + "\n";
    std::snprintf(lines, sizeof lines, "%4d progs exported to ", progs);
    return test::console(text + lines + c.workbook() + "\n");
}

TEST(Workbook, HoldsTheUtf8ListsInTypedCellsTheSameBytesEveryTime) {
    const struct {
        const char* what;
        Bytes tapes, progs;
        int tapeRows, progRows;
    } catalogues[] = {
        {"the sample", sampleTapesDatabase(), sampleProgsDatabase(), 12, 40},
        {"odd texts, ratings and dates", buildPdb(kOddTapes), buildPdb(kOddProgs), 1, 3},
    };
    for (const auto& each : catalogues) {
        SCOPED_TRACE(each.what);
        const Catalogue c(each.tapes, each.progs);
        ASSERT_EQ(test::runReelport({"--utf8", c.dir.path()}).status, 0);
        const test::RunResult run = test::runReelport({"--xlsx", "--utf8", c.dir.path()});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, countLines(c, each.tapeRows, each.progRows));
        EXPECT_EQ(run.err, "");
        const std::string first = test::readFile(c.workbook());
        EXPECT_EQ(test::runReelport({"--xlsx", c.dir.path()}).status, 0);
        EXPECT_TRUE(test::readFile(c.workbook()) == first) << "the second run wrote other bytes";
        if (test::kWindows) continue;  // no Python under Wine: the Linux build's workbook is the same bytes
        const test::RunResult check = test::runProgram({"/usr/bin/python3", REELPORT_TESTS_DIR "/workbook_check.py", c.dir.path()});
        EXPECT_EQ(check.status, 0) << check.out << check.err;
    }
}

TEST(Workbook, IsKeptOnlyWhole) {
    const auto older = [](const Catalogue& c) { writeBytes(c.workbook(), {'o', 'l', 'd'}); };
    const struct {
        const char* what;
        Bytes progs;
        std::function<void(const Catalogue&)> prepare;
        int status;
        std::string out, err;  // "$" stands for the folder
        std::string workbook;  // its bytes afterwards: "" none
    } runs[] = {
        {"a damaged programme database: the same message as the CSV run, no count line, the older workbook as it was",
         Bytes(79), older, 2, "", test::fatal("short header read"), "old"},
        {"a text longer than a cell holds: cut, and said so", buildPdb({.records = {record(progRecord({1, 1, 0, 0, 60, 0, "Long", std::string(40000, 'n')}), 3)}}), older, 0, "", "$|Cinecase.xlsx: sheet Programmes: row 2, column NOTE: a text of 40000 characters is "
                             "cut to the 32767 a cell holds\n", "PK"},
#ifndef _WIN32
        {"a workbook name that is a link to a database: refused", buildPdb(kOddProgs),
         [](const Catalogue& c) { fs::create_symlink("CinecaseProgs.PDB", c.workbook()); }, 1, "",
         "$|Cinecase.xlsx: is the same file as $|CinecaseProgs.PDB\n", ""},
#endif
    };
    for (const auto& each : runs) {
        SCOPED_TRACE(each.what);
        const Catalogue c(buildPdb(kOddTapes), each.progs);
        each.prepare(c);
        const test::RunResult run = test::runReelport({"--xlsx", "--salvage", c.dir.path()});
        const auto expand = [&](const std::string& text) {
            return test::replaceAll(test::replaceAll(text, "$", c.dir.path()), "|", std::string(1, test::kSeparator));
        };
        EXPECT_EQ(run.status, each.status);
        EXPECT_EQ(test::placeless(run.err), test::console(expand(each.err)));
        if (each.status != 0) {
            EXPECT_EQ(run.out, "");
        }
        const bool link = fs::is_symlink(c.workbook());
        EXPECT_EQ(link ? "" : test::readFile(c.workbook()).substr(0, each.workbook.size()), each.workbook);
        // Nothing else is left in the folder: no scratch file.
        EXPECT_EQ(std::distance(fs::directory_iterator(c.dir.path()), fs::directory_iterator()), 3);
    }
}

// Windows' old limit of 260 characters for a path is no limit of the tool's:
// the workbook's scratch file and the library's working folder too.
TEST(Workbook, IsWrittenInAFolderDeeperThan260Characters) {
    const test::TempDir dir;
    std::string folder = dir.path();
    while (folder.size() < 300) fs::create_directory(test::utf8Path(folder += test::kSeparator + std::string(40, 'd')));
    writeBytes(folder + test::kSeparator + "CinecaseTapes.PDB", sampleTapesDatabase());
    writeBytes(folder + test::kSeparator + "CinecaseProgs.PDB", sampleProgsDatabase());
    EXPECT_EQ(test::runReelport({"--xlsx", folder}).status, 0);
    EXPECT_TRUE(fs::exists(test::utf8Path(folder + test::kSeparator + "Cinecase.xlsx")));
}

}  // namespace
}  // namespace reelport
