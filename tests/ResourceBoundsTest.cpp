// SPDX-License-Identifier: MIT
// What a run of the built tool may cost, whatever its files hold: a small file
// whose offsets claim gigabytes ends with its "short ... read" check without
// taking memory of that size; the largest catalogue the format allows runs on
// a small stack, within a few MiB plus twice the size of its files.
#include "run/Outcome.h"
#include "SampleCatalogue.h"

#include "TestSupport.h"

#include <fstream>

namespace reelport {
namespace {

// The address sanitizer reserves terabytes up front: no measure of the tool's own memory.
constexpr bool kAddressSanitizer = REELPORT_SANITIZED;

struct Measured {
    test::RunResult run;
    long peakKib = -1;
    std::string tapesCsv = {};
};

// Runs the tool on the two databases with a 256 KiB stack, far too small for
// recursion over 65535 records, and 256 MiB of address space, far too little
// for an allocation of a claimed size.
Measured runMeasured(const Bytes& tapes, const Bytes& progs) {
    const test::TempDir dir;
    writeBytes(dir.file("CinecaseTapes.PDB"), tapes);
    writeBytes(dir.file("CinecaseProgs.PDB"), progs);
    const std::string report = dir.file("report");
    const char* address = kAddressSanitizer ? "0" : "256";
    Measured measured{test::runProgram({REELPORT_MEASURE_RUN, report, "256", address, REELPORT_BINARY, dir.path()})};
    std::ifstream(report) >> measured.run.status >> measured.peakKib;
    if (measured.run.status == kStatusSuccess) measured.tapesCsv = test::readFile(dir.file("CinecaseTapes.CSV"));
    return measured;
}

// The peak of a run on the small sample catalogue: the tool's own constant cost.
long baselinePeakKib() {
    static const long peak = runMeasured(sampleTapesDatabase(), sampleProgsDatabase()).peakKib;
    return peak;
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
        const Measured measured = runMeasured(buildPdb(tapes), sampleProgsDatabase());
        EXPECT_EQ(measured.run.status, kStatusFatal) << c.claim;
        EXPECT_EQ(test::placeless(measured.run.err), test::fatal(c.condition)) << c.claim;
        EXPECT_LE(measured.peakKib, baselinePeakKib() + 1024) << c.claim;
    }
}

// The largest catalogue, about 20 MB, and a tape whose 8 MiB note of line
// breaks doubles on the way out: both within twice their size.
TEST(ResourceBounds, LargeCataloguesRunOnASmallStackWithinTwiceTheirSize) {
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
    // A note of 8 MiB that the tool writes in blocks of 64 KiB: "x", a quote and
    // a line break come out as five bytes each, and since 65536 leaves 1 when
    // divided by 5, each edge falls one place further into them: after the x,
    // inside the doubled quote, after it and inside the CR LF.
    std::string note, field;
    for (int i = 0; i < (8 << 20) / 3; ++i) note += "x\"\n", field += "x\"\"\r\n";
    PdbFile hugeNote;
    hugeNote.records.push_back(record(tapeRecord({"Huge", 60, note}), 1));

    // Returns the tape list written.
    const auto withinBounds = [](const Bytes& tapesImage, const Bytes& progsImage) {
        const Measured measured = runMeasured(tapesImage, progsImage);
        EXPECT_EQ(measured.run.status, kStatusSuccess) << measured.run.err;
        const auto limitKib = static_cast<long>(2 * (tapesImage.size() + progsImage.size()) / 1024) + 4096;
        EXPECT_LE(kAddressSanitizer ? 0 : measured.peakKib - baselinePeakKib(), limitKib);
        return measured.tapesCsv;
    };
    withinBounds(buildPdb(tapes), buildPdb(progs));
    EXPECT_TRUE(withinBounds(buildPdb(hugeNote), buildPdb({})) ==
                "TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE\r\n1,\"Huge\",0:01,\"\",\"" + field + "\"\r\n\r\n");
}

}  // namespace
}  // namespace reelport
