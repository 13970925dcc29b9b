// SPDX-License-Identifier: MIT
// The rows of the two lists, as their writers (the CSV files, the workbook)
// take them: which fields, under which column names. The lists decide which
// records make rows and in which order (TapeList.h, ProgList.h); a writer
// decides how each field is written.
//
// A row writer of a list has
//   void begin(std::span<const std::string_view> columns, std::span<const std::uint8_t> appInfo);
//   bool row(const TapeRow& row);   (or ProgRow) whether the row's texts end inside its record
//   void end();
// the application-info block giving the category names of the list's database.
#pragma once

#include "catalogue/ProgRecord.h"
#include "catalogue/TapeRecord.h"

#include <array>
#include <concepts>
#include <cstdint>
#include <span>
#include <string_view>

namespace reelport {

inline constexpr std::array<std::string_view, 5> kTapeColumns = {"TAPE_ID", "LABEL", "LENGTH", "CATEGORY", "NOTE"};
inline constexpr std::array<std::string_view, 12> kProgColumns = {
    "TAPE_ID", "TAPE_LABEL", "PROG_ID", "TITLE", "SEEN", "KEEP", "DATE", "LENGTH", "SPEED", "CATEGORY", "RATING", "NOTE"};

struct TapeRow {
    std::uint32_t id;   // the record's unique ID
    unsigned category;  // 0 to 15
    TapeRecord record;
};

struct ProgRow {
    std::uint32_t tapeId;
    // The tape's label up to a NUL: 16 bytes, NUL-padded when shorter; empty
    // when the tape is missing (salvage only).
    std::string_view tapeLabel;
    std::uint32_t id;   // the record's unique ID
    unsigned category;  // 0 to 15
    ProgRecord record;
};

template <typename Writer, typename Row>
concept RowWriter = requires(Writer writer, const Row& row, std::span<const std::string_view> columns,
                             std::span<const std::uint8_t> appInfo) {
    writer.begin(columns, appInfo);
    { writer.row(row) } -> std::same_as<bool>;
    writer.end();
};

}  // namespace reelport
