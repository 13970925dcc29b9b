// SPDX-License-Identifier: MIT
#include "ExportFrame.h"

#include "Failure.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <utility>

namespace reelport {

namespace {

constexpr std::uint32_t kCreator = fourCharCode("Qox0");
constexpr std::uint32_t kType = fourCharCode("DATA");
constexpr std::uint16_t kVersion = 0x12;  // shown as 1.2: major in the high bits, minor in the low four

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// Text is written out in blocks of this size.
constexpr std::size_t kBufferSize = 1 << 16;

constexpr std::size_t kCategoryTableStart = 2;
constexpr std::size_t kCategoryNameSize = 16;

}  // namespace

std::string composePath(std::string_view directory, std::string_view fileName) {
    std::string path(directory);
    if (path.empty() || path.back() != kSeparator) path += kSeparator;
    path += fileName;
    return path;
}

void checkIdentity(const PalmDB& db) {
    const PdbHeader& header = db.header();
    if (header.creator != kCreator) {
        refuse("Invalid creator ID!\nThe file " + db.path() + " is not a valid Cinecase database.\n");
    }
    if (header.version != kVersion) {
        refuse("Wrong database version!\n"
               "This conversion tool only works for version 1.2 of Cinecase databases.\n"
               "The file " + db.path() + " seems to be from version " + std::to_string(header.version >> 4) +
               "." + std::to_string(header.version & 0x0F) + "\n");
    }
    if (header.type != kType) fatalCheck("wrong PDB type");
}

CsvWriter::CsvWriter(const std::string& path) : CsvWriter() {
    path_ = path;
    file_.reset(std::fopen(path.c_str(), "wb"));
    if (!file_) fileFailure(path, errno);
    // The writer gathers its own blocks; a second buffer in the C library would only copy them.
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
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

void writeQuotedField(CsvWriter& out, std::string_view text, int maxLength) {
    if (maxLength >= 0) text = text.substr(0, static_cast<std::size_t>(maxLength));
    text = untilNul(text);
    out.write('"');
    for (auto quote = text.find('"'); quote != std::string_view::npos; quote = text.find('"')) {
        out.write(text.substr(0, quote + 1));
        out.write('"');
        text.remove_prefix(quote + 1);
    }
    out.write(text);
    out.write('"');
}

std::string_view bytesFrom(std::span<const std::uint8_t> data, std::size_t offset) {
    if (offset >= data.size()) return {};
    return {reinterpret_cast<const char*>(data.data()) + offset, data.size() - offset};
}

std::string_view untilNul(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

std::string_view categoryName(std::span<const std::uint8_t> appInfo, unsigned index) {
    const std::string_view slot = bytesFrom(appInfo, kCategoryTableStart + kCategoryNameSize * index);
    return untilNul(slot.substr(0, kCategoryNameSize));
}

void runExport(std::string_view directory, std::string_view databaseName, std::string_view csvName,
               std::string_view noun, PalmDB& db, std::FILE* console, const RowWriter& writeRows) {
    db.read(composePath(directory, databaseName));
    checkIdentity(db);

    const std::string csvPath = composePath(directory, csvName);
    CsvWriter csv(csvPath);
    const int rows = writeRows(db, csv);
    csv.close();

    // The closing line goes out at once, so a full disk or a closed pipe is
    // noticed here and not lost at exit.
    if (std::fprintf(console, "%4d %.*s exported to %s\n", rows, static_cast<int>(noun.size()), noun.data(),
                     csvPath.c_str()) < 0 ||
        std::fflush(console) != 0) {
        fileFailure("standard output", errno);
    }
}

}  // namespace reelport
