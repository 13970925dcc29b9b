// SPDX-License-Identifier: MIT
// Where a run's texts go as they come: the count lines to standard output,
// the damage reports and the failure to standard error (or, in memory, into
// one list in the order printed).
#pragma once

#include <string_view>

namespace reelport {

class Messages {
public:
    virtual ~Messages() = default;
    virtual void print(std::string_view text) = 0;   // standard output
    virtual void report(std::string_view text) = 0;  // standard error
};

}  // namespace reelport
