// SPDX-License-Identifier: MIT
#include "xlsx/XlsxRows.h"

#include "catalogue/PalmLatin.h"
#include "format/CategoryTable.h"

#include <algorithm>
#include <cstdio>

namespace reelport {

namespace {

// Column widths in characters, fitting typical content; a column not named
// here gets the spreadsheet's own width.
struct ColumnWidth {
    std::string_view column;
    double width;
};
constexpr std::array<ColumnWidth, 13> kWidths = {{
    {"TAPE_ID", 10}, {"LABEL", 18}, {"TAPE_LABEL", 18}, {"PROG_ID", 10}, {"TITLE", 36}, {"SEEN", 6}, {"KEEP", 6},
    {"DATE", 11}, {"LENGTH", 8}, {"SPEED", 7}, {"CATEGORY", 16}, {"RATING", 8}, {"NOTE", 40},
}};

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// A cell's text reads "_xHHHH_" as the character U+HHHH: the format's own
// escape for characters its XML cannot carry (the library writes those
// itself). A text that holds such a sequence as it is gets its underscore
// escaped ("_x005F_"), so that it reads back as it was.
void escapeEscapes(std::string& text) {
    for (std::size_t at = text.find("_x"); at != std::string::npos; at = text.find("_x", at + 1)) {
        if (at + 7 <= text.size() && text[at + 6] == '_' &&
            std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at) + 2,
                        text.begin() + static_cast<std::ptrdiff_t>(at) + 6, isHexDigit)) {
            text.insert(at + 1, "x005F_");
            at += 6;
        }
    }
}

// The characters of UTF-8 `text`: its bytes that are not continuation bytes.
std::size_t characters(std::string_view text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The length of the first `count` characters of UTF-8 `text`.
std::size_t prefixOf(std::string_view text, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t seen = 0; at < text.size(); ++at) {
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && seen++ == count) break;
    }
    return at;
}

bool isLeapYear(unsigned year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

// Whether year, month and day name a day of the calendar: a stored date may
// hold month 0 or 13 to 15 and day 0 or 31 in a short month.
bool isCalendarDay(unsigned year, unsigned month, unsigned day) {
    constexpr std::array<unsigned, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    return day <= kDays[month - 1] + (month == 2 && isLeapYear(year) ? 1 : 0);
}

// The date as the CSV file writes it: "yyyy-mm-dd".
std::string dateText(unsigned year, unsigned month, unsigned day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", year, month, day);
    return text;
}

}  // namespace

XlsxRows::XlsxRows(Workbook& workbook, lxw_worksheet* sheet, std::string place, std::vector<std::string>& notices)
    : workbook_(workbook), sheet_(sheet), place_(std::move(place)), notices_(notices) {}

void XlsxRows::begin(std::span<const std::string_view> columns, std::span<const std::uint8_t> appInfo) {
    columns_ = columns;
    for (unsigned column = 0; column < columns.size(); ++column) {
        const auto width = std::find_if(kWidths.begin(), kWidths.end(),
                                        [&](const ColumnWidth& each) { return each.column == columns[column]; });
        if (width != kWidths.end()) {
            workbook_.check(workbook_.library().setColumn(sheet_, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column),
                                                 width->width, nullptr));
        }
        workbook_.check(workbook_.library().writeString(sheet_, 0, static_cast<lxw_col_t>(column),
                                               std::string(columns[column]).c_str(), workbook_.bold()));
    }
    workbook_.library().freezePanes(sheet_, 1, 0);
    for (unsigned index = 0; index < categories_.size(); ++index) {
        categories_[index].clear();
        appendUtf8(categories_[index], categoryName(appInfo, index));
    }
}

void XlsxRows::end() {
    workbook_.check(
        workbook_.library().autofilter(sheet_, 0, 0, row_, static_cast<lxw_col_t>(columns_.size() - 1)));
}

std::size_t XlsxRows::text(unsigned column, std::string_view bytes) {
    const std::string_view text = bytes.substr(0, bytes.find('\0'));
    scratch_.clear();
    appendUtf8(scratch_, text);
    utf8(column, scratch_);
    return text.size();
}

