// SPDX-License-Identifier: MIT
#include "DamageReport.h"

#include <algorithm>

namespace reelport {

namespace {

std::string recordName(std::size_t index, std::uint32_t uniqueId) {
    return "record " + std::to_string(index) + " (unique ID " + std::to_string(uniqueId) + "): ";
}

}  // namespace

void DamageReport::add(std::size_t place, std::string line) {
    ++findings_;
    // After every finding of the same place: findings of one place keep their order.
    const auto at = std::upper_bound(shown_.begin(), shown_.end(), place,
                                     [](std::size_t value, const auto& shown) { return value < shown.first; });
    if (at - shown_.begin() >= static_cast<std::ptrdiff_t>(kShownFindings)) return;
    shown_.insert(at, {place, std::move(line)});
    if (shown_.size() > kShownFindings) shown_.pop_back();
}

void DamageReport::noteDatabase(std::string_view what) { add(0, std::string(what)); }

void DamageReport::skipRecord(std::size_t index, std::uint32_t uniqueId, std::string_view why) {
    ++skipped_;
    add(index + 1, recordName(index, uniqueId) + "skipped: " + std::string(why));
}

void DamageReport::alterRecord(std::size_t index, std::uint32_t uniqueId, std::string_view what) {
    add(index + 1, recordName(index, uniqueId) + std::string(what));
}

std::string DamageReport::text(const std::string& path, std::size_t listed, int written) const {
    std::string text;
    for (const auto& [place, finding] : shown_) text += path + ": " + finding + "\n";
    text += path + ": " + std::to_string(listed) + " records listed, " + std::to_string(written) + " written, " +
            std::to_string(skipped_) + " skipped";
    if (findings_ > shown_.size()) text += " (" + std::to_string(findings_ - shown_.size()) + " more not shown)";
    return text + "\n";
}

}  // namespace reelport
