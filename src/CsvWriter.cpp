// SPDX-License-Identifier: MIT
#include "CsvWriter.h"

#include "Failure.h"

#include <cerrno>
#include <charconv>
#include <utility>

namespace reelport {

namespace {

// Text is written out in blocks of this size.
constexpr std::size_t kBufferSize = 1 << 16;

}  // namespace

CsvWriter::CsvWriter(const std::string& path) : CsvWriter() {
    path_ = path;
    file_ = createOutputFile(path);
}

CsvWriter::CsvWriter() : buffer_(kBufferSize) {}

CsvWriter::~CsvWriter() {
    if (file_ && used_ > 0) {
        // Best effort: the run is already ending with another failure.
        (void)std::fwrite(buffer_.data(), 1, used_, file_.get());
    }
}

void CsvWriter::writeLines(std::string_view text) {
    for (auto lineEnd = text.find('\n'); lineEnd != std::string_view::npos; lineEnd = text.find('\n')) {
        put(text.substr(0, lineEnd));
        put("\r\n");
        text.remove_prefix(lineEnd + 1);
    }
    put(text);
}

// Numbers are formatted straight into the buffer.
void CsvWriter::writeNumber(std::uint64_t value) {
    constexpr std::size_t kMaxDigits = 20;
    char* at = room(kMaxDigits);
    used_ = static_cast<std::size_t>(std::to_chars(at, at + kMaxDigits, value).ptr - buffer_.data());
}

void CsvWriter::writePadded(unsigned value, int width) {
    constexpr std::size_t kMaxDigits = 10;
    char digits[kMaxDigits];
    const auto length = static_cast<std::size_t>(std::to_chars(digits, digits + kMaxDigits, value).ptr - digits);
    const auto wanted = static_cast<std::size_t>(std::max(width, 0));
    const std::size_t zeros = wanted > length ? wanted - length : 0;
    char* at = room(zeros + length);
    std::fill_n(at, zeros, '0');
    std::copy_n(digits, length, at + zeros);
    used_ += zeros + length;
}

void CsvWriter::putInPieces(std::string_view bytes) {
    while (bytes.size() > buffer_.size() - used_) {
        const std::size_t free = buffer_.size() - used_;
        std::copy_n(bytes.begin(), free, buffer_.data() + used_);
        used_ += free;
        bytes.remove_prefix(free);
        emptyBuffer();
    }
    put(bytes);
}

void CsvWriter::emptyBuffer() {
    const std::size_t size = std::exchange(used_, 0);
    if (!file_) {
        kept_.append(buffer_.data(), size);
    } else if (std::fwrite(buffer_.data(), 1, size, file_.get()) != size) {
        fileFailure(path_, errno);
    }
}

std::string CsvWriter::pending() const { return kept_ + std::string(buffer_.data(), used_); }

void CsvWriter::close() {
    if (!file_) return;
    emptyBuffer();
    if (std::fclose(file_.release()) != 0) fileFailure(path_, errno);
}

}  // namespace reelport
