// SPDX-License-Identifier: MIT
#include "Catalogue.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <stdexcept>
#include <vector>

namespace reelport::bench {

namespace {

// The largest count the 16-bit record count of a database holds.
constexpr std::uint32_t kMaxRecords = 65535;

// Unique IDs are 24-bit. Tapes and programmes get rising IDs from their own
// base with small gaps, as a handheld leaves them after deletions.
constexpr std::uint32_t kFirstTapeId = 0x200000;
constexpr std::uint32_t kFirstProgId = 0x600000;

// splitmix64: a small generator whose sequence is fixed for a seed, unlike the
// standard distributions, whose results differ between library vendors.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    // A number from 0 to bound - 1 (bound > 0).
    std::uint32_t below(std::uint32_t bound) { return static_cast<std::uint32_t>(next() % bound); }
    // True in `percent` of the calls.
    bool chance(std::uint32_t percent) { return below(100) < percent; }
    // A length from half to 1.5 times `mean`.
    std::uint32_t around(std::uint32_t mean) { return mean / 2 + below(mean + 1); }

private:
    std::uint64_t state_;
};

constexpr std::array<std::string_view, 48> kWords = {
    "The",     "Night",    "of",      "Return",  "Last",     "Great",     "Story",   "Live",
    "Empire",  "Strikes",  "Back",    "Journey", "Earth",    "Ocean",     "Moon",    "City",
    "Lost",    "World",    "Cup",     "Final",   "Part",     "Episode",   "Season",  "Special",
    "Winter",  "Summer",   "Concert", "News",    "Special",  "Documentary", "Wild", "Life",
    "Secrets", "Island",   "Mountain", "River",  "King",     "Queen",     "Star",    "Stars",
    "Red",     "Blue",     "Golden",  "Silent",  "Caf\xE9",  "M\xFCnchen", "Ice",    "Fire",
};

constexpr std::array<std::string_view, 8> kTapeCategories = {"Unfiled", "Films", "Series", "Nature",
                                                              "Sports", "Music", "Kids", "Archive"};
constexpr std::array<std::string_view, 8> kProgCategories = {"Unfiled", "Film", "Series", "Documentary",
                                                              "Sport", "Concert", "Children", "News"};

// Words up to exactly `length` bytes. Now and then the text holds a quoted
// word, and notes sometimes a second line, so the quoting and the CR LF
// translation are exercised as in real catalogues.
std::string text(Random& random, std::uint32_t length, bool mayBreakLines) {
    std::string out;
    while (out.size() < length) {
        if (!out.empty()) out += mayBreakLines && random.chance(3) ? '\n' : ' ';
        const std::string_view word = kWords[random.below(kWords.size())];
        if (random.chance(4)) {
            out += '"';
            out += word;
            out += '"';
        } else {
            out += word;
        }
    }
    out.resize(length);
    return out;
}

std::uint16_t randomDate(Random& random) {
    const int year = 1985 + static_cast<int>(random.below(21));
    const int month = 1 + static_cast<int>(random.below(12));
    const int day = 1 + static_cast<int>(random.below(28));
    return palmDate(year, month, day);
}

struct Tape {
    std::uint32_t uniqueId;
    PdbRecord record;
};

std::vector<Tape> makeTapes(const Shape& shape, Random& random) {
    constexpr std::array<std::uint16_t, 5> kLengths = {7200, 10800, 14400, 18000, 65535};
    std::vector<Tape> tapes;
    tapes.reserve(shape.tapes);
    std::uint32_t uniqueId = kFirstTapeId;
    for (std::uint32_t i = 0; i < shape.tapes; ++i) {
        uniqueId += 1 + random.below(2);
        const std::uint8_t category = static_cast<std::uint8_t>(random.below(kTapeCategories.size()));
        TapeFields fields;
        // Mostly a category and a number; one in ten fills all 16 bytes, with no NUL.
        fields.label = random.chance(10) ? text(random, 16, false)
                                         : std::string(kTapeCategories[category]) + " " + std::to_string(i + 1);
        fields.lengthSeconds = static_cast<std::uint16_t>(kLengths[random.below(kLengths.size())] -
                                                          (random.chance(20) ? random.below(3600) : 0));
        if (random.chance(50)) fields.note = text(random, random.around(shape.noteLength / 2), true);
        tapes.push_back({uniqueId, record(tapeRecord(fields), uniqueId, category)});
    }
    return tapes;
}

struct Prog {
    std::uint32_t tapeId;
    std::uint16_t order;
    PdbRecord record;
};

std::vector<Prog> makeProgs(const Shape& shape, const std::vector<Tape>& tapes, Random& random) {
    // Which tape each programme lies on, and its order there; the tape list is
    // still in rising ID order here.
    std::vector<std::uint32_t> tapeOf(shape.progs);
    for (std::uint32_t i = 0; i < shape.progs; ++i) {
        tapeOf[i] = shape.placement == Placement::Distinct ? i : random.below(shape.tapes);
    }
    std::sort(tapeOf.begin(), tapeOf.end());

    std::vector<Prog> progs;
    progs.reserve(shape.progs);
    std::vector<std::uint16_t> onTape(shape.tapes, 0);
    for (std::uint32_t i = 0; i < shape.progs; ++i) {
        const std::uint8_t speed = random.chance(2) ? 3 : static_cast<std::uint8_t>(random.below(3));
        ProgFields fields;
        fields.tapeId = tapes[tapeOf[i]].uniqueId;
        fields.order = ++onTape[tapeOf[i]];
        fields.flags = static_cast<std::uint8_t>((random.chance(60) ? kSeen : 0) | (random.chance(30) ? kKeep : 0) |
                                                 speed);
        fields.rating = static_cast<std::uint8_t>(random.below(6));
        fields.storedLength = static_cast<std::uint16_t>((600 + random.below(10200)) / (speed + 1u));
        fields.date = randomDate(random);
        // One programme in a hundred has no title and gets the short row.
        if (!random.chance(1)) fields.title = text(random, random.around(shape.titleLength), false);
        if (random.chance(70)) fields.note = text(random, random.around(shape.noteLength), true);
        const auto category = static_cast<std::uint8_t>(random.below(kProgCategories.size()));
        progs.push_back({fields.tapeId, fields.order, record(progRecord(fields), 0, category)});
    }
    return progs;
}

template <typename T>
void shuffle(std::vector<T>& items, Random& random) {
    for (std::size_t i = items.size(); i > 1; --i) {
        std::swap(items[i - 1], items[random.below(static_cast<std::uint32_t>(i))]);
    }
}

void putInOrder(RecordOrder order, std::vector<Tape>& tapes, std::vector<Prog>& progs, Random& random) {
    switch (order) {
    case RecordOrder::Entered:
    case RecordOrder::ByTape:
        // Programmes were typed in roughly tape by tape, with some out of turn.
        for (std::size_t i = 0; i < progs.size(); ++i) {
            const std::size_t other = std::min(progs.size() - 1, i + random.below(16));
            std::swap(progs[i], progs[other]);
        }
        // Sorted back after the same draws, so that the programmes and their
        // unique IDs are those of the entered order, only stored elsewhere.
        if (order == RecordOrder::ByTape) {
            std::sort(progs.begin(), progs.end(), [](const Prog& a, const Prog& b) {
                return a.tapeId != b.tapeId ? a.tapeId < b.tapeId : a.order < b.order;
            });
        }
        break;
    case RecordOrder::Random:
        shuffle(tapes, random);
        shuffle(progs, random);
        break;
    case RecordOrder::Descending:
        std::reverse(tapes.begin(), tapes.end());
        std::sort(progs.begin(), progs.end(), [](const Prog& a, const Prog& b) {
            return a.tapeId != b.tapeId ? a.tapeId > b.tapeId : a.order > b.order;
        });
        break;
    }
}

Bytes categories(const std::array<std::string_view, 8>& names) {
    return categoryBlock(std::vector<std::string>(names.begin(), names.end()));
}

}  // namespace

