// SPDX-License-Identifier: MIT
// The CSV text writer: the one place that knows the CSV files' line end.
#pragma once

#include "base/ByteSink.h"
#include "base/LargeBlocks.h"
#include "catalogue/PalmLatin.h"
#include "csv/CsvEncoding.h"
#include "csv/QuotedText.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace reelport {

// Writes CSV text to a sink: a file, or memory. Every LF byte is written as CR LF, the line ends
// and any LF inside a text alike; in UTF-8 every byte that is not plain ASCII
// is written in its UTF-8 form (PalmLatin.h); no other byte is changed. All
// text goes through one fixed buffer that is written out whenever it fills,
// so a row costs no allocation and the file sees a few large writes.
class CsvWriter {
public:
    // The memory a writer gathers its blocks in. The writers of a run, one
    // after the other, may share one, so that its pages are provided once.
    class Buffer {
    public:
        Buffer() : block_(kBufferSize) {}
        char* data() const { return block_.data(); }

    private:
        PopulatedBlock block_;
    };

    CsvWriter(ByteSink& sink, CsvEncoding encoding, Buffer& buffer)
        : encoding_(encoding), sink_(sink), buffer_(buffer.data()) {}
    // A writer with a buffer of its own.
    explicit CsvWriter(ByteSink& sink, CsvEncoding encoding = CsvEncoding::Palm)
        : encoding_(encoding), sink_(sink), own_(std::make_unique<Buffer>()), buffer_(own_->data()) {}
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;
    // A writer not closed (a run ended by another failure) still writes out
    // what it holds, so a file cut short keeps the rows written before the
    // failure; but not after a write of its own failed, whose bytes may have
    // landed in part.
    ~CsvWriter();

    CsvEncoding encoding() const { return encoding_; }

    void write(std::string_view text) {
        // Most texts hold no line break: they are copied as they are.
        if (encoding_ == CsvEncoding::Palm && text.find('\n') == std::string_view::npos) {
            put(text);
        } else {
            for (const char c : text) write(c);
        }
    }
    void write(char c) {
        commit(encoding_ == CsvEncoding::Utf8 ? byte<CsvEncoding::Utf8>(reserve(kMaxByteSize), c)
                                              : byte<CsvEncoding::Palm>(reserve(kMaxByteSize), c));
    }

    // Writes `text` up to its first NUL as one quoted field: enclosed in double
    // quotes, every double quote inside doubled, every LF written as CR LF.
    // Returns the number of bytes taken, the NUL not counted.
    std::size_t writeQuoted(std::string_view text) {
        std::size_t taken = 0;
        char* const at = beginRow();
        endRow(encoding_ == CsvEncoding::Utf8 ? quoted<CsvEncoding::Utf8>(at, text, &taken)
                                              : quoted<CsvEncoding::Palm>(at, text, &taken));
        return taken;
    }

    // The bytes `writeQuotedField` writes of the whole `text`, for a field
    // written on many rows (a category name).
    std::string prepareQuoted(std::string_view text) const;

    // A row is written straight into the buffer, with no call for most of it:
    // `beginRow` gives room for kRowRoom bytes, where the caller writes the
    // fixed parts of the row (numbers, dates, separators, prepared fields,
    // bytes through `byte`); `quoted` writes a quoted field there and gives
    // room for kRowRoom bytes more behind it; `lineEnd` ends the line and
    // `endRow` takes the end of what was written. A row writer is a template
    // on the writer's encoding, so that every field's loop is in place.
    static constexpr std::size_t kRowRoom = 128;

    // Text is written out in blocks of 256 KiB, whole pages of the file: on a
    // virtual machine each write costs its call into the system more than
    // its bytes, and blocks of 64 KiB took 0.7 ms more for the largest
    // catalogue.
    static constexpr std::size_t kBlockSize = std::size_t{1} << 18;
    char* beginRow() { return reserve(kRowRoom); }
    void endRow(const char* end) { commit(end); }

