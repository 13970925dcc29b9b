// SPDX-License-Identifier: MIT
// The tool's run on a catalogue held in memory: the databases come as bytes
// under the names they were found by, the CSV text stays in memory, and what
// the command line prints is kept in the order it prints it, each database
// named without a directory. The web page and the fuzz harness convert this
// way; the tests hold it to the built tool.
#pragma once

#include "Failure.h"
#include "PalmLatin.h"

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

struct MemoryOutcome {
    int status = kStatusSuccess;           // the command line's exit status
    std::optional<Failure> failure;        // what ended the run early
    std::vector<MemoryMessage> messages;   // count lines, damage reports, the failure
    // Each CSV file's text as far as it was written; nothing when the run
    // ended before the command line would have created the file.
    std::optional<std::string> tapesCsv;
    std::optional<std::string> progsCsv;
    int tapeRows = -1;  // -1: that list was not finished
    int progRows = -1;
    bool damaged = false;  // salvage: something was skipped or altered

    // The messages of one stream, or of both in the order printed.
    std::string printed() const;
    std::string printed(bool standardError) const;
};

// Runs the tool's sequence on the catalogue: reads the tape database, checks
// its identity, writes the tape list, then the same for the programme
// database and the programme list; as `reelport --salvage` when `salvage` is
// set, and with the CSV texts in `encoding` (`--utf8` for CsvEncoding::Utf8).
MemoryOutcome runInMemory(MemoryCatalogue catalogue, bool salvage, CsvEncoding encoding = CsvEncoding::Palm);

}  // namespace reelport
