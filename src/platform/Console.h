// SPDX-License-Identifier: MIT
// Standard output and standard error: the usage text, the count lines, the
// reports and failures.
#pragma once

#include <cstdio>
#include <string_view>

namespace reelport {

// A write to standard output that fails does not end the run, as the CSV
// files are the work and the count lines only a report; the first error is
// kept for the run to report once all else is done. The tool's texts are
// UTF-8: on Windows, a stream that is the console itself is written through
// the console's wide-character interface, so that a name in any script
// shows as it is whatever the console's code page.
class Console {
public:
    explicit Console(std::FILE* stream) : stream_(stream) {}

    // Writes `text` and passes it on at once, so a failure is seen here.
    void write(std::string_view text);
    // The error number of the first write that failed; 0 when none did.
    int error() const { return error_; }

private:
    std::FILE* stream_;
    int error_ = 0;
};

// While it lives, standard error goes nowhere: around calls into a library
// that writes its own lines there on a failure, which the tool reports in
// its own words.
class SilencedStandardError {
public:
    SilencedStandardError();
    ~SilencedStandardError();
    SilencedStandardError(const SilencedStandardError&) = delete;
    SilencedStandardError& operator=(const SilencedStandardError&) = delete;

private:
    int saved_ = -1;  // standard error's own descriptor, kept aside
};


}  // namespace reelport
