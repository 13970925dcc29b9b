// SPDX-License-Identifier: MIT
// What a run does with damage in one database, and what a salvage run
// (`reelport --salvage`) found damaged there.
//
// A default run ends at the first damage with its fatal check. A salvage run keeps every record it can read exactly and passes over the
// rest. Each part passed over or written in part is one finding. The report
// on standard error gives them in a fixed order: those about the database as
// a whole first, as found, then those about records by place in the record
// list, the findings of one record as found. Consecutive findings that differ
// only in the record make one line: a run of records with consecutive places
// and the same text, next to each other in that order. At most kShownLines
// such lines are shown per database, then a line counts the records the
// database lists, the rows written, the records skipped and the lines not
// shown. A database without findings gives no report at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace reelport {

class DamageReport {
public:
    static constexpr std::size_t kShownLines = 20;

    explicit DamageReport(bool salvage = false) : salvage_(salvage) {}
    // Whether damage is salvaged and reported here; else it ends the run.
    bool salvaging() const { return salvage_; }

    // A finding about the database as a whole: a part of its layout.
    void noteDatabase(std::string_view what);
    // A record passed over, counted as skipped.
    void skipRecord(std::size_t index, std::uint32_t uniqueId, std::string_view why);
    // Records of the list that could not even be read, counted as skipped.
    void skipUnlisted(std::size_t count) { skipped_ += count; }
    // A record written with a part missing; `kNumber` in `what` stands for
    // `number` (the findings of programmes on different missing tapes share
    // one text, their tape's ID apart).
    static constexpr std::string_view kNumber = "{}";
    void alterRecord(std::size_t index, std::uint32_t uniqueId, std::string_view what, std::uint32_t number = 0);

    bool empty() const { return findings_.empty(); }
    // The records counted as skipped so far.
    std::size_t skipped() const { return skipped_; }

    // The report's lines: the findings shown, then the summary line.
    std::string text(const std::string& path, std::size_t listed, int written) const;

private:
    // Every finding is kept until the report is written, since one found late
    // may belong before those found earlier (the programme list finds them in
    // tape order) or extend their run. A damaged database of 65535 records may
    // have a finding for each, so a finding is four numbers: its text is kept
    // once, as a pattern, with the number that fills its kNumber apart, so
    // that the findings of programmes on 65535 missing tapes, each naming its
    // own tape, share one pattern.
    struct Finding {
        std::uint32_t place;     // 0 for the database, else the record's place in the list plus 1
        std::uint32_t uniqueId;  // the record's
        std::uint32_t pattern;   // its index in patterns_
        std::uint32_t number;    // the number that fills the pattern's kNumber
    };

    void add(std::size_t place, std::uint32_t uniqueId, std::string_view prefix, std::string_view what,
             std::uint32_t number);

    // As found, until `text` puts them into the report's order where they lie
    // (a stable sort by place, which changes nothing any report shows).
    mutable std::vector<Finding> findings_;
    std::unordered_map<std::string, std::uint32_t> patterns_;  // each pattern, and its index
    std::string scratch_;  // a pattern being looked up, its memory reused
    std::size_t skipped_ = 0;
    bool salvage_;
};

}  // namespace reelport
