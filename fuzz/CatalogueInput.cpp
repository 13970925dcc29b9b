// SPDX-License-Identifier: MIT
#include "CatalogueInput.h"

#include "catalogue/Identity.h"
#include "catalogue/PalmLatin.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace reelport::fuzz {

namespace {

constexpr std::size_t kPrefixSize = 4;

// Every fatal check the reader and the exports can raise.
constexpr std::array<std::string_view, 14> kFatalChecks = {
    "short header read",         "Cannot parse chained record lists", "short record entry read",
    "missed appinfo position",   "short appinfo read",                "missed sortinfo position",
    "short sortinfo read",       "missed first record position",      "record position mismatch",
    "short data read",           "wrong PDB type",                    "short tape record",
    "short prog record",         "no matching tape for record"};

// The first lines of the two identity refusals; the rest names the file.
constexpr std::array<std::string_view, 2> kRefusals = {"Invalid creator ID!\n", "Wrong database version!\n"};

// Each input byte gives at most two bytes of CSV text (a doubled quote, an LF
// written as CR LF), and each record, of at least 24 bytes with its list
// entry, adds numbers, separators and its tape's label: far less than this.
constexpr std::size_t kCsvBytesPerInputByte = 10;
constexpr std::size_t kCsvFixedBytes = 256;
// Two databases' reports of 21 lines and a summary, and the failure's message,
// none longer than this.
constexpr std::size_t kReportLimit = 2 * 22 * 256;

bool startsWith(std::string_view text, std::string_view head) { return text.substr(0, head.size()) == head; }

}  // namespace

CatalogueInput splitInput(std::span<const std::uint8_t> input) {
    if (input.size() < kPrefixSize) return {Bytes(input.begin(), input.end()), {}};
    const std::size_t claimed = be32(input, 0);
    const auto rest = input.subspan(kPrefixSize);
    const std::size_t tapesSize = std::min(claimed, rest.size());
    return {Bytes(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(tapesSize)),
            Bytes(rest.begin() + static_cast<std::ptrdiff_t>(tapesSize), rest.end())};
}

Bytes joinInput(const Bytes& tapes, const Bytes& progs) {
    const auto size = static_cast<std::uint32_t>(tapes.size());
    // Sized once and copied into: g++ 12 at -O3 warns of a false
    // -Warray-bounds when a range is inserted after a short initial list.
    Bytes input(kPrefixSize + tapes.size() + progs.size());
    input[0] = static_cast<std::uint8_t>(size >> 24);
    input[1] = static_cast<std::uint8_t>(size >> 16);
    input[2] = static_cast<std::uint8_t>(size >> 8);
    input[3] = static_cast<std::uint8_t>(size);
    std::copy(progs.begin(), progs.end(), std::copy(tapes.begin(), tapes.end(), input.begin() + kPrefixSize));
    return input;
}

Outcome runCatalogue(const CatalogueInput& catalogue, bool salvage, CsvEncoding encoding) {
    RunOptions options;
    options.salvage = salvage;
    options.encoding = encoding;
    return runInMemory({MemoryDatabase{std::string(kTapesDatabase), catalogue.tapes},
                        MemoryDatabase{std::string(kProgsDatabase), catalogue.progs}},
                       options);
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t size = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
        if (size == 0 || text.size() - at < size) return false;
        std::uint32_t point = size == 1 ? lead : lead & (0x7Fu >> size);
        for (std::size_t i = 1; i < size; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if ((next & 0xC0) != 0x80) return false;
            point = point << 6 | (next & 0x3F);
        }
        constexpr std::array<std::uint32_t, 5> kSmallest = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kSmallest[size] || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return false;
        at += size;
    }
    return true;
}

