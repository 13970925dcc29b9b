// SPDX-License-Identifier: MIT
#include "DamageReport.h"

namespace reelport {

namespace {

std::string recordName(std::size_t index, std::uint32_t uniqueId) {
    return "record " + std::to_string(index) + " (unique ID " + std::to_string(uniqueId) + "): ";
}

}  // namespace

void DamageReport::add(std::string line) {
    if (findings_++ < kShownFindings) shown_.push_back(std::move(line));
}

void DamageReport::noteDatabase(std::string_view what) { add(std::string(what)); }

void DamageReport::skipRecord(std::size_t index, std::uint32_t uniqueId, std::string_view why) {
    ++skipped_;
    add(recordName(index, uniqueId) + "skipped: " + std::string(why));
}

void DamageReport::alterRecord(std::size_t index, std::uint32_t uniqueId, std::string_view what) {
    add(recordName(index, uniqueId) + std::string(what));
}

std::string DamageReport::text(const std::string& path, std::size_t listed, int written) const {
    std::string text;
    for (const std::string& finding : shown_) text += path + ": " + finding + "\n";
    text += path + ": " + std::to_string(listed) + " records listed, " + std::to_string(written) + " written, " +
            std::to_string(skipped_) + " skipped";
    if (findings_ > shown_.size()) text += " (" + std::to_string(findings_ - shown_.size()) + " more not shown)";
    return text + "\n";
}

}  // namespace reelport