    // Writes `text` up to its first NUL at `at` as one quoted field in
    // `kEncoding`, the writer's encoding; returns the end. `taken`, when
    // given, receives the number of bytes taken, the NUL not counted.
    template <CsvEncoding kEncoding>
    [[gnu::always_inline]] char* quoted(char* at, std::string_view text, std::size_t* taken = nullptr) {
        // Room for the field even when every byte grows to its largest, and
        // for the fixed parts behind it; a text too long for what is left of
        // the buffer goes elsewhere. (The product cannot overflow: the text
        // lies in memory.)
        const auto room = static_cast<std::size_t>(buffer_ + kBufferSize - at);
        if (quoting::expansion(kEncoding) * text.size() + 2 + kRowRoom > room) return quotedElsewhere(at, text, taken);
        const char* const begin = text.data();
        *at = '"';
        const auto [stopped, end] = quoting::quoteInto<kEncoding>(begin, begin + text.size(), at + 1);
        *end = '"';
        if (taken != nullptr) *taken = static_cast<std::size_t>(stopped - begin);
        return end + 1;
    }

    // One byte at `at` (a rating character) in `kEncoding`: LF as CR LF, and
    // in UTF-8 a byte that changes there in its UTF-8 form. At most
    // kMaxByteSize bytes.
    static constexpr std::size_t kMaxByteSize = 1 + kMaxUtf8Size;
    template <CsvEncoding kEncoding>
    static char* byte(char* at, char c) {
        if (c == '\n') *at++ = '\r';
        if (kEncoding == CsvEncoding::Utf8 && changesInUtf8(static_cast<unsigned char>(c))) return putUtf8(at, c);
        *at++ = c;
        return at;
    }
    // The end of a row's line at `at`.
    static char* lineEnd(char* at) { return byte<CsvEncoding::Palm>(at, '\n'); }

    // Writes out what is held and closes the sink; a write or close error
    // ends the run.
    void close();

private:
    // Bytes as they are, without the LF translation.
    void put(char c) {
        if (used_ == kBufferSize) emptyBuffer();
        buffer_[used_++] = c;
    }
    void put(std::string_view bytes) {
        if (bytes.size() <= kBufferSize - used_) {
            // std::copy, not memcpy: an empty text may have no address at all.
            std::copy(bytes.begin(), bytes.end(), buffer_ + used_);
            used_ += bytes.size();
        } else {
            putInPieces(bytes);
        }
    }
    void putInPieces(std::string_view bytes);
    // Room for `size` bytes, at most the buffer's size less a page, at the end of the
    // buffer; `commit` takes the end of what was written there.
    char* reserve(std::size_t size) {
        if (size > kBufferSize - used_) emptyBuffer();
        return buffer_ + used_;
    }
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_); }
    // `quoted` for a text too long for what is left of the buffer: after the
    // buffer is written out, or in pieces when even a whole buffer is too small.
    char* quotedElsewhere(char* at, std::string_view text, std::size_t* taken);
    // Writes the buffer out to the sink: everything when `all` (the sink is
    // closed), else the whole pages of the file it holds, the rest (less than
    // a page) moved to its front. A write that ended inside a page would make
    // the system take that page up twice.
    void emptyBuffer(bool all = false);
    static constexpr std::size_t kPage = 4096;

    CsvEncoding encoding_;
    ByteSink& sink_;
    bool stopped_ = false;  // a write to the sink failed, or the sink is closed: nothing more is written
    // The buffer holds a page more than a block, so that it is full when a block is written.
    static constexpr std::size_t kBufferSize = kBlockSize + kPage;
    // Left as the memory comes: every byte is written before it is read.
    std::unique_ptr<Buffer> own_;
    char* buffer_;
    std::size_t used_ = 0;
};

// No length limit for `writeQuotedField`.
inline constexpr int kWholeText = -1;

// Writes one quoted CSV field: the text up to its first NUL, and at most
// `maxLength` bytes of it unless maxLength is negative, enclosed in double
// quotes with every double quote inside doubled. Returns the number of bytes
// taken, the NUL not counted. (The lists' rows write the same fields inline,
// through CsvWriter::quoted: csv/CsvRows.h.)
inline std::size_t writeQuotedField(CsvWriter& out, std::string_view text, int maxLength) {
    if (maxLength >= 0) text = text.substr(0, static_cast<std::size_t>(maxLength));
    return out.writeQuoted(text);
}


}  // namespace reelport
