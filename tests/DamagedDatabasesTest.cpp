// SPDX-License-Identifier: MIT
// Damaged databases. A default run ends each layout the reader cannot follow with its exact fatal check, and
// converts each odd layout it must accept; a salvage run keeps what is intact of each damage and reports the
// rest, and of the sample catalogue cut anywhere writes only intact rows or rows ending at the cut. All in
// memory, as the fuzz harness runs the tool (FuzzHarnessTest shows that is the built tool's run).
#include "CatalogueInput.h"
#include "SampleCatalogue.h"

#include "TestSupport.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>

namespace reelport::fuzz {
namespace {

// Two tape records of 36 bytes, unique IDs 1 and 2, no blocks: the list ends at 94, the data runs 96 to 168.
PdbFile twoTapes() {
    PdbFile file;
    file.records = {record(tapeRecord({"A", 0, ""}), 1), record(tapeRecord({"B", 0, ""}), 2)};
    return file;
}
const std::string kTwoRows = "1,\"A\",0:00,\"\",\"\"\r\n2,\"B\",0:00,\"\",\"\"\r\n";

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

const std::vector<Layout> kLayouts = {
    {"79 bytes: the header is read as 80", refused("short header read"), [](PdbFile& f) { f.records.clear(); }, 79},
    {"chained record list", refused("Cannot parse chained record lists"), [](PdbFile& f) { f.nextRecordListId = 1; }},
    {"65535 records claimed, two listed", refused("short record entry read"), [](PdbFile& f) { f.numRecords = 65535; }},
    {"record list cut inside an entry", refused("short record entry read"), [](PdbFile&) {}, 90},
    {"record list ending at the end of the file (one empty record)", "",
     [](PdbFile& f) { f.records = {record({}, 1)}; f.filler = 0; }},
    {"appinfo inside the filler of an empty list", refused("missed appinfo position"),
     [](PdbFile& f) { f.records.clear(); f.appInfo = Bytes(10); f.appInfoOffset = 79; }},
    {"appinfo inside the record list", refused("missed appinfo position"),
     [](PdbFile& f) { f.appInfo = Bytes(10); f.appInfoOffset = 86; }},
    {"appinfo running one byte past the end of the file, up to the sortinfo", refused("short appinfo read"),
     [](PdbFile& f) { f.records.clear(); f.appInfo = Bytes(4); f.sortInfoOffset = 85; }},
    {"appinfo beyond the end of a file without records", refused("short appinfo read"),
     [](PdbFile& f) { f.records.clear(); f.appInfo = Bytes(8); f.appInfoOffset = 5000; }},
    {"sortinfo before the appinfo", refused("missed sortinfo position"),
     [](PdbFile& f) { f.records.clear(); f.appInfo = Bytes(40); f.appInfoOffset = 100; f.sortInfoOffset = 90; }},
    {"sortinfo inside the filler of an empty list", refused("missed sortinfo position"),
     [](PdbFile& f) { f.records.clear(); f.sortInfo = Bytes(10); f.sortInfoOffset = 78; }},
    {"sortinfo beyond the end of a file without records", refused("short sortinfo read"),
     [](PdbFile& f) { f.records.clear(); f.sortInfo = Bytes(8); f.sortInfoOffset = 5000; }},
    {"sortinfo up to a first record at 2 GiB - 16", refused("short sortinfo read"),
     [](PdbFile& f) { f.records.resize(1); f.sortInfo = Bytes(8); f.records[0].offset = 0x7FFFFFF0; }},
    {"first record inside the record list", refused("missed first record position"),
     [](PdbFile& f) { f.records[0].offset = 80; }},
    {"first record before the appinfo", refused("missed first record position"),
     [](PdbFile& f) { f.appInfo = Bytes(20); f.records[0].offset = 95; }},
    {"first record before the sortinfo", refused("missed first record position"),
     [](PdbFile& f) { f.sortInfo = Bytes(20); f.records[0].offset = 95; }},
    {"first record at 2 GiB: positions compared as signed 32-bit numbers", refused("missed first record position"),
     [](PdbFile& f) { f.records.resize(1); f.records[0].offset = 0x80000000; }},
    {"record starting before the one ahead of it", refused("record position mismatch"),
     [](PdbFile& f) { f.records[1].offset = 95; }},
    {"record in the middle running past the end of the file, the next one listed lower", refused("short data read"),
     [](PdbFile& f) {
         f.records.push_back(record(tapeRecord({"C", 0, ""}), 3));
         f.records[1].offset = 0xFFFFFFF0;
         f.records[2].offset = 200;
     }},
    {"last record starting past the end of the file", refused("short data read"),
     [](PdbFile& f) { f.records.resize(1); f.records[0].offset = 200; }},
    {"no records, no blocks", "", [](PdbFile& f) { f.records.clear(); }},
    {"empty blocks at the very end of an 80-byte file", "",
     [](PdbFile& f) { f.records.clear(); f.appInfoOffset = 80; f.sortInfoOffset = 80; }},
    {"sortinfo without appinfo, running up to the first record", kTwoRows, [](PdbFile& f) { f.sortInfo = Bytes(12); }},
    {"a gap between the record list and the first record", kTwoRows, [](PdbFile& f) { f.filler = 40; }},
    {"empty records in the middle (at the next one's offset) and last (at the end of the file)", kTwoRows,
     [](PdbFile& f) { f.records = {f.records[0], record({}, 9), f.records[1], record({}, 8)}; }},
    {"a block and a record longer than 64 KiB, read whole",
     "1,\"A\",0:00,\"\",\"" + std::string(70000, 'n') + "\"\r\n2,\"B\",0:00,\"\",\"\"\r\n",
     [](PdbFile& f) { f.appInfo = Bytes(65539); f.records[0].data = tapeRecord({"A", 0, std::string(70000, 'n')}); }},
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
std::string tapeless(int record, int tape, int uniqueId = 0) {
    return "P: record " + std::to_string(record) + " (unique ID " + std::to_string(uniqueId ? uniqueId : 16 + record) +
           "): its tape " + std::to_string(tape) + " is missing: written with an empty tape label\n";
}
std::string summary(std::string db, int listed, int written, int skipped) {
    return db + ": " + std::to_string(listed) + " records listed, " + std::to_string(written) + " written, " +
           std::to_string(skipped) + " skipped\n";
}
const std::string kIntactProgs = summary("P", 2, 2, 0), kIntactTapes = summary("T", 2, 2, 0);
const std::string kOneTapeSkipped = summary("T", 2, 1, 1);
const std::string kAppInfo = ": application-info block misplaced or cut short: only whole category names in the file "
                             "are read\n";
const std::string kSortInfo = ": sort-info block misplaced or cut short: not read (not needed)\n";
const std::string kPastTheEnd = ": skipped: starts past the end of the file\n";
const std::string kUnended = ": its texts do not end inside the record: written as far as they go\n";
const std::string kChained = "T: damaged: Cannot parse chained record lists\n"
                             "T: a second, chained record list is ignored\n";
const std::string kOutOfOrder = "T: damaged: record position mismatch\n"
                                "T: records listed out of file order: each read up to the next one in the file\n";

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
    {"a chained record list", [](Catalogue& c) { c.tapes.nextRecordListId = 1; }, kChained + kIntactTapes},
    {"a file cut inside its record list, at the end of its first entry", [](Catalogue& c) { c.tapesCut = 86; },
     "T: damaged: short record entry read\nT: record list cut short: 1 of 2 entries in the file\n" + tape(0) +
         kPastTheEnd + summary("T", 2, 0, 2) + tapeless(0, 1) + tapeless(1, 2) + kIntactProgs},
    {"an application-info block inside the record list",
     [](Catalogue& c) { c.tapes.appInfo = categoryBlock({}); c.tapes.appInfoOffset = 86; },
     "T: damaged: missed appinfo position\nT" + kAppInfo + kIntactTapes},
    {"an application-info block up to a sort-info block past the end",
     [](Catalogue& c) { c.tapes.appInfo = categoryBlock({}); c.tapes.sortInfoOffset = 100000; },
     "T: damaged: short appinfo read\nT" + kAppInfo + "T" + kSortInfo + kIntactTapes},
    {"an application-info block in the last byte of the file (a fuzzing find)",
     [](Catalogue& c) { c.tapes.records.pop_back(); c.tapes.appInfoOffset = 123; },
     "T: damaged: missed first record position\nT" + kAppInfo + summary("T", 1, 1, 0) + tapeless(1, 2) + kIntactProgs},
    {"an application-info block cut by the end of the file inside its first name, which is not read",
     [](Catalogue& c) { c.tapes.records[1].data = tapeRecord({"B", 0, "note"}); c.tapes.appInfoOffset = 165; },
     "T: damaged: missed first record position\nT" + kAppInfo + kIntactTapes,
     "1,\"A\",0:00,\"\",\"\"\r\n2,\"B\",0:00,\"\",\"note\"\r\n"},
    {"a sort-info block in the record list",
     [](Catalogue& c) { c.tapes.sortInfo = Bytes(4); c.tapes.sortInfoOffset = 90; },
     "T: damaged: missed sortinfo position\nT" + kSortInfo + kIntactTapes},
    {"a sort-info block up to a first record past the end",
     [](Catalogue& c) { c.tapes.sortInfo = Bytes(8); c.tapes.records[0].offset = 0x7FFFFFF0; },
     "T: damaged: short sortinfo read\n" + tape(0) + kPastTheEnd + kOneTapeSkipped + tapeless(0, 1) + kIntactProgs},
    {"a record inside the record list", [](Catalogue& c) { c.tapes.records[0].offset = 80; },
     "T: damaged: missed first record position\n" + tape(0) + ": skipped: starts inside the record list\n" +
         kOneTapeSkipped + tapeless(0, 1) + kIntactProgs},
    {"records listed out of file order, each whole, one right behind the record list",
     [](Catalogue& c) { c.tapes.filler = 0; c.tapes.records[0].offset = 130; c.tapes.records[1].offset = 94; },
     kOutOfOrder + kIntactTapes},
    {"a file cut inside the note of its first record",
     [](Catalogue& c) { c.tapes.records[0].data = tapeRecord({"A", 0, "a note"}); c.tapesCut = 96 + 38; },
     "T: damaged: short data read\n" + tape(0) + kUnended + tape(1) + kPastTheEnd + kOneTapeSkipped +
         tapeless(1, 2) + kIntactProgs,
     {}, progRows(1, "A", 2, "")},
    {"a damaged offset, pointing into the filler: the one byte read there is tape 2, of another kind and no label",
     [](Catalogue& c) { c.tapes.records[1].offset = 95; },
     kOutOfOrder + tape(1) + ": skipped: not a tape\n" + kOneTapeSkipped},
    {"another database type", [](Catalogue& c) { c.progs.type = fourCharCode("appl"); },
     "P: type is not DATA (wrong PDB type): read all the same\n" + kIntactProgs},
    {"a tape record too short for its length", [](Catalogue& c) { c.tapes.records[1].data.resize(19); },
     tape(1) + ": skipped: too short for a tape record\n" + kOneTapeSkipped},
    // A programme's tape is the first record listed with its ID, whatever the
    // tape list made of it, as in a default run; none later stands in for it.
    {"twin tapes, the first of another kind, in a damaged layout: the programmes get its label",
     twinTapes([](Catalogue& c) { c.tapes.records[0].data[0] = 0x10; c.tapes.nextRecordListId = 1; }),
     kChained + "T: record 0 (unique ID 5): skipped: not a tape\n" + kOneTapeSkipped, {},
     progRows(5, "A", 5, "A")},
    {"twin tapes, the first 19 bytes long: the programmes get its label",
     twinTapes([](Catalogue& c) { c.tapes.records[0].data.resize(19); }),
     "T: record 0 (unique ID 5): skipped: too short for a tape record\n" + kOneTapeSkipped, {},
     progRows(5, "A", 5, "A")},
    {"twin tapes, the first past the end of the file: the tape is missing",
     twinTapes([](Catalogue& c) { c.tapes.records[0].offset = 0x7FFFFFF0; }),
     "T: damaged: record position mismatch\nT: record 0 (unique ID 5)" + kPastTheEnd + kOneTapeSkipped +
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
        EXPECT_FALSE(outcome.failure) << damage.what;
        for (const auto& [rows, csv] : {std::pair{damage.tapeRows, outcome.tapesCsv.value()},
                                        {damage.progRows, outcome.progsCsv.value()}}) {
            EXPECT_TRUE(rows.empty() || csv.substr(csv.find('\n') + 1) == rows + "\r\n") << damage.what << csv;
        }
        const std::string report = test::replaceAll(damage.report, "T: ", "CinecaseTapes.PDB: ");
        EXPECT_EQ(outcome.printed(true), test::replaceAll(report, "P: ", "CinecaseProgs.PDB: ")) << damage.what;
    }
}

// The rows of a CSV text split into its fields as written (quoted ones with their quotes) at commas and CR LF.
std::vector<std::vector<std::string>> rows(const std::string& csv) {
    std::vector<std::vector<std::string>> rows{{""}};
    for (std::size_t i = 0, quoted = 0; i < csv.size(); ++i) {
        quoted ^= csv[i] == '"';  // a doubled quote changes nothing
        if (quoted || (csv[i] != ',' && csv[i] != '\r')) rows.back().back() += csv[i];
        else if (csv[i] == ',') rows.back().emplace_back();
        else rows.push_back({""}), ++i;
    }
    return rows;
}

// Whether `row` is `intact`, or the same with its texts ending early: a programme cut before its title gets
// the short row of one without a title, as the format cannot tell them apart.
bool sameOrCut(const std::vector<std::string>& row, const std::vector<std::string>& intact) {
    if (row.size() != intact.size()) return false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (row.size() > 5 && row[3] == "-" && i >= 3 && i != 7 && i != 8) continue;
        const bool text = row[i].starts_with('"') && intact[i].starts_with('"');
        if (row[i] != intact[i] && !(text && intact[i].starts_with(row[i].substr(0, row[i].size() - 1)))) return false;
    }
    return true;
}

// Whether the report names the record of unique ID `id`: alone ("(unique ID A)"), or in a run of records
// ("(unique IDs A-B)"), whose unique IDs rise with their places in the sample catalogue.
bool named(const std::string& report, const std::string& id) {
    const unsigned long wanted = std::strtoul(id.c_str(), nullptr, 10);
    for (std::size_t at = 0; (at = report.find("(unique ID", at)) != std::string::npos;) {
        at += 10;
        const bool run = report[at] == 's';
        char* end = nullptr;
        const unsigned long first = std::strtoul(report.c_str() + at + (run ? 2 : 1), &end, 10);
        const unsigned long last = run ? std::strtoul(end + 1, nullptr, 10) : first;
        if (first <= wanted && wanted <= last) return true;
    }
    return false;
}

// Cut at every length from the header on, either database of the sample salvages without a failure, and each
// row written is the intact row of its record, or that row with its texts ending at the cut, which the report
// then names (unless the cut falls in the last record listed: then the layout holds, as in a default run).
TEST(Salvage, WritesOnlyIntactRowsOrRowsEndingAtTheCutOfACatalogueCutAnywhere) {
    const CatalogueInput sample = {sampleTapesDatabase(), sampleProgsDatabase()};
    // Rows by list and their record's unique ID: TAPE_ID in the tape list, PROG_ID in the programme list.
    using Column = std::size_t;
    const std::array lists = {std::pair{&Outcome::tapesCsv, Column{0}}, std::pair{&Outcome::progsCsv, Column{2}}};
    const auto key = [](std::size_t column, const std::vector<std::string>& row) {
        return std::to_string(column) + row[std::min(column, row.size() - 1)];
    };
    std::map<std::string, std::vector<std::string>> intact;
    for (const auto& [list, column] : lists) {
        for (const auto& row : rows((runCatalogue(sample).*list).value())) intact[key(column, row)] = row;
    }
    for (const bool cutTapes : {true, false}) {
        for (std::size_t length = 80; length <= (cutTapes ? sample.tapes : sample.progs).size(); ++length) {
            CatalogueInput catalogue = sample;
            (cutTapes ? catalogue.tapes : catalogue.progs).resize(length);
            const Outcome outcome = runCatalogue(catalogue, true);
            ASSERT_FALSE(outcome.failure) << length;
            // Where a default run converts the cut catalogue, salvage gives the same, status 0.
            EXPECT_EQ(unexpectedSalvage(runCatalogue(catalogue), outcome, 4000), "") << length;
            const std::string report = outcome.printed(true);
            for (const auto& [list, column] : lists) {
                for (const auto& row : rows((outcome.*list).value())) {
                    if (row.size() == 1 || row == intact[key(column, row)]) continue;
                    EXPECT_TRUE(sameOrCut(row, intact[key(column, row)])) << length << " " << row[0];
                    EXPECT_TRUE(named(report, row[column]) || report.empty() || (list == lists[0].first) != cutTapes)
                        << length;
                }
            }
        }
    }
}

}  // namespace
}  // namespace reelport::fuzz
