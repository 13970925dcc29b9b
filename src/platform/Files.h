// SPDX-License-Identifier: MIT
// How the tool finds, reads and creates its files: a database is read whole
// into memory (mapped where the system allows), found under a name that
// differs only in case when the exact name is missing; an output file is
// created or emptied for writing. Every file failure ends the run with
// "<path>: <error>". Paths are UTF-8 on Windows, where the system's names are
// UTF-16, and bytes as they are elsewhere. Files.cpp holds what every system
// shares, FilesPosix.cpp and FilesWindows.cpp the rest.
#pragma once

#include "base/ByteSink.h"
#include "base/FileImage.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace reelport {

// Whether two names are the same but for the case of ASCII letters.
bool equalIgnoringAsciiCase(std::string_view a, std::string_view b);

// Among `names` (the entries of a directory, or the files a user chose), the
// one a database called `wanted` is read from: `wanted` itself, else the
// first in byte order that differs from it only in ASCII case. Backups copied
// through other systems often come back as "cinecasetapes.pdb" or
// "CINECASETAPES.PDB". Nothing when no name matches.
std::optional<std::size_t> findByName(std::span<const std::string> names, std::string_view wanted);

// The path a file named `path` is read from: `path` itself when its directory
// has an entry of that name, whatever it is (a dangling link too, whose open
// then fails); else the first case variant by `findByName`, when there is one.
std::string pathToRead(const std::string& path);

// Whether `path` names an existing regular file, a link followed.
bool isRegularFile(const std::string& path);

// Whether both paths name one existing file: the same device and inode, or on
// Windows the same volume and file index. A link, symbolic or hard, is the
// file it leads to.
bool sameFile(const std::string& first, const std::string& second);

// Reads the whole file at `path`. Anything but a regular file reads as empty,
// so a device or a named pipe can never make the read endless; a directory
// fails with EISDIR.
FileImage readWholeFile(const std::string& path);

// Creates or empties the file at `path` for writing, unbuffered: its writer
// gathers its own blocks. Failing to create or to write it ends the run.
std::unique_ptr<ByteSink> createOutputFile(const std::string& path);

// A new, empty file of a name of its own in `folder` (empty: the system's
// folder for temporary files), for a library that writes a file by name;
// returns its path. Its name is ASCII, the prefix's and the system's own.
// A failure ends the run naming `nameForMessages`.
std::string createScratchFile(const std::string& folder, const std::string& nameForMessages);

// Gives the file `from` the name `to`, replacing a file there at once (a
// reader sees the old file or the new one, never part of one). A failure
// ends the run naming `to`.
void renameReplacing(const std::string& from, const std::string& to);

// Removes the file at `path`, if there is one.
void removeFile(const std::string& path) noexcept;

// How a library that opens files with the C library's narrow calls reaches
// the file at `path` while an InFolder of the file's folder lives: by its
// bare name on Windows, by its path elsewhere; and the folder it should put
// its own temporary files in, `folder` being the file's ("." on Windows).
std::string libraryName(const std::string& path);
std::string libraryFolder(const std::string& folder);

// While it lives, `folder` is the process's working directory, drive and
// all: a library that opens files with the C library's narrow calls, which
// on Windows take names in the ANSI code page, reaches a file there by its
// bare ASCII name whatever script the folder is named in. Elsewhere names
// are bytes and nothing changes. A folder that cannot be the working
// directory ends the run naming `nameForMessages`.
class InFolder {
public:
    InFolder(const std::string& folder, const std::string& nameForMessages);
    ~InFolder();
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    std::wstring previous_;
};

}  // namespace reelport

#ifdef _WIN32
namespace reelport {

// The UTF-8 form of a name the system holds in UTF-16, or nothing when it
// holds an unpaired surrogate: Windows lets a name hold one, but no UTF-8 can
// carry it, so such a name could only be reached under another, changed name.
std::optional<std::string> utf8FromWide(std::wstring_view wide);
// The same name for a message, an unpaired surrogate shown as U+FFFD.
std::string displayFromWide(std::wstring_view wide);

}  // namespace reelport
#endif
