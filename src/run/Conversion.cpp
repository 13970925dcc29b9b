// SPDX-License-Identifier: MIT
#include "run/Conversion.h"

#include "catalogue/Identity.h"
#include "catalogue/ProgList.h"
#include "catalogue/TapeList.h"
#include "csv/CsvRows.h"
#include "csv/CsvWriter.h"

#include <cstdio>
#include <new>
#include <string>

namespace reelport {

namespace {

// Reads database `name` from `place` into `db` and checks it is Cinecase's.
void readDatabase(Place& place, std::string_view name, PalmDB& db, ListOutcome& list) {
    FileImage image = place.readDatabase(name, list.database);
    db.load(std::move(image), list.database, list.damage);
    list.listed = db.header().numRecords;
    checkIdentity(db, list.damage);
}

// Writes the CSV file `name` with `writeRows`, given the row writer of the
// run's encoding; returns the number of rows.
template <typename WriteRows>
int writeCsv(Place& place, std::string_view name, CsvEncoding encoding, ListOutcome& list, const WriteRows& writeRows) {
    const std::unique_ptr<ByteSink> sink = place.createOutput(name);
    list.output = place.outputPath(name);
    CsvWriter out(*sink, encoding);
    int rows = 0;
    if (encoding == CsvEncoding::Utf8) {
        CsvRows<CsvEncoding::Utf8> csv(out);
        rows = writeRows(csv);
    } else {
        CsvRows<CsvEncoding::Palm> csv(out);
        rows = writeRows(csv);
    }
    out.close();
    return rows;
}

// The count line "<rows> <noun> exported to <path>", then in a salvage run
// what was found damaged.
void announce(std::string_view noun, const ListOutcome& list, Messages& messages) {
    char count[16];
    std::snprintf(count, sizeof count, "%4d ", list.rows);
    messages.print(count + std::string(noun) + " exported to " + list.output + "\n");
    if (!list.damage.empty()) messages.report(list.damage.text(list.database, list.listed, list.rows));
}

}  // namespace

void exportTapes(Place& place, const RunOptions& options, PalmDB& tapesDb, ListOutcome& list, Messages& messages) {
    readDatabase(place, kTapesDatabase, tapesDb, list);
    list.rows = writeCsv(place, kTapesCsv, options.encoding, list,
                         [&](auto& rows) { return writeTapeList(tapesDb, rows, list.damage); });
    announce("tapes", list, messages);
}

void exportProgs(Place& place, const RunOptions& options, PalmDB& progsDb, const PalmDB& tapesDb, ListOutcome& list,
                 Messages& messages) {
    readDatabase(place, kProgsDatabase, progsDb, list);
    list.rows = writeCsv(place, kProgsCsv, options.encoding, list,
                         [&](auto& rows) { return writeProgList(progsDb, tapesDb, rows, list.damage); });
    announce("progs", list, messages);
}

Outcome convertCatalogue(Place& place, const RunOptions& options, Messages& messages) {
    Outcome outcome(options.salvage);
    // The tape database first, so that it is destroyed last: the programme
    // list refers to its records.
    PalmDB tapesDb;
    PalmDB progsDb;
    try {
        exportTapes(place, options, tapesDb, outcome.tapes, messages);
        exportProgs(place, options, progsDb, tapesDb, outcome.progs, messages);
    } catch (const Failure& failure) {
        outcome.failure = failure;
    } catch (const std::bad_alloc&) {
        outcome.failure = Failure(FailureKind::OutOfMemory, kOutOfMemory);
    }
    if (outcome.failure) messages.report(outcome.failure->message());
    return outcome;
}

}  // namespace reelport
