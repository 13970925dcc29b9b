// SPDX-License-Identifier: MIT
// The catalogue in a directory of the file system, as the command line
// converts it: the databases read from it, the outputs written beside them.
#pragma once

#include "run/Place.h"

#include <string>

namespace reelport {

class DirectoryPlace : public Place {
public:
    explicit DirectoryPlace(std::string directory) : directory_(std::move(directory)) {}

    // A database named in another case is read where the exact name is missing.
    FileImage readDatabase(std::string_view name, std::string& path) override;
    std::string outputPath(std::string_view name) const override;
    // Refuses to let an output replace a database: when a file exists at the
    // output's path and is the very file a database is read from (a link made
    // by mistake, symbolic or hard), the run ends with
    // "<output path>: is the same file as <database path>". Creating the
    // output would empty the database, the only copy of the catalogue, also
    // the one not read yet.
    std::unique_ptr<ByteSink> createOutput(std::string_view name) override;
    std::string beginScratch(std::string_view name) override;
    void keepScratch(const std::string& scratch, std::string_view name) override;

private:
    void refuseDatabase(const std::string& path) const;

    std::string directory_;
};

}  // namespace reelport
