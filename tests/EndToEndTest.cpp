// SPDX-License-Identifier: MIT
// Runs the built tool on directories of databases and compares its status,
// both console streams and both CSV files byte for byte: the CSV files with
// the expected files in tests/expected, which are the same on every platform;
// the console ends its lines the platform's way.
#include "SampleCatalogue.h"

#include "TestSupport.h"

#include <filesystem>
#include <functional>

namespace reelport {
namespace {

using test::record;

// `data` with its kind byte set and its last `drop` bytes cut off.
Bytes edited(Bytes data, std::uint8_t kind, std::size_t drop = 0) {
    data[0] = kind;
    data.resize(data.size() - drop);
    return data;
}

// A catalogue made for the corners of both lists; each record says what it shows.
PdbFile cornerTapes() {
    PdbFile file;
    file.appInfo = categoryBlock({"Unfiled", "0123456789ABCDEF", "Next"});
    file.records = {
        // A 16-byte label right before the length 0x4142 ("AB"); category 1 in
        // attributes with flag bits set; a 16-byte category name before "Next".
        record(tapeRecord({"0123456789ABCDEF", 0x4142, "label \"quoted\""}), 0x010203, 0x91),
        record(tapeRecord({"Zero", 0, ""}), 0),
        record(tapeRecord({"Max", 65535, "category 15 has no name"}), 0xFFFFFF, 15),
        record(edited(tapeRecord({"Kind AF", 59, "low bits of the kind byte"}), 0xAF), 4),
        record(progRecord({1, 1, 0, 0, 0, 0, "a programme", ""}), 5),  // no tape: passed over
        record({0x0A, 0, 'O', 'd', 'd', 0}, 6),                           // no tape, yet a programme's
        record({}, 7),                                                    // empty: passed over
        record(tapeRecord({"Hour", 3600, ""}), 8),
        record(tapeRecord({"Almost an hour", 3599, ""}), 9),
        record(tapeRecord({"Ten hours", 36000, ""}), 10),
        record(tapeRecord({"Second eight", 60, "programmes on 8 carry the first one's label"}), 8),
        record(edited(tapeRecord({"No note", 120, ""}), 0xA0, 16), 12),  // kind, label and length only
        record(tapeRecord({"Notes", 7200, "\"\"starts and ends\"\r\nCR LF, lone \r, caf\xE9, \""}), 13),
        record(edited(tapeRecord({"Last", 60, "runs to the end of the record"}), 0xA0, 1), 14),
    };
    return file;
}

PdbFile cornerProgs() {
    PdbFile file;
    file.appInfo = categoryBlock({"Unfiled", "Film", "0123456789ABCDEF", "Next"});
    file.records = {
        record(progRecord({0xFFFFFF, 1, kSeen | kKeep | 3, 9, 65535, 0xFFFF, "Longest", "speed ??"}), 0x101, 0x92),
        record(progRecord({0x010203, 65535, kSpeedSP, 255, 5400, 0, "Last on its tape", ""}), 0x102),
        record(progRecord({0x010203, 256, kSpeedLP, 10, 5400, 0xC481, "Order 256", ""}), 0x103, 1),
        record(tapeRecord({"a tape", 0, ""}), 0x111),  // passed over
        record(progRecord({0x010203, 1, kSpeedEP, 207, 5400, palmDate(1999, 12, 31), "First on its tape", ""}), 0x104),
        record(progRecord({0x010203, 256, kSeen, 1, 0, palmDate(2000, 1, 1), "Order 256 again", ""}), 0x105),
        record(progRecord({6, 1, 0, 0, 0, 0, "On another kind of record", ""}), 0x109),
        record(progRecord({7, 1, 0, 0, 0, 0, "On an empty record", ""}), 0x10A),
        record({}, 0x112),  // passed over
        record(progRecord({8, 1, 0, 0, 0, 0, "On the first of two eights", ""}), 0x10B),
        record(progRecord({9, 1, kSeen | kKeep | kSpeedEP, 5, 1200, palmDate(2001, 2, 3), "", "unwritten"}), 0x10C, 1),
        record(edited(progRecord({9, 2, kSpeedLP, 3, 900, 0, "", ""}), 0xB0, 4), 0x10D),  // ends before its title
        record(edited(progRecord({10, 1, 0, 0, 0, 0, "Title to the end", ""}), 0xB0, 2), 0x10E),
        record(progRecord({10, 2, 0, 0, 0, 0, "\"Quoted\", title\nline 2", "note, \"quoted\"\r\n"}), 0x10F),
        record(edited(progRecord({10, 3, 0, 0, 0, 0, "Kind B7", ""}), 0xB7), 0x110),
        record({0x0B, 0}, 0x113),  // passed over
        record(progRecord({0, 0, 0x5C, 0, 60, palmDate(1990, 6, 15), "Unused flag bits", ""}), 0x106),
        record(progRecord({0, 2, kSeen, 5, 3600, 0, "Seen", ""}), 0x107),
        record(progRecord({0, 1, kKeep, 0, 3599, 0, "Keep", ""}), 0x108),
    };
    // More programmes with equal keys than a sort keeps in order unless it is stable.
    for (std::uint32_t i = 0; i < 30; ++i) {
        const std::uint32_t tape = i % 2 == 0 ? 4 : 14;
        file.records.push_back(
            record(progRecord({tape, 7, 0, 0, 0, 0, "Equal keys " + std::to_string(i), ""}), 0x200 + i));
    }
    return file;
}

// A directory with the two databases, written after `Invocation::prepare` changed them.
struct Catalogue {
    test::TempDir dir;
    PdbFile tapes = cornerTapes();
    PdbFile progs = cornerProgs();
    std::string tapesName = "CinecaseTapes.PDB";  // "": not written
    std::string progsName = "CinecaseProgs.PDB";
};

// Expected CSV files: "=NAME" the file NAME.expected in tests/expected,
// "=NAME-cut" the same cut short by a failure (without its closing empty
// line), none, anything, or the text itself.
const std::string kAbsent = "=absent", kAny = "=any";

struct Invocation {
    const char* what;  // the behaviour, and the fault it guards against
    std::vector<std::string> arguments;
    std::function<void(Catalogue&)> prepare;
    int status;
    std::string out, err;  // in these and the arguments "$" is the directory, "|" the separator
    std::string tapesCsv, progsCsv;
    test::StandardOutput output = test::StandardOutput::Captured;
};

const std::string kUsage =
    "Reelport v 1.2 - Cinecase catalogue to CSV export, by the Reelport developers <reelport@example.org>\n"
    "\nUsage: Reelport [options] directory\n\nOptions:\n    -h\t   gives this usage\n\n";
const std::string kTapesLine = "  11 tapes exported to $|CinecaseTapes.CSV\n";
const std::string kBothLines = kTapesLine + "  46 progs exported to $|CinecaseProgs.CSV\n";
const std::string kDirectoryError = test::kWindows ? "Permission denied\n" : "Is a directory\n";
const std::string kTooLong = (test::kWindows ? "$|" : "/tmp/") + std::string(5000, 'd');

const std::vector<Invocation> kInvocations = {
    {"the bundled sample catalogue, which is what make_sample writes", {"$"},
     [](Catalogue& c) {
         for (const auto& [name, made] : {std::pair{"CinecaseTapes.PDB", sampleTapesDatabase()},
                                          std::pair{"CinecaseProgs.PDB", sampleProgsDatabase()}}) {
             std::filesystem::copy_file(REELPORT_SAMPLE_DIR "/" + std::string(name), c.dir.file(name));
             EXPECT_EQ(test::readFile(c.dir.file(name)), std::string(made.begin(), made.end()));
         }
         c.tapesName = c.progsName = "";
     },
     0, "  12 tapes exported to $|CinecaseTapes.CSV\n  40 progs exported to $|CinecaseProgs.CSV\n", "",
     "=sample-tapes", "=sample-progs"},
    {"no argument: the usage", {}, nullptr, 1, kUsage, "", kAbsent, kAbsent},
    {"an empty argument: the usage, not a directory", {""}, nullptr, 1, kUsage, "", kAbsent, kAbsent},
    {"-h is a directory, not an option", {"-h"}, nullptr, 1, "", "-h|CinecaseTapes.PDB: No such file or directory\n",
     kAbsent, kAbsent},
    {"further arguments ignored, older CSV files replaced, a case variant beside the exact name ignored",
     {"$", "-h", "x"},
     [](Catalogue& c) {
         writeBytes(c.dir.file("CINECASETAPES.PDB"), buildPdb({}));  // on Windows the same file, written over
         writeBytes(c.dir.file("CinecaseTapes.CSV"), Bytes(100000, 'x'));
         writeBytes(c.dir.file("CinecaseProgs.CSV"), Bytes(100000, 'x'));
     },
     0, kBothLines, "", "=corners-tapes", "=corners-progs"},
    {"no second separator after a directory ending in one", {"$|"}, nullptr, 0, kBothLines, "", "=corners-tapes",
     "=corners-progs"},
    {"on Windows a slash does not end a directory", {"$/"}, nullptr, 0,
     test::kWindows ? test::replaceAll(kBothLines, "$", "$/") : kBothLines, "", "=corners-tapes",
     "=corners-progs"},
    {"case variants: the first in byte order is read and named, the CSV files keep their names", {"$"},
     [](Catalogue& c) {
         writeBytes(c.dir.file("cinecasetapes.pdb"), buildPdb({}));
         c.tapesName = "CINECASETAPES.PDB";
         c.progsName = "cinecaseprogs.pdb";
         c.progs.version = 0x12E;
     },
     1, kTapesLine,
     "Wrong database version!\nThis conversion tool only works for version 1.2 of Cinecase databases.\n"
     "The file $|" + std::string(test::kWindows ? "CinecaseProgs.PDB" : "cinecaseprogs.pdb") +
         " seems to be from version 18.14\n",
     "=corners-tapes", kAbsent},
    {"no programme database: the tape list is written first", {"$"}, [](Catalogue& c) { c.progsName = ""; }, 1,
     kTapesLine, "$|CinecaseProgs.PDB: No such file or directory\n", "=corners-tapes", kAbsent},
    {"a damaged tape database: nothing written", {"$"}, [](Catalogue& c) { c.tapes.nextRecordListId = 1; }, 2, "",
     test::fatal("Cannot parse chained record lists"), kAbsent, kAbsent},
    {"tape IDs of 2^24 and more sort last and find no tape; the rows before stay", {"$"},
     [](Catalogue& c) {
         for (const std::uint32_t tapeId : {0x80000000u, 0x01000000u, 0xFFFFFFFFu}) {
             c.progs.records.push_back(record(progRecord({tapeId, 0, 0, 0, 0, 0, "No tape", ""}), 0x300));
         }
     },
     2, kTapesLine, test::fatal("no matching tape for record"), "=corners-tapes", "=corners-progs-cut"},
    {"a tape record too short for its length; the rows before stay", {"$"},
     [](Catalogue& c) {
         c.tapes.records.push_back(record(tapeRecord({"Short", 0, ""}), 15));
         c.tapes.records.back().data.resize(19);
     },
     2, "", test::fatal("short tape record"), "=corners-tapes-cut", kAbsent},
    {"a programme record too short for its date", {"$"},
     [](Catalogue& c) { c.progs.records.push_back(record(Bytes(15, 0xB0), 0x301)); }, 2, kTapesLine,
     test::fatal("short prog record"), "=corners-tapes", kAny},
    {"another application, of another version too: the creator is named", {"$"},
     [](Catalogue& c) { c.tapes.creator = fourCharCode("Qox1"); c.tapes.version = 0x13; }, 1, "",
     "Invalid creator ID!\nThe file $|CinecaseTapes.PDB is not a valid Cinecase database.\n", kAbsent, kAbsent},
    {"another database type", {"$"}, [](Catalogue& c) { c.progs.type = fourCharCode("appl"); }, 2, kTapesLine,
     test::fatal("wrong PDB type"), "=corners-tapes", kAbsent},
    {"a directory in place of the tape database", {"$"},
     [](Catalogue& c) { std::filesystem::create_directory(c.dir.file(c.tapesName)); c.tapesName = ""; }, 1, "",
     "$|CinecaseTapes.PDB: " + kDirectoryError, kAbsent, kAbsent},
    {"a directory in place of the programme list", {"$"},
     [](Catalogue& c) { std::filesystem::create_directory(c.dir.file("CinecaseProgs.CSV")); }, 1, kTapesLine,
     "$|CinecaseProgs.CSV: " + kDirectoryError, "=corners-tapes", kAny},
    {"a path too long for the system is not cut", {kTooLong}, nullptr, 1, "",
     kTooLong + "|CinecaseTapes.PDB: " + (test::kWindows ? "No such file or directory\n" : "File name too long\n"),
     kAbsent, kAbsent},
    {"databases without records", {"$"}, [](Catalogue& c) { c.tapes = {}; c.progs = {}; }, 0,
     "   0 tapes exported to $|CinecaseTapes.CSV\n   0 progs exported to $|CinecaseProgs.CSV\n", "",
     "TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE\r\n\r\n",
     "TAPE_ID,TAPE_LABEL,PROG_ID,TITLE,SEEN,KEEP,DATE,LENGTH,SPEED,CATEGORY,RATING,NOTE\r\n\r\n"},
#ifndef _WIN32
    {"a CSV file that cannot be written is reported, without its count line", {"$"},
     [](Catalogue& c) { std::filesystem::create_symlink("/dev/full", c.dir.file("CinecaseTapes.CSV")); }, 1, "",
     "$|CinecaseTapes.CSV: No space left on device\n", kAny, kAbsent},
    {"a device in place of a database reads as empty, never endless", {"$"},
     [](Catalogue& c) { std::filesystem::create_symlink("/dev/zero", c.dir.file(c.tapesName)); c.tapesName = ""; },
     2, "", test::fatal("short header read"), kAbsent, kAbsent},
    {"a standard output that cannot be written", {"$"}, nullptr, 1, "",
     "standard output: Bad file descriptor\n", "=corners-tapes", kAbsent, test::StandardOutput::Unwritable},
#endif
};

std::string expand(const std::string& text, const std::string& directory) {
    return test::replaceAll(test::replaceAll(text, "$", directory), "|", std::string(1, test::kSeparator));
}

void expectCsv(const std::string& path, const std::string& expected) {
    if (expected == kAny) return;
    std::string text = expected;
    if (expected != kAbsent && expected[0] == '=') {
        const bool cut = expected.ends_with("-cut");
        const std::string name = expected.substr(1, expected.size() - (cut ? 5 : 1));
        text = test::readFile(REELPORT_EXPECTED_DIR "/" + name + ".expected");
        if (cut) text.resize(text.size() - 2);
    }
    EXPECT_EQ(std::filesystem::exists(path) ? test::readFile(path) : kAbsent, text) << path;
}

TEST(Reelport, EndsEachRunAsExpected) {
    for (const Invocation& run : kInvocations) {
        SCOPED_TRACE(run.what);
        Catalogue c;
        if (run.prepare) run.prepare(c);
        if (!c.tapesName.empty()) writeBytes(c.dir.file(c.tapesName), buildPdb(c.tapes));
        if (!c.progsName.empty()) writeBytes(c.dir.file(c.progsName), buildPdb(c.progs));
        std::vector<std::string> arguments;
        for (const std::string& argument : run.arguments) arguments.push_back(expand(argument, c.dir.path()));

        const test::RunResult result = test::runReelport(arguments, run.output);
        EXPECT_EQ(result.status, run.status);
        EXPECT_EQ(result.out, test::console(expand(run.out, c.dir.path())));
        EXPECT_EQ(test::placeless(result.err), test::console(expand(run.err, c.dir.path())));
        expectCsv(c.dir.file("CinecaseTapes.CSV"), run.tapesCsv);
        expectCsv(c.dir.file("CinecaseProgs.CSV"), run.progsCsv);
    }
}

}  // namespace
}  // namespace reelport
