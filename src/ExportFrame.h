// SPDX-License-Identifier: MIT
// What the two exports share: file names and paths, the check that a database
// belongs to Cinecase 1.2, the CSV writer and its quoted text fields, the
// category names, and the closing line on the console.
#pragma once

#include "PalmDB.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace reelport {

inline constexpr std::string_view kTapesDatabase = "CinecaseTapes.PDB";
inline constexpr std::string_view kTapesCsv = "CinecaseTapes.CSV";
inline constexpr std::string_view kProgsDatabase = "CinecaseProgs.PDB";
inline constexpr std::string_view kProgsCsv = "CinecaseProgs.CSV";

// The path of `fileName` inside `directory`: a separator is put between them
// unless the directory already ends in one ("\" on Windows, "/" elsewhere).
std::string composePath(std::string_view directory, std::string_view fileName);

// Refuses a database that is not a Cinecase 1.2 data file: a wrong creator or
// version ends the run with status 1, a wrong type with a fatal check.
void checkIdentity(const PalmDB& db);

// Writes CSV text to a file. Every LF byte is written as CR LF, the line ends
// and any LF inside a text alike; no other byte is changed. All text goes
// through one fixed buffer that is written out whenever it fills, so a row
// costs no allocation and the file sees a few large writes.
class CsvWriter {
public:
    // Creates or empties the file; a failure to open it ends the run.
    explicit CsvWriter(const std::string& path);
    // Keeps all text in memory only (tests and fuzzing).
    CsvWriter();
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;
    // A writer not closed (a run ended by a failure) still writes out what it
    // holds, so a file cut short keeps the rows written before the failure.
    ~CsvWriter();

    void write(std::string_view text) {
        // Most texts hold no line break: they are copied as they are.
        if (text.find('\n') == std::string_view::npos) {
            put(text);
        } else {
            writeLines(text);
        }
    }
    void write(char c) {
        if (c == '\n') put('\r');
        put(c);
    }
    // An unsigned decimal number.
    void writeNumber(std::uint64_t value);
    // A decimal number with leading zeros up to `width` digits (at most 10).
    void writePadded(unsigned value, int width);

    // Writes out what is held and closes the file; a write or close error
    // ends the run with "<path>: <error text>".
    void close();

    // In memory: all text written so far. With a file: what is held and not yet written out.
    std::string pending() const;

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    // Bytes as they are, without the LF translation.
    void put(char c) {
        if (used_ == buffer_.size()) emptyBuffer();
        buffer_[used_++] = c;
    }
    void put(std::string_view bytes) {
        if (bytes.size() <= buffer_.size() - used_) {
            // std::copy, not memcpy: an empty text may have no address at all.
            std::copy(bytes.begin(), bytes.end(), buffer_.data() + used_);
            used_ += bytes.size();
        } else {
            putInPieces(bytes);
        }
    }
    void putInPieces(std::string_view bytes);
    void writeLines(std::string_view text);
    // Makes room for `size` bytes (at most the buffer's size) and returns where they go.
    char* room(std::size_t size) {
        if (size > buffer_.size() - used_) emptyBuffer();
        return buffer_.data() + used_;
    }
    // Writes the buffer out to the file, or keeps it in memory.
    void emptyBuffer();

    std::string path_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::string kept_;  // in memory: the text of the buffers emptied so far
};

// No length limit for `writeQuotedField`.
inline constexpr int kWholeText = -1;

// Writes one quoted CSV field: the text up to its first NUL, and at most
// `maxLength` bytes of it unless maxLength is negative, enclosed in double
// quotes with every double quote inside doubled.
void writeQuotedField(CsvWriter& out, std::string_view text, int maxLength);

// The bytes of a record from `offset` to its end; empty when the offset lies
// at or past the end, so a short record never yields bytes it does not hold.
std::string_view bytesFrom(std::span<const std::uint8_t> data, std::size_t offset);
// A NUL-terminated text within `bytes`: up to the first NUL, or all of it.
std::string_view untilNul(std::string_view bytes);

// The name of category `index` (0 to 15) from an application-info block, which
// starts with the category table: a u16, then 16 names of 16 bytes each. At
// most the name's own slot is read; a slot outside the block gives "".
std::string_view categoryName(std::span<const std::uint8_t> appInfo, unsigned index);

// Writes the rows of one CSV file and returns their count.
using RowWriter = std::function<int(const PalmDB& db, CsvWriter& out)>;

// One export from start to end: reads `databaseName` in `directory` into `db`,
// checks its identity, writes `csvName` beside it with `writeRows`, and prints
// the closing line "<count> <noun> exported to <csv path>" on `console`.
void runExport(std::string_view directory, std::string_view databaseName, std::string_view csvName,
               std::string_view noun, PalmDB& db, std::FILE* console, const RowWriter& writeRows);

}  // namespace reelport
