// SPDX-License-Identifier: MIT
#include "catalogue/Identity.h"

#include "base/ByteOrder.h"
#include "base/Failure.h"

#include <string>

namespace reelport {

namespace {

constexpr std::uint32_t kType = fourCharCode("DATA");
constexpr std::uint16_t kVersion = 0x12;  // shown as 1.2: major in the high bits, minor in the low four

}  // namespace

std::string versionText(std::uint16_t version) {
    return std::to_string(version >> 4) + "." + std::to_string(version & 0x0F);
}

void checkIdentity(const PalmDB& db, DamageReport& damage) {
    const PdbHeader& header = db.header();
    if (header.creator != kCinecaseCreator) {
        refuse(FailureKind::NotCinecase,
               "Invalid creator ID!\nThe file " + db.path() + " is not a valid Cinecase database.\n", db.path());
    }
    if (header.version != kVersion) {
        refuse(FailureKind::WrongVersion,
               "Wrong database version!\n"
               "This conversion tool only works for version 1.2 of Cinecase databases.\n"
               "The file " + db.path() + " seems to be from version " + versionText(header.version) + "\n",
               db.path());
    }
    if (header.type != kType) {
        if (!damage.salvaging()) fatalCheck("wrong PDB type");
        damage.noteDatabase("type is not DATA (wrong PDB type): read all the same");
    }
}

}  // namespace reelport
