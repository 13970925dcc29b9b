// SPDX-License-Identifier: MIT
#include "ExportFrame.h"

#include "Failure.h"

#include <algorithm>
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

// The length of the directory part of `path`: up to and including its last
// separator, 0 when it has none. Windows takes "/" as a separator too, and
// "X:" as the current directory of drive X, so "D:name" is "name" there.
std::size_t directoryPartLength(std::string_view path) {
#ifdef _WIN32
    const std::size_t last = path.find_last_of("\\/");
    if (last != std::string_view::npos) return last + 1;
    if (path.size() < 2 || path[1] != ':') return 0;
    const auto letter = static_cast<unsigned char>(path[0] | 0x20);
    return letter >= 'a' && letter <= 'z' ? 2 : 0;
#else
    const std::size_t last = path.rfind(kSeparator);
    return last == std::string_view::npos ? 0 : last + 1;
#endif
}

// Whether a file name can follow `directory` as it is.
bool endsDirectory(std::string_view directory) {
    return !directory.empty() && directoryPartLength(directory) == directory.size();
}

}  // namespace

std::string composePath(std::string_view directory, std::string_view fileName) {
    std::string path(directory);
    if (!endsDirectory(directory)) path += kSeparator;
    path += fileName;
    return path;
}

std::string directoryOfArgument(std::string argument) {
#ifdef _WIN32
    // The command prompt passes "D:\Palm Backup\" on as D:\Palm Backup" (a
    // backslash before a double quote makes the quote text), and no Windows
    // name holds a double quote. A bare drive gets back the backslash the
    // quote stood for: "D:\" is the drive's root, not its current folder.
    if (argument.size() > 1 && argument.back() == '"') {
        argument.pop_back();
        if (argument.size() == 2 && argument[1] == ':' && endsDirectory(argument)) argument += kSeparator;
    }
#endif
    const std::size_t length = directoryPartLength(argument);
    const std::string_view name = std::string_view(argument).substr(length);
    const bool database = equalIgnoringAsciiCase(name, kTapesDatabase) || equalIgnoringAsciiCase(name, kProgsDatabase);
    if (!database || !isRegularFile(argument)) return argument;
    return length == 0 ? std::string{'.', kSeparator} : argument.substr(0, length);
}

void checkIdentity(const PalmDB& db, DamageReport* damage) {
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
    if (header.type != kType) {
        if (damage == nullptr) fatalCheck("wrong PDB type");
        damage->noteDatabase("type is not DATA (wrong PDB type): read all the same");
    }
}

std::string_view untilNul(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

std::string_view categoryName(std::span<const std::uint8_t> appInfo, unsigned index) {
    const std::string_view slot = bytesFrom(appInfo, kCategoryTableStart + kCategoryNameSize * index);
    return untilNul(slot.substr(0, kCategoryNameSize));
}

void reportOtherKind(const PalmDB& db, const RecordEntry& record, std::size_t index, std::string_view kindName,
                     DamageReport* damage) {
    if (damage == nullptr || !db.salvaged() || record.skipped) return;  // a record skipped is reported already
    damage->skipRecord(index, record.uniqueId, record.data.empty() ? "empty" : "not a " + std::string(kindName));
}

CategoryFields::CategoryFields(std::span<const std::uint8_t> appInfo, const CsvWriter& out) {
    for (unsigned index = 0; index < fields_.size(); ++index) {
        const std::string field = out.prepareQuoted(categoryName(appInfo, index));
        std::copy(field.begin(), field.end(), fields_[index].begin());
        sizes_[index] = field.size();
    }
}

ExportLines exportLines(std::string_view noun, std::string_view csvPath, int rows, const PalmDB& db,
                        const DamageReport* damage) {
    char count[16];
    std::snprintf(count, sizeof count, "%4d ", rows);
    ExportLines lines{count + std::string(noun) + " exported to " + std::string(csvPath) + "\n", {}};
    if (damage != nullptr && !damage->empty()) lines.report = damage->text(db.path(), db.header().numRecords, rows);
    return lines;
}

void runExport(std::string_view directory, const ExportNames& names, PalmDB& db, Console& console,
               const RowWriter& writeRows, DamageReport* damage, CsvEncoding encoding) {
    db.read(composePath(directory, names.database), damage);
    checkIdentity(db, damage);

    const std::string csvPath = composePath(directory, names.csv);
    // Both databases, also the one not yet read: the tape list must not empty
    // the programme database either.
    for (const std::string_view database : {kTapesDatabase, kProgsDatabase}) {
        refuseToReplaceInput(csvPath, composePath(directory, database));
    }
    CsvWriter csv(csvPath, encoding);
    const int rows = writeRows(db, csv, damage);
    csv.close();

    const ExportLines lines = exportLines(names.noun, csvPath, rows, db, damage);
    console.write(lines.count);
    std::fputs(lines.report.c_str(), stderr);
}

}  // namespace reelport
