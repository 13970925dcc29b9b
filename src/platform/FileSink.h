// SPDX-License-Identifier: MIT
#pragma once

#include "base/ByteSink.h"

#include <cstdio>
#include <memory>
#include <string>

namespace reelport {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

// An output file opened for writing, unbuffered; a failed write or close
// ends the run with "<path>: <error>".
class FileSink : public ByteSink {
public:
    FileSink(std::FILE* file, std::string path);
    void write(std::string_view bytes) override;
    void close() override;

private:
    OpenFile file_;
    std::string path_;
};

}  // namespace reelport
