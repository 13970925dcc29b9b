// SPDX-License-Identifier: MIT
// The run: reads the tape database, checks it is Cinecase's, writes the tape
// list and says so; then the same for the programme database and the
// programme list, whose rows take their tapes' labels from the tape database.
// The command line, the web page and the fuzz harness all convert this way.
#pragma once

#include "csv/CsvWriter.h"
#include "format/PalmDB.h"
#include "run/Messages.h"
#include "run/Options.h"
#include "run/Outcome.h"
#include "run/Place.h"

#include <string_view>

namespace reelport {

// The outputs' names, beside the databases.
inline constexpr std::string_view kTapesCsv = "CinecaseTapes.CSV";
inline constexpr std::string_view kProgsCsv = "CinecaseProgs.CSV";
inline constexpr std::string_view kWorkbook = "Cinecase.xlsx";

// One run on the catalogue in `place`. Every failure ends it at once: the
// outcome holds the failure, whose message has gone to `messages` last. A
// CSV list is written before the next database is read, and a CSV file cut
// short by a failure keeps the rows written before it. The workbook holds
// both lists, one sheet each, and is only kept whole: a run that fails
// leaves none (and an older one as it was), and the count lines come once
// it is complete.
Outcome convertCatalogue(Place& place, const RunOptions& options, Messages& messages);

// The two steps of a run. exportTapes reads the tape database into `tapesDb`
// and writes the tape list; exportProgs reads the programme database into
// `progsDb` and writes the programme list, its tapes looked up in `tapesDb`.
// Each prints its count line and, in a salvage run, its damage report.
// Both write through `buffer`, one for the run.
void exportTapes(Place& place, const RunOptions& options, PalmDB& tapesDb, ListOutcome& list, Messages& messages,
                 CsvWriter::Buffer& buffer);
void exportProgs(Place& place, const RunOptions& options, PalmDB& progsDb, const PalmDB& tapesDb, ListOutcome& list,
                 Messages& messages, CsvWriter::Buffer& buffer);

}  // namespace reelport
