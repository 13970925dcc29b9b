// SPDX-License-Identifier: MIT
// The reader's layout checks, one row per layout: the bytes of a database
// against the exact fatal check it ends with, or, for odd layouts the reader
// must accept, against the tape rows it yields.
#include "Exports.h"
#include "Failure.h"

#include "TestSupport.h"

#include <functional>
#include <optional>

namespace reelport {
namespace {

using test::record;

// Two tape records of 36 bytes, unique IDs 1 and 2, and no blocks: the record
// list ends at 94, the data starts at 96 and the file ends at 168.
PdbFile twoTapes() {
    PdbFile file;
    file.records = {record(tapeRecord({"A", 0, ""}), 1), record(tapeRecord({"B", 0, ""}), 2)};
    return file;
}
const std::string kTwoRows = "1,\"A\",0:00,\"\",\"\"\r\n2,\"B\",0:00,\"\",\"\"\r\n";

// The tape rows of a database, or the status and text of the failure it ends with.
std::string outcome(const Bytes& image) {
    try {
        PalmDB db;
        db.load(image, "CinecaseTapes.PDB");
        CsvWriter out;
        writeTapeList(db, out);
        const std::string list = out.pending();
        const std::size_t header = list.find('\n') + 1;
        return list.substr(header, list.size() - header - 2);
    } catch (const Failure& failure) {
        return "status " + std::to_string(failure.status()) + ": " + test::placeless(failure.message());
    }
}

std::string refused(const std::string& condition) { return "status 2: " + test::fatal(condition); }

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
    }
}

}  // namespace
}  // namespace reelport