std::optional<Shape> namedShape(std::string_view name) {
    Shape shape;
    shape.titleLength = 24;
    shape.noteLength = 40;
    if (name == "typical") {
        shape.tapes = kMaxRecords;
        shape.progs = kMaxRecords;
        return shape;
    }
    if (name == "scattered") {
        shape.tapes = kMaxRecords;
        shape.progs = kMaxRecords;
        shape.placement = Placement::Distinct;
        shape.order = RecordOrder::Descending;
        return shape;
    }
    if (name == "random") {
        shape.tapes = kMaxRecords;
        shape.progs = kMaxRecords;
        shape.order = RecordOrder::Random;
        return shape;
    }
    if (name == "tape-order") {
        shape.tapes = kMaxRecords;
        shape.progs = kMaxRecords;
        shape.order = RecordOrder::ByTape;
        return shape;
    }
    if (name == "small") {
        shape.tapes = 12;
        shape.progs = 40;
        return shape;
    }
    return std::nullopt;
}

Catalogue makeCatalogue(const Shape& shape) {
    if (shape.tapes > kMaxRecords || shape.progs > kMaxRecords) {
        throw std::invalid_argument("a database holds at most 65535 records");
    }
    if (shape.progs > 0 && shape.tapes == 0) throw std::invalid_argument("programmes need at least one tape");
    if (shape.placement == Placement::Distinct && shape.progs > shape.tapes) {
        throw std::invalid_argument("a tape of its own for every programme needs as many tapes");
    }
    if (shape.titleLength > 4096 || shape.noteLength > 4096) {
        throw std::invalid_argument("texts of at most 4096 bytes keep a record within its 16-bit length");
    }

    Random random(shape.seed);
    std::vector<Tape> tapes = makeTapes(shape, random);
    std::vector<Prog> progs = makeProgs(shape, tapes, random);
    putInOrder(shape.order, tapes, progs, random);

    PdbFile tapesFile;
    tapesFile.name = "CinecaseTapes";
    tapesFile.appInfo = categories(kTapeCategories);
    for (Tape& tape : tapes) tapesFile.records.push_back(std::move(tape.record));

    PdbFile progsFile;
    progsFile.name = "CinecaseProgs";
    progsFile.appInfo = categories(kProgCategories);
    std::uint32_t progId = kFirstProgId;
    for (Prog& prog : progs) {
        progId += 1 + random.below(2);
        prog.record.uniqueId = progId;
        progsFile.records.push_back(std::move(prog.record));
    }
    return {buildPdb(tapesFile), buildPdb(progsFile)};
}

}  // namespace reelport::bench
