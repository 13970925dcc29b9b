// SPDX-License-Identifier: MIT
#include "run/MemoryRun.h"

#include "base/Failure.h"
#include "catalogue/Identity.h"
#include "platform/Files.h"
#include "run/Conversion.h"

#include <cerrno>
#include <map>
#include <utility>

namespace reelport {

namespace {

class MemoryPlace : public Place {
public:
    explicit MemoryPlace(MemoryCatalogue catalogue) : catalogue_(std::move(catalogue)) {}

    FileImage readDatabase(std::string_view name, std::string& path) override {
        std::optional<MemoryDatabase>& database = name == kTapesDatabase ? catalogue_.tapes : catalogue_.progs;
        if (!database) cannotRead(std::string(name), ENOENT);
        path = database->name;
        return heapImage(std::move(database->bytes));
    }
    std::string outputPath(std::string_view name) const override { return std::string(name); }
    std::unique_ptr<ByteSink> createOutput(std::string_view name) override {
        return std::make_unique<MemorySink>(outputs_[std::string(name)]);
    }
    // The scratch file lies in the system's folder for temporary files (on
    // the web page, the module's memory file system), and is read back.
    std::string beginScratch(std::string_view name) override { return createScratchFile({}, std::string(name)); }
    void keepScratch(const std::string& scratch, std::string_view name) override {
        const FileImage image = readWholeFile(scratch);
        outputs_[std::string(name)].assign(image.bytes.begin(), image.bytes.end());
        removeFile(scratch);
    }

    std::optional<std::string> output(std::string_view name) const {
        const auto found = outputs_.find(std::string(name));
        return found == outputs_.end() ? std::nullopt : std::optional(found->second);
    }

private:
    MemoryCatalogue catalogue_;
    std::map<std::string, std::string> outputs_;  // a node's text stays where it is
};

class MemoryMessages : public Messages {
public:
    explicit MemoryMessages(std::vector<MemoryMessage>& messages) : messages_(messages) {}
    void print(std::string_view text) override { messages_.push_back({false, std::string(text)}); }
    void report(std::string_view text) override { messages_.push_back({true, std::string(text)}); }

private:
    std::vector<MemoryMessage>& messages_;
};

}  // namespace

std::string MemoryOutcome::printed() const {
    std::string text;
    for (const MemoryMessage& message : messages) text += message.text;
    return text;
}

std::string MemoryOutcome::printed(bool standardError) const {
    std::string text;
    for (const MemoryMessage& message : messages) {
        if (message.standardError == standardError) text += message.text;
    }
    return text;
}

MemoryOutcome runInMemory(MemoryCatalogue catalogue, const RunOptions& options) {
    MemoryPlace place(std::move(catalogue));
    MemoryOutcome outcome(options.salvage);
    MemoryMessages messages(outcome.messages);
    static_cast<Outcome&>(outcome) = convertCatalogue(place, options, messages);
    outcome.tapesCsv = place.output(kTapesCsv);
    outcome.progsCsv = place.output(kProgsCsv);
    outcome.workbook = place.output(kWorkbook);
    return outcome;
}

std::optional<SalvageCount> countSalvageInMemory(MemoryCatalogue catalogue) {
    MemoryPlace place(std::move(catalogue));
    return countSalvage(place);
}

}  // namespace reelport
