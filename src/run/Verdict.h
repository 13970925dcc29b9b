// SPDX-License-Identifier: MIT
// A run's outcome in plain words, for the people who never open a command
// prompt: the web page and the window a drop on reelport.exe opens. One or
// two sentences name the file in question, say what happened and what to do
// next; the exact messages stay beside them as details. The command line's
// own messages are not these.
#pragma once

#include "run/Outcome.h"
#include "run/Place.h"

#include <optional>
#include <string>

namespace reelport {

// Who reads the verdict: where the files came from is said in its words.
enum class Face {
    Window,   // the console window of a drop on reelport.exe: a folder of the file system
    WebPage,  // the web page: files the user chose or dropped
};

// What a salvage run of the same catalogue writes: the rows of each list,
// and the records its database lists.
struct SalvageCount {
    int tapes = 0;
    std::size_t tapesListed = 0;
    int progs = 0;
    std::size_t progsListed = 0;
};

struct Verdict {
    std::string text;
    // Salvage is offered where a default run found the catalogue damaged
    // and a salvage run would write something.
    bool offerSalvage = false;
};

// The verdict on `outcome`; `salvage` is what a salvage run of the same
// catalogue writes, where one was counted (see countSalvage).
Verdict verdictOf(const Outcome& outcome, const std::optional<SalvageCount>& salvage, Face face);

// Whether a salvage count says something of `outcome`: a default run that a
// damaged layout or record ended, in databases that are Cinecase's.
bool wantsSalvageCount(const Outcome& outcome);

// Runs a salvage of the catalogue `place` holds, writing nothing, and counts
// its rows; nothing when the salvage run fails too.
std::optional<SalvageCount> countSalvage(Place& place);

}  // namespace reelport
