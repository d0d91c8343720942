// Reading a large trend set: a master of 32,767 records whose recorded names
// differ from the files beside it only in letter case, against one whose
// names match exactly.  Finding the data files is linear in both, so the two
// take about the same time.
//
//   trendset_bench [Google Benchmark options]
//
// Measures, for each kind of set: the reading (ReadTrendSet), inspect --check
// of the master, and the planning of a dry-run merge that takes every record.
// The sets are written once into a temporary folder, removed at exit.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <system_error>

#include "cli/SetReport.h"
#include "engine/TrendTools.h"
#include "formats/TrendSet.h"
#include "trendset/TrendSetBuilder.h"

namespace {

namespace fs = std::filesystem;
namespace ts = jw::trendset;

constexpr int kRecords = 32767;

// The sets, the empty data file and an output folder that is never made.
class Sets {
public:
    Sets() : dir_(fs::temp_directory_path() / ("trendset_bench_" + std::to_string(::getpid()))) {
        Make("same", false);
        Make("case", true);
        ts::SetDescription small = Describe(1);
        small.Files[0].StartTime = ts::RawTime(6, 2010, 1, 1);
        small.Files[0].EndTime = small.Files[0].StartTime + 36'000'000'000LL;
        backup_ = ts::Build(dir_ / "backup", small).Master;
        ts::BuildEmptyDataFile(dir_ / "EMPTY.000", small);
    }
    ~Sets() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    Sets(const Sets&) = delete;
    Sets& operator=(const Sets&) = delete;

    fs::path Master(bool otherCase) const { return dir_ / (otherCase ? "case" : "same") / "T.HST"; }
    jw::MergeRequest Request(bool otherCase) const {
        jw::MergeRequest r;
        r.BrakeDate = "2004-01-01";
        r.OutputFolder = (dir_ / "never-made").string();
        r.BackupFile = backup_.string();
        r.ExistingFile = Master(otherCase).string();
        r.NumberOfFiles = kRecords;
        r.EmptyDataFile = (dir_ / "EMPTY.000").string();
        return r;
    }

private:
    static ts::SetDescription Describe(int files) {
        ts::SetDescription s;
        s.Version = 6;
        s.BaseName = "T.";
        s.Files.resize(static_cast<std::size_t>(files));
        for (int i = 0; i < files; ++i) {
            auto& f = s.Files[static_cast<std::size_t>(i)];
            f.StartTime = ts::RawTime(6, 2004, 1, 1) + i * 36'000'000'000LL;  // an hour each
            f.EndTime = f.StartTime + 35'990'000'000LL;
            f.Samples = 2;
        }
        return s;
    }

    // Records name "C:\Data\Fnnnnn.DAT"; the files are "Fnnnnn.DAT" or, with
    // otherCase, "fnnnnn.dat".
    void Make(const std::string& name, bool otherCase) {
        ts::SetDescription s = Describe(kRecords);
        char text[32];
        for (int i = 0; i < kRecords; ++i) {
            std::snprintf(text, sizeof text, "C:\\Data\\F%05d.DAT", i);
            s.Files[static_cast<std::size_t>(i)].RecordedName = text;
        }
        const ts::BuiltSet built = ts::Build(dir_ / name, s);
        for (int i = 0; i < kRecords; ++i) {
            std::snprintf(text, sizeof text, otherCase ? "f%05d.dat" : "F%05d.DAT", i);
            fs::rename(built.DataFiles[static_cast<std::size_t>(i)], dir_ / name / text);
        }
    }

    fs::path dir_;
    fs::path backup_;
};

Sets& TheSets() {
    static Sets sets;
    return sets;
}

void BM_ReadTrendSet(benchmark::State& state) {
    const fs::path master = TheSets().Master(state.range(0) != 0);
    for (auto _ : state) {
        const jw::TrendSet set = jw::ReadTrendSet(master);
        if (set.Records.size() != kRecords || !set.Records.back().DataFile) state.SkipWithError("not every data file found");
        benchmark::DoNotOptimize(set);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_InspectCheck(benchmark::State& state) {
    const fs::path master = TheSets().Master(state.range(0) != 0);
    for (auto _ : state) {
        std::ostringstream out;
        if (jw::cli::RunInspect(master, {false, true}, out) != 0) state.SkipWithError("inspect --check found problems");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_PlanMerge(benchmark::State& state) {
    const jw::MergeRequest request = TheSets().Request(state.range(0) != 0);
    for (auto _ : state) {
        const jw::MergePlan plan = jw::PlanMerge(request);
        if (plan.TakenExisting != kRecords) state.SkipWithError("not every record taken");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// Argument 0: names match the files; 1: they differ in letter case.
BENCHMARK(BM_ReadTrendSet)->ArgName("otherCase")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_InspectCheck)->ArgName("otherCase")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_PlanMerge)->ArgName("otherCase")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
