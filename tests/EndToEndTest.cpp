// SPDX-License-Identifier: MIT
// Runs the built tool on directories of databases and compares its status, both console streams (their lines
// ended the platform's way) and both CSV files byte for byte with tests/expected, the same on every platform.
#include "CornerCatalogue.h"
#include "SampleCatalogue.h"

#include "TestSupport.h"
#include "cli/ConsoleWindow.h"
#include "platform/Files.h"

#include <filesystem>
#include <functional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace reelport {
namespace {

namespace fs = std::filesystem;

// A directory with the two databases, written after `Invocation::prepare` changed them.
struct Catalogue {
    test::TempDir dir;
    std::string directory = dir.path();  // a folder inside `dir` when `prepare` makes one
    PdbFile tapes = cornerTapes(), progs = cornerProgs();
    std::string tapesName = "CinecaseTapes.PDB", progsName = "CinecaseProgs.PDB";  // "": not written
    std::string file(const std::string& name) const { return directory + test::kSeparator + name; }
};

// Expected CSV files besides the files expectCsv reads: none, or anything.
const std::string kAbsent = "(absent)", kAny = "(any)";

struct Invocation {
    const char* what;  // the behaviour, and the fault it guards against
    std::vector<std::string> arguments;
    std::function<void(Catalogue&)> prepare;
    int status;
    std::string out = {}, err = {};  // in these and the arguments "$" is the directory, "|" the separator
    std::string tapesCsv = kAbsent, progsCsv = kAbsent;
    test::RunSetup setup = {};
    std::function<void(Catalogue&)> afterWriting = nullptr;  // links and pipes in place of files
};

const std::string kUsage =
    "Reelport v 1.2 - Cinecase catalogue to CSV export, by the Reelport developers <reelport@example.org>\n"
    "\nUsage: Reelport [options] directory\n\nOptions:\n    -h\t   gives this usage\n"
    "    --salvage  writes what is intact of a damaged catalogue, and reports the rest\n"
    "    --utf8     writes the CSV texts in UTF-8\n"
    "    --version  gives the program's version\n"
    "    --xlsx     writes one Excel workbook, Cinecase.xlsx, instead of the CSV files\n\n";
const std::string kVersion = kUsage.substr(0, kUsage.find('\n') + 1);
const std::string kTapesLine = "  12 tapes exported to $|CinecaseTapes.CSV\n";
const std::string kBothLines = kTapesLine + "  46 progs exported to $|CinecaseProgs.CSV\n";
const std::string kTapes = "corners-tapes", kProgs = "corners-progs";
const std::string kUtf8 = "-utf8";  // appended: the expected file in UTF-8
const std::string kNotFound = "|CinecaseTapes.PDB: No such file or directory\n";
const std::string kProgsVariant = test::kWindows ? "CinecaseProgs.PDB" : "cinecaseprogs.pdb";  // as the tool names it
const std::string kWrongVersion =
    "Wrong database version!\nThis conversion tool only works for version 1.2 of Cinecase databases.\nThe file ";
const std::string kCyrillicAndChinese = "\xD0\xA4\xD0\xB8\xD0\xBB\xD1\x8C\xD0\xBC\xD1\x8B \xE6\x98\xA0\xE7\x94\xBB";

// A run that converts the whole catalogue, in the handheld's bytes or in UTF-8.
Invocation converts(const char* what, std::vector<std::string> arguments,
                    std::function<void(Catalogue&)> prepare = nullptr, const std::string& encoding = "") {
    return {what, std::move(arguments), std::move(prepare), 0, kBothLines, "", kTapes + encoding, kProgs + encoding};
}

// `prepare`s that put the catalogue in a new folder of this name, and make its directory the working directory.
std::function<void(Catalogue&)> inFolder(const std::string& name) {
    return [name](Catalogue& c) { fs::create_directory(test::utf8Path(c.directory = c.file(name))); };
}
void workInCatalogue(Catalogue& c) { fs::current_path(test::utf8Path(c.directory)); }

const std::vector<Invocation> kInvocations = {
    {"the bundled sample catalogue, which is what make_sample writes", {"$"},
     [](Catalogue& c) {
         for (const auto& [name, made] : {std::pair{"CinecaseTapes.PDB", sampleTapesDatabase()},
                                          std::pair{"CinecaseProgs.PDB", sampleProgsDatabase()}}) {
             fs::copy_file(REELPORT_SAMPLE_DIR "/" + std::string(name), c.file(name));
             EXPECT_EQ(test::readFile(c.file(name)), std::string(made.begin(), made.end()));
         }
         c.tapesName = c.progsName = "";
     }, 0, kTapesLine + "  40 progs exported to $|CinecaseProgs.CSV\n", "", "sample-tapes", "sample-progs"},
    {"no argument: the usage, status 1 (not 0)", {}, nullptr, 1, kUsage},
    {"an empty argument: the usage, not a directory", {""}, nullptr, 1, kUsage},
    {"-h: the usage, status 0", {"-h"}, nullptr, 0, kUsage},
    {"--help after options, before a directory: the usage", {"--utf8", "--salvage", "--help", "$"}, nullptr, 0, kUsage},
    {"--version before -h: the usage's first line", {"--salvage", "--version", "-h"}, nullptr, 0, kVersion},
    {"/? asks for help on Windows only; elsewhere it is a directory", {"/?"}, nullptr, test::kWindows ? 0 : 1,
     test::kWindows ? kUsage : "", test::kWindows ? "" : "/?" + kNotFound},
    {"an unknown option of one dash: refused before -h, not taken for a directory", {"-x", "-h", "$"}, nullptr, 1,
     kUsage, "Unknown option: -x\n"},
    {"-- ends the options: a directory named -x", {"--utf8", "--", "-x"}, nullptr, 1, "", "-x" + kNotFound},
    converts("--utf8: both lists in UTF-8, the console as it is", {"--utf8", "$"}, nullptr, kUtf8),
    converts("further arguments ignored, older CSV files replaced, a case variant beside the exact name ignored (on "
             "Windows the same file, written over)", {"$", "-h", "x"}, [](Catalogue& c) {
                 writeBytes(c.file("CINECASETAPES.PDB"), buildPdb({}));
                 for (const char* csv : {"CinecaseTapes.CSV", "CinecaseProgs.CSV"}) writeBytes(c.file(csv), Bytes(100000, 'x'));
             }),
    {"no second separator after a directory ending in one (a slash, on Windows too)", {"$/"}, nullptr, 0,
     test::kWindows ? test::replaceAll(kBothLines, "$|", "$/") : kBothLines, "", kTapes, kProgs},
#ifdef _WIN32
    {"a bare drive is that drive's working directory", {"%"}, workInCatalogue, 0,
     test::replaceAll(kBothLines, "$|", "%"), "", kTapes, kProgs},
    converts("a closing double quote, as the command prompt leaves of \"D:\\folder\\\", is dropped", {"$\""}),
    {"a bare drive with a closing double quote is that drive's root, as \"D:\\\" meant", {"%\""}, workInCatalogue, 1,
     "", "%|CinecaseTapes.PDB: No such file or directory\n"},
    {"a database file after a bare drive: that drive's working directory", {"%cinecasetapes.pdb"}, workInCatalogue, 0,
     test::replaceAll(kBothLines, "$|", "%"), "", kTapes, kProgs},
#endif
    converts("a database file named in another case, and read in it", {"$|cinecaseprogs.pdb"},
             [](Catalogue& c) { c.progsName = "cinecaseprogs.pdb"; }),
    {"a database file by a relative path into a folder named in Cyrillic and Chinese: messages name it as given",
     {kCyrillicAndChinese + "|CinecaseProgs.PDB"},
     [](Catalogue& c) { workInCatalogue(c); inFolder(kCyrillicAndChinese)(c); c.progs.version = 0x11; },
     1, test::replaceAll(kTapesLine, "$|", kCyrillicAndChinese + "|"),
     kWrongVersion + kCyrillicAndChinese + "|CinecaseProgs.PDB seems to be from version 1.1\n", kTapes},
    {"a database file by its bare name: the working directory; the tape list is written first", {"CinecaseTapes.PDB"},
     [](Catalogue& c) { workInCatalogue(c); c.progsName = ""; }, 1, test::replaceAll(kTapesLine, "$|", ".|"),
     ".|CinecaseProgs.PDB: No such file or directory\n", kTapes},
    converts("a directory named like a database is the directory", {"$"}, inFolder("CinecaseTapes.PDB")),
    {"a tape list that is a hard link to the programme database (a case variant) is not written", {"$"},
     [](Catalogue& c) { c.progsName = "cinecaseprogs.pdb"; }, 1, "",
     "$|CinecaseTapes.CSV: is the same file as $|" + kProgsVariant + "\n", kAny, kAbsent, {},
     [](Catalogue& c) { fs::create_hard_link(c.file(c.progsName), c.file("CinecaseTapes.CSV")); }},
    {"case variants: the first in byte order is read and named, the CSV files keep their names", {"$"},
     [](Catalogue& c) {
         writeBytes(c.file("cinecasetapes.pdb"), buildPdb({}));
         c.tapesName = "CINECASETAPES.PDB"; c.progsName = "cinecaseprogs.pdb"; c.progs.version = 0x12E;
     }, 1, kTapesLine, kWrongVersion + "$|" + kProgsVariant + " seems to be from version 18.14\n", kTapes},
    {"tape IDs of 2^24 and more sort last and find no tape; the rows before stay, in UTF-8", {"--utf8", "$"},
     [](Catalogue& c) {
         for (const std::uint32_t tapeId : {0x80000000u, 0x01000000u, 0xFFFFFFFFu}) {
             c.progs.records.push_back(record(progRecord({tapeId, 0, 0, 0, 0, 0, "No tape", ""}), 0x300));
         }
     }, 2, kTapesLine, test::fatal("no matching tape for record"), kTapes + kUtf8, kProgs + "-cut" + kUtf8},
    {"standard output full: the lists are the work and still written", {"$"}, nullptr, 1, "",
     "standard output: No space left on device\n", kTapes, kProgs, {test::StandardOutput::Unwritable}},
#ifndef _WIN32
    {"standard output a pipe whose reader is gone: no SIGPIPE", {"$"}, nullptr, 1, "",
     "standard output: Broken pipe\n", kTapes, kProgs, {test::StandardOutput::BrokenPipe}},
    {"a full standard output does not hide a damaged programme database", {"$"}, nullptr, 2, "",
     test::fatal("short header read"), kTapes, kAbsent, {test::StandardOutput::Unwritable},
     [](Catalogue& c) { fs::resize_file(c.file(c.progsName), 79); c.progsName = ""; }},
    {"a file size limit cutting the programme list: no SIGXFSZ, reported without its count line", {"$"}, nullptr, 1, kTapesLine,
     "$|CinecaseProgs.CSV: File too large\n", kTapes, kProgs + "-1024", {test::StandardOutput::Captured, 1024}},
    {"a programme list that is a symbolic link to the mapped tape database", {"$"}, nullptr, 1, kTapesLine,
     "$|CinecaseProgs.CSV: is the same file as $|CinecaseTapes.PDB\n", kTapes, kAny, {},
     [](Catalogue& c) { fs::create_symlink("CinecaseTapes.PDB", c.file("CinecaseProgs.CSV")); }},
    {"a named pipe as programme database (a case variant) reads as empty, without waiting for a writer", {"$"},
     [](Catalogue& c) { c.progsName = ""; }, 2, kTapesLine, test::fatal("short header read"), kTapes, kAbsent, {},
     [](Catalogue& c) { ASSERT_EQ(mkfifo(c.file("CINECASEPROGS.PDB").c_str(), 0644), 0); }},
    {"a link to a database file stands for the link's folder, not the target's", {"$|links|CinecaseTapes.PDB"},
     nullptr, 1, test::replaceAll(kTapesLine, "$|", "$|links|"), "$|links|CinecaseProgs.PDB: No such file or directory\n",
     kAbsent, kAbsent, {}, [](Catalogue& c) {
         fs::create_directory(c.file("links"));
         fs::create_symlink(c.file(c.tapesName), c.file("links/CinecaseTapes.PDB"));
     }},
    {"a device in place of the tape database reads as empty, never endless", {"$"},
     [](Catalogue& c) { fs::create_symlink("/dev/zero", c.file(c.tapesName)); c.tapesName = ""; }, 2, "",
     test::fatal("short header read")},
    {"a directory in place of the tape database", {"$"},
     [](Catalogue& c) { fs::create_directory(c.file(c.tapesName)); c.tapesName = ""; }, 1, "",
     "$|CinecaseTapes.PDB: Is a directory\n"},
#endif
};

// "$" the directory, "|" the separator, "%" the directory's drive.
std::string expand(const std::string& text, const std::string& directory) {
    const std::string withDrive = test::replaceAll(text, "%", directory.substr(0, 2));
    return test::replaceAll(test::replaceAll(withDrive, "$", directory), "|", std::string(1, test::kSeparator));
}

// A CSV file as `expected` says: the file tests/expected/NAME.expected, or kAbsent, or kAny.
void expectCsv(const std::string& path, const std::string& expected) {
    if (expected == kAny) return;
    const std::string text = expected == kAbsent ? kAbsent : test::readFile(REELPORT_EXPECTED_DIR "/" + expected + ".expected");
    EXPECT_EQ(fs::exists(fs::symlink_status(test::utf8Path(path))) ? test::readFile(path) : kAbsent, text) << path;
}

TEST(Reelport, EndsEachRunAsExpected) {
    for (const Invocation& run : kInvocations) {
        // Wine's C runtime does not report a failed write to standard output.
        if (run.setup.output == test::StandardOutput::Unwritable && test::kWindows) continue;
        SCOPED_TRACE(run.what);
        const fs::path workingDirectory = fs::current_path();  // a row may change it
        Catalogue c;
        if (run.prepare) run.prepare(c);
        const Bytes tapes = buildPdb(c.tapes), progs = buildPdb(c.progs);
        if (!c.tapesName.empty()) writeBytes(c.file(c.tapesName), tapes);
        if (!c.progsName.empty()) writeBytes(c.file(c.progsName), progs);
        if (run.afterWriting) run.afterWriting(c);
        std::vector<std::string> arguments;
        for (const std::string& argument : run.arguments) arguments.push_back(expand(argument, c.directory));

        const test::RunResult result = test::runReelport(arguments, run.setup);
        EXPECT_EQ(result.status, run.status);
        EXPECT_EQ(result.out, test::console(expand(run.out, c.directory)));
        EXPECT_EQ(test::placeless(result.err), test::console(expand(run.err, c.directory)));
        expectCsv(c.file("CinecaseTapes.CSV"), run.tapesCsv);
        expectCsv(c.file("CinecaseProgs.CSV"), run.progsCsv);
        // Whatever happens, the databases are never written.
        for (const auto& [name, bytes] : {std::pair{c.tapesName, &tapes}, std::pair{c.progsName, &progs}}) {
            EXPECT_TRUE(name.empty() || test::readFile(c.file(name)) == std::string(bytes->begin(), bytes->end()));
        }
        fs::current_path(workingDirectory);
    }
}

// Started from Explorer, the program is alone in a console window of its own;
// from a command prompt, PowerShell or a batch file, the shell shares it.
TEST(ConsoleWindow, WaitsForEnterOnlyAloneInItsConsole) {
    for (const auto& [c, waits] : std::initializer_list<std::pair<ConsoleState, bool>>{
             {{1, true, true, true}, true},    // from Explorer
             {{2, true, true, true}, false},   // from a command prompt
             {{1, false, true, true}, false},  // input redirected
             {{1, true, true, false}, false},  // a console made without a window
             {{0, true, true, true}, false},   // the count unknown
         }) {
        EXPECT_EQ(waitsForEnter(c), waits) << c.processCount << c.inputIsConsole << c.outputIsConsole << c.hasWindow;
    }
}

#ifdef _WIN32
// Windows lets a name hold an unpaired surrogate, which no UTF-8 can carry:
// such a name is refused, never changed into another one.
TEST(WindowsNames, AreRefusedWhereNoUtf8CanCarryThem) {
    EXPECT_EQ(utf8FromWide(L"Films \xD83C\xDFAC"), "Films \xF0\x9F\x8E\xAC");
    EXPECT_EQ(utf8FromWide(L"Films \xD83C"), std::nullopt);
    EXPECT_EQ(displayFromWide(L"\xDC00!"), "\xEF\xBF\xBD!");
}
#endif

}  // namespace
}  // namespace reelport
