// SPDX-License-Identifier: MIT
// What a run may cost, whatever the files hold: a small file whose offsets
// claim gigabytes ends with its "short ... read" check without allocating or
// reading anything of the claimed size; the largest catalogue the format
// allows is read, exported and destroyed on a small stack; and a run's peak
// memory stays within a small constant plus twice the size of its files.
#include "TestSupport.h"

#include <fstream>

namespace reelport {
namespace {

using test::IsFatalCheck;
using test::record;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// A stack far too small for recursion over 65535 records (an entry list or a
// tree walked recursively), and plenty for everything else.
constexpr unsigned kStackKib = 256;
// The plain tool needs a few MiB of address space for this; a single
// allocation of a claimed size would need gigabytes. The address sanitizer
// reserves terabytes up front, so its build runs without this limit.
constexpr unsigned kAddressMib = kAddressSanitizer ? 0 : 256;

struct MeasuredRun {
    int status = -1;
    long peakKib = -1;
    std::string out;
    std::string err;
};

MeasuredRun runMeasured(const std::string& directory) {
    const test::TempDir capture;
    const std::string report = capture.file("report");
    std::vector<std::string> argv{REELPORT_MEASURE_RUN, report, std::to_string(kStackKib),
                                  std::to_string(kAddressMib), REELPORT_BINARY, directory};
    const test::RunResult measured = test::runProgram(std::move(argv));
    if (measured.status != 0) throw std::runtime_error("measure_run failed: " + measured.err);
    MeasuredRun run;
    std::ifstream(report) >> run.status >> run.peakKib;
    run.out = measured.out;
    run.err = measured.err;
    return run;
}

struct Catalogue {
    test::TempDir dir;
    std::size_t bytes = 0;
    Catalogue(const Bytes& tapes, const Bytes& progs) : bytes(tapes.size() + progs.size()) {
        writeBytes(dir.file("CinecaseTapes.PDB"), tapes);
        writeBytes(dir.file("CinecaseProgs.PDB"), progs);
    }
};

PdbFile smallTapes() {
    PdbFile file;
    file.appInfo = categoryBlock({"Unfiled"});
    file.records = {record(tapeRecord({"Films", 10800, "E-180"}), 0x10),
                    record(tapeRecord({"More films", 7200, ""}), 0x11)};
    return file;
}

PdbFile smallProgs() {
    PdbFile file;
    file.records = {record(progRecord({0x10, 1, 0, 0, 5400, 0, "First", ""}), 0x20),
                    record(progRecord({0x11, 1, 0, 0, 5400, 0, "Second", ""}), 0x21)};
    return file;
}

// The peak of a run on a small valid catalogue: the tool's own constant cost.
long baselinePeakKib() {
    static const long peak = [] {
        const Catalogue catalogue(buildPdb(smallTapes()), buildPdb(smallProgs()));
        const MeasuredRun run = runMeasured(catalogue.dir.path());
        if (run.status != 0) throw std::runtime_error("the baseline run failed: " + run.err);
        return run.peakKib;
    }();
    return peak;
}

struct GigabyteClaim {
    const char* what;
    PdbFile tapes;
    PdbFile progs;
    const char* condition;
};

std::vector<GigabyteClaim> gigabyteClaims() {
    std::vector<GigabyteClaim> claims;
    {
        PdbFile tapes = smallTapes();
        tapes.sortInfoOffset = 0xFFFFFF00;  // the appinfo would run up to it
        claims.push_back({"appinfo of 4 GiB", tapes, smallProgs(), "short appinfo read"});
    }
    {
        PdbFile tapes;
        tapes.sortInfo = Bytes(16);
        tapes.sortInfoOffset = 0x7FFFFF00;
        claims.push_back({"sortinfo at 2 GiB", tapes, smallProgs(), "short sortinfo read"});
    }
    {
        PdbFile tapes = smallTapes();
        tapes.numRecords = 65535;  // half a megabyte of record list in a few hundred bytes
        claims.push_back({"65535 records listed in two entries", tapes, smallProgs(), "short record entry read"});
    }
    {
        PdbFile tapes = smallTapes();
        tapes.appInfo.reset();
        tapes.records.resize(1);
        tapes.records[0].offset = 0x7FFFFFF0;
        claims.push_back({"only record at 2 GiB", tapes, smallProgs(), "short data read"});
    }
    {
        PdbFile progs = smallProgs();
        progs.records[1].offset = 0xFFFFFFF0;  // the first record would run up to it
        claims.push_back({"programme record of 4 GiB", smallTapes(), progs, "short data read"});
    }
    return claims;
}

TEST(ResourceBounds, SmallFilesClaimingGigabytesEndWithTheirShortReadCheck) {
    const long baseline = baselinePeakKib();
    for (const GigabyteClaim& claim : gigabyteClaims()) {
        SCOPED_TRACE(claim.what);
        const Catalogue catalogue(buildPdb(claim.tapes), buildPdb(claim.progs));
        ASSERT_LT(catalogue.bytes, 2000u);
        const MeasuredRun run = runMeasured(catalogue.dir.path());
        EXPECT_EQ(run.status, kStatusFatal);
        EXPECT_THAT(run.err, IsFatalCheck(claim.condition, "PalmDB.cpp"));
        EXPECT_LE(run.peakKib, baseline + 1024) << "baseline " << baseline << " KiB";
    }
}

// 65535 tapes with notes and 65535 programmes, about 20 MB in all.
TEST(ResourceBounds, LargestCatalogueRunsOnASmallStackWithinTwiceItsSize) {
    const long baseline = baselinePeakKib();
    std::size_t bytes = 0;
    test::TempDir dir;
    {
        PdbFile tapes;
        PdbFile progs;
        tapes.appInfo = categoryBlock({"Unfiled", "Films"});
        progs.appInfo = categoryBlock({"Unfiled", "Drama"});
        const std::string note(120, 'n');
        for (std::uint32_t i = 0; i < 65535; ++i) {
            tapes.records.push_back(record(tapeRecord({"Tape " + std::to_string(i), 10800, note}), i + 1,
                                           static_cast<std::uint8_t>(i % 2)));
            progs.records.push_back(record(progRecord({65535 - i, static_cast<std::uint16_t>(i), kSeen, 3, 5400,
                                                       palmDate(1999, 1, 2), "Programme title", "a note \"q\""}),
                                           0x100000 + i));
        }
        const Bytes tapesImage = buildPdb(tapes);
        const Bytes progsImage = buildPdb(progs);
        bytes = tapesImage.size() + progsImage.size();
        writeBytes(dir.file("CinecaseTapes.PDB"), tapesImage);
        writeBytes(dir.file("CinecaseProgs.PDB"), progsImage);
    }

    const MeasuredRun run = runMeasured(dir.path());
    ASSERT_EQ(run.status, kStatusSuccess) << run.err;
    EXPECT_EQ(run.out, "65535 tapes exported to " + dir.file("CinecaseTapes.CSV") + "\n65535 progs exported to " +
                           dir.file("CinecaseProgs.CSV") + "\n");
    const long peakAboveBaseline = run.peakKib - baseline;
    RecordProperty("input_kib", std::to_string(bytes / 1024));
    RecordProperty("peak_above_baseline_kib", std::to_string(peakAboveBaseline));
    if (kAddressSanitizer) return;  // its shadow memory and quarantine are no measure of the tool's own
    EXPECT_LE(peakAboveBaseline, static_cast<long>(2 * bytes / 1024) + 4096)
        << "input " << bytes / 1024 << " KiB, baseline " << baseline << " KiB";
}


// One tape whose note is a long run of one byte: line breaks double on the
// way out (CR LF), so a writer holding the whole note would need three times
// the file in memory.
TEST(ResourceBounds, AHugeNoteIsWrittenOutInBlocks) {
    const long baseline = baselinePeakKib();
    for (const char fill : {'n', '\n', '"'}) {
        SCOPED_TRACE(static_cast<int>(fill));
        PdbFile tapes = smallTapes();
        tapes.records.push_back(record(tapeRecord({"Huge", 60, std::string(8 << 20, fill)}), 0x12));
        const Catalogue catalogue(buildPdb(tapes), buildPdb(smallProgs()));
        const MeasuredRun run = runMeasured(catalogue.dir.path());
        ASSERT_EQ(run.status, kStatusSuccess) << run.err;
        if (kAddressSanitizer) continue;
        EXPECT_LE(run.peakKib - baseline, static_cast<long>(2 * catalogue.bytes / 1024) + 4096)
            << "input " << catalogue.bytes / 1024 << " KiB, baseline " << baseline << " KiB";
    }
}

}  // namespace
}  // namespace reelport
