// SPDX-License-Identifier: MIT
#include "DamageReport.h"

#include <algorithm>
#include <span>

namespace reelport {

void DamageReport::add(std::size_t place, std::uint32_t uniqueId, std::string_view prefix, std::string_view what) {
    // Looked up in a buffer kept from finding to finding: a text already
    // known costs no memory.
    scratch_.assign(prefix).append(what);
    const auto next = static_cast<std::uint32_t>(textIndexes_.size());
    const auto known = textIndexes_.try_emplace(scratch_, next).first;
    findings_.push_back({static_cast<std::uint32_t>(place), uniqueId, known->second});
}

void DamageReport::noteDatabase(std::string_view what) { add(0, 0, {}, what); }

void DamageReport::skipRecord(std::size_t index, std::uint32_t uniqueId, std::string_view why) {
    ++skipped_;
    add(index + 1, uniqueId, "skipped: ", why);
}

void DamageReport::alterRecord(std::size_t index, std::uint32_t uniqueId, std::string_view what) {
    add(index + 1, uniqueId, {}, what);
}

std::string DamageReport::text(const std::string& path, std::size_t listed, int written) const {
    std::vector<std::string_view> texts(textIndexes_.size());
    for (const auto& [text, index] : textIndexes_) texts[index] = text;

    // The report's order: by place, the findings of one place as found. Most
    // damage is found in that order already.
    const auto byPlace = [](const Finding& one, const Finding& other) { return one.place < other.place; };
    std::span<const Finding> ordered = findings_;
    std::vector<Finding> sorted;
    if (!std::is_sorted(findings_.begin(), findings_.end(), byPlace)) {
        sorted = findings_;
        std::stable_sort(sorted.begin(), sorted.end(), byPlace);
        ordered = sorted;
    }

    std::string report;
    std::size_t lines = 0;
    for (std::size_t first = 0, last = 0; first < ordered.size(); first = ++last) {
        // The run this finding starts: the next in order, of the next record
        // with the same text, and so on. A finding about the database stands
        // alone: those share place 0, and no record's finding has their text.
        const Finding& head = ordered[first];
        while (last + 1 < ordered.size() && ordered[last + 1].place == ordered[last].place + 1 &&
               ordered[last + 1].text == head.text) {
            ++last;
        }
        if (++lines > kShownLines) continue;
        report += path + ": ";
        if (head.place != 0) {
            const Finding& tail = ordered[last];
            report += first == last ? "record " + std::to_string(head.place - 1) + " (unique ID " +
                                          std::to_string(head.uniqueId) + "): "
                                    : "records " + std::to_string(head.place - 1) + "-" +
                                          std::to_string(tail.place - 1) + " (unique IDs " +
                                          std::to_string(head.uniqueId) + "-" + std::to_string(tail.uniqueId) + "): ";
        }
        report += texts[head.text];
        report += '\n';
    }
    report += path + ": " + std::to_string(listed) + " records listed, " + std::to_string(written) + " written, " +
              std::to_string(skipped_) + " skipped";
    if (lines > kShownLines) report += " (" + std::to_string(lines - kShownLines) + " more not shown)";
    return report + "\n";
}

}  // namespace reelport
