// SPDX-License-Identifier: MIT
#include "run/Conversion.h"

#include "catalogue/Identity.h"
#include "catalogue/ProgList.h"
#include "catalogue/TapeList.h"
#include "csv/CsvRows.h"
#include "csv/CsvWriter.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "xlsx/Workbook.h"
#include "xlsx/XlsxRows.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include <cstdio>
#include <new>
#include <string>

namespace reelport {

namespace {

// Reads database `name` from `place` into `db` and checks it is Cinecase's.
void readDatabase(Place& place, std::string_view name, PalmDB& db, ListOutcome& list) {
    FileImage image = place.readDatabase(name, list.database);
    list.databaseSize = image.bytes.size();
    if (image.bytes.size() >= kHeaderSize) list.header = decodeHeader(image.bytes);
    db.load(std::move(image), list.database, list.damage);
    list.listed = db.header().numRecords;
    checkIdentity(db, list.damage);
}

// Writes the CSV file `name` with `writeRows`, given the row writer of the
// run's encoding; returns the number of rows.
template <typename WriteRows>
int writeCsv(Place& place, std::string_view name, CsvEncoding encoding, CsvWriter::Buffer& buffer, ListOutcome& list,
             const WriteRows& writeRows) {
    const std::unique_ptr<ByteSink> sink = place.createOutput(name);
    list.output = place.outputPath(name);
    CsvWriter out(*sink, encoding, buffer);
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

// The creation time a workbook records: the tape database's modification
// date (seconds since 1904, as Palm OS counts), never the clock, so that the
// same catalogue gives the same bytes. Kept between 1970 and 2038, which the
// C libraries of every build can format (0 would mean "now").
std::time_t creationTime(const PalmDB& tapesDb) {
    constexpr std::int64_t kPalmEpoch = 2082844800;  // 1904-01-01 to 1970-01-01, in seconds
    const std::int64_t since1970 = std::int64_t{tapesDb.header().modificationDate} - kPalmEpoch;
    return static_cast<std::time_t>(std::clamp<std::int64_t>(since1970, 1, 0x7FFFFFFF));
}

// A scratch file is removed unless it was kept.
struct ScratchFile {
    std::string path;
    bool kept = false;
    ~ScratchFile() {
        if (!kept) removeFile(path);
    }
};

// Writes both lists into one workbook, a sheet each, which is kept only when
// whole; then prints what exportTapes and exportProgs print.
void exportWorkbook(Place& place, PalmDB& tapesDb, PalmDB& progsDb, Outcome& outcome, Messages& messages) {
    readDatabase(place, kTapesDatabase, tapesDb, outcome.tapes);
    const std::string path = place.outputPath(kWorkbook);
    ScratchFile scratch{place.beginScratch(kWorkbook)};
    const std::string folder = scratch.path.substr(0, directoryPartLength(scratch.path));
    std::vector<std::string> notices;
    Workbook workbook(libraryName(scratch.path), path, libraryFolder(folder), creationTime(tapesDb));
    const auto sheet = [&](const char* name, const auto& writeList) {
        lxw_worksheet* added = nullptr;
        {
            const InFolder inFolder(folder, path);
            added = workbook.addSheet(name);
        }
        XlsxRows rows(workbook, added, path + ": sheet " + name, notices);
        return writeList(rows);
    };
    outcome.tapes.rows = sheet("Tapes", [&](auto& rows) { return writeTapeList(tapesDb, rows, outcome.tapes.damage); });
    readDatabase(place, kProgsDatabase, progsDb, outcome.progs);
    outcome.progs.rows = sheet("Programmes", [&](auto& rows) {
        return writeProgList(progsDb, tapesDb, rows, outcome.progs.damage);
    });
    {
        const InFolder inFolder(folder, path);
        workbook.close();
    }
    place.keepScratch(scratch.path, kWorkbook);
    scratch.kept = true;
    outcome.tapes.output = outcome.progs.output = path;
    for (const std::string& notice : notices) messages.report(notice);
    announce("tapes", outcome.tapes, messages);
    announce("progs", outcome.progs, messages);
}

}  // namespace

void exportTapes(Place& place, const RunOptions& options, PalmDB& tapesDb, ListOutcome& list, Messages& messages,
                 CsvWriter::Buffer& buffer) {
    readDatabase(place, kTapesDatabase, tapesDb, list);
    list.rows = writeCsv(place, kTapesCsv, options.encoding, buffer, list,
                         [&](auto& rows) { return writeTapeList(tapesDb, rows, list.damage); });
    announce("tapes", list, messages);
}

void exportProgs(Place& place, const RunOptions& options, PalmDB& progsDb, const PalmDB& tapesDb, ListOutcome& list,
                 Messages& messages, CsvWriter::Buffer& buffer) {
    readDatabase(place, kProgsDatabase, progsDb, list);
    list.rows = writeCsv(place, kProgsCsv, options.encoding, buffer, list,
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
        if (options.workbook) {
            exportWorkbook(place, tapesDb, progsDb, outcome, messages);
        } else {
            // One buffer for both CSV files: its pages are provided once.
            CsvWriter::Buffer buffer;
            exportTapes(place, options, tapesDb, outcome.tapes, messages, buffer);
            exportProgs(place, options, progsDb, tapesDb, outcome.progs, messages, buffer);
        }
    } catch (const Failure& failure) {
        outcome.failure = failure;
    } catch (const std::bad_alloc&) {
        outcome.failure = Failure(FailureKind::OutOfMemory, kOutOfMemory);
    }
    if (outcome.failure) messages.report(outcome.failure->message());
    return outcome;
}

}  // namespace reelport
