// SPDX-License-Identifier: MIT
// The rows of both lists as CSV text (catalogue/Rows.h): fields separated by
// commas, texts quoted, numbers, times and dates bare, each row a line.
//
// A row is written straight into the writer's buffer (CsvWriter::beginRow):
// the fixed parts between two quoted fields must fit the room the writer
// gives behind each, kRowRoom bytes; the static_asserts below hold each
// row's parts to it.
#pragma once

#include "catalogue/Rows.h"
#include "csv/CsvWriter.h"
#include "csv/Digits.h"
#include "format/CategoryTable.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace reelport {

// The 16 category names as the quoted fields of a row, prepared once per
// list for `out`: a record's category index picks one.
class CategoryFields {
public:
    // Room for a field in a row: a quoted name of 16 bytes, each up to three in UTF-8.
    static constexpr std::size_t kRoom = 64;
    static_assert(kRoom >= 2 + kCategoryNameSize * kMaxUtf8Size);

    CategoryFields() = default;
    CategoryFields(std::span<const std::uint8_t> appInfo, const CsvWriter& out) {
        for (unsigned index = 0; index < fields_.size(); ++index) {
            const std::string field = out.prepareQuoted(categoryName(appInfo, index));
            std::copy(field.begin(), field.end(), fields_[index].begin());
            sizes_[index] = field.size();
        }
    }
    // Writes the field of category `index` at `at`, in room for kRoom bytes
    // (all of which it fills, in one copy of a fixed size); returns its end.
    char* put(char* at, unsigned index) const {
        std::memcpy(at, fields_[index].data(), kRoom);
        return at + sizes_[index];
    }

private:
    std::array<std::array<char, kRoom>, kCategoryCount> fields_{};
    std::array<std::size_t, kCategoryCount> sizes_{};
};

// Writes the rows of a list into `out`, whose encoding is kEncoding: a
// template on it, so that every field's loop is in place.
template <CsvEncoding kEncoding>
class CsvRows {
public:
    explicit CsvRows(CsvWriter& out) : out_(out) {}

    // The header line of the column names, and the categories of the list's database.
    void begin(std::span<const std::string_view> columns, std::span<const std::uint8_t> appInfo) {
        for (const std::string_view column : columns) {
            if (column.data() != columns.front().data()) out_.write(',');
            out_.write(column);
        }
        out_.write('\n');
        categories_ = CategoryFields(appInfo, out_);
    }
    // One empty line after the last row.
    void end() { out_.write('\n'); }

    // The widest fixed parts of a row (catalogue/Rows.h gives their ranges):
    // an ID of at most eight digits (24 bits), or any u32 of ten; hours of a
    // tape (at most 18) or a programme (at most 72) in two digits.
    static constexpr std::size_t kId = 8, kNumber = 10, kHours = 2, kRating = CsvWriter::kMaxByteSize;
    static constexpr std::size_t kLength = kHours + 1 + 2 + 1;  // "h:mm,"
    static constexpr std::size_t kSpeed = 2 + 1;                // "SP,"
    static constexpr std::size_t kFlags = 4;                    // ",X,X"
    static constexpr std::size_t kDate = 1 + 10 + 1;            // ",yyyy-mm-dd,"

    // TAPE_ID,LABEL,LENGTH,CATEGORY,NOTE
    [[gnu::always_inline]] bool row(const TapeRow& tape) {
        // Before the label; between label and note.
        static_assert(kNumber + 1 <= CsvWriter::kRowRoom);
        static_assert(1 + kLength + CategoryFields::kRoom + 1 <= CsvWriter::kRowRoom);
        char* at = out_.beginRow();
        at = digits::decimal(at, tape.id);
        *at++ = ',';
        at = out_.quoted<kEncoding>(at, tape.record.label());
        // Seconds that do not make a whole minute are dropped.
        const unsigned seconds = tape.record.lengthSeconds();
        *at++ = ',';
        at = digits::decimal(at, seconds / 3600);
        *at++ = ':';
        at = digits::twoDigits(at, seconds / 60 % 60);
        *at++ = ',';
        at = categories_.put(at, tape.category);
        *at++ = ',';
        std::size_t noteLength = 0;
        at = out_.quoted<kEncoding>(at, tape.record.note(), &noteLength);
        out_.endRow(CsvWriter::lineEnd(at));
        return tape.record.endsInside(noteLength);
    }

