// SPDX-License-Identifier: MIT
// The rows of both lists (catalogue/Rows.h) as the cells of one sheet of a
// workbook: IDs numbers, lengths durations, dates dates where they are real
// calendar dates, a rating a number where it is a digit; every other field
// a text cell holding exactly what the UTF-8 CSV file holds in it, so no
// spreadsheet takes a title "=1+2" for a formula or "007" for a number.
#pragma once

#include "catalogue/Rows.h"
#include "xlsx/Workbook.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace reelport {

class XlsxRows {
public:
    // The most characters a cell holds; a longer text is cut there, and
    // `notices` gets a line saying where.
    static constexpr std::size_t kCellLimit = 32767;

    // Writes into `sheet` of `workbook`, called `sheetName` in notices;
    // `place` names the workbook in them.
    XlsxRows(Workbook& workbook, lxw_worksheet* sheet, std::string place, std::vector<std::string>& notices);

    // The header row of the column names, bold and frozen; the categories of the list's database.
    void begin(std::span<const std::string_view> columns, std::span<const std::uint8_t> appInfo);
    // An autofilter over all rows.
    void end();
    bool row(const TapeRow& tape);
    bool row(const ProgRow& prog);

private:
    // Writes the text of `bytes` up to its first NUL in the handheld's
    // character set, as UTF-8, at `column` of the current row; nothing for
    // an empty text. Returns the bytes taken, the NUL not counted.
    std::size_t text(unsigned column, std::string_view bytes);
    // Writes a text already in UTF-8.
    void utf8(unsigned column, const std::string& text);
    void number(unsigned column, double value, lxw_format* format);
    void length(unsigned column, std::uint32_t seconds);

    Workbook& workbook_;
    lxw_worksheet* sheet_;
    std::string place_;
    std::vector<std::string>& notices_;
    std::span<const std::string_view> columns_;
    std::array<std::string, 16> categories_;  // each name in UTF-8, escaped when a cell is written, as every text
    std::uint32_t row_ = 0;                   // the current row; 0 is the header
    std::string scratch_;                     // a text in UTF-8, its memory reused
};

}  // namespace reelport
