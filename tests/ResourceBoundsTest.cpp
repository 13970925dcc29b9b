// SPDX-License-Identifier: MIT
// The largest catalogue the format allows runs on a small stack and address
// space. (How much memory a large run takes at its peak is a target of the
// benchmark, bench/run.py; that a small file claiming gigabytes allocates
// nothing of that size, the fuzz target checks on its seeds.)
#include "run/Outcome.h"

#include "TestSupport.h"

namespace reelport {
namespace {

// A 256 KiB stack, far too small for recursion over 65535 records, and 256 MiB
// of address space (the address sanitizer reserves terabytes up front: no such
// limit under it).
const test::RunSetup kSmall = {test::StandardOutput::Captured, 0, 256 << 10, REELPORT_SANITIZED ? 0 : 256u << 20};

// The tape list the tool writes of the two databases with those limits, or its error when it fails.
std::string tapesCsv(const Bytes& tapes, const Bytes& progs) {
    const test::TempDir dir;
    writeBytes(dir.file("CinecaseTapes.PDB"), tapes);
    writeBytes(dir.file("CinecaseProgs.PDB"), progs);
    const test::RunResult run = test::runReelport({dir.path()}, kSmall);
    return run.status == kStatusSuccess ? test::readFile(dir.file("CinecaseTapes.CSV")) : run.err;
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
    EXPECT_TRUE(tapesCsv(buildPdb(tapes), buildPdb(progs)).starts_with("TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE\r\n"));
    // A note of 8 MiB that the tool writes in blocks of 64 KiB: "x", a quote and
    // a line break come out as five bytes each, and since 65536 leaves 1 when
    // divided by 5, each edge falls one place further into them: after the x,
    // inside the doubled quote, after it and inside the CR LF.
    std::string note, field;
    for (int i = 0; i < (8 << 20) / 3; ++i) note += "x\"\n", field += "x\"\"\r\n";
    PdbFile hugeNote;
    hugeNote.records.push_back(record(tapeRecord({"Huge", 60, note}), 1));
    EXPECT_TRUE(tapesCsv(buildPdb(hugeNote), buildPdb({})) ==
                "TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE\r\n1,\"Huge\",0:01,\"\",\"" + field + "\"\r\n\r\n");
}

}  // namespace
}  // namespace reelport
