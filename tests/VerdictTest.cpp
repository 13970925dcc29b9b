// SPDX-License-Identifier: MIT
// The verdict in plain words on each way a run ends, as the web page and the
// Windows window show it, and what the window offers after it. The outcomes
// come from real runs in memory on catalogues built here, but for the
// failures of files and memory, which are given.
#include "SampleCatalogue.h"
#include "cli/ConsoleWindow.h"
#include "run/MemoryRun.h"
#include "run/Verdict.h"

#include "TestSupport.h"

#include <cerrno>
#include <cstring>
#include <functional>

namespace reelport {
namespace {

// The sample catalogue, changed by `change`.
MemoryCatalogue sample(const std::function<void(Bytes& tapes, Bytes& progs)>& change = nullptr) {
    Bytes tapes = sampleTapesDatabase(), progs = sampleProgsDatabase();
    if (change) change(tapes, progs);
    return {MemoryDatabase{"CinecaseTapes.PDB", tapes}, MemoryDatabase{"CinecaseProgs.PDB", progs}};
}

// An outcome, what salvage would write where that says something of it, and the run's options.
struct Ended {
    Outcome outcome;
    std::optional<SalvageCount> count;
    RunOptions options;
};

struct Case {
    const char* what;
    std::function<Ended()> run;
    Face face;
    std::string verdict;
    WindowOffer offer = WindowOffer::Close;
};

// A run in memory of `catalogue`, salvage counted where it says something, as the page counts it.
std::function<Ended()> converts(MemoryCatalogue catalogue, RunOptions options = {}) {
    return [=] {
        Outcome outcome = runInMemory(catalogue, options);
        const bool counts = wantsSalvageCount(outcome);
        return Ended{std::move(outcome), counts ? countSalvageInMemory(catalogue) : std::nullopt, options};
    };
}

// A run ended by `failure` of a file or of memory.
std::function<Ended()> ends(Failure failure) {
    return [=] { Outcome outcome(false); outcome.failure = failure; return Ended{outcome, std::nullopt, {}}; };
}

// A path in a folder, as the system writes it.
std::string inFolder(const std::string& name) { return "backup" + std::string(1, test::kSeparator) + name; }

const std::string kCut = "CinecaseProgs.PDB is damaged. Salvage can write 18 of the 40 programmes and all 12 tapes.";
const std::string kJpeg = "\xFF\xD8\xFF\xE0\x00\x10JFIF" + std::string(200, '\x42');

const std::vector<Case> kCases = {
    {"success", converts(sample()), Face::WebPage,
     "Done: 12 tapes and 40 programmes are in CinecaseTapes.CSV and CinecaseProgs.CSV.", WindowOffer::Workbook},
    {"success in a workbook: nothing more to offer", converts(sample(), {.workbook = true}), Face::Window,
     "Done: 12 tapes and 40 programmes are in Cinecase.xlsx."},
    {"salvaged", converts(sample([](Bytes&, Bytes& progs) { progs.resize(1500); }), {.salvage = true}), Face::Window,
     "Salvaged: all 12 tapes and 18 of the 40 programmes of the damaged catalogue are in CinecaseTapes.CSV and "
     "CinecaseProgs.CSV; the details list what was skipped.", WindowOffer::Workbook},
    {"damaged: the salvage count, and salvage offered", converts(sample([](Bytes&, Bytes& progs) { progs.resize(1500); })),
     Face::Window, kCut, WindowOffer::Salvage},
    {"a database missing, in the window", converts({MemoryDatabase{"CinecaseTapes.PDB", sampleTapesDatabase()}, {}}),
     Face::Window, "CinecaseProgs.PDB is not in that folder. Drop the folder of your Palm backup that holds "
                   "CinecaseTapes.PDB and CinecaseProgs.PDB on reelport.exe."},
    {"a database missing, in the page", converts({{}, MemoryDatabase{"CinecaseProgs.PDB", sampleProgsDatabase()}}),
     Face::WebPage, "CinecaseTapes.PDB is not among the files you chose. Choose both CinecaseTapes.PDB and "
                    "CinecaseProgs.PDB of your Palm backup, or drop its folder on this page."},
    {"an empty file", converts(sample([](Bytes& tapes, Bytes&) { tapes.clear(); })), Face::WebPage,
     "CinecaseTapes.PDB is empty: the copy of the backup is incomplete. Choose the right file, then convert again."},
    {"a file shorter than a header", converts(sample([](Bytes& tapes, Bytes&) { tapes.resize(50); })), Face::WebPage,
     "CinecaseTapes.PDB is only 50 bytes long, too short for a Palm database: the copy of the backup is incomplete. "
     "Choose the right file, then convert again."},
    {"a photo renamed: damaged for the reader, but no salvage offered",
     converts(sample([](Bytes& tapes, Bytes&) { tapes.assign(kJpeg.begin(), kJpeg.end()); })), Face::WebPage,
     "CinecaseTapes.PDB is not a Palm database at all: it may be another file under that name. Choose the right "
     "file, then convert again."},
    {"another application's database, named by its header",
     converts(sample([](Bytes& tapes, Bytes&) { tapes = buildPdb({.name = "MemoDB", .creator = fourCharCode("memo")}); })), Face::WebPage,
     "CinecaseTapes.PDB is the database \"MemoDB\" of another Palm application (creator memo), not Cinecase's. "
     "Choose the right file, then convert again."},
    {"another version", converts(sample([](Bytes&, Bytes& progs) { progs = buildPdb({.version = 0x13}); })),
     Face::Window, "CinecaseProgs.PDB comes from Cinecase 1.3; Reelport reads the databases of Cinecase 1.2 only. "
                   "Put the right file there, then convert again."},
    {"programmes on tapes the tape list does not hold",
     converts(sample([](Bytes& tapes, Bytes&) {
         PdbFile other;
         other.records = {record(tapeRecord({"Other", 60, ""}), 7)};
         tapes = buildPdb(other);
     })),
     Face::WebPage, "CinecaseProgs.PDB has programmes on tapes that the tape list does not hold: the two files may "
                    "come from different backups, or the tape list is damaged. Salvage can write all 40 programmes "
                    "and the 1 tape.", WindowOffer::Salvage},
    {"damaged beyond salvage", converts(sample([](Bytes& tapes, Bytes& progs) { tapes.resize(82); progs.resize(82); })),
     Face::WebPage, "CinecaseTapes.PDB is damaged. Salvage cannot recover anything from it."},
    {"an unreadable database", ends(Failure(FailureKind::DatabaseUnreadable, "", inFolder("CinecaseTapes.PDB"), EACCES)),
     Face::Window, "CinecaseTapes.PDB could not be read (" + std::string(std::strerror(EACCES)) +
                       "). Copy the backup into a folder of your own, then convert it there."},
    {"a CSV file held open by another program", ends(Failure(FailureKind::OutputUnwritable, "", inFolder("CinecaseTapes.CSV"), EACCES)),
     Face::Window, "CinecaseTapes.CSV could not be written (" + std::string(std::strerror(EACCES)) +
                       "). If it is open in Excel or another program, close it there, then convert again."},
    {"a full disk", ends(Failure(FailureKind::OutputUnwritable, "", "Cinecase.xlsx", ENOSPC)), Face::WebPage,
     "Cinecase.xlsx could not be written: the disk is full. Make room, then convert again."},
    {"an output that is a database", ends(Failure(FailureKind::OutputIsDatabase, "", inFolder("CinecaseProgs.CSV"))),
     Face::Window, "CinecaseProgs.CSV is a link to one of the databases, so nothing was written over it. Remove or "
                   "rename CinecaseProgs.CSV, then convert again."},
    {"out of memory: never called damaged", ends(Failure(FailureKind::OutOfMemory, kOutOfMemory)), Face::WebPage,
     "There was not enough memory to convert the catalogue. Close other tabs or programs, then convert again."},
};

TEST(Verdict, SaysWhatHappenedToWhichFileAndWhatToDoNext) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        const Ended ended = c.run();
        const Verdict verdict = verdictOf(ended.outcome, ended.count, c.face);
        EXPECT_EQ(verdict.text, c.verdict);
        EXPECT_EQ(windowOffer(ended.outcome, ended.options, verdict), c.offer);
    }
}

// Typed answers: the offer's letter alone, in either case, with blanks
// around it; anything else, Enter alone included, closes.
TEST(ConsoleWindow, TakesAnOfferOnlyByItsLetter) {
    EXPECT_TRUE(takes(WindowOffer::Salvage, "s"));
    EXPECT_TRUE(takes(WindowOffer::Salvage, " S "));
    EXPECT_TRUE(takes(WindowOffer::Workbook, "x"));
    for (const std::string_view typed : {"", "y", "ss", "x"}) EXPECT_FALSE(takes(WindowOffer::Salvage, typed)) << typed;
    EXPECT_FALSE(takes(WindowOffer::Close, "s"));
    EXPECT_TRUE(optionsFor(WindowOffer::Salvage, {}).salvage);
    EXPECT_TRUE(optionsFor(WindowOffer::Workbook, {}).workbook);
}

}  // namespace
}  // namespace reelport
