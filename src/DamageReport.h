// SPDX-License-Identifier: MIT
// What a salvage run (`reelport --salvage`) found damaged in one database.
//
// A salvage run keeps every record it can read exactly and passes over the
// rest. Each part passed over or written in part is one finding; the report
// on standard error names at most kShownFindings of them per database, those
// about the database as a whole first, then by place in the record list, and
// counts the records the database lists, the rows written and the records
// skipped. A database without findings gives no report at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace reelport {

class DamageReport {
public:
    static constexpr std::size_t kShownFindings = 20;

    // A finding about the database as a whole: a part of its layout.
    void noteDatabase(std::string_view what);
    // A record passed over, counted as skipped.
    void skipRecord(std::size_t index, std::uint32_t uniqueId, std::string_view why);
    // Records of the list that could not even be read, counted as skipped.
    void skipUnlisted(std::size_t count) { skipped_ += count; }
    // A record written with a part missing.
    void alterRecord(std::size_t index, std::uint32_t uniqueId, std::string_view what);

    bool empty() const { return findings_ == 0; }

    // The report's lines: the findings shown, then the summary line.
    std::string text(const std::string& path, std::size_t listed, int written) const;

private:
    // Keeps the finding among those shown when it comes before one of them;
    // `place` 0 for the database, else the record's place in the list plus 1.
    void add(std::size_t place, std::string line);

    std::vector<std::pair<std::size_t, std::string>> shown_;  // by place, each without the path
    std::size_t findings_ = 0;
    std::size_t skipped_ = 0;
};

}  // namespace reelport
