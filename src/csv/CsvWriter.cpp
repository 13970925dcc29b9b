// SPDX-License-Identifier: MIT
#include "csv/CsvWriter.h"

#include <exception>

namespace reelport {

using quoting::expansion;
using quoting::quoteInto;

CsvWriter::~CsvWriter() {
    if (stopped_ || used_ == 0) return;
    try {
        sink_.write({buffer_, used_});
    } catch (const std::exception&) {
        // Best effort: the run is already ending with another failure, which is the one reported.
    }
}

char* CsvWriter::quotedElsewhere(char* at, std::string_view text, std::size_t* taken) {
    commit(at);
    const std::size_t growth = expansion(encoding_);
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    if (growth * text.size() + 2 + kRowRoom <= kBufferSize - kPage) {  // room after emptyBuffer
        emptyBuffer();
        at = buffer_ + used_;
        *at = '"';
        const auto [stopped, outEnd] = quoteInto(encoding_, begin, end, at + 1);
        *outEnd = '"';
        if (taken != nullptr) *taken = static_cast<std::size_t>(stopped - begin);
        return outEnd + 1;
    }
    const std::size_t pieceSize = (kBufferSize - kPage) / growth - 1;
    put('"');
    const char* piece = begin;
    while (piece != end) {
        const char* const pieceEnd = piece + std::min<std::size_t>(static_cast<std::size_t>(end - piece), pieceSize);
        const auto [stopped, outEnd] =
            quoteInto(encoding_, piece, pieceEnd, reserve(growth * static_cast<std::size_t>(pieceEnd - piece)));
        commit(outEnd);
        piece = stopped;
        if (piece != pieceEnd) break;  // a NUL ends the text
    }
    put('"');
    if (taken != nullptr) *taken = static_cast<std::size_t>(piece - begin);
    return reserve(kRowRoom);
}

std::string CsvWriter::prepareQuoted(std::string_view text) const {
    std::string prepared(expansion(encoding_) * text.size() + 2, '"');
    const char* const end = quoteInto(encoding_, text.data(), text.data() + text.size(), &prepared[1]).second;
    prepared.resize(static_cast<std::size_t>(end - prepared.data()) + 1);
    prepared.back() = '"';
    return prepared;
}

void CsvWriter::putInPieces(std::string_view bytes) {
    while (bytes.size() > kBufferSize - used_) {
        const std::size_t free = kBufferSize - used_;
        std::copy_n(bytes.begin(), free, buffer_ + used_);
        used_ += free;
        bytes.remove_prefix(free);
        emptyBuffer();
    }
    put(bytes);
}

void CsvWriter::emptyBuffer(bool all) {
    const std::size_t size = all ? used_ : used_ / kPage * kPage;
    if (size > 0) {
        stopped_ = true;  // until the sink has taken it all: what a failed write left is unknown
        sink_.write({buffer_, size});
        stopped_ = false;
    }
    std::copy(buffer_ + size, buffer_ + used_, buffer_);
    used_ -= size;
}

void CsvWriter::close() {
    emptyBuffer(true);
    stopped_ = true;
    sink_.close();
}

}  // namespace reelport
