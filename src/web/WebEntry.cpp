// SPDX-License-Identifier: MIT
// The web page's way into the tool (called from convert.js, in the page's
// worker): the page hands over the names of the files the user chose, reads
// the two databases found among them into the room given here, and reads
// back what the command line would have printed and written, the verdict in
// plain words, and a preview of both lists. The files never leave the page.
#include "catalogue/Identity.h"
#include "platform/Files.h"
#include "run/MemoryRun.h"
#include "run/Verdict.h"

#include <emscripten/emscripten.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using reelport::MemoryCatalogue;
using reelport::MemoryOutcome;

// The texts read back.
enum Text { kMessages, kTapesCsv, kProgsCsv, kWorkbook, kVerdict, kTapesPreview, kProgsPreview, kTextCount };

// The outputs a run can be asked for, as the page's choice numbers them.
enum Output { kPalmCsv = 0, kUtf8Csv = 1, kWorkbookOutput = 2 };

// The rows a preview shows of each list, below its header line.
constexpr std::size_t kPreviewRows = 20;

// The first `rows` rows of CSV text, behind its header line: a row ends at a
// line end outside quotes (a quoted text may hold line breaks).
std::string firstRows(const std::string& csv, std::size_t rows) {
    bool quoted = false;
    std::size_t lines = 0;
    for (std::size_t at = 0; at < csv.size(); ++at) {
        if (csv[at] == '"') quoted = !quoted;
        if (csv[at] == '\n' && !quoted && ++lines == rows + 1) return csv.substr(0, at + 1);
    }
    return csv;
}

// One conversion, from the names chosen to the texts read back.
struct WebRun {
    std::vector<std::string> names;
    std::array<int, 2> found{-1, -1};  // tape and programme database: their place among the names
    MemoryCatalogue catalogue;
    bool outOfMemory = false;  // a database larger than the page's memory can hold
    int status = 0;
    bool offerSalvage = false;
    std::array<int, 2> rows{-1, -1};  // rows written of the tape and programme list; -1 unfinished
    std::array<std::optional<std::string>, kTextCount> texts;

    std::optional<reelport::MemoryDatabase>& database(int which) {
        return which == 0 ? catalogue.tapes : catalogue.progs;
    }
};

}  // namespace

