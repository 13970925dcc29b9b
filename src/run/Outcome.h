// SPDX-License-Identifier: MIT
// What a run did: which files it read and wrote, how many rows each list
// got, what it found damaged, and the failure that ended it, if one did.
// Every face takes from it what it shows: the command line its exit status,
// the web page and the Windows window their sentences in plain words.
#pragma once

#include "base/Failure.h"
#include "format/DamageReport.h"
#include "format/PalmDB.h"

#include <cstddef>
#include <optional>
#include <string>

namespace reelport {

// Exit statuses of the tool.
inline constexpr int kStatusSuccess = 0;
inline constexpr int kStatusRefused = 1;  // usage, a file cannot be read or written, another application or version
inline constexpr int kStatusFatal = 2;    // a damaged database, or no memory for it
inline constexpr int kStatusSalvaged = 3; // salvage: both lists written, damaged parts skipped

// The exit status of a run ended by a failure of `kind`.
int exitStatus(FailureKind kind);

// What became of one of the two lists.
struct ListOutcome {
    explicit ListOutcome(bool salvage) : damage(salvage) {}

    std::string database;    // the path its database was read from; empty until found
    std::size_t databaseSize = 0;
    std::optional<PdbHeader> header;  // its database's header, when it is long enough to hold one
    std::string output;      // the path of its output; empty until created
    std::size_t listed = 0;  // the records its database lists
    int rows = -1;           // the rows written; -1 while unfinished
    DamageReport damage;     // what a salvage run found damaged in its database

    bool finished() const { return rows >= 0; }
};

struct Outcome {
    explicit Outcome(bool salvage) : tapes(salvage), progs(salvage) {}

    ListOutcome tapes;
    ListOutcome progs;
    std::optional<Failure> failure;  // what ended the run early

    // Whether a salvage run skipped or altered anything.
    bool damaged() const { return !tapes.damage.empty() || !progs.damage.empty(); }
    int status() const {
        return failure ? exitStatus(failure->kind()) : damaged() ? kStatusSalvaged : kStatusSuccess;
    }
};

}  // namespace reelport
