// Reading sample runs from a data file that sits in the page cache.
//
//   GetSamples/periodic64: 10 M periodic 8-byte samples (80 MB) in one run;
//   the bytes/s counter is the figure to watch (target: 1 GB/s or more).
//   GetSamples/event64:    the same size of run as 16-byte event records.
//   GetSamples/event32:    10 M 12-byte event records (version 5).
//   GetSamples/periodic16: 10 M 16-bit samples.
//
// Every call sizes a fresh array and reads the run with one read; periodic
// layouts also keep a copy for SampleValue, so the figure includes the page
// faults of one fresh array per call and two passes over the bytes.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "formats/BinaryFile.h"
#include "formats/clsDataFile.h"
#include "BenchFiles.h"
#include "trendset/TrendSetBuilder.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int32_t kSamples = 10'000'000;

jw::bench::BenchFiles& Files() {
    static jw::bench::BenchFiles files("jw_data_bench");
    return files;
}

void RunGetSamples(benchmark::State& state, std::int16_t version, std::int16_t historyType, std::int64_t sampleBytes) {
    const fs::path path = Files().DataFile(version, historyType, kSamples);
    jw::BinaryFile file(path, jw::BinaryFile::Mode::ReadOnly);
    jw::clsDataFile data;
    data.Load(file);
    (void)data.GetSamples(file, 1, kSamples);  // warm the page cache
    for (auto _ : state) {
        jw::SampleRun run = data.GetSamples(file, 1, kSamples);
        benchmark::DoNotOptimize(run);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kSamples * sampleBytes);
    state.SetItemsProcessed(state.iterations() * kSamples);
}

void BM_GetSamples_Periodic64(benchmark::State& state) { RunGetSamples(state, 6, 0, 8); }
void BM_GetSamples_Event64(benchmark::State& state) { RunGetSamples(state, 4, 4, 16); }
void BM_GetSamples_Event32(benchmark::State& state) { RunGetSamples(state, 5, 4, 12); }
void BM_GetSamples_Periodic16(benchmark::State& state) { RunGetSamples(state, 5, 0, 2); }

BENCHMARK(BM_GetSamples_Periodic64)->Name("GetSamples/periodic64")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GetSamples_Event64)->Name("GetSamples/event64")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GetSamples_Event32)->Name("GetSamples/event32")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GetSamples_Periodic16)->Name("GetSamples/periodic16")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