extern "C" {

// Starts a conversion of the files named in `names`, UTF-8 names each ended
// by a NUL, `count` of them, and finds the two databases among them.
// The page owns the run it is given and ends it with reelportRelease.
EMSCRIPTEN_KEEPALIVE WebRun* reelportStart(const char* names, int count) {
    auto run = std::make_unique<WebRun>();
    for (int i = 0; i < count; ++i) {
        run->names.emplace_back(names);
        names += run->names.back().size() + 1;
    }
    const std::array<std::string_view, 2> wanted = {reelport::kTapesDatabase, reelport::kProgsDatabase};
    for (std::size_t which = 0; which < wanted.size(); ++which) {
        if (const auto found = reelport::findByName(run->names, wanted[which])) {
            run->found[which] = static_cast<int>(*found);
        }
    }
    return run.release();
}

// The place among the names of the tape database (`which` 0) or the
// programme database (1); -1 when none of the names is one.
EMSCRIPTEN_KEEPALIVE int reelportFound(const WebRun* run, int which) { return run->found[which != 0]; }

// Room for the `size` bytes of a database found, which the page fills;
// nothing when there is no room for them.
EMSCRIPTEN_KEEPALIVE std::uint8_t* reelportDatabase(WebRun* run, int which, std::size_t size) {
    const int found = run->found[which != 0];
    if (found < 0) return nullptr;
    auto& database = run->database(which != 0);
    database.emplace();
    database->name = run->names[static_cast<std::size_t>(found)];
    try {
        database->bytes.resize(size);
    } catch (const std::bad_alloc&) {
        run->outOfMemory = true;
    } catch (const std::length_error&) {  // more than half the 32-bit address space
        run->outOfMemory = true;
    }
    if (run->outOfMemory) return nullptr;
    return database->bytes.data();
}

// Converts as `reelport DIRECTORY` does, with `--salvage` when `salvage` is
// not 0, the CSV files in the handheld's bytes (`output` 0), in UTF-8 (1,
// --utf8) or the workbook (2, --xlsx); returns the exit status. Besides what
// the command line prints and writes, it gives the verdict in plain words
// (counting in a salvage run what salvage would write, where it can help)
// and, after a run that writes, the first rows of both lists in UTF-8.
EMSCRIPTEN_KEEPALIVE int reelportConvert(WebRun* run, int salvage, int output) {
    reelport::Outcome ended(salvage != 0);
    try {
        if (run->outOfMemory) throw std::bad_alloc();
        reelport::RunOptions options;
        options.salvage = salvage != 0;
        options.encoding = output == kUtf8Csv ? reelport::CsvEncoding::Utf8 : reelport::CsvEncoding::Palm;
        options.workbook = output == kWorkbookOutput;
        // Each run takes the databases it is given: later ones get copies.
        const MemoryCatalogue kept = run->catalogue;
        MemoryOutcome outcome = reelport::runInMemory(std::move(run->catalogue), options);
        run->texts[kMessages] = outcome.printed();
        run->texts[kTapesCsv] = outcome.tapesCsv;
        run->texts[kProgsCsv] = outcome.progsCsv;
        run->texts[kWorkbook] = outcome.workbook;
        const std::optional<reelport::SalvageCount> count =
            reelport::wantsSalvageCount(outcome) ? reelport::countSalvageInMemory(kept) : std::nullopt;
        const reelport::Verdict verdict = reelport::verdictOf(outcome, count, reelport::Face::WebPage);
        run->texts[kVerdict] = verdict.text;
        run->offerSalvage = verdict.offerSalvage;
        if (!outcome.failure) {
            std::optional<MemoryOutcome> utf8;
            if (output != kUtf8Csv) {
                reelport::RunOptions previewing = options;
                previewing.encoding = reelport::CsvEncoding::Utf8;
                previewing.workbook = false;
                utf8 = reelport::runInMemory(kept, previewing);
            }
            const MemoryOutcome& text = utf8 ? *utf8 : outcome;
            run->texts[kTapesPreview] = firstRows(text.tapesCsv.value_or(""), kPreviewRows);
            run->texts[kProgsPreview] = firstRows(text.progsCsv.value_or(""), kPreviewRows);
        }
        ended = std::move(outcome);
    } catch (const std::bad_alloc&) {
        // As the tool ends when the system cannot hold a database, before it writes anything.
        run->texts = {};
        run->texts[kMessages] = reelport::kOutOfMemory;
        ended.failure = reelport::Failure(reelport::FailureKind::OutOfMemory, reelport::kOutOfMemory);
        run->texts[kVerdict] = reelport::verdictOf(ended, std::nullopt, reelport::Face::WebPage).text;
        run->offerSalvage = false;
    }
    run->status = ended.status();
    run->rows = {ended.tapes.rows, ended.progs.rows};
    return run->status;
}

// Whether the verdict offers a salvage run: the catalogue is damaged and
// salvage would write something.
EMSCRIPTEN_KEEPALIVE int reelportOffersSalvage(const WebRun* run) { return run->offerSalvage ? 1 : 0; }

// The rows written of the tape list (`which` 0) or the programme list (1),
// as the count lines give them; -1 for a list the run did not finish.
EMSCRIPTEN_KEEPALIVE int reelportRows(const WebRun* run, int which) { return run->rows[which != 0]; }

// The bytes of text `which` (Text above); reelportSize gives their number,
// -1 for a text the run did not give (a CSV file or workbook not written).
EMSCRIPTEN_KEEPALIVE const char* reelportText(const WebRun* run, int which) {
    if (which < 0 || which >= kTextCount || !run->texts[static_cast<std::size_t>(which)]) return nullptr;
    return run->texts[static_cast<std::size_t>(which)]->data();
}
EMSCRIPTEN_KEEPALIVE int reelportSize(const WebRun* run, int which) {
    if (which < 0 || which >= kTextCount || !run->texts[static_cast<std::size_t>(which)]) return -1;
    return static_cast<int>(run->texts[static_cast<std::size_t>(which)]->size());
}

// Ends the conversion; the texts read back are gone with it.
EMSCRIPTEN_KEEPALIVE void reelportRelease(WebRun* run) { std::unique_ptr<WebRun> ended(run); }

}  // extern "C"
