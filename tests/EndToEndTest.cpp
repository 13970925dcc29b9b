// SPDX-License-Identifier: MIT
// Runs the built tool on directories of databases written by the tests and
// compares its status, both console streams and both CSV files byte for byte.
// The CSV files are the same on every platform; the console streams end lines
// the platform's way, and the texts of system errors are the C runtime's.
#include "TestSupport.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>

namespace reelport {
namespace {

using test::console;
using test::IsFatalCheckOnConsole;
using test::kSeparator;
using test::kWindows;
using test::readFile;
using test::record;
using test::runReelport;

constexpr const char* kUsage =
    "Reelport v 1.2 - Cinecase catalogue to CSV export, by the Reelport developers <reelport@example.org>\n"
    "\nUsage: Reelport [options] directory\n\nOptions:\n    -h\t   gives this usage\n\n";

PdbFile tapesFile() {
    PdbFile file;
    file.appInfo = categoryBlock({"Unfiled", "Films"});
    file.records = {record(tapeRecord({"Films 1", 10800, "E-180"}), 0x10, 1),
                    record(tapeRecord({"Empty", 7200, "no programme \"yet\""}), 0x11, 0)};
    return file;
}

PdbFile progsFile() {
    PdbFile file;
    file.appInfo = categoryBlock({"Unfiled", "Drama"});
    file.records = {
        record(progRecord({0x10, 2, kSeen | kSpeedLP, 4, 3000, palmDate(1999, 1, 2), "Second", "b, \"c\""}), 0x21, 1),
        record(progRecord({0x10, 1, kKeep, 0, 5400, palmDate(1998, 12, 24), "First", ""}), 0x20, 0),
        record(progRecord({0x10, 3, kSpeedEP, 0, 600, 0, "", "unseen note"}), 0x22, 0)};
    return file;
}

constexpr const char* kTapesCsvText =
    "TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE\r\n"
    "16,\"Films 1\",3:00,\"Films\",\"E-180\"\r\n"
    "17,\"Empty\",2:00,\"Unfiled\",\"no programme \"\"yet\"\"\"\r\n"
    "\r\n";

constexpr const char* kProgsCsvText =
    "TAPE_ID,TAPE_LABEL,PROG_ID,TITLE,SEEN,KEEP,DATE,LENGTH,SPEED,CATEGORY,RATING,NOTE\r\n"
    "16,\"Films 1\",32,\"First\",,X,1998-12-24,1:30,SP,\"Unfiled\",-,\"\"\r\n"
    "16,\"Films 1\",33,\"Second\",X,,1999-01-02,1:40,LP,\"Drama\",4,\"b, \"\"c\"\"\"\r\n"
    "16,\"Films 1\",34,-,,,,0:30,EP,,,\r\n"
    "\r\n";

// A directory holding the two databases.
struct Catalogue {
    test::TempDir dir;
    Catalogue(const PdbFile& tapes, const PdbFile& progs) {
        writeBytes(dir.file("CinecaseTapes.PDB"), buildPdb(tapes));
        writeBytes(dir.file("CinecaseProgs.PDB"), buildPdb(progs));
    }
    std::string tapesCsv() const { return readFile(dir.file("CinecaseTapes.CSV")); }
    std::string progsCsv() const { return readFile(dir.file("CinecaseProgs.CSV")); }
    std::string countLines(int tapes, int progs) const {
        char text[512];
        std::snprintf(text, sizeof text, "%4d tapes exported to %s\n%4d progs exported to %s\n", tapes,
                      dir.file("CinecaseTapes.CSV").c_str(), progs, dir.file("CinecaseProgs.CSV").c_str());
        return console(text);
    }
};

TEST(Reelport, WithoutArgumentsShowsTheUsage) {
    const auto result = runReelport({});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, console(kUsage));
    EXPECT_EQ(result.err, "");
}

TEST(Reelport, RefusesAnEmptyDirectoryArgumentWithTheUsage) {
    const auto result = runReelport({""});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, console(kUsage));
    EXPECT_EQ(result.err, "");
}

