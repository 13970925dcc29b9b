// SPDX-License-Identifier: MIT
// Writes Palm databases of the Cinecase catalogue: for tests, the sample
// catalogue, the fuzz seeds and the benchmark data. Every part of the layout
// can be set, including deliberately wrong offsets and counts, so a test can
// build exactly the damaged file it is about.
#pragma once

#include "base/ByteOrder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace reelport {

using Bytes = std::vector<std::uint8_t>;

struct PdbRecord {
    Bytes data;
    std::uint8_t attributes = 0;  // low four bits: category index
    std::uint32_t uniqueId = 0;   // the low 24 bits are written
    std::optional<std::uint32_t> offset;  // written instead of the true offset
};

// A record at its true offset: how every catalogue of tests, seeds, sample and benchmarks is made.
inline PdbRecord record(Bytes data, std::uint32_t uniqueId, std::uint8_t attributes = 0) {
    return {std::move(data), attributes, uniqueId, std::nullopt};
}

struct PdbFile {
    std::string name = "Reelport";
    std::uint16_t attributes = 0;
    std::uint16_t version = 0x12;
    std::uint32_t type = fourCharCode("DATA");
    std::uint32_t creator = fourCharCode("Qox0");
    std::uint32_t nextRecordListId = 0;
    std::optional<Bytes> appInfo = {};
    std::optional<Bytes> sortInfo = {};
    std::vector<PdbRecord> records = {};
    // Bytes between the record list and the first block or record; two in a
    // well-formed database.
    std::size_t filler = 2;

    // Written instead of the true values, for damaged files.
    std::optional<std::uint32_t> appInfoOffset = {};
    std::optional<std::uint32_t> sortInfoOffset = {};
    std::optional<std::uint16_t> numRecords = {};
};

// The file's bytes: header, record list, filler, blocks, records in order.
Bytes buildPdb(const PdbFile& file);

// Writes bytes to a file, its path in UTF-8; throws std::runtime_error when it cannot.
void writeBytes(const std::string& path, const Bytes& bytes);

// An application-info block holding the category table: a u16, then 16 names
// of 16 bytes, NUL-padded. A name of 16 bytes or more is cut to 16 without NUL.
Bytes categoryBlock(const std::vector<std::string>& names);

struct TapeFields {
    std::string label;               // cut to 16 bytes, without NUL when 16 long
    std::uint16_t lengthSeconds = 0;
    std::string note;
};
Bytes tapeRecord(const TapeFields& tape);

struct ProgFields {
    std::uint32_t tapeId = 0;
    std::uint16_t order = 0;
    std::uint8_t flags = 0;   // bit 7 seen, bit 5 keep, bits 1-0 speed code
    std::uint8_t rating = 0;
    std::uint16_t storedLength = 0;
    std::uint16_t date = 0;
    std::string title;
    std::string note;
};
Bytes progRecord(const ProgFields& prog);

inline constexpr std::uint8_t kSeen = 0x80;
inline constexpr std::uint8_t kKeep = 0x20;
inline constexpr std::uint8_t kSpeedSP = 0, kSpeedLP = 1, kSpeedEP = 2;

// A Palm OS date: years since 1904, month, day.
constexpr std::uint16_t palmDate(int year, int month, int day) {
    return static_cast<std::uint16_t>((year - 1904) << 9 | month << 5 | day);
}

}  // namespace reelport
