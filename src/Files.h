// SPDX-License-Identifier: MIT
// How the tool finds, reads and creates its files, and writes to standard
// output: a database is read whole into memory (mapped where the system
// allows), found under a name that differs only in case when the exact name is
// missing; a CSV file is created or emptied for writing, never when it is one
// of the databases. Every file failure ends the run with "<path>: <error>".
// Paths are UTF-8 on Windows, where the system's names are UTF-16, and bytes
// as they are elsewhere.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace reelport {

// A file's bytes in memory, and what keeps them there.
struct FileImage {
    std::span<const std::uint8_t> bytes;
    std::shared_ptr<const void> owner;
};

// Bytes already in memory, kept for as long as the image lives.
FileImage heapImage(std::vector<std::uint8_t> bytes);

// Whether two names are the same but for the case of ASCII letters.
bool equalIgnoringAsciiCase(std::string_view a, std::string_view b);

// Whether `path` names an existing regular file, a link followed.
bool isRegularFile(const std::string& path);

// Among `names` (the entries of a directory, or the files a user chose), the
// one a database called `wanted` is read from: `wanted` itself, else the
// first in byte order that differs from it only in ASCII case. Backups copied
// through other systems often come back as "cinecasetapes.pdb" or
// "CINECASETAPES.PDB". Nothing when no name matches.
std::optional<std::size_t> findByName(std::span<const std::string> names, std::string_view wanted);

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

// Standard output: the usage text and the count lines. A write that fails
// does not end the run, as the CSV files are the work and the count lines only
// a report; the first error is kept for the run to report once all else is done.
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

#ifdef _WIN32
// The arguments after the program's name, from the wide-character entry, as
// UTF-8: every name a Windows user can create, in any script, reaches the tool.
std::vector<std::string> utf8Arguments(int argc, const wchar_t* const* argv);

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
