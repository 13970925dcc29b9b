// SPDX-License-Identifier: MIT
// What makes a Palm database one of Cinecase's: its file name, its creator
// "Qox0", its version 1.2 and its type "DATA".
#pragma once

#include "base/ByteOrder.h"
#include "format/DamageReport.h"
#include "format/PalmDB.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace reelport {

inline constexpr std::string_view kTapesDatabase = "CinecaseTapes.PDB";
inline constexpr std::string_view kProgsDatabase = "CinecaseProgs.PDB";
inline constexpr std::uint32_t kCinecaseCreator = fourCharCode("Qox0");

// A header's version as Cinecase shows it: major in the high bits, minor in
// the low four ("1.2").
std::string versionText(std::uint16_t version);

// Refuses a database that is not a Cinecase 1.2 data file: a wrong creator or
// version ends the run, a wrong type too, with a fatal check, unless `damage`
// is salvaging: then the type is reported there and the database read.
void checkIdentity(const PalmDB& db, DamageReport& damage);

}  // namespace reelport
