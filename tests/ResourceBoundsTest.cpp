// SPDX-License-Identifier: MIT
// The largest catalogue the format allows runs on a small stack and address
// space. (How much memory a large run takes at its peak is a target of the
// benchmark, bench/run.py; that a small file claiming gigabytes allocates
// nothing of that size, the fuzz target checks on its seeds.)
#include "run/Outcome.h"

#include "TestSupport.h"

#include <algorithm>
#include <sstream>
#include <utility>
#include <vector>

namespace reelport {
namespace {

// A 256 KiB stack, far too small for recursion over 65535 records, and 256 MiB
// of address space (the address sanitizer reserves terabytes up front: no such
// limit under it).
const test::RunSetup kSmall = {test::StandardOutput::Captured, 0, 256 << 10, REELPORT_SANITIZED ? 0 : 256u << 20};

// The two lists the tool writes of the two databases with those limits, or
// its error twice when it fails.
std::pair<std::string, std::string> listsCsv(const Bytes& tapes, const Bytes& progs) {
    const test::TempDir dir;
    writeBytes(dir.file("CinecaseTapes.PDB"), tapes);
    writeBytes(dir.file("CinecaseProgs.PDB"), progs);
    const test::RunResult run = test::runReelport({dir.path()}, kSmall);
    if (run.status != kStatusSuccess) return {run.err, run.err};
    return {test::readFile(dir.file("CinecaseTapes.CSV")), test::readFile(dir.file("CinecaseProgs.CSV"))};
}

// The third field of each row of a programme list: its programme ID.
std::vector<std::string> progIds(const std::string& csv) {
    std::vector<std::string> ids;
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);  // the column names
    while (std::getline(lines, line) && line != "\r") {
        const std::size_t first = line.find(',');
        const std::size_t second = line.find(',', line.find('"', line.find('"', first) + 1));
        ids.push_back(line.substr(second + 1, line.find(',', second + 1) - second - 1));
    }
    return ids;
}

// The largest catalogue, about 20 MB, its programmes stored in no order of
// theirs, many on one tape, some with equal keys; its tapes' IDs close
// together, then spread over most of the 24 bits, stored out of their order.
// The programme list comes out by tape ID, then order on the tape, then
// place in the file.
TEST(ResourceBounds, LargeCataloguesRunOnASmallStack) {
    for (const std::uint32_t spread : {1u, 200u}) {
        PdbFile tapes, progs;
        tapes.appInfo = categoryBlock({"Unfiled", "Films"});
        const auto tapeId = [&](std::uint32_t n) { return 1 + n % 65535 * spread; };
        std::vector<std::pair<std::uint64_t, std::string>> expected;
        for (std::uint32_t i = 0; i < 65535; ++i) {
            tapes.records.push_back(record(tapeRecord({"Tape " + std::to_string(i), 10800, std::string(120, 'n')}),
                                           tapeId(i * 7919), static_cast<std::uint8_t>(i % 2)));
            // Titles of 17 lengths bring the numbers of some dates to the ends of the blocks the tool writes in.
            const std::uint32_t tape = tapeId(i * 37 % 20011);
            const auto order = static_cast<std::uint16_t>(i * 31 % 5 * 4099);
            progs.records.push_back(record(progRecord({tape, order, kSeen, 3, 5400, palmDate(1999, 1, 2),
                                                       "Title" + std::string(i % 17, 't'), "a note \"q\""}),
                                           0x100000 + i));
            expected.emplace_back(std::uint64_t{tape} << 32 | std::uint64_t{order} << 16 | i,
                                  std::to_string(0x100000 + i));
        }
        std::sort(expected.begin(), expected.end());
        std::vector<std::string> expectedIds;
        for (const auto& [key, id] : expected) expectedIds.push_back(id);
        const auto [tapeList, progList] = listsCsv(buildPdb(tapes), buildPdb(progs));
        EXPECT_TRUE(tapeList.starts_with("TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE\r\n")) << tapeList.substr(0, 200);
        EXPECT_TRUE(progIds(progList) == expectedIds) << "spread " << spread;
    }
    // A note of 8 MiB that the tool writes in blocks (CsvWriter::kBlockSize): "x",
    // a quote and a line break come out as five bytes each, and since a block
    // is no multiple of 5, each edge falls at another place in them: after
    // the x, inside the doubled quote, after it and inside the CR LF.
    std::string note, field;
    for (int i = 0; i < (8 << 20) / 3; ++i) note += "x\"\n", field += "x\"\"\r\n";
    PdbFile hugeNote;
    hugeNote.records.push_back(record(tapeRecord({"Huge", 60, note}), 1));
    EXPECT_TRUE(listsCsv(buildPdb(hugeNote), buildPdb({})).first ==
                "TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE\r\n1,\"Huge\",0:01,\"\",\"" + field + "\"\r\n\r\n");
}

}  // namespace
}  // namespace reelport
