// SPDX-License-Identifier: MIT
#include "run/DirectoryPlace.h"

#include "base/Failure.h"
#include "catalogue/Identity.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace reelport {

FileImage DirectoryPlace::readDatabase(std::string_view name, std::string& path) {
    path = pathToRead(composePath(directory_, name));
    return readWholeFile(path);
}

std::string DirectoryPlace::outputPath(std::string_view name) const { return composePath(directory_, name); }

void DirectoryPlace::refuseDatabase(const std::string& path) const {
    for (const std::string_view databaseName : {kTapesDatabase, kProgsDatabase}) {
        const std::string database = pathToRead(composePath(directory_, databaseName));
        if (sameFile(path, database)) {
            refuse(FailureKind::OutputIsDatabase, path + ": is the same file as " + database + "\n", path);
        }
    }
}

std::unique_ptr<ByteSink> DirectoryPlace::createOutput(std::string_view name) {
    const std::string path = outputPath(name);
    refuseDatabase(path);
    return createOutputFile(path);
}

std::string DirectoryPlace::beginScratch(std::string_view name) {
    const std::string path = outputPath(name);
    refuseDatabase(path);
    return createScratchFile(directory_, path);
}

void DirectoryPlace::keepScratch(const std::string& scratch, std::string_view name) {
    renameReplacing(scratch, outputPath(name));
}

}  // namespace reelport
