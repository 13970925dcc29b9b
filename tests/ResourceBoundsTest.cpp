// SPDX-License-Identifier: MIT
// What a run of the built tool needs, whatever its files hold: a small file
// whose offsets claim gigabytes ends with its "short ... read" check without
// asking for memory of that size, and the largest catalogue the format allows
// runs on a small stack. (How much memory a large run takes at its peak is a
// target of the benchmark, bench/run.py, not of these tests.)
#include "run/Outcome.h"
#include "SampleCatalogue.h"

#include "TestSupport.h"

namespace reelport {
namespace {

// A 256 KiB stack, far too small for recursion over 65535 records, and 256 MiB
// of address space, far too little for an allocation of a claimed size (the
// address sanitizer reserves terabytes up front: no such limit under it).
const test::RunSetup kSmall = {test::StandardOutput::Captured, 0, 256 << 10, REELPORT_SANITIZED ? 0 : 256u << 20};

// Runs the tool on the two databases with those limits; `tapesCsv` gets the tape list it writes.
test::RunResult runSmall(const Bytes& tapes, const Bytes& progs, std::string* tapesCsv = nullptr) {
    const test::TempDir dir;
    writeBytes(dir.file("CinecaseTapes.PDB"), tapes);
    writeBytes(dir.file("CinecaseProgs.PDB"), progs);
    test::RunResult run = test::runReelport({dir.path()}, kSmall);
    if (tapesCsv != nullptr) *tapesCsv = test::readFile(dir.file("CinecaseTapes.CSV"));
    return run;
}

TEST(ResourceBounds, SmallFilesClaimingGigabytesEndAtOnceWithTheirCheck) {
    const struct {
        const char* claim;
        void (*change)(PdbFile& file);
        const char* condition;
    } claims[] = {
        {"appinfo of 4 GiB", [](PdbFile& f) { f.appInfo = Bytes(300); f.sortInfoOffset = 0xFFFFFF00; },
         "short appinfo read"},
        {"sortinfo at 2 GiB",
         [](PdbFile& f) { f.records.clear(); f.sortInfo = Bytes(16); f.sortInfoOffset = 0x7FFFFF00; },
         "short sortinfo read"},
        {"65535 records in a list of two", [](PdbFile& f) { f.numRecords = 65535; }, "short record entry read"},
        {"a record of 4 GiB", [](PdbFile& f) { f.records[1].offset = 0xFFFFFFF0; }, "short data read"},
    };
    for (const auto& c : claims) {
        PdbFile tapes;
        tapes.records = {record(tapeRecord({"A", 0, ""}), 1), record(tapeRecord({"B", 0, ""}), 2)};
        c.change(tapes);
        const test::RunResult run = runSmall(buildPdb(tapes), sampleProgsDatabase());
        EXPECT_EQ(run.status, kStatusFatal) << c.claim;
        EXPECT_EQ(test::placeless(run.err), test::fatal(c.condition)) << c.claim;
    }
}

// The largest catalogue, about 20 MB, and a tape whose 8 MiB note of line
// breaks doubles on the way out.
TEST(ResourceBounds, LargeCataloguesRunOnASmallStack) {
    PdbFile tapes, progs;
    tapes.appInfo = categoryBlock({"Unfiled", "Films"});
    for (std::uint32_t i = 0; i < 65535; ++i) {
        tapes.records.push_back(record(tapeRecord({"Tape " + std::to_string(i), 10800, std::string(120, 'n')}), i + 1,
                                       static_cast<std::uint8_t>(i % 2)));
        // Titles of 17 lengths bring the numbers of some dates to the ends of the blocks the tool writes in.
        const auto order = static_cast<std::uint16_t>(i);
        progs.records.push_back(record(progRecord({65535 - i, order, kSeen, 3, 5400, palmDate(1999, 1, 2),
                                                   "Title" + std::string(i % 17, 't'), "a note \"q\""}), 0x100000 + i));
    }
    EXPECT_EQ(runSmall(buildPdb(tapes), buildPdb(progs)).status, kStatusSuccess);
    // A note of 8 MiB that the tool writes in blocks of 64 KiB: "x", a quote and
    // a line break come out as five bytes each, and since 65536 leaves 1 when
    // divided by 5, each edge falls one place further into them: after the x,
    // inside the doubled quote, after it and inside the CR LF.
    std::string note, field, tapesCsv;
    for (int i = 0; i < (8 << 20) / 3; ++i) note += "x\"\n", field += "x\"\"\r\n";
    PdbFile hugeNote;
    hugeNote.records.push_back(record(tapeRecord({"Huge", 60, note}), 1));
    EXPECT_EQ(runSmall(buildPdb(hugeNote), buildPdb({}), &tapesCsv).status, kStatusSuccess);
    EXPECT_TRUE(tapesCsv == "TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE\r\n1,\"Huge\",0:01,\"\",\"" + field + "\"\r\n\r\n");
}

}  // namespace
}  // namespace reelport
