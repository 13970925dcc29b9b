// SPDX-License-Identifier: MIT
// The web page's way into the tool (called from convert.js): the page hands
// over the names of the files the user chose, reads the two databases found
// among them into the room given here, and reads back what the command line
// would have printed and written. The files never leave the page.
#include "catalogue/Identity.h"
#include "platform/Files.h"
#include "run/MemoryRun.h"

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

// What the texts read back are: the messages, then each CSV file.
enum Output { kMessages = 0, kTapesCsv = 1, kProgsCsv = 2 };

// One conversion, from the names chosen to the texts read back.
struct WebRun {
    std::vector<std::string> names;
    std::array<int, 2> found{-1, -1};  // tape and programme database: their place among the names
    reelport::MemoryCatalogue catalogue;
    std::optional<reelport::MemoryOutcome> outcome;
    std::string messages;
    bool outOfMemory = false;  // a database larger than the page's memory can hold

    std::optional<reelport::MemoryDatabase>& database(int which) {
        return which == 0 ? catalogue.tapes : catalogue.progs;
    }
    const std::optional<std::string>& csv(int which) const {
        static const std::optional<std::string> kNone;
        if (!outcome) return kNone;
        return which == kTapesCsv ? outcome->tapesCsv : outcome->progsCsv;
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
// not 0 and `--utf8` when `utf8` is not 0; returns the exit status.
EMSCRIPTEN_KEEPALIVE int reelportConvert(WebRun* run, int salvage, int utf8) {
    // As the tool ends when the system cannot hold a database, before it writes anything.
    if (run->outOfMemory) {
        run->messages = reelport::kOutOfMemory;
        return reelport::exitStatus(reelport::FailureKind::OutOfMemory);
    }
    reelport::RunOptions options;
    options.salvage = salvage != 0;
    options.encoding = utf8 != 0 ? reelport::CsvEncoding::Utf8 : reelport::CsvEncoding::Palm;
    run->outcome = reelport::runInMemory(std::move(run->catalogue), options);
    run->messages = run->outcome->printed();
    return run->outcome->status();
}

// The bytes of the messages (`which` 0), the tape list (1) or the programme
// list (2); reelportSize gives their number, -1 for a CSV file not written.
EMSCRIPTEN_KEEPALIVE const char* reelportText(const WebRun* run, int which) {
    if (which == kMessages) return run->messages.data();
    const auto& csv = run->csv(which);
    return csv ? csv->data() : nullptr;
}
EMSCRIPTEN_KEEPALIVE int reelportSize(const WebRun* run, int which) {
    if (which == kMessages) return static_cast<int>(run->messages.size());
    const auto& csv = run->csv(which);
    return csv ? static_cast<int>(csv->size()) : -1;
}

// Ends the conversion; the texts read back are gone with it.
EMSCRIPTEN_KEEPALIVE void reelportRelease(WebRun* run) { std::unique_ptr<WebRun> ended(run); }

}  // extern "C"
