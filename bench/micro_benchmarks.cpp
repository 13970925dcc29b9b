// SPDX-License-Identifier: MIT
// Micro-benchmarks of the conversion's hot paths on the "typical",
// "scattered" and "random" catalogues, held in memory: reading a database image, writing
// each CSV list, and the quoted-field writer alone. The CSV text goes through
// the tool's own buffered writer into /dev/null, so the file system adds
// nothing but the write calls.
#include "Catalogue.h"
#include "catalogue/ProgList.h"
#include "catalogue/TapeList.h"
#include "csv/CsvRows.h"
#include "csv/CsvWriter.h"
#include "format/PalmDB.h"
#include "platform/Files.h"

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

namespace {

using reelport::CsvWriter;

// The bytes processed by all iterations, for the throughput column.
void countBytes(benchmark::State& state, std::size_t bytesPerIteration) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytesPerIteration));
}
using reelport::PalmDB;

// The catalogues are built once per shape and shared by the benchmarks.
const reelport::bench::Catalogue& catalogue(std::string_view shape) {
    static const auto typical = reelport::bench::makeCatalogue(*reelport::bench::namedShape("typical"));
    static const auto scattered = reelport::bench::makeCatalogue(*reelport::bench::namedShape("scattered"));
    static const auto random = reelport::bench::makeCatalogue(*reelport::bench::namedShape("random"));
    return shape == "typical" ? typical : shape == "scattered" ? scattered : random;
}

PalmDB loaded(const reelport::Bytes& image) {
    PalmDB db;
    reelport::DamageReport strict;
    db.load(reelport::heapImage(image), "memory", strict);
    return db;
}

// Parsing a database image held in memory; load() takes its image by value,
// so each iteration also copies the file's bytes once, as a read would.
void readDatabase(benchmark::State& state, std::string_view shape) {
    const auto& image = catalogue(shape).progsDatabase;
    for (auto _ : state) {
        benchmark::DoNotOptimize(loaded(image).recordCount());
    }
    countBytes(state, image.size());
}

// The CSV text of a list, written with `writeList` (given the rows of the
// handheld's bytes) into `sink`; returns its size.
template <typename WriteList>
int writeCsv(reelport::ByteSink& sink, const WriteList& writeList) {
    CsvWriter out(sink);
    reelport::CsvRows<reelport::CsvEncoding::Palm> rows(out);
    reelport::DamageReport strict;
    const int count = writeList(rows, strict);
    out.close();
    return count;
}

template <typename WriteList>
void listBenchmark(benchmark::State& state, const WriteList& writeList) {
    for (auto _ : state) {
        const auto nowhere = reelport::createOutputFile("/dev/null");
        benchmark::DoNotOptimize(writeCsv(*nowhere, writeList));
    }
    std::string text;
    reelport::MemorySink inMemory(text);
    writeCsv(inMemory, writeList);
    countBytes(state, text.size());
}

void tapeList(benchmark::State& state, std::string_view shape) {
    const PalmDB tapes = loaded(catalogue(shape).tapesDatabase);
    listBenchmark(state, [&](auto& rows, reelport::DamageReport& damage) {
        return reelport::writeTapeList(tapes, rows, damage);
    });
}

void progList(benchmark::State& state, std::string_view shape) {
    const PalmDB tapes = loaded(catalogue(shape).tapesDatabase);
    const PalmDB progs = loaded(catalogue(shape).progsDatabase);
    listBenchmark(state, [&](auto& rows, reelport::DamageReport& damage) {
        return reelport::writeProgList(progs, tapes, rows, damage);
    });
}

// One field of everyday length, with and without quotes to double and line
// breaks to widen: 64 KiB worth of fields per iteration.
void quotedField(benchmark::State& state, std::string_view text) {
    const std::size_t fields = (1 << 16) / text.size();
    for (auto _ : state) {
        const auto nowhere = reelport::createOutputFile("/dev/null");
        CsvWriter out(*nowhere);
        for (std::size_t i = 0; i < fields; ++i) reelport::writeQuotedField(out, text, reelport::kWholeText);
        out.close();
    }
    countBytes(state, fields * text.size());
}

BENCHMARK_CAPTURE(readDatabase, typical, "typical");
BENCHMARK_CAPTURE(readDatabase, scattered, "scattered");
BENCHMARK_CAPTURE(tapeList, typical, "typical");
BENCHMARK_CAPTURE(tapeList, scattered, "scattered");
BENCHMARK_CAPTURE(progList, typical, "typical");
BENCHMARK_CAPTURE(progList, scattered, "scattered");
BENCHMARK_CAPTURE(progList, random, "random");
BENCHMARK_CAPTURE(quotedField, plain, std::string_view("The Empire Strikes Back, Part 2 of 3"));
BENCHMARK_CAPTURE(quotedField, quotes_and_lines, std::string_view("Label says \"Tierfilme\"\nsecond line"));

}  // namespace

BENCHMARK_MAIN();