    // TAPE_ID,TAPE_LABEL,PROG_ID,TITLE,SEEN,KEEP,DATE,LENGTH,SPEED,CATEGORY,RATING,NOTE
    [[gnu::always_inline]] bool row(const ProgRow& prog) {
        // The short row of a programme without title behind its tape label;
        // between title and note.
        static_assert(kPrefixRoom + kId + 1 + 5 + kLength + kSpeed + 2 + 2 <= CsvWriter::kRowRoom);
        static_assert(kFlags + kDate + kLength + kSpeed + CategoryFields::kRoom + 1 + kRating + 1 <=
                      CsvWriter::kRowRoom);
        const ProgRecord& record = prog.record;
        const std::uint32_t seconds = record.lengthSeconds();
        // The length in hours and whole minutes, then the speed's name.
        const auto putLength = [&](char* at) {
            at = digits::decimal(at, seconds / 3600);
            *at++ = ':';
            at = digits::twoDigits(at, seconds / 60 % 60);
            *at++ = ',';
            at = std::copy_n(record.speedName().data(), 2, at);
            *at++ = ',';
            return at;
        };

        // The row's beginning, TAPE_ID and TAPE_LABEL, is the same for every
        // programme on one tape: made once for each run of them, then copied.
        if (!prefixTape_ || *prefixTape_ != prog.tapeId || prefixLabel_ != prog.tapeLabel.data()) {
            char* end = digits::decimal(prefix_.data(), prog.tapeId);
            *end++ = ',';
            *end++ = '"';
            const char* const label = prog.tapeLabel.data();
            end = quoting::quoteInto<kEncoding>(label, label + prog.tapeLabel.size(), end).second;
            *end++ = '"';
            *end++ = ',';
            prefixSize_ = static_cast<std::size_t>(end - prefix_.data());
            prefixTape_ = prog.tapeId;
            prefixLabel_ = label;
        }
        char* at = out_.beginRow();
        std::memcpy(at, prefix_.data(), kPrefixRoom);
        at += prefixSize_;
        at = digits::decimal(at, prog.id);
        *at++ = ',';

        // A programme without a title gets a short row: no flags, date, category, rating or note.
        if (record.untitled()) {
            at = std::copy_n("-,,,,", 5, at);
            at = putLength(at);
            *at++ = ',';
            *at++ = ',';
            out_.endRow(CsvWriter::lineEnd(at));
            return record.untitledEndsInside();
        }
        std::size_t titleLength = 0;
        at = out_.quoted<kEncoding>(at, record.title(), &titleLength);

        const unsigned year = record.year();
        *at++ = ',';
        if (record.seen()) *at++ = 'X';
        *at++ = ',';
        if (record.keep()) *at++ = 'X';
        *at++ = ',';
        at = digits::twoDigits(at, year / 100);
        at = digits::twoDigits(at, year % 100);
        *at++ = '-';
        at = digits::twoDigits(at, record.month());
        *at++ = '-';
        at = digits::twoDigits(at, record.day());
        *at++ = ',';
        at = putLength(at);
        at = categories_.put(at, prog.category);
        *at++ = ',';
        // The rating as one character counted up from '0'; the byte wraps past 255.
        const std::uint8_t rating = record.rating();
        at = CsvWriter::byte<kEncoding>(at, rating > 0 ? static_cast<char>(static_cast<unsigned char>('0' + rating)) : '-');
        *at++ = ',';
        std::size_t noteLength = 0;
        at = out_.quoted<kEncoding>(at, record.noteAfter(titleLength), &noteLength);
        out_.endRow(CsvWriter::lineEnd(at));
        return record.endsInside(titleLength, noteLength);
    }

private:
    CsvWriter& out_;
    CategoryFields categories_;
    // The beginning of the rows on one tape, and the tape ID and label it was made of.
    static constexpr std::size_t kPrefixRoom = 64;
    static_assert(kNumber + 1 + 2 + TapeRecord::kLabelSize * kMaxUtf8Size + 1 + 2 <= kPrefixRoom);
    static_assert(kPrefixRoom + kId + 1 <= CsvWriter::kRowRoom);
    std::array<char, kPrefixRoom> prefix_{};
    std::size_t prefixSize_ = 0;
    std::optional<std::uint32_t> prefixTape_;
    const char* prefixLabel_ = nullptr;
};

}  // namespace reelport
