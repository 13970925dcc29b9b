// SPDX-License-Identifier: MIT
// The CSV text writer: the one place that knows the CSV files' line end.
#pragma once

#include "Files.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace reelport {

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
    OutputFile file_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::string kept_;  // in memory: the text of the buffers emptied so far
};

}  // namespace reelport
