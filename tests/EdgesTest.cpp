// SPDX-License-Identifier: MIT
// The built tool at the edges of what surrounds it: options on the command
// line, a standard output that fails, links and pipes in place of its files,
// a file size limit, and the forms a directory argument takes on Windows.
// Nothing may be lost there: the CSV files are the same as those of a plain
// run as far as the run gets, and no database is ever written.
#include "TestSupport.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <functional>

namespace reelport {
namespace {

using test::console;
using test::kSeparator;
using test::kWindows;
using test::readFile;
using test::record;
using test::runReelport;
using test::StandardOutput;
namespace fs = std::filesystem;

const std::string kUsage =
    "Reelport v 1.2 - Cinecase catalogue to CSV export, by the Reelport developers <reelport@example.org>\n"
    "\nUsage: Reelport [options] directory\n\nOptions:\n    -h\t   gives this usage\n\n";

// One tape and one programme; the programme's long note makes its list larger
// than the tape list, so a file size limit can fall between the two.
std::string database(PdbRecord only) {
    PdbFile file;
    file.records = {std::move(only)};
    return test::asText(buildPdb(file));
}
const std::string kTapesPdb = database(record(tapeRecord({"Films", 5400, "E-180"}), 0x10));
const std::string kProgsPdb = database(record(progRecord({0x10, 1, kSeen, 3, 5400, 0, "Title", std::string(400, 'n')}), 0x20));
constexpr std::uint64_t kBetweenTheLists = 300;

// A directory holding the catalogue, and its paths as the tool shows them.
struct Catalogue {
    test::TempDir dir;
    std::string directory = dir.path();
    explicit Catalogue(const std::string& subdirectory = "") {
        if (!subdirectory.empty()) fs::create_directory(test::utf8Path(directory += kSeparator + subdirectory));
        std::ofstream(test::utf8Path(expand("@CinecaseTapes.PDB")), std::ios::binary) << kTapesPdb;
        std::ofstream(test::utf8Path(expand("@CinecaseProgs.PDB")), std::ios::binary) << kProgsPdb;
    }
    // `text` with each "@" replaced by the directory and its separator.
    std::string expand(const std::string& text) const {
        std::string result;
        for (const char c : text) result += c == '@' ? directory + kSeparator : std::string(1, c);
        return result;
    }
    std::optional<std::string> csv(const char* name) const {
        const std::string path = expand(std::string("@") + name);
        if (!fs::exists(fs::symlink_status(test::utf8Path(path)))) return std::nullopt;
        return readFile(path);
    }
};

// The CSV files of a run that meets no edge.
std::pair<std::string, std::string> plainLists() {
    const Catalogue catalogue;
    EXPECT_EQ(runReelport({catalogue.directory}).status, 0);
    return {catalogue.csv("CinecaseTapes.CSV").value_or(""), catalogue.csv("CinecaseProgs.CSV").value_or("")};
}

TEST(Edges, CommandLineOptions) {
    const std::string version = kUsage.substr(0, kUsage.find('\n') + 1);
    const std::string notFound = std::string(1, kSeparator) + "CinecaseTapes.PDB: No such file or directory\n";
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string out, err;
    } cases[] = {
        {{"-h"}, 0, kUsage, ""},
        {{"--help", "directory"}, 0, kUsage, ""},
        {{"--version"}, 0, version, ""},
        // "/?" asks for help on Windows only; elsewhere it is a directory, as is every other argument.
        {{"/?"}, kWindows ? 0 : 1, kWindows ? kUsage : "", kWindows ? "" : "/?" + notFound},
        {{"-x"}, 1, "", "-x" + notFound},
    };
    for (const auto& c : cases) {
        const auto result = runReelport(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments[0];
        EXPECT_EQ(result.out, console(c.out)) << c.arguments[0];
        EXPECT_EQ(result.err, console(c.err)) << c.arguments[0];
    }
}

// Renames the database `from` to `to` and makes `link` a hard link to it (a
// symbolic link needs a privilege on Windows).
void linkTo(const Catalogue& catalogue, const std::string& link, const std::string& from, const std::string& to) {
    fs::rename(catalogue.expand("@" + from), catalogue.expand("@" + to));
    fs::create_hard_link(catalogue.expand("@" + to), catalogue.expand("@" + link));
}

TEST(Edges, NothingIsLostAndNoDatabaseWritten) {
    const auto [tapes, progs] = plainLists();
    const std::string tapesLine = "   1 tapes exported to @CinecaseTapes.CSV\n";
    const std::optional<std::string> none;
    const struct {
        const char* fault;  // what went wrong before
        std::function<void(const Catalogue&)> prepare;
        test::RunSetup setup;
        int status;
        std::string err;  // "Assert failed: C" stands for the fatal check C of PalmDB.cpp
        std::string out;
        std::optional<std::string> tapesCsv, progsCsv;  // none: no such file
    } cases[] = {
        {"a hard-linked tape list emptied the programme database (a case variant) before it was read",
         [](const Catalogue& c) { linkTo(c, "CinecaseTapes.CSV", "CinecaseProgs.PDB", "cinecaseprogs.pdb"); }, {}, 1,
         "@CinecaseTapes.CSV: is the same file as @" + std::string(kWindows ? "CinecaseProgs.PDB\n" : "cinecaseprogs.pdb\n"),
         "", kProgsPdb, none},
        {"a hard-linked programme list emptied the mapped tape database",
         [](const Catalogue& c) { linkTo(c, "CinecaseProgs.CSV", "CinecaseTapes.PDB", "CinecaseTapes.PDB"); }, {}, 1,
         "@CinecaseProgs.CSV: is the same file as @CinecaseTapes.PDB\n", tapesLine, tapes, kTapesPdb},
        // Linux's standard output is /dev/full, Windows' a handle open for reading only.
        {"a full standard output stopped the run before the programme list", {}, StandardOutput::Unwritable, 1,
         kWindows ? "standard output: Bad file descriptor\n" : "standard output: No space left on device\n", "", tapes, progs},
#ifndef _WIN32
        {"a closed standard output stopped the run before the programme list", {}, StandardOutput::Closed, 1,
         "standard output: Bad file descriptor\n", "", tapes, progs},
        {"SIGPIPE killed the run without a word before the programme list", {}, StandardOutput::BrokenPipe, 1,
         "standard output: Broken pipe\n", "", tapes, progs},
        {"a full standard output hid the programme database's fatal check",
         [](const Catalogue& c) { fs::resize_file(c.expand("@CinecaseProgs.PDB"), 79); }, StandardOutput::Unwritable, 2,
         "Assert failed: short header read", "", tapes, none},
        {"SIGXFSZ killed the run without a word", {}, {StandardOutput::Captured, kBetweenTheLists}, 1,
         "@CinecaseProgs.CSV: File too large\n", tapesLine, tapes, progs.substr(0, kBetweenTheLists)},
        {"a symbolic link as tape list emptied the mapped tape database",
         [](const Catalogue& c) { fs::create_symlink("CinecaseTapes.PDB", c.expand("@CinecaseTapes.CSV")); }, {}, 1,
         "@CinecaseTapes.CSV: is the same file as @CinecaseTapes.PDB\n", "", kTapesPdb, none},
        {"a named pipe (a case variant) without a writer held the open forever", [](const Catalogue& c) {
             fs::remove(c.expand("@CinecaseProgs.PDB"));
             ASSERT_EQ(mkfifo(c.expand("@CINECASEPROGS.PDB").c_str(), 0644), 0);
         }, {}, 2, "Assert failed: short header read", tapesLine, tapes, none},
        {"a dangling link with the exact name gave way to a case variant", [](const Catalogue& c) {
             fs::rename(c.expand("@CinecaseTapes.PDB"), c.expand("@CINECASETAPES.PDB"));
             fs::create_symlink("nowhere", c.expand("@CinecaseTapes.PDB"));
         }, {}, 1, "@CinecaseTapes.PDB: No such file or directory\n", "", none, none},
#endif
    };
    for (const auto& c : cases) {
        // Wine's C runtime does not report failed writes to standard output.
        if (c.setup.output == StandardOutput::Unwritable && test::underWine()) continue;
        const Catalogue catalogue;
        if (c.prepare) c.prepare(catalogue);
        const auto result = runReelport({catalogue.directory}, c.setup);
        EXPECT_EQ(result.status, c.status) << c.fault;
        if (c.err.starts_with("Assert failed: ")) {
            EXPECT_THAT(result.err, test::IsFatalCheckOnConsole(c.err.substr(15), "PalmDB.cpp")) << c.fault;
        } else {
            EXPECT_EQ(result.err, console(catalogue.expand(c.err))) << c.fault;
        }
        EXPECT_EQ(result.out, console(catalogue.expand(c.out))) << c.fault;
        EXPECT_EQ(catalogue.csv("CinecaseTapes.CSV"), c.tapesCsv) << c.fault;
        EXPECT_EQ(catalogue.csv("CinecaseProgs.CSV"), c.progsCsv) << c.fault;
    }
}

// Sets the working directory back at the end of a test.
struct WorkingDirectory {
    fs::path previous = fs::current_path();
    explicit WorkingDirectory(const std::string& directory) { fs::current_path(test::utf8Path(directory)); }
    ~WorkingDirectory() { fs::current_path(previous); }
};

TEST(Edges, DirectoryArguments) {
    const auto [tapes, progs] = plainLists();
    const struct {
        const char* fault;
        std::string subdirectory, ending;  // ending "X:": the argument is the working directory's bare drive
    } cases[] = {
        {"a second separator after a trailing one", "", std::string(1, kSeparator)},
        {"a second separator after a trailing \"/\" on Windows", "", "/"},
        {"a Cyrillic name cut to the ANSI code page", "\xD0\xA4\xD0\xB8\xD0\xBB\xD1\x8C\xD0\xBC\xD1\x8B", ""},
        {"a CJK name cut to the ANSI code page", "\xE6\x98\xA0\xE7\x94\xBB", ""},
        {"a bare drive read as the drive's root", "", "X:"},
    };
    for (const auto& c : cases) {
        if (c.ending == "X:" && !kWindows) continue;
        const Catalogue catalogue(c.subdirectory);
        const WorkingDirectory inside(catalogue.directory);
        const std::string argument = c.ending == "X:" ? catalogue.directory.substr(0, 2) : catalogue.directory + c.ending;
        const std::string shown = c.ending.empty() ? argument + kSeparator : argument;
        const auto result = runReelport({argument});
        EXPECT_EQ(result.status, 0) << c.fault;
        EXPECT_EQ(result.err, "") << c.fault;
        EXPECT_EQ(result.out, console("   1 tapes exported to " + shown + "CinecaseTapes.CSV\n   1 progs exported to " +
                                      shown + "CinecaseProgs.CSV\n")) << c.fault;
        EXPECT_EQ(catalogue.csv("CinecaseTapes.CSV"), tapes) << c.fault;
        EXPECT_EQ(catalogue.csv("CinecaseProgs.CSV"), progs) << c.fault;
    }
}

}  // namespace
}  // namespace reelport
