// SPDX-License-Identifier: MIT
// Where a run finds its two databases and writes its outputs: a directory of
// the file system for the command line (DirectoryPlace.h), memory for the web
// page and the fuzz harness (MemoryRun.h).
#pragma once

#include "base/ByteSink.h"
#include "base/FileImage.h"

#include <memory>
#include <string>
#include <string_view>

namespace reelport {

class Place {
public:
    virtual ~Place() = default;

    // Reads the database called `name` and sets `path` to where it was read
    // from: a name in another case where the exact one is missing. One that
    // cannot be read ends the run.
    virtual FileImage readDatabase(std::string_view name, std::string& path) = 0;
    // Where the output called `name` goes: the path its messages name.
    virtual std::string outputPath(std::string_view name) const = 0;
    // Creates (or empties) the output called `name`; a name that is one of
    // the databases is refused, and one that cannot be created ends the run.
    virtual std::unique_ptr<ByteSink> createOutput(std::string_view name) = 0;
};

}  // namespace reelport
