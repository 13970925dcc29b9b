// SPDX-License-Identifier: MIT
#include "DamageReport.h"

#include <algorithm>
#include <charconv>

namespace reelport {

void DamageReport::add(std::size_t place, std::uint32_t uniqueId, std::string_view prefix, std::string_view what) {
    // The pattern is made and looked up in a buffer kept from finding to
    // finding: a pattern already known costs no memory.
    scratch_.assign(prefix).append(what);
    std::uint32_t number = 0;
    const std::size_t digits = scratch_.find_first_of("0123456789");
    if (digits != std::string::npos) {
        // Only a number written as the report writes it back: no leading zero, within 32 bits.
        const char* const start = scratch_.data() + digits;
        const auto [end, error] = std::from_chars(start, scratch_.data() + scratch_.size(), number);
        if (error == std::errc() && (end - start == 1 || *start != '0')) {
            scratch_.replace(digits, static_cast<std::size_t>(end - start), 1, '\0');
        } else {
            number = 0;
        }
    }
    const auto next = static_cast<std::uint32_t>(patterns_.size());
    const auto known = patterns_.try_emplace(scratch_, next).first;
    findings_.push_back({static_cast<std::uint32_t>(place), uniqueId, known->second, number});
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
        const std::size_t gap = pattern.find('\0');
        report += pattern.substr(0, gap);
        if (gap != std::string_view::npos) {
            report += std::to_string(head.number);
            report += pattern.substr(gap + 1);
        }
        report += '\n';
    }
    report += path + ": " + std::to_string(listed) + " records listed, " + std::to_string(written) + " written, " +
              std::to_string(skipped_) + " skipped";
    if (lines > kShownLines) report += " (" + std::to_string(lines - kShownLines) + " more not shown)";
    return report + "\n";
}

}  // namespace reelport