std::string unexpectedUtf8(const Outcome& palm, const Outcome& utf8) {
    if (palm.status() != utf8.status() || palm.printed() != utf8.printed() || palm.tapes.rows != utf8.tapes.rows ||
        palm.progs.rows != utf8.progs.rows) {
        return "UTF-8: the run ends otherwise than in the handheld's bytes: " + utf8.printed();
    }
    for (const auto& [bytes, text] : {std::pair{&palm.tapesCsv, &utf8.tapesCsv}, std::pair{&palm.progsCsv, &utf8.progsCsv}}) {
        if (bytes->has_value() != text->has_value()) return "UTF-8: a CSV file written in one run only";
        if (!*text) continue;
        if (!isValidUtf8(**text)) return "UTF-8: a CSV text that is not valid UTF-8";
        std::string converted(kMaxUtf8Size * (*bytes)->size(), '\0');
        char* end = converted.data();
        for (const char byte : **bytes) end = putUtf8(end, byte);
        converted.resize(static_cast<std::size_t>(end - converted.data()));
        if (converted != **text) return "UTF-8: a CSV text that is not the handheld's bytes converted byte by byte";
    }
    return {};
}

std::optional<std::string> fatalCheckCondition(const std::string& message) {
    constexpr std::string_view head = "Assert failed: ";
    constexpr std::string_view place = " (at ";
    if (!startsWith(message, head) || !message.ends_with(")\n")) return std::nullopt;
    const auto placeAt = message.rfind(place);
    if (placeAt == std::string::npos || placeAt < head.size()) return std::nullopt;
    return message.substr(head.size(), placeAt - head.size());
}

std::string unexpectedOutcome(const Outcome& outcome, std::size_t inputSize) {
    const std::size_t csvLimit = kCsvFixedBytes + kCsvBytesPerInputByte * inputSize;
    const std::size_t csvSize = outcome.tapesCsv.value_or("").size() + outcome.progsCsv.value_or("").size();
    if (csvSize > csvLimit) {
        return "CSV text of " + std::to_string(csvSize) + " bytes from an input of " + std::to_string(inputSize) +
               " bytes";
    }
    if (!outcome.failure) {
        if (!outcome.tapes.finished() || !outcome.progs.finished()) return "a run without failure left a list unfinished";
        return {};
    }
    const std::string message = outcome.failure->message();
    switch (outcome.failure->kind()) {
    case FailureKind::Damaged: {
        const auto condition = fatalCheckCondition(message);
        if (condition && std::find(kFatalChecks.begin(), kFatalChecks.end(), *condition) != kFatalChecks.end()) {
            return {};
        }
        break;
    }
    case FailureKind::NotCinecase:
    case FailureKind::WrongVersion:
        if (std::any_of(kRefusals.begin(), kRefusals.end(),
                        [&](std::string_view refusal) { return startsWith(message, refusal); })) {
            return {};
        }
        break;
    default:
        break;
    }
    return "unexpected failure, status " + std::to_string(outcome.status()) + ": " + message;
}

std::string unexpectedSalvage(const Outcome& strict, const Outcome& salvaged, std::size_t inputSize) {
    if (std::string problem = unexpectedOutcome(salvaged, inputSize); !problem.empty()) return "salvage: " + problem;
    // Only what cannot be salvaged ends a salvage run: a database of another
    // application or version, or a file shorter than the header.
    if (salvaged.failure && salvaged.failure->kind() == FailureKind::Damaged &&
        salvaged.failure->condition() != "short header read") {
        return std::string("salvage ended with a fatal check: ") + salvaged.failure->message();
    }
    if (!strict.failure &&
        (salvaged.failure || salvaged.damaged() || salvaged.tapesCsv != strict.tapesCsv || salvaged.progsCsv != strict.progsCsv)) {
        return "salvage of a catalogue the default run converts differs from the default run";
    }
    // At most 20 lines of findings and a summary per database.
    if (const std::size_t size = salvaged.printed(true).size(); size > kReportLimit) {
        return "a salvage report of " + std::to_string(size) + " bytes";
    }
    return {};
}

}  // namespace reelport::fuzz
