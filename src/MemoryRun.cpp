// SPDX-License-Identifier: MIT
#include "MemoryRun.h"

#include "Exports.h"

#include <cerrno>
#include <new>
#include <utility>

namespace reelport {

std::string MemoryOutcome::printed() const {
    std::string text;
    for (const MemoryMessage& message : messages) text += message.text;
    return text;
}

std::string MemoryOutcome::printed(bool standardError) const {
    std::string text;
    for (const MemoryMessage& message : messages) {
        if (message.standardError == standardError) text += message.text;
    }
    return text;
}

MemoryOutcome runInMemory(MemoryCatalogue catalogue, bool salvage, CsvEncoding encoding) {
    MemoryOutcome outcome;
    // Declared first, destroyed last, as in the tool: the programme list
    // refers to tape records.
    PalmDB tapesDb;
    PalmDB progsDb;
    CsvWriter tapesCsv(encoding);
    CsvWriter progsCsv(encoding);
    bool tapesCreated = false;
    bool progsCreated = false;
    DamageReport tapesDamage;
    DamageReport progsDamage;

    // One export as runExport does it, with the CSV file created where the
    // command line creates it: once the database has passed its identity check.
    const auto runOne = [&](std::optional<MemoryDatabase>& database, const ExportNames& names, PalmDB& db,
                            CsvWriter& csv, bool& created, DamageReport& damage, const RowWriter& writeRows) {
        DamageReport* const report = salvage ? &damage : nullptr;
        if (!database) fileFailure(std::string(names.database), ENOENT);
        db.load(std::move(database->bytes), std::move(database->name), report);
        checkIdentity(db, report);
        created = true;
        const int rows = writeRows(db, csv, report);
        ExportLines lines = exportLines(names.noun, names.csv, rows, db, report);
        outcome.messages.push_back({false, std::move(lines.count)});
        if (!lines.report.empty()) outcome.messages.push_back({true, std::move(lines.report)});
        return rows;
    };
    try {
        outcome.tapeRows = runOne(catalogue.tapes, kTapeExport, tapesDb, tapesCsv, tapesCreated, tapesDamage,
                                  writeTapeList);
        outcome.progRows = runOne(catalogue.progs, kProgExport, progsDb, progsCsv, progsCreated, progsDamage,
                                  progListWriter(tapesDb));
    } catch (const Failure& failure) {
        outcome.failure = failure;
    } catch (const std::bad_alloc&) {
        outcome.failure = Failure(kStatusFatal, kOutOfMemory);
    }
    if (outcome.failure) outcome.messages.push_back({true, outcome.failure->message()});
    if (tapesCreated) outcome.tapesCsv = tapesCsv.pending();
    if (progsCreated) outcome.progsCsv = progsCsv.pending();
    outcome.damaged = !tapesDamage.empty() || !progsDamage.empty();
    outcome.status = outcome.failure ? outcome.failure->status() : outcome.damaged ? kStatusSalvaged : kStatusSuccess;
    return outcome;
}

}  // namespace reelport
