// Throughput of the trend record objects and of the binary file handle.
//
//   BM_MasterLoadSave/<version>  load a master file of 10,000 file-header
//                                records and save it again, per trend version
//   BM_RecordRead / Write        the handle alone: 240-byte records in a row
//
// The sample-run benchmarks of data files live in their own file.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/BinaryFile.h"
#include "formats/clsHSTHeader.h"
#include "formats/clsHSTMaster.h"

namespace {

namespace fs = std::filesystem;
using jw::BinaryFile;

constexpr int kRecords = 10000;

fs::path BenchFolder() {
    const fs::path dir = fs::temp_directory_path() / ("jw_formats_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

// A master file of the given version with kRecords records that differ from
// each other (names, times, event numbers).
fs::path MakeMasterFile(const fs::path& dir, int version) {
    const fs::path p = dir / ("in" + std::to_string(version) + ".hst");
    fs::remove(p);
    BinaryFile f(p, BinaryFile::Mode::CreateNew);
    jw::clsHSTMaster m;
    m.Title = "Benchmark trend";
    m.ID = "BENCH";
    m.Version = version;
    m.nFiles = kRecords;
    m.Save(f);
    const bool wide = version == 4 || version == 6;
    for (int i = 0; i < kRecords; ++i) {
        jw::clsHSTHeader h;
        h.Name = "C:\\Citect\\Data\\BENCH." + std::to_string(i);
        h.ID = "BENCH";
        h.Version = version;
        h.LogName = "Bench.Trend";
        h.sEngUnits = "degC";
        h.SamplePeriod = 1.0;
        h.SamplePeriodRaw = version >= 2 ? 1000 : 1;
        h.StartEvNo = std::to_string(i * 1000);
        h.EndEvNo = std::to_string(i * 1000 + 999);
        const std::int64_t start = 1095403530 + std::int64_t{i} * 86400;
        if (wide) {
            h.StartTime()->Raw = jw::TaggedValue::Currency(jw::Scaled64::FromRaw((start + 11644473600) * 10000000));
            h.EndTime()->Raw = jw::TaggedValue::Currency(jw::Scaled64::FromRaw((start + 86399 + 11644473600) * 10000000));
        } else {
            h.StartTime()->Raw = jw::TaggedValue::Long(static_cast<std::int32_t>(start));
            h.EndTime()->Raw = jw::TaggedValue::Long(static_cast<std::int32_t>(start + 86399));
        }
        h.Save(f, m);
    }
    f.Close();
    return p;
}

void BM_MasterLoadSave(benchmark::State& state) {
    const int version = static_cast<int>(state.range(0));
    const fs::path dir = BenchFolder();
    const fs::path in = MakeMasterFile(dir, version);
    const fs::path out = dir / ("out" + std::to_string(version) + ".hst");
    fs::remove(out);
    BinaryFile(out, BinaryFile::Mode::CreateNew).Close();
    std::vector<jw::clsHSTHeader> records(kRecords);
    for (auto _ : state) {
        BinaryFile src(in, BinaryFile::Mode::ReadOnly);
        jw::clsHSTMaster m;
        m.Load(src);
        for (auto& r : records) r.Load(src, m);
        BinaryFile dst(out, BinaryFile::Mode::ReadWrite);
        m.Save(dst);
        for (auto& r : records) r.Save(dst, m);
        dst.Close();
        benchmark::DoNotOptimize(records.back().EndEvNo.data());
    }
    const double bytes = static_cast<double>(fs::file_size(in));
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(kRecords) * 2, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes/s"] = benchmark::Counter(bytes * 2, benchmark::Counter::kIsIterationInvariantRate,
                                                   benchmark::Counter::kIs1024);
    fs::remove_all(dir);
}
// Rates by the wall clock; bench/run derives the CPU-time rate from the
// reported cpu and real times.
BENCHMARK(BM_MasterLoadSave)->DenseRange(0, 6)->ArgName("version")->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr std::size_t kRecordSize = 240;
constexpr int kHandleRecords = 100000;

void BM_RecordWrite(benchmark::State& state) {
    const fs::path dir = BenchFolder();
    const fs::path p = dir / "write.bin";
    BinaryFile(p, BinaryFile::Mode::CreateNew).Close();
    std::vector<std::uint8_t> rec(kRecordSize, 0x5A);
    for (auto _ : state) {
        BinaryFile f(p, BinaryFile::Mode::ReadWrite);
        for (int i = 0; i < kHandleRecords; ++i) {
            rec[0] = static_cast<std::uint8_t>(i);
            f.Write(rec);
        }
        f.Close();
    }
    state.counters["records/s"] = benchmark::Counter(kHandleRecords, benchmark::Counter::kIsIterationInvariantRate);
    fs::remove_all(dir);
}
BENCHMARK(BM_RecordWrite)->Unit(benchmark::kMillisecond);

void BM_RecordRead(benchmark::State& state) {
    const fs::path dir = BenchFolder();
    const fs::path p = dir / "read.bin";
    {
        BinaryFile f(p, BinaryFile::Mode::CreateNew);
        f.Write(std::vector<std::uint8_t>(kRecordSize * kHandleRecords, 0x5A));
        f.Close();
    }
    std::vector<std::uint8_t> rec(kRecordSize);
    for (auto _ : state) {
        BinaryFile f(p, BinaryFile::Mode::ReadOnly);
        std::size_t total = 0;
        for (int i = 0; i < kHandleRecords; ++i) total += f.Read(rec);
        benchmark::DoNotOptimize(total);
    }
    state.counters["records/s"] = benchmark::Counter(kHandleRecords, benchmark::Counter::kIsIterationInvariantRate);
    fs::remove_all(dir);
}
BENCHMARK(BM_RecordRead)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
