// SPDX-License-Identifier: MIT
// How the tool finds, reads and creates its files: a database is read whole
// into memory (mapped where the system allows), found under a name that
// differs only in case when the exact name is missing; a CSV file is created
// or emptied for writing, never when it is one of the databases. Every
// failure ends the run with "<path>: <error>".
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace reelport {

// A file's bytes in memory, and what keeps them there.
struct FileImage {
    std::span<const std::uint8_t> bytes;
    std::shared_ptr<const void> owner;
};

// Bytes already in memory, kept for as long as the image lives.
FileImage heapImage(std::vector<std::uint8_t> bytes);

// Reads the whole file at `path`. When the directory has no entry of that
// exact name, a file of the same directory whose name differs only in ASCII
// case is read instead, and `path` is changed to name it. Anything but a
// regular file reads as empty, so a device or a named pipe can never make the
// read endless.
FileImage readWholeFile(std::string& path);

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OutputFile = std::unique_ptr<std::FILE, FileCloser>;

// Creates or empties the file at `path` for writing, unbuffered: the caller
// gathers its own blocks.
OutputFile createOutputFile(const std::string& path);

// Refuses to let `outputPath` replace a database: when a file exists at
// `outputPath` and is the very file a database at `inputPath` is read from (a
// link made by mistake, symbolic or hard), the run ends with status 1 and
// "<output path>: is the same file as <database path>". Creating the output
// would empty the database while the tool reads it, and with it the only copy
// of the catalogue.
void refuseToReplaceInput(const std::string& outputPath, const std::string& inputPath);

}  // namespace reelport
