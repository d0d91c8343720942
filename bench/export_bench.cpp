// CSV export of a 100 MB data file that sits in the page cache: the figure
// to watch is the rate of CSV written (bytes_per_second, and csv_MB/s in
// decimal megabytes).
//
//   Export/double:  100 MB of periodic 8-byte samples (13.1 M rows), version 6
//   Export/int16:   100 MB of periodic 16-bit samples (52.4 M rows), version 2
//   Export/scaled:  the same 16-bit file with --scaled
//   Export/event64: 100 MB of 16-byte event records (6.6 M rows), version 6
//   Read/plain:     the data file of Export/double read in 1 MiB blocks and
//                   dropped: what reading alone costs, for comparison
#include <benchmark/benchmark.h>
#include <fcntl.h>

#include <filesystem>
#include <string>
#include <vector>
#include <unistd.h>

#include "cli/Export.h"
#include "BenchFiles.h"
#include "trendset/TrendSetBuilder.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kFileBytes = 100LL * 1024 * 1024;

// Counts what the export writes and drops it.
class CountingSink final : public jw::cli::CsvSink {
public:
    void Write(const char* data, std::size_t size) override {
        benchmark::DoNotOptimize(data);
        bytes += size;
    }
    std::uint64_t bytes = 0;
};

jw::bench::BenchFiles& Files() {
    static jw::bench::BenchFiles files("jw_export_bench");
    return files;
}

void RunExport(benchmark::State& state, std::int16_t version, std::int16_t historyType, std::int32_t sampleBytes,
               bool scaled) {
    const fs::path path = Files().DataFile(version, historyType, static_cast<std::int32_t>(kFileBytes / sampleBytes));
    jw::cli::ExportOptions options;
    options.Scaled = scaled;
    std::uint64_t csv = 0, rows = 0;
    for (auto _ : state) {
        CountingSink sink;
        jw::cli::CsvExporter exporter(sink, options);
        exporter.ExportPath(path);
        csv += sink.bytes;
        rows += exporter.Stats().Rows;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(csv));
    state.counters["csv_MB/s"] = benchmark::Counter(static_cast<double>(csv) / 1e6, benchmark::Counter::kIsRate);
    state.counters["input_MB/s"] = benchmark::Counter(
        static_cast<double>(fs::file_size(path)) * static_cast<double>(state.iterations()) / 1e6,
        benchmark::Counter::kIsRate);
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}

void BM_ExportDouble(benchmark::State& s) { RunExport(s, 6, 0, 8, false); }
void BM_ExportInt16(benchmark::State& s) { RunExport(s, 2, 0, 2, false); }
void BM_ExportScaled(benchmark::State& s) { RunExport(s, 2, 0, 2, true); }
void BM_ExportEvent64(benchmark::State& s) { RunExport(s, 6, 4, 16, false); }

void BM_PlainRead(benchmark::State& state) {
    const fs::path path = Files().DataFile(6, 0, static_cast<std::int32_t>(kFileBytes / 8));
    std::vector<char> block(std::size_t{1} << 20);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            state.SkipWithError("cannot open the data file");
            break;
        }
        for (ssize_t n; (n = ::read(fd, block.data(), block.size())) > 0;) bytes += static_cast<std::uint64_t>(n);
        ::close(fd);
        benchmark::DoNotOptimize(block.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

BENCHMARK(BM_ExportDouble)->Name("Export/double")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportInt16)->Name("Export/int16")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportScaled)->Name("Export/scaled")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportEvent64)->Name("Export/event64")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainRead)->Name("Read/plain")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
