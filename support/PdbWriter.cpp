// SPDX-License-Identifier: MIT
#include "PdbWriter.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace reelport {

namespace {

constexpr std::size_t kHeaderFields = 78;
constexpr std::size_t kEntrySize = 8;

void put16(Bytes& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value >> 8);
    out[at + 1] = static_cast<std::uint8_t>(value);
}

void put32(Bytes& out, std::size_t at, std::uint32_t value) {
    put16(out, at, value >> 16);
    put16(out, at + 2, value & 0xFFFF);
}

// Grows the vector and copies into it rather than inserting a range at its
// end: g++ 12 at -O3 warns of a false -Warray-bounds in the inlined insert.
void append(Bytes& out, std::string_view text) {
    const std::size_t at = out.size();
    out.resize(at + text.size());
    std::copy(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace

Bytes buildPdb(const PdbFile& file) {
    const std::size_t listEnd = kHeaderFields + kEntrySize * file.records.size() + file.filler;
    const std::size_t appInfoAt = listEnd;
    const std::size_t sortInfoAt = appInfoAt + (file.appInfo ? file.appInfo->size() : 0);
    const std::size_t recordsAt = sortInfoAt + (file.sortInfo ? file.sortInfo->size() : 0);

    Bytes out(listEnd, 0);
    std::copy_n(file.name.begin(), std::min<std::size_t>(file.name.size(), 31), out.begin());
    put16(out, 32, file.attributes);
    put16(out, 34, file.version);
    put32(out, 52, file.appInfoOffset.value_or(file.appInfo ? static_cast<std::uint32_t>(appInfoAt) : 0));
    put32(out, 56, file.sortInfoOffset.value_or(file.sortInfo ? static_cast<std::uint32_t>(sortInfoAt) : 0));
    put32(out, 60, file.type);
    put32(out, 64, file.creator);
    put32(out, 72, file.nextRecordListId);
    put16(out, 76, file.numRecords.value_or(static_cast<std::uint16_t>(file.records.size())));

    std::size_t recordAt = recordsAt;
    for (std::size_t i = 0; i < file.records.size(); ++i) {
        const PdbRecord& record = file.records[i];
        const std::size_t entryAt = kHeaderFields + kEntrySize * i;
        put32(out, entryAt, record.offset.value_or(static_cast<std::uint32_t>(recordAt)));
        out[entryAt + 4] = record.attributes;
        out[entryAt + 5] = static_cast<std::uint8_t>(record.uniqueId >> 16);
        out[entryAt + 6] = static_cast<std::uint8_t>(record.uniqueId >> 8);
        out[entryAt + 7] = static_cast<std::uint8_t>(record.uniqueId);
        recordAt += record.data.size();
    }

    if (file.appInfo) out.insert(out.end(), file.appInfo->begin(), file.appInfo->end());
    if (file.sortInfo) out.insert(out.end(), file.sortInfo->begin(), file.sortInfo->end());
    for (const PdbRecord& record : file.records) out.insert(out.end(), record.data.begin(), record.data.end());
    return out;
}

void writeBytes(const std::string& path, const Bytes& bytes) {
    // The path is UTF-8: on Windows a name in any script is reached too.
    const std::filesystem::path name(std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
    std::ofstream file(name, std::ios::binary);
    if (!bytes.empty()) file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

Bytes categoryBlock(const std::vector<std::string>& names) {
    Bytes block(2 + 16 * 16, 0);
    for (std::size_t i = 0; i < names.size() && i < 16; ++i) {
        std::copy_n(names[i].begin(), std::min<std::size_t>(names[i].size(), 16), &block[2 + 16 * i]);
    }
    return block;
}

Bytes tapeRecord(const TapeFields& tape) {
    Bytes data(35, 0);
    data[0] = 0xA0;
    std::copy_n(tape.label.begin(), std::min<std::size_t>(tape.label.size(), 16), &data[2]);
    put16(data, 18, tape.lengthSeconds);
    append(data, tape.note);
    data.push_back(0);
    return data;
}

Bytes progRecord(const ProgFields& prog) {
    Bytes data(18, 0);
    data[0] = 0xB0;
    data[1] = prog.flags;
    data[2] = prog.rating;
    put32(data, 4, prog.tapeId);
    put16(data, 8, prog.order);
    put16(data, 12, prog.storedLength);
    put16(data, 14, prog.date);
    append(data, prog.title);
    data.push_back(0);
    append(data, prog.note);
    data.push_back(0);
    return data;
}

}  // namespace reelport
