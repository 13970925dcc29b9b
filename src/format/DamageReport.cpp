// SPDX-License-Identifier: MIT
#include "format/DamageReport.h"

#include <algorithm>

namespace reelport {

void DamageReport::add(std::size_t place, std::uint32_t uniqueId, std::string_view prefix, std::string_view what,
                       std::uint32_t number) {
    // The pattern is made and looked up in a buffer kept from finding to
    // finding: a pattern already known costs no memory.
    scratch_.assign(prefix).append(what);
    const auto next = static_cast<std::uint32_t>(patterns_.size());
    const auto known = patterns_.try_emplace(scratch_, next).first;
    findings_.push_back({static_cast<std::uint32_t>(place), uniqueId, known->second, number});
}

void DamageReport::noteDatabase(std::string_view what) { add(0, 0, {}, what, 0); }

void DamageReport::skipRecord(std::size_t index, std::uint32_t uniqueId, std::string_view why) {
    ++skipped_;
    add(index + 1, uniqueId, "skipped: ", why, 0);
}

void DamageReport::alterRecord(std::size_t index, std::uint32_t uniqueId, std::string_view what,
                               std::uint32_t number) {
    add(index + 1, uniqueId, {}, what, number);
}

std::string DamageReport::text(const std::string& path, std::size_t listed, int written) const {
    std::vector<std::string_view> patterns(patterns_.size());
    for (const auto& [pattern, index] : patterns_) patterns[index] = pattern;

    // The report's order: by place, the findings of one place as found. Most
    // damage is found in that order already.
    const auto byPlace = [](const Finding& one, const Finding& other) { return one.place < other.place; };
    if (!std::is_sorted(findings_.begin(), findings_.end(), byPlace)) {
        std::stable_sort(findings_.begin(), findings_.end(), byPlace);
    }

    std::string report;
    std::size_t lines = 0;
    for (std::size_t first = 0, last = 0; first < findings_.size(); first = ++last) {
        // The run this finding starts: the next in order, of the next record
        // with the same text, and so on. A finding about the database stands
        // alone: those share place 0, and no record's finding has their text.
        const Finding& head = findings_[first];
        const auto sameText = [&head](const Finding& other) {
            return other.pattern == head.pattern && other.number == head.number;
        };
        while (last + 1 < findings_.size() && findings_[last + 1].place == findings_[last].place + 1 &&
               sameText(findings_[last + 1])) {
            ++last;
        }
        if (++lines > kShownLines) continue;
        report += path + ": ";
        if (head.place != 0) {
            const Finding& tail = findings_[last];
            report += first == last ? "record " + std::to_string(head.place - 1) + " (unique ID " +
                                          std::to_string(head.uniqueId) + "): "
                                    : "records " + std::to_string(head.place - 1) + "-" +
                                          std::to_string(tail.place - 1) + " (unique IDs " +
                                          std::to_string(head.uniqueId) + "-" + std::to_string(tail.uniqueId) + "): ";
        }
        const std::string_view pattern = patterns[head.pattern];
        const std::size_t gap = pattern.find(kNumber);
        report += pattern.substr(0, gap);
        if (gap != std::string_view::npos) {
            report += std::to_string(head.number);
            report += pattern.substr(gap + kNumber.size());
        }
        report += '\n';
    }
    report += path + ": " + std::to_string(listed) + " records listed, " + std::to_string(written) + " written, " +
              std::to_string(skipped_) + " skipped";
    if (lines > kShownLines) report += " (" + std::to_string(lines - kShownLines) + " more not shown)";
    return report + "\n";
}

}  // namespace reelport