void XlsxRows::utf8(unsigned column, const std::string& text) {
    if (text.empty()) return;
    // Most texts: no escape to escape, and fewer bytes than a cell holds characters.
    if (text.size() <= kCellLimit && text.find("_x") == std::string::npos) {
        workbook_.check(
            workbook_.library().writeString(sheet_, row_, static_cast<lxw_col_t>(column), text.c_str(), nullptr));
        return;
    }
    // A text of 32767 characters at most is written as it is, escaped; a
    // longer one is cut, and cut further while its escapes take it over.
    const std::size_t length = characters(text);
    std::string cell = text;
    escapeEscapes(cell);
    for (std::size_t kept = kCellLimit; characters(cell) > kCellLimit; kept -= characters(cell) - kCellLimit) {
        cell = text.substr(0, prefixOf(text, kept));
        escapeEscapes(cell);
    }
    if (length > kCellLimit) {
        notices_.push_back(place_ + ": row " + std::to_string(row_ + 1) + ", column " + std::string(columns_[column]) +
                           ": a text of " + std::to_string(length) + " characters is cut to the " +
                           std::to_string(kCellLimit) + " a cell holds\n");
    }
    workbook_.check(workbook_.library().writeString(sheet_, row_, static_cast<lxw_col_t>(column), cell.c_str(), nullptr));
}

void XlsxRows::number(unsigned column, double value, lxw_format* format) {
    workbook_.check(workbook_.library().writeNumber(sheet_, row_, static_cast<lxw_col_t>(column), value, format));
}

// Hours and whole minutes, as a duration: a day is 1, a minute 1/1440.
void XlsxRows::length(unsigned column, std::uint32_t seconds) {
    number(column, static_cast<double>(seconds / 3600 * 60 + seconds / 60 % 60) / 1440.0, workbook_.duration());
}

// TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE
bool XlsxRows::row(const TapeRow& tape) {
    ++row_;
    number(0, tape.id, workbook_.whole());
    text(1, tape.record.label());
    length(2, tape.record.lengthSeconds());
    utf8(3, categories_[tape.category]);
    return tape.record.endsInside(text(4, tape.record.note()));
}

// TAPE_ID,TAPE_LABEL,PROG_ID,TITLE,SEEN,KEEP,DATE,LENGTH,SPEED,CATEGORY,RATING,NOTE
bool XlsxRows::row(const ProgRow& prog) {
    ++row_;
    const ProgRecord& record = prog.record;
    number(0, prog.tapeId, workbook_.whole());
    text(1, prog.tapeLabel);
    number(2, prog.id, workbook_.whole());
    length(7, record.lengthSeconds());
    text(8, record.speedName());
    // A programme without a title: "-", and no flags, date, category, rating or note.
    if (record.untitled()) {
        text(3, "-");
        return record.untitledEndsInside();
    }
    const std::size_t titleLength = text(3, record.title());
    if (record.seen()) text(4, "X");
    if (record.keep()) text(5, "X");
    if (isCalendarDay(record.year(), record.month(), record.day())) {
        lxw_datetime date{static_cast<int>(record.year()), static_cast<int>(record.month()),
                          static_cast<int>(record.day()), 0, 0, 0.0};
        workbook_.check(workbook_.library().writeDatetime(sheet_, row_, 6, &date, workbook_.date()));
    } else {
        utf8(6, dateText(record.year(), record.month(), record.day()));
    }
    utf8(9, categories_[prog.category]);
    // The rating's character counted up from '0' (the byte wraps past 255): a digit is a number.
    const std::uint8_t rating = record.rating();
    const auto character = static_cast<char>(static_cast<unsigned char>('0' + rating));
    if (rating == 0) {
        text(10, "-");
    } else if (rating <= 9) {
        number(10, rating, nullptr);
    } else if (character == '\0') {
        // The format's escape of U+0000, which no XML carries: as it is, not escaped again.
        workbook_.check(workbook_.library().writeString(sheet_, row_, 10, "_x0000_", nullptr));
    } else {
        text(10, std::string_view(&character, 1));
    }
    return record.endsInside(titleLength, text(11, record.noteAfter(titleLength)));
}

}  // namespace reelport