TEST(Reelport, ConvertsACatalogue) {
    const Catalogue catalogue(tapesFile(), progsFile());
    const auto result = runReelport({catalogue.dir.path(), "ignored", "arguments"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, catalogue.countLines(2, 3));
    EXPECT_EQ(catalogue.tapesCsv(), kTapesCsvText);
    EXPECT_EQ(catalogue.progsCsv(), kProgsCsvText);
}

TEST(Reelport, ConvertsEmptyDatabases) {
    const Catalogue catalogue(PdbFile{}, PdbFile{});
    const auto result = runReelport({catalogue.dir.path()});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, catalogue.countLines(0, 0));
    EXPECT_EQ(catalogue.tapesCsv(), "TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE\r\n\r\n");
    EXPECT_EQ(catalogue.progsCsv(),
              "TAPE_ID,TAPE_LABEL,PROG_ID,TITLE,SEEN,KEEP,DATE,LENGTH,SPEED,CATEGORY,RATING,NOTE\r\n\r\n");
}

TEST(Reelport, KeepsTheRowsBeforeAMissingTape) {
    PdbFile progs = progsFile();
    progs.records.push_back(record(progRecord({0x99, 1, 0, 0, 0, 0, "Lost", ""}), 0x23));
    const Catalogue catalogue(tapesFile(), progs);
    const auto result = runReelport({catalogue.dir.path()});
    EXPECT_EQ(result.status, 2);
    EXPECT_THAT(result.err, IsFatalCheckOnConsole("no matching tape for record", "ProgExport.cpp"));
    EXPECT_EQ(result.out, console("   2 tapes exported to " + catalogue.dir.file("CinecaseTapes.CSV") + "\n"));
    EXPECT_EQ(catalogue.tapesCsv(), kTapesCsvText);
    const std::string complete = kProgsCsvText;
    EXPECT_EQ(catalogue.progsCsv(), complete.substr(0, complete.size() - 2));  // all rows, no empty line
}

TEST(Reelport, StopsAtADamagedTapeDatabaseBeforeOpeningTheProgrammes) {
    const test::TempDir dir;
    Bytes tapes = buildPdb(tapesFile());
    tapes.resize(79);
    writeBytes(dir.file("CinecaseTapes.PDB"), tapes);
    const auto result = runReelport({dir.path()});
    EXPECT_EQ(result.status, 2);
    EXPECT_THAT(result.err, IsFatalCheckOnConsole("short header read", "PalmDB.cpp"));
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(test::fileExists(dir.file("CinecaseTapes.CSV")));
    EXPECT_FALSE(test::fileExists(dir.file("CinecaseProgs.CSV")));
}

