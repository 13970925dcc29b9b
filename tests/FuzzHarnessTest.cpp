// SPDX-License-Identifier: MIT
// The fuzz harness: how an input splits into the two databases, that the
// in-memory run ends exactly as the built tool does, that the seed corpus
// reaches every fatal check, and which outcomes the fuzz target accepts.
#include "CatalogueInput.h"
#include "Seeds.h"

#include "TestSupport.h"

#include <set>

namespace reelport::fuzz {
namespace {

using test::readFile;

TEST(SplitInput, TakesTheTapeDatabaseByItsLengthPrefix) {
    struct Case {
        const char* what;
        Bytes input;
        Bytes tapes;
        Bytes progs;
    };
    const Case cases[] = {
        {"empty input", {}, {}, {}},
        {"shorter than the prefix", {1, 2, 3}, {1, 2, 3}, {}},
        {"prefix only", {0, 0, 0, 0}, {}, {}},
        {"both parts", {0, 0, 0, 2, 7, 8, 9}, {7, 8}, {9}},
        {"zero length: all programme database", {0, 0, 0, 0, 5, 6}, {}, {5, 6}},
        {"length past the end: all tape database", {0xFF, 0xFF, 0xFF, 0xFF, 5, 6}, {5, 6}, {}},
        {"length exactly to the end", {0, 0, 0, 2, 5, 6}, {5, 6}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CatalogueInput split = splitInput(c.input);
        EXPECT_EQ(split.tapes, c.tapes);
        EXPECT_EQ(split.progs, c.progs);
    }
}

TEST(SplitInput, UndoesJoinInput) {
    const Bytes tapes(300, 0xA0);
    const Bytes progs = {0xB0, 1, 2};
    const CatalogueInput split = splitInput(joinInput(tapes, progs));
    EXPECT_EQ(split.tapes, tapes);
    EXPECT_EQ(split.progs, progs);
}

std::string expectationOf(const Outcome& outcome) {
    if (!outcome.failure) return "";
    const std::string message = outcome.failure->message();
    if (const auto condition = fatalCheckCondition(message)) return *condition;
    return message.substr(0, message.find('\n'));
}

TEST(Seeds, EachEndsAsItsNameSaysAndIsAcceptedByTheFuzzTarget) {
    for (const Seed& seed : seeds()) {
        SCOPED_TRACE(seed.name);
        const Outcome outcome = runCatalogue(splitInput(seed.input));
        EXPECT_EQ(expectationOf(outcome), seed.expected);
        EXPECT_EQ(unexpectedOutcome(outcome, seed.input.size()), "");
    }
}

TEST(Seeds, ReachEveryFatalCheckAndRefusal) {
    std::set<std::string> reached;
    for (const Seed& seed : seeds()) reached.insert(seed.expected);
    const std::set<std::string> all = {"",
                                       "short header read",
                                       "Cannot parse chained record lists",
                                       "short record entry read",
                                       "missed appinfo position",
                                       "short appinfo read",
                                       "missed sortinfo position",
                                       "short sortinfo read",
                                       "missed first record position",
                                       "record position mismatch",
                                       "short data read",
                                       "wrong PDB type",
                                       "short tape record",
                                       "short prog record",
                                       "no matching tape for record",
                                       "Invalid creator ID!",
                                       "Wrong database version!"};
    EXPECT_EQ(reached, all);
}

std::string withoutDirectory(std::string text, const std::string& directory) {
    const std::string prefix = directory + test::kSeparator;
    for (auto at = text.find(prefix); at != std::string::npos; at = text.find(prefix)) text.erase(at, prefix.size());
    return text;
}

// The fuzz target is only worth its findings when its in-memory run is the
// tool's run: same status, same message, same CSV bytes, also when cut short.
TEST(RunCatalogue, EndsEachSeedExactlyAsTheBuiltTool) {
    for (const Seed& seed : seeds()) {
        SCOPED_TRACE(seed.name);
        const CatalogueInput catalogue = splitInput(seed.input);
        const Outcome outcome = runCatalogue(catalogue);

        const test::TempDir dir;
        writeBytes(dir.file("CinecaseTapes.PDB"), catalogue.tapes);
        writeBytes(dir.file("CinecaseProgs.PDB"), catalogue.progs);
        const test::RunResult run = test::runReelport({dir.path()});

        EXPECT_EQ(run.status, outcome.failure ? outcome.failure->status() : kStatusSuccess);
        EXPECT_EQ(withoutDirectory(run.err, dir.path()),
                  outcome.failure ? test::console(outcome.failure->message()) : "");
        const auto csvOf = [&](const char* name) {
            return test::fileExists(dir.file(name)) ? readFile(dir.file(name)) : std::string();
        };
        EXPECT_EQ(csvOf("CinecaseTapes.CSV"), outcome.tapesCsv);
        EXPECT_EQ(csvOf("CinecaseProgs.CSV"), outcome.progsCsv);
    }
}

TEST(RunCatalogue, WritesTheCsvTextOfAValidCatalogue) {
    const Seed small = seeds().at(2);
    ASSERT_EQ(small.name, "valid-small");
    const Outcome outcome = runCatalogue(splitInput(small.input));
    EXPECT_FALSE(outcome.failure);
    EXPECT_EQ(outcome.tapeRows, 2);
    EXPECT_EQ(outcome.progRows, 3);
    EXPECT_EQ(outcome.tapesCsv,
              "TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE\r\n"
              "16,\"Films 1\",3:00,\"Films\",\"E-180\"\r\n"
              "17,\"Empty\",2:00,\"Unfiled\",\"no \"\"programme\"\"\r\nyet\"\r\n"
              "\r\n");
    EXPECT_EQ(outcome.progsCsv,
              "TAPE_ID,TAPE_LABEL,PROG_ID,TITLE,SEEN,KEEP,DATE,LENGTH,SPEED,CATEGORY,RATING,NOTE\r\n"
              "16,\"Films 1\",32,\"First\",,X,1998-12-24,1:30,SP,\"Unfiled\",-,\"\"\r\n"
              "16,\"Films 1\",33,\"Second\",X,,1999-01-02,1:40,LP,\"Drama\",4,\"b, \"\"c\"\"\"\r\n"
              "16,\"Films 1\",34,-,,,,0:30,EP,,,\r\n"
              "\r\n");
}

TEST(UnexpectedOutcome, AcceptsOnlyTheToolsOwnEndings) {
    const auto failed = [](int status, std::string message) {
        Outcome outcome;
        outcome.failure = Failure(status, std::move(message));
        return outcome;
    };
    Outcome success;
    success.tapeRows = 0;
    success.progRows = 0;
    Outcome unfinished;
    unfinished.tapeRows = 1;
    Outcome tooMuchText = success;
    tooMuchText.progsCsv = std::string(256 + 10 * 100 + 1, 'x');

    struct Case {
        const char* what;
        Outcome outcome;
        bool accepted;
    };
    const Case cases[] = {
        {"success", success, true},
        {"fatal check", failed(kStatusFatal, "Assert failed: short data read (at PalmDB.cpp, line 7)\n"), true},
        {"creator refusal", failed(kStatusRefused, "Invalid creator ID!\nThe file x is not ...\n"), true},
        {"version refusal", failed(kStatusRefused, "Wrong database version!\n...\n"), true},
        {"unknown condition", failed(kStatusFatal, "Assert failed: index in range (at PalmDB.cpp, line 7)\n"),
         false},
        {"fatal check with refusal status", failed(kStatusRefused, "Assert failed: short data read (at a, line 1)\n"),
         false},
        {"refusal with fatal status", failed(kStatusFatal, "Invalid creator ID!\n"), false},
        {"file failure", failed(kStatusRefused, "CinecaseTapes.PDB: No such file or directory\n"), false},
        {"other status", failed(3, "Assert failed: short data read (at PalmDB.cpp, line 7)\n"), false},
        {"success leaving a list unfinished", unfinished, false},
        {"CSV text out of proportion to the input", tooMuchText, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(unexpectedOutcome(c.outcome, 100).empty(), c.accepted);
    }
}

}  // namespace
}  // namespace reelport::fuzz
