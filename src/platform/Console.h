// SPDX-License-Identifier: MIT
// Standard output: the usage text and the count lines.
#pragma once

#include <cstdio>
#include <string_view>

namespace reelport {

// A write to standard output that fails does not end the run, as the CSV
// files are the work and the count lines only a report; the first error is
// kept for the run to report once all else is done.
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

#ifdef _WIN32
// While it lives, a console that shows standard output or standard error
// takes the tool's UTF-8 text as UTF-8, so a name in any script shows as it
// is; the console's own code page is set back at the end.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    unsigned previousCodePage_ = 0;
};
#endif

}  // namespace reelport
