// SPDX-License-Identifier: MIT
// The two exports of a Cinecase catalogue: the tape list and the programme list.
#pragma once

#include "ExportFrame.h"
#include "PalmDB.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace reelport {

// What both exports read of a tape record (TapeExport.cpp shows its layout):
// its label, at most 16 bytes up to a NUL (a record too short holds fewer or
// none).
inline constexpr std::size_t kTapeLabelOffset = 2;
inline constexpr std::size_t kTapeLabelSize = 16;
inline std::string_view tapeLabel(const RecordEntry& tape) {
    return bytesFrom(tape.data, kTapeLabelOffset).substr(0, kTapeLabelSize);
}

// Reads "CinecaseTapes.PDB" in `directory` into `tapesDb` and writes
// "CinecaseTapes.CSV" beside it: one row per tape record, in file order. With
// `damage`, a salvage run: what is damaged is skipped and reported there.
// In `encoding`: the handheld's bytes as they are, or UTF-8.
void exportTapes(const std::string& directory, PalmDB& tapesDb, Console& console, DamageReport* damage = nullptr,
                 CsvEncoding encoding = CsvEncoding::Palm);

// Reads "CinecaseProgs.PDB" into `progsDb` and writes "CinecaseProgs.CSV": one
// row per programme record, grouped by tape, each carrying the label of its
// tape from `tapesDb`, which `exportTapes` has read. A programme's tape is the
// first record listed with its tape ID as unique ID, of whatever kind; it is
// missing when there is none, or when that record's data could not be read
// (salvage only).
void exportProgs(const std::string& directory, PalmDB& progsDb, const PalmDB& tapesDb, Console& console,
                 DamageReport* damage = nullptr, CsvEncoding encoding = CsvEncoding::Palm);

// The CSV text of each export (header line, rows, empty closing line) for
// databases already read; each returns the number of rows. A record too
// short for its fields, or a programme whose tape is missing, ends the run
// with a fatal check; in a salvage run (with `damage`) the record is skipped,
// the programme written with an empty tape label, and both are reported.
int writeTapeList(const PalmDB& tapesDb, CsvWriter& out, DamageReport* damage = nullptr);
int writeProgList(const PalmDB& progsDb, const PalmDB& tapesDb, CsvWriter& out, DamageReport* damage = nullptr);
// writeProgList as the RowWriter of an export, looking tapes up in `tapesDb`.
RowWriter progListWriter(const PalmDB& tapesDb);

}  // namespace reelport
