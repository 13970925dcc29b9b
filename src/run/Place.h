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

    // An output that a library writes by name (the workbook) is first
    // written into a scratch file of its own, beside the output where there
    // is a folder. beginScratch makes that file and returns its path; the
    // name of a database is refused as by createOutput. keepScratch gives the
    // whole file the output's name, replacing an older output only then; a
    // scratch file not kept is removed (ScratchFile).
    virtual std::string beginScratch(std::string_view name) = 0;
    virtual void keepScratch(const std::string& scratch, std::string_view name) = 0;
};

}  // namespace reelport
