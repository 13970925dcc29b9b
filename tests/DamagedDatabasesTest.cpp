// SPDX-License-Identifier: MIT
// Damaged databases. A default run ends each layout at the edge of the reader's checks with its exact fatal check,
// or converts it; a salvage run keeps what is intact of each damage and reports the rest. All in memory, as the
// fuzz harness runs the tool (FuzzHarnessTest shows that is the built tool's run).
#include "CatalogueInput.h"

#include "TestSupport.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace reelport::fuzz {
namespace {

// Two tape records of 36 bytes, unique IDs 1 and 2, no blocks: the list ends at 94, the data runs 96 to 168.
PdbFile twoTapes() {
    PdbFile file;
    file.records = {record(tapeRecord({"A", 0, ""}), 1), record(tapeRecord({"B", 0, ""}), 2)};
    return file;
}

// The tape rows of a database, or the status and text of the failure it ends with.
std::string outcome(const Bytes& image, bool salvage = false) {
    const Outcome run = runCatalogue({image, {}}, salvage);
    if (!run.tapes.finished()) return std::to_string(run.status()) + ": " + test::placeless(run.failure->message());
    const std::string& csv = *run.tapesCsv;
    const std::size_t header = csv.find('\n') + 1;
    return csv.substr(header, csv.size() - header - 2);
}

std::string refused(const std::string& condition) { return "2: " + test::fatal(condition); }

struct Layout {
    const char* what;  // the layout, and the fault it guards against
    std::string expected;
    std::function<void(PdbFile&)> change;
    std::optional<std::size_t> cutTo = {};  // the file's length, when shorter than written
};

// The fatal check each seed of the fuzz corpus ends with is compared with the built tool in FuzzHarnessTest, and
// the salvage table below starts from a default run's failures; these are the edges no other test reaches.
const std::vector<Layout> kLayouts = {
    {"79 bytes: the header is read as 80, and salvage refuses it too", refused("short header read"),
     [](PdbFile& f) { f.records.clear(); }, 79},
    {"appinfo running one byte past the end of the file, up to the sortinfo", refused("short appinfo read"),
     [](PdbFile& f) { f.records.clear(); f.appInfo = Bytes(4); f.sortInfoOffset = 85; }},
    {"record in the middle running past the end of the file, the next one listed lower", refused("short data read"),
     [](PdbFile& f) {
         f.records.push_back(record(tapeRecord({"C", 0, ""}), 3));
         f.records[1].offset = 0xFFFFFFF0;
         f.records[2].offset = 200;
     }},
};

TEST(PalmDBLoad, EndsEachLayoutAsExpected) {
    for (const Layout& layout : kLayouts) {
        PdbFile file = twoTapes();
        layout.change(file);
        Bytes image = buildPdb(file);
        if (layout.cutTo) image.resize(*layout.cutTo);
        EXPECT_EQ(outcome(image), layout.expected) << layout.what;
        // Salvage converts the same, and refuses only what is shorter than a header.
        EXPECT_NE(outcome(image, true) == layout.expected, layout.expected.starts_with("2:") && layout.cutTo != 79)
            << layout.what;
    }
}

// The two tapes and a programme on each.
struct Catalogue {
    PdbFile tapes = twoTapes(), progs;
    std::size_t tapesCut = SIZE_MAX;  // the tape database's length, when shorter than written
    Catalogue() {
        progs.records = {record(progRecord({1, 1, 0, 0, 0, 0, "P", ""}), 16),
                         record(progRecord({2, 1, 0, 0, 0, 0, "Q", ""}), 17)};
    }
};

struct Damage {
    const char* what;  // the damage; "T: " and "P: " in the report stand for the databases' names
    std::function<void(Catalogue&)> make;
    std::string report;
    std::string tapeRows = {}, progRows = {};  // where they matter: the rows of each list
};

// Findings of the report.
std::string tape(int index) {
    return "T: record " + std::to_string(index) + " (unique ID " + std::to_string(index + 1) + ")";
}
std::string tapeless(int record, int tape) {
    return "P: record " + std::to_string(record) + " (unique ID " + std::to_string(16 + record) + "): its tape " +
           std::to_string(tape) + " is missing: written with an empty tape label\n";
}
std::string summary(std::string db, int listed, int written, int skipped) {
    return db + ": " + std::to_string(listed) + " records listed, " + std::to_string(written) + " written, " +
           std::to_string(skipped) + " skipped\n";
}
const std::string kIntactProgs = summary("P", 2, 2, 0), kIntactTapes = summary("T", 2, 2, 0);
const std::string kOneTapeSkipped = summary("T", 2, 1, 1);
const std::string kAppInfo = ": application-info block misplaced or cut short: only whole category names in the file "
                             "are read\n";
const std::string kPastTheEnd = ": skipped: starts past the end of the file\n";
const std::string kUnended = ": its texts do not end inside the record: written as far as they go\n";

// Both programmes on tape 5, and both tapes of unique ID 5: "A", as `change` leaves it, listed before "B".
std::function<void(Catalogue&)> twinTapes(std::function<void(Catalogue&)> change) {
    return [change](Catalogue& c) {
        c.tapes.records[0].uniqueId = c.tapes.records[1].uniqueId = 5;
        c.progs.records[0].data[7] = c.progs.records[1].data[7] = 5;
        change(c);
    };
}
// The rows of the two programmes, "P" on tape `p` and "Q" on tape `q`, with the labels they get.
std::string progRows(int p, const std::string& pLabel, int q, const std::string& qLabel) {
    const auto row = [](int tape, const std::string& label, const char* rest) {
        return std::to_string(tape) + ",\"" + label + "\"," + rest + ",,,1904-00-00,0:00,SP,\"\",-,\"\"\r\n";
    };
    return row(p, pLabel, "16,\"P\"") + row(q, qLabel, "17,\"Q\"");
}

const std::vector<Damage> kDamages = {
    {"a file cut inside its record list, at the end of its first entry", [](Catalogue& c) { c.tapesCut = 86; },
     "T: damaged: short record entry read\nT: record list cut short: 1 of 2 entries in the file\n" + tape(0) +
         kPastTheEnd + summary("T", 2, 0, 2) + tapeless(0, 1) + tapeless(1, 2) + kIntactProgs},
    {"an application-info block in the last byte of the file (a fuzzing find)",
     [](Catalogue& c) { c.tapes.records.pop_back(); c.tapes.appInfoOffset = 123; },
     "T: damaged: missed first record position\nT" + kAppInfo + summary("T", 1, 1, 0) + tapeless(1, 2) + kIntactProgs},
    {"an application-info block cut by the end of the file inside its first name, which is not read",
     [](Catalogue& c) { c.tapes.records[1].data = tapeRecord({"B", 0, "note"}); c.tapes.appInfoOffset = 165; },
     "T: damaged: missed first record position\nT" + kAppInfo + kIntactTapes,
     "1,\"A\",0:00,\"\",\"\"\r\n2,\"B\",0:00,\"\",\"note\"\r\n"},
    {"records listed out of file order, each whole, one right behind the record list",
     [](Catalogue& c) { c.tapes.filler = 0; c.tapes.records[0].offset = 130; c.tapes.records[1].offset = 94; },
     "T: damaged: record position mismatch\n"
     "T: records listed out of file order: each read up to the next one in the file\n" + kIntactTapes},
    {"a file cut inside the note of its first record",
     [](Catalogue& c) { c.tapes.records[0].data = tapeRecord({"A", 0, "a note"}); c.tapesCut = 96 + 38; },
     "T: damaged: short data read\n" + tape(0) + kUnended + tape(1) + kPastTheEnd + kOneTapeSkipped +
         tapeless(1, 2) + kIntactProgs,
     {}, progRows(1, "A", 2, "")},
    {"another database type", [](Catalogue& c) { c.progs.type = fourCharCode("appl"); },
     "P: type is not DATA (wrong PDB type): read all the same\n" + kIntactProgs},
    // A programme's tape is the first record listed with its ID, whatever the
    // tape list made of it, as in a default run; none later stands in for it.
    {"twin tapes, the first of another kind, in a chained list: the programmes get its label",
     twinTapes([](Catalogue& c) { c.tapes.records[0].data[0] = 0x10; c.tapes.nextRecordListId = 1; }),
     "T: damaged: Cannot parse chained record lists\nT: a second, chained record list is ignored\n"
     "T: record 0 (unique ID 5): skipped: not a tape\n" + kOneTapeSkipped, {}, progRows(5, "A", 5, "A")},
    {"twin tapes, the first past the end of the file: the tape is missing",
     twinTapes([](Catalogue& c) { c.tapes.records[0].offset = 0x7FFFFFF0; }),
     "T: damaged: record position mismatch\nT: record 0 (unique ID 5)" + kPastTheEnd + kOneTapeSkipped +
         "P: records 0-1 (unique IDs 16-17): its tape 5 is missing: written with an empty tape label\n" + kIntactProgs,
     {}, progRows(5, "", 5, "")},
    {"the same with the tape IDs spread wide, where tapes are found by a sorted walk, not a table",
     twinTapes([](Catalogue& c) {
         c.tapes.records[0].offset = 0x7FFFFFF0;
         c.tapes.records.push_back(record(tapeRecord({"Far", 0, ""}), 0xFFFFFF));
     }),
     "T: damaged: record position mismatch\nT: record 0 (unique ID 5)" + kPastTheEnd + summary("T", 3, 2, 1) +
         "P: records 0-1 (unique IDs 16-17): its tape 5 is missing: written with an empty tape label\n" + kIntactProgs,
     {}, progRows(5, "", 5, "")},
    {"a file cut at the end of its record list: one line for the records past its end",
     [](Catalogue& c) { c.tapes.records.push_back(record(tapeRecord({"C", 0, ""}), 9)); c.tapesCut = 78 + 3 * 8; },
     "T: damaged: short data read\nT: records 0-2 (unique IDs 1-9)" + kPastTheEnd + summary("T", 3, 0, 3) +
         tapeless(0, 1) + tapeless(1, 2) + kIntactProgs},
    {"a programme record too short for its date", [](Catalogue& c) { c.progs.records[0].data.resize(15); },
     "P: record 0 (unique ID 16): skipped: too short for a programme record\n" + summary("P", 2, 1, 1)},
    {"more lines than are shown, the first found last: a run of three records is one line",
     [](Catalogue& c) {
         c.tapes.records.pop_back();
         c.progs.records.resize(23, c.progs.records[1]);
         for (std::uint8_t i = 0; i < 23; ++i) {
             c.progs.records[i].uniqueId = 16u + i;
             // Tape 3, found between tapes 2 and 4 as programmes are joined in tape order.
             c.progs.records[i].data[7] = i < 3 ? 3 : i % 2 == 0 ? 2 : 4;
         }
     },
     [] {
         std::string lines = "P: records 0-2 (unique IDs 16-18): its tape 3 is missing: written with an empty tape label\n";
         for (int i = 3; i < 22; ++i) lines += tapeless(i, i % 2 == 0 ? 2 : 4);
         return lines + "P: 23 records listed, 23 written, 0 skipped (1 more not shown)\n";
     }()},
};

TEST(Salvage, KeepsWhatIsIntactOfEachDamageAndReportsTheRest) {
    for (const Damage& damage : kDamages) {
        Catalogue c;
        damage.make(c);
        Bytes tapes = buildPdb(c.tapes);
        tapes.resize(std::min(tapes.size(), c.tapesCut));
        const Outcome outcome = runCatalogue({tapes, buildPdb(c.progs)}, true);
        EXPECT_EQ(outcome.status(), kStatusSalvaged) << damage.what;
        for (const auto& [rows, csv] : {std::pair{damage.tapeRows, outcome.tapesCsv.value()},
                                        {damage.progRows, outcome.progsCsv.value()}}) {
            EXPECT_TRUE(rows.empty() || csv.substr(csv.find('\n') + 1) == rows + "\r\n") << damage.what << csv;
        }
        const std::string report = test::replaceAll(damage.report, "T: ", "CinecaseTapes.PDB: ");
        EXPECT_EQ(outcome.printed(true), test::replaceAll(report, "P: ", "CinecaseProgs.PDB: ")) << damage.what;
    }
}

}  // namespace
}  // namespace reelport::fuzz