TEST(Reelport, ReportsAMissingProgrammeDatabaseAfterWritingTheTapes) {
    const test::TempDir dir;
    writeBytes(dir.file("CinecaseTapes.PDB"), buildPdb(tapesFile()));
    const auto result = runReelport({dir.path()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, console(dir.file("CinecaseProgs.PDB") + ": No such file or directory\n"));
    EXPECT_EQ(readFile(dir.file("CinecaseTapes.CSV")), kTapesCsvText);
}

TEST(Reelport, RefusesADatabaseOfAnotherVersionNamingThePathUsed) {
    PdbFile progs = progsFile();
    progs.version = 0x13;
    const test::TempDir dir;
    writeBytes(dir.file("cinecasetapes.pdb"), buildPdb(tapesFile()));
    writeBytes(dir.file("CINECASEPROGS.PDB"), buildPdb(progs));
    const auto result = runReelport({dir.path()});
    EXPECT_EQ(result.status, 1);
    // Windows file names ignore case, so there the name asked for opens the file.
    const std::string used = dir.file(kWindows ? "CinecaseProgs.PDB" : "CINECASEPROGS.PDB");
    EXPECT_EQ(result.err, console("Wrong database version!\n"
                                  "This conversion tool only works for version 1.2 of Cinecase databases.\n"
                                  "The file " + used + " seems to be from version 1.3\n"));
    // Output files keep their exact names.
    EXPECT_EQ(readFile(dir.file("CinecaseTapes.CSV")), kTapesCsvText);
    EXPECT_FALSE(test::fileExists(dir.file("CinecaseProgs.CSV")));
}

TEST(Reelport, RefusesADatabaseOfAnotherApplication) {
    PdbFile tapes = tapesFile();
    tapes.creator = fourCharCode("abcd");
    const Catalogue catalogue(tapes, progsFile());
    const auto result = runReelport({catalogue.dir.path()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, console("Invalid creator ID!\nThe file " + catalogue.dir.file("CinecaseTapes.PDB") +
                                  " is not a valid Cinecase database.\n"));
    EXPECT_FALSE(test::fileExists(catalogue.dir.file("CinecaseTapes.CSV")));
}

TEST(Reelport, EndsWithAFatalCheckForAnotherDatabaseType) {
    PdbFile tapes = tapesFile();
    tapes.type = fourCharCode("appl");
    const Catalogue catalogue(tapes, progsFile());
    const auto result = runReelport({catalogue.dir.path()});
    EXPECT_EQ(result.status, 2);
    EXPECT_THAT(result.err, IsFatalCheckOnConsole("wrong PDB type", "ExportFrame.cpp"));
}

// The C runtime's text for opening a directory as a file: Linux's says what
// stands there, Windows' that access is refused.
constexpr const char* kDirectoryOpenError = kWindows ? "Permission denied" : "Is a directory";

TEST(Reelport, RefusesADirectoryInPlaceOfADatabase) {
    const test::TempDir dir;
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("CinecaseTapes.PDB")));
    const auto result = runReelport({dir.path()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, console(dir.file("CinecaseTapes.PDB") + ": " + kDirectoryOpenError + "\n"));
}

TEST(Reelport, ReportsAPathTooLongForTheSystem) {
    const test::TempDir dir;
    const std::string directory = kWindows ? dir.file(std::string(5000, 'd')) : "/tmp/" + std::string(5000, 'd');
    const auto result = runReelport({directory});
    EXPECT_EQ(result.status, 1);
    // Windows has no error of its own for a name too long; such a path is not found.
    EXPECT_EQ(result.err, console(directory + kSeparator + "CinecaseTapes.PDB: " +
                                  (kWindows ? "No such file or directory" : "File name too long") + "\n"));
}

TEST(Reelport, ReportsAnOutputFileThatCannotBeOpened) {
    const Catalogue catalogue(tapesFile(), progsFile());
    ASSERT_TRUE(std::filesystem::create_directory(catalogue.dir.file("CinecaseProgs.CSV")));
    const auto result = runReelport({catalogue.dir.path()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, console(catalogue.dir.file("CinecaseProgs.CSV") + ": " + kDirectoryOpenError + "\n"));
    EXPECT_EQ(result.out, console("   2 tapes exported to " + catalogue.dir.file("CinecaseTapes.CSV") + "\n"));
}

TEST(Reelport, ReportsACsvFileThatCannotBeWrittenInsteadOfSuccess) {
    const Catalogue catalogue(tapesFile(), progsFile());
    const std::string csv = catalogue.dir.file("CinecaseTapes.CSV");
#ifdef _WIN32
    // Windows has no device that is always full; a CSV file held open by a
    // spreadsheet cannot be opened for writing.
    const test::LockedFile heldOpen(csv);
    const std::string error = "Permission denied";
#else
    ASSERT_EQ(symlink("/dev/full", csv.c_str()), 0);
    const std::string error = "No space left on device";
#endif
    const auto result = runReelport({catalogue.dir.path()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, console(csv + ": " + error + "\n"));
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(test::fileExists(catalogue.dir.file("CinecaseProgs.CSV")));
}

#ifndef _WIN32
// A device has no length: it is read as empty, so one that never ends (a link
// to /dev/zero) cannot keep the tool reading.
TEST(Reelport, ReadsADeviceInPlaceOfADatabaseAsEmpty) {
    const test::TempDir dir;
    ASSERT_EQ(symlink("/dev/zero", dir.file("CinecaseTapes.PDB").c_str()), 0);
    const auto result = runReelport({dir.path()});
    EXPECT_EQ(result.status, 2);
    EXPECT_THAT(result.err, IsFatalCheckOnConsole("short header read", "PalmDB.cpp"));
    EXPECT_FALSE(test::fileExists(dir.file("CinecaseTapes.CSV")));
}
#endif

TEST(Reelport, PassesOverEmptyRecordsAndRefusesShortOnes) {
    PdbFile tapes = tapesFile();
    tapes.records.insert(tapes.records.begin() + 1, record({}, 0x30));
    tapes.records.push_back(record(Bytes{0xA0, 0, 'x'}, 0x31));
    const Catalogue catalogue(tapes, progsFile());
    const auto result = runReelport({catalogue.dir.path()});
    EXPECT_EQ(result.status, 2);
    EXPECT_THAT(result.err, IsFatalCheckOnConsole("short tape record", "TapeExport.cpp"));
    const std::string complete = kTapesCsvText;
    EXPECT_EQ(catalogue.tapesCsv(), complete.substr(0, complete.size() - 2));
    EXPECT_FALSE(test::fileExists(catalogue.dir.file("CinecaseProgs.CSV")));
}

}  // namespace
}  // namespace reelport
