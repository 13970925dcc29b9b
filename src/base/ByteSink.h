// SPDX-License-Identifier: MIT
// Where written bytes go: a file created by the command line, or memory for
// the web page, the fuzz harness and the tests.
#pragma once

#include <string>
#include <string_view>

namespace reelport {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all of `bytes`, or ends the run with a failure; what a failed
    // write left behind is unknown, so nothing is written again after one.
    virtual void write(std::string_view bytes) = 0;
    // Finishes the output; a failure ends the run.
    virtual void close() = 0;
};

// Keeps everything written in a string.
class MemorySink : public ByteSink {
public:
    explicit MemorySink(std::string& text) : text_(text) {}
    void write(std::string_view bytes) override { text_.append(bytes); }
    void close() override {}

private:
    std::string& text_;
};

}  // namespace reelport
