// SPDX-License-Identifier: MIT
// The run on a catalogue held in memory: the databases come as bytes under
// the names they were found by, the CSV text stays in memory, and what the
// command line prints is kept in the order it prints it, each database named
// without a directory. The web page and the fuzz harness convert this way;
// the tests hold it to the built tool.
#pragma once

#include "run/Options.h"
#include "run/Outcome.h"
#include "run/Verdict.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace reelport {

// A database for the run: the name it was found under, and its bytes.
struct MemoryDatabase {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

// The two databases; nothing for one that was not found, which the run
// reports as the command line reports a file that does not exist.
struct MemoryCatalogue {
    std::optional<MemoryDatabase> tapes;
    std::optional<MemoryDatabase> progs;
};

// A text the command line prints, and the stream it goes to.
struct MemoryMessage {
    bool standardError = false;
    std::string text;
};

struct MemoryOutcome : Outcome {
    explicit MemoryOutcome(bool salvage) : Outcome(salvage) {}

    std::vector<MemoryMessage> messages;  // count lines, damage reports, the failure
    // Each CSV file's text as far as it was written; nothing when the run
    // ended before the command line would have created the file.
    std::optional<std::string> tapesCsv;
    std::optional<std::string> progsCsv;
    std::optional<std::string> workbook;  // only whole

    // The messages of one stream, or of both in the order printed.
    std::string printed() const;
    std::string printed(bool standardError) const;
};

MemoryOutcome runInMemory(MemoryCatalogue catalogue, const RunOptions& options);

// What a salvage run of the catalogue writes (countSalvage, in memory).
std::optional<SalvageCount> countSalvageInMemory(MemoryCatalogue catalogue);

}  // namespace reelport
