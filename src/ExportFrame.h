// SPDX-License-Identifier: MIT
// What the two exports share: file names and paths, the check that a database
// belongs to Cinecase 1.2, the CSV writer and its quoted text fields, the
// category names, and the closing line on the console.
#pragma once

#include "CsvWriter.h"
#include "Files.h"
#include "PalmDB.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

// What names one export: the database it reads, the CSV file it writes, and
// what its count line counts.
struct ExportNames {
    std::string_view database;
    std::string_view csv;
    std::string_view noun;
};
inline constexpr ExportNames kTapeExport{kTapesDatabase, kTapesCsv, "tapes"};
inline constexpr ExportNames kProgExport{kProgsDatabase, kProgsCsv, "progs"};

// The path of `fileName` inside `directory`: a separator is put between them
// unless the directory already ends in one ("/" anywhere, and on Windows also
// "\", or a bare drive "X:", whose current directory it names).
std::string composePath(std::string_view directory, std::string_view fileName);

// The directory a command-line argument names. A database file stands for its
// folder: an argument that names an existing regular file (or a link to one)
// called CinecaseTapes.PDB or CinecaseProgs.PDB, ignoring ASCII case, gives
// its directory part, up to and including the last separator ("/"; on
// Windows also "\", or the ":" of a bare drive as in "D:CinecaseTapes.PDB"),
// or "./" (".\" on Windows) when it has none. Any other argument is the
// directory as it stands. On Windows a closing double quote is removed first
// (and a bare drive "D:" left that way becomes "D:\", the root it stood for).
std::string directoryOfArgument(std::string argument);

// Refuses a database that is not a Cinecase 1.2 data file: a wrong creator or
// version ends the run with status 1, a wrong type with a fatal check.
void checkIdentity(const PalmDB& db, DamageReport* damage = nullptr);

// No length limit for `writeQuotedField`.
inline constexpr int kWholeText = -1;

// Writes one quoted CSV field: the text up to its first NUL, and at most
// `maxLength` bytes of it unless maxLength is negative, enclosed in double
// quotes with every double quote inside doubled. Returns the number of bytes
// taken, the NUL not counted. (The two lists write the same fields inline,
// through CsvWriter::quoted, a label cut to its 16 bytes by `tapeLabel`.)
inline std::size_t writeQuotedField(CsvWriter& out, std::string_view text, int maxLength) {
    if (maxLength >= 0) text = text.substr(0, static_cast<std::size_t>(maxLength));
    return out.writeQuoted(text);
}

// The bytes of a record from `offset` to its end; empty when the offset lies
// at or past the end, so a short record never yields bytes it does not hold.
inline std::string_view bytesFrom(std::span<const std::uint8_t> data, std::size_t offset) {
    if (offset >= data.size()) return {};
    return {reinterpret_cast<const char*>(data.data()) + offset, data.size() - offset};
}

// A NUL-terminated text within `bytes`: up to the first NUL, or all of it.
std::string_view untilNul(std::string_view bytes);

// How a record stands to an export of records of one kind (the high four
// bits of its first byte) with fixed fields of `minimumSize` bytes.
enum class RecordFit { Whole, TooShort, OtherKind };  // an empty record has no kind
inline RecordFit fitOf(const RecordEntry& record, std::uint8_t kind, std::size_t minimumSize) {
    if (record.data.empty() || (record.data[0] & 0xF0) != kind) return RecordFit::OtherKind;
    return record.data.size() < minimumSize ? RecordFit::TooShort : RecordFit::Whole;
}

// What a salvage run reports of a record an export passes over as of another
// kind (only where the layout had to be salvaged: elsewhere such records are
// as a default run passes them over), and of a record written whose texts do
// not end inside it: one that runs to where the file was cut, or up to a
// damaged offset.
void reportOtherKind(const PalmDB& db, const RecordEntry& record, std::size_t index, std::string_view kindName,
                     DamageReport* damage);
inline void reportUnended(const PalmDB& db, const RecordEntry& record, std::size_t index, bool textsEnded,
                          DamageReport* damage) {
    if (damage == nullptr || !db.salvaged() || textsEnded) return;
    damage->alterRecord(index, record.uniqueId, "its texts do not end inside the record: written as far as they go");
}

// The name of category `index` (0 to 15) from an application-info block, which
// starts with the category table: a u16, then 16 names of 16 bytes each. At
// most the name's own slot is read; a slot outside the block gives "".
std::string_view categoryName(std::span<const std::uint8_t> appInfo, unsigned index);

// The 16 category names as the quoted fields of a row, prepared once per
// export for `out`: a record's category index picks one.
class CategoryFields {
public:
    // Room for a field in a row: a quoted name of 16 bytes, each up to three in UTF-8.
    static constexpr std::size_t kRoom = 64;
    static_assert(kRoom >= 2 + kCategoryNameSize * kMaxUtf8Size);

    CategoryFields(std::span<const std::uint8_t> appInfo, const CsvWriter& out);
    // Writes the field of category `index` at `at`, in room for kRoom bytes
    // (all of which it fills, in one copy of a fixed size); returns its end.
    char* put(char* at, unsigned index) const {
        std::memcpy(at, fields_[index].data(), kRoom);
        return at + sizes_[index];
    }

private:
    std::array<std::array<char, kRoom>, 16> fields_{};
    std::array<std::size_t, 16> sizes_{};
};

// Writes the rows of one CSV file and returns their count.
using RowWriter = std::function<int(const PalmDB& db, CsvWriter& out, DamageReport* damage)>;

// What the tool prints once an export has written its CSV file: the count
// line "<count> <noun> exported to <csv path>" for standard output, and in a
// salvage run what it found damaged, for standard error ("" when nothing).
struct ExportLines {
    std::string count;
    std::string report;
};
ExportLines exportLines(std::string_view noun, std::string_view csvPath, int rows, const PalmDB& db,
                        const DamageReport* damage);

// One export from start to end: reads the database `names` gives in
// `directory` into `db`, checks its identity, writes the CSV file beside it in
// `encoding` with `writeRows` (unless that name is one of the two databases),
// and prints its `exportLines`: the count line on `console`, the damage report
// on standard error.
void runExport(std::string_view directory, const ExportNames& names, PalmDB& db, Console& console,
               const RowWriter& writeRows, DamageReport* damage = nullptr, CsvEncoding encoding = CsvEncoding::Palm);

}  // namespace reelport
