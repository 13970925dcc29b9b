// SPDX-License-Identifier: MIT
#include "run/Verdict.h"

#include "base/ByteOrder.h"
#include "catalogue/Identity.h"
#include "catalogue/PalmLatin.h"
#include "platform/Paths.h"
#include "run/Conversion.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace reelport {

namespace {

std::string fileName(const std::string& path) { return path.substr(directoryPartLength(path)); }

// "1 tape", "12 tapes".
std::string count(int number, std::string_view noun) {
    return std::to_string(number) + " " + std::string(noun) + (number == 1 ? "" : "s");
}

// "all 12 tapes", or "10 of the 12 tapes" where some were left out.
std::string share(int written, std::size_t listed, std::string_view noun) {
    if (written >= 0 && static_cast<std::size_t>(written) >= listed) {
        return listed == 1 ? "the 1 " + std::string(noun) : "all " + count(static_cast<int>(listed), noun);
    }
    return std::to_string(written) + " of the " + count(static_cast<int>(listed), noun);
}

// A header's name or code in the handheld's characters, in UTF-8.
std::string text(std::span<const std::uint8_t> bytes) {
    const std::string_view chars(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::string out;
    appendUtf8(out, chars.substr(0, chars.find('\0')));
    return out;
}

// Whether a header looks like a Palm database's at all: a name that ends
// inside its 32 bytes and holds no control characters, and a type and a
// creator of four printable ASCII characters each. Another file given a
// database's name (a photo, a document) fails this nearly always.
bool isPalmHeader(const PdbHeader& header) {
    const auto name = std::find(header.name.begin(), header.name.end(), 0);
    const bool nameOk = name != header.name.begin() && name != header.name.end() &&
                        std::all_of(header.name.begin(), name, [](std::uint8_t c) { return c >= 0x20 && c != 0x7F; });
    const auto printable = [](std::uint32_t code) {
        for (int shift = 0; shift < 32; shift += 8) {
            const auto c = (code >> shift) & 0xFF;
            if (c < 0x20 || c > 0x7E) return false;
        }
        return true;
    };
    return nameOk && printable(header.type) && printable(header.creator);
}

std::string code(std::uint32_t value) {
    const std::array<std::uint8_t, 4> bytes = {static_cast<std::uint8_t>(value >> 24),
                                               static_cast<std::uint8_t>(value >> 16),
                                               static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    return text(bytes);
}

// What went wrong with a database the run could not take.
std::string databaseProblem(const ListOutcome& list, const Failure& failure) {
    const std::string name = fileName(list.database);
    if (list.databaseSize == 0) return name + " is empty: the copy of the backup is incomplete.";
    if (!list.header) {
        return name + " is only " + count(static_cast<int>(list.databaseSize), "byte") +
               " long, too short for a Palm database: the copy of the backup is incomplete.";
    }
    const PdbHeader& header = *list.header;
    // A file whose layout fails is not taken for another application's
    // database: only Cinecase's creator says it is one damaged.
    const bool layoutFailed = failure.kind() == FailureKind::Damaged;
    if (!isPalmHeader(header) || (layoutFailed && header.creator != kCinecaseCreator)) {
        return name + " is not a Palm database at all: it may be another file under that name.";
    }
    if (header.creator != kCinecaseCreator) {
        return name + " is the database \"" + text(header.name) + "\" of another Palm application (creator " +
               code(header.creator) + "), not Cinecase's.";
    }
    if (failure.kind() == FailureKind::WrongVersion) {
        return name + " comes from Cinecase " + versionText(header.version) + "; Reelport reads the databases of Cinecase 1.2 only.";
    }
    if (failure.condition() == "no matching tape for record") {
        return name + " has programmes on tapes that the tape list does not hold: the two files may come "
                      "from different backups, or the tape list is damaged.";
    }
    return name + " is damaged.";
}

}  // namespace

bool wantsSalvageCount(const Outcome& outcome) {
    if (!outcome.failure || outcome.failure->kind() != FailureKind::Damaged) return false;
    const ListOutcome& list = outcome.tapes.finished() ? outcome.progs : outcome.tapes;
    return list.header && list.header->creator == kCinecaseCreator && isPalmHeader(*list.header);
}

std::optional<SalvageCount> countSalvage(Place& place) {
    // The databases from `place`; the outputs nowhere.
    class Discarding : public Place {
    public:
        explicit Discarding(Place& source) : source_(source) {}
        FileImage readDatabase(std::string_view name, std::string& path) override {
            return source_.readDatabase(name, path);
        }
        std::string outputPath(std::string_view name) const override { return std::string(name); }
        std::unique_ptr<ByteSink> createOutput(std::string_view) override { return std::make_unique<Nowhere>(); }
        std::string beginScratch(std::string_view) override { return {}; }
        void keepScratch(const std::string&, std::string_view) override {}

    private:
        struct Nowhere : ByteSink {
            void write(std::string_view) override {}
            void close() override {}
        };
        Place& source_;
    };
    class Silent : public Messages {
        void print(std::string_view) override {}
        void report(std::string_view) override {}
    };
    Discarding discarding(place);
    Silent silent;
    RunOptions options;
    options.salvage = true;
    const Outcome salvaged = convertCatalogue(discarding, options, silent);
    if (salvaged.failure) return std::nullopt;
    return SalvageCount{salvaged.tapes.rows, salvaged.tapes.listed, salvaged.progs.rows, salvaged.progs.listed};
}

Verdict verdictOf(const Outcome& outcome, const std::optional<SalvageCount>& salvage, Face face) {
    const bool web = face == Face::WebPage;
    const std::string chosen = web ? "among the files you chose" : "in that folder";
    if (!outcome.failure) {
        const ListOutcome& tapes = outcome.tapes;
        const ListOutcome& progs = outcome.progs;
        const std::string into = tapes.output == progs.output
                                     ? fileName(tapes.output)
                                     : fileName(tapes.output) + " and " + fileName(progs.output);
        if (!outcome.damaged()) {
            return {"Done: " + count(tapes.rows, "tape") + " and " + count(progs.rows, "programme") +
                        " are in " + into + ".",
                    false};
        }
        return {"Salvaged: " + share(tapes.rows, tapes.listed, "tape") + " and " +
                    share(progs.rows, progs.listed, "programme") + " of the damaged catalogue are in " + into +
                    "; the details list what was skipped.",
                false};
    }

    const Failure& failure = *outcome.failure;
    const ListOutcome& list = outcome.tapes.finished() ? outcome.progs : outcome.tapes;
    const std::string again =
        web ? " Choose the right file, then convert again." : " Put the right file there, then convert again.";
    switch (failure.kind()) {
    case FailureKind::DatabaseUnreadable: {
        const std::string name = fileName(failure.path());
        if (failure.errorNumber() == ENOENT) {
            return {name + " is not " + chosen + ". " +
                        (web ? "Choose both CinecaseTapes.PDB and CinecaseProgs.PDB of your Palm backup, or drop its "
                               "folder on this page."
                             : "Drop the folder of your Palm backup that holds CinecaseTapes.PDB and CinecaseProgs.PDB "
                               "on reelport.exe."),
                    false};
        }
        return {name + " could not be read (" + std::strerror(failure.errorNumber()) +
                    "). Copy the backup into a folder of your own, then convert it there.",
                false};
    }
    case FailureKind::NotCinecase:
    case FailureKind::WrongVersion:
        return {databaseProblem(list, failure) + again, false};
    case FailureKind::Damaged: {
        std::string text = databaseProblem(list, failure);
        if (!wantsSalvageCount(outcome)) return {text + again, false};
        if (salvage && (salvage->tapes > 0 || salvage->progs > 0)) {
            return {text + " Salvage can write " + share(salvage->progs, salvage->progsListed, "programme") + " and " +
                        share(salvage->tapes, salvage->tapesListed, "tape") + ".",
                    true};
        }
        return {text + " Salvage cannot recover anything from it.", false};
    }
    case FailureKind::OutputUnwritable: {
        const std::string name = fileName(failure.path());
        const int error = failure.errorNumber();
        if (error == ENOSPC) return {name + " could not be written: the disk is full. Make room, then convert again.", false};
        return {name + " could not be written" + (error != 0 ? " (" + std::string(std::strerror(error)) + ")" : "") + "." +
                    (web ? " Convert again."
                         : " If it is open in Excel or another program, close it there, then convert again."),
                false};
    }
    case FailureKind::OutputIsDatabase: {
        const std::string name = fileName(failure.path());
        return {name + " is a link to one of the databases, so nothing was written over it. Remove or rename " + name +
                    ", then convert again.",
                false};
    }
    case FailureKind::OutOfMemory:
        break;
    }
    return {std::string("There was not enough memory to convert the catalogue. Close other ") +
                (web ? "tabs or programs" : "programs") + ", then convert again.",
            false};
}

}  // namespace reelport
