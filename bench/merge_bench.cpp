// A merge against the plain durable copy of the same bytes.
//
//   merge_bench --data DIR [--runs N] [--files F] [--file-mib M]
//
// Builds (once; kept in DIR for later runs) two version-6 trend sets of F
// data files of M MiB each -- a backup set and an existing set that overlap
// by half -- and an empty data file.  The break date takes the first three
// quarters of the backup's days from the backup and the rest from the
// existing set, so a merge copies 1.5 x F data files.
//
// Then N pairs of runs, the order alternating (merge first, then cp first):
//   merge:     MergeTrendSets into a new output folder (copies, master, and
//              everything flushed to disk before it returns);
//   cp + sync: `cp` of exactly the data files that the merge plan copies
//              into a new folder, followed by `sync`.
// Every run starts with no dirty data of an earlier run (its output is
// removed and the file system synced, outside the timing); the inputs stay
// in the page cache, as they do for an operator merging sets just copied.
//
// Prints "key value" lines: the medians, the median of the per-pair ratios
// and every run, for bench/run.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "engine/TrendTools.h"
#include "base/Errors.h"
#include "trendset/TrendSetBuilder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
    fs::path data;
    int runs = 5;
    int files = 200;
    int fileMiB = 5;
};

[[noreturn]] void Usage(const std::string& why) {
    std::cerr << "merge_bench: " << why << "\n"
              << "usage: merge_bench --data DIR [--runs N] [--files F] [--file-mib M]\n";
    std::exit(2);
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) Usage("missing value after " + a);
        const std::string v = argv[++i];
        if (a == "--data") {
            o.data = v;
        } else if (a == "--runs" || a == "--files" || a == "--file-mib") {
            int n = 0;
            try {
                n = std::stoi(v);
            } catch (const std::exception&) {
                Usage(a + " needs a whole number, not \"" + v + "\"");
            }
            if (n < 1 || n > 10000) Usage(a + " must lie in 1..10000");
            (a == "--runs" ? o.runs : a == "--files" ? o.files : o.fileMiB) = n;
        } else {
            Usage("unknown option " + a);
        }
    }
    if (o.data.empty()) Usage("--data is required");
    return o;
}

// Runs a program (looked up in PATH) and waits for it; a failure ends the
// benchmark.
void Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (const int err = ::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ); err != 0) {
        std::cerr << "merge_bench: cannot start " << args[0] << "\n";
        std::exit(1);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << "merge_bench: " << args[0] << " failed\n";
        std::exit(1);
    }
}

struct Sets {
    fs::path backup, existing, empty;
    std::string breakDate;  // month-day-year
};

// The two sets and the template, built unless a stamp says that DIR already
// holds sets of this shape.
Sets MakeSets(const Options& o) {
    Sets s;
    const fs::path root = o.data / "sets";
    s.backup = root / "backup" / "TREND.HST";
    s.existing = root / "existing" / "TREND.HST";
    s.empty = root / "empty" / "TREND.000";
    const std::string shape = "v6 files=" + std::to_string(o.files) + " mib=" + std::to_string(o.fileMiB) + "\n";
    const fs::path stamp = root / "shape";

    // One file a day from 2004-01-01; the existing set starts half-way
    // through the backup's days.
    const int overlap = o.files / 2;
    const int breakDay = overlap + o.files / 4;  // day number from 2004-01-01
    const std::chrono::sys_days day0 = std::chrono::year{2004} / 1 / 1;
    const std::chrono::year_month_day brk{day0 + std::chrono::days{breakDay}};
    s.breakDate = std::to_string(static_cast<unsigned>(brk.month())) + "-" +
                  std::to_string(static_cast<unsigned>(brk.day())) + "-" + std::to_string(static_cast<int>(brk.year()));

    {
        std::ifstream in(stamp);
        std::string have((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (have == shape && fs::exists(s.backup) && fs::exists(s.existing) && fs::exists(s.empty)) return s;
    }
    std::cerr << "merge_bench: building two sets of " << o.files << " x " << o.fileMiB << " MiB in " << root << "\n";
    fs::remove_all(root);
    const std::int64_t dayTicks = jw::trendset::RawTime(6, 2004, 1, 2) - jw::trendset::RawTime(6, 2004, 1, 1);
    const std::int64_t base = jw::trendset::RawTime(6, 2004, 1, 1);
    // 8-byte samples filling the file to its size, less room for the header.
    const auto samples = static_cast<std::int32_t>((static_cast<std::int64_t>(o.fileMiB) << 20) / 8 - 128);
    auto build = [&](const fs::path& folder, int firstDay, const char* recorded) {
        jw::trendset::SetDescription set;
        set.Version = 6;
        set.RecordedFolder = recorded;
        for (int i = 0; i < o.files; ++i) {
            jw::trendset::FileDescription f;
            f.StartTime = base + (firstDay + i) * dayTicks;
            f.EndTime = f.StartTime + dayTicks - 10'000'000;
            f.Samples = samples;
            set.Files.push_back(f);
        }
        jw::trendset::Build(folder, set);
        return set;
    };
    const auto set = build(root / "backup", 0, "C:\\Citect\\Backup");
    build(root / "existing", overlap, "C:\\Citect\\Data");
    fs::create_directories(s.empty.parent_path());
    jw::trendset::BuildEmptyDataFile(s.empty, set);
    std::ofstream(stamp) << shape;
    return s;
}

// Reads every file once so that both contenders find the inputs cached.
void WarmUp(const std::vector<fs::path>& files) {
    std::vector<char> buf(1 << 20);
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        while (in.read(buf.data(), static_cast<std::streamsize>(buf.size())) || in.gcount() > 0) {
        }
    }
}

void Clean(const fs::path& folder) {
    fs::remove_all(folder);
    ::sync();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::string Join(const std::vector<double>& v) {
    std::string s;
    char buf[32];
    for (const double x : v) {
        std::snprintf(buf, sizeof buf, "%s%.3f", s.empty() ? "" : ",", x);
        s += buf;
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = Parse(argc, argv);
    try {
        fs::create_directories(o.data);
        const Sets sets = MakeSets(o);

        jw::MergeRequest request;
        request.BrakeDate = sets.breakDate;
        request.BackupFile = sets.backup.string();
        request.ExistingFile = sets.existing.string();
        request.EmptyDataFile = sets.empty.string();
        const fs::path mergeOut = o.data / "out-merge";
        const fs::path cpOut = o.data / "out-cp";
        request.OutputFolder = mergeOut.string();

        // The plan says which files the merge copies: exactly those go to cp.
        // The break date takes breakDay backup files and the existing set's
        // files from that day on; asking for exactly that many means no
        // template copies, so both contenders copy the same bytes.
        request.NumberOfFiles = static_cast<std::int16_t>(o.files / 2 + o.files);
        Clean(mergeOut);
        const jw::MergePlan plan = jw::PlanMerge(request);
        std::vector<std::string> cpBackup = {"cp", "-t", (cpOut / "b").string()};
        std::vector<std::string> cpExisting = {"cp", "-t", (cpOut / "e").string()};
        std::vector<fs::path> sources;
        std::uint64_t bytes = 0;
        for (const auto& e : plan.Entries) {
            if (e.Kind == jw::FromTemplate) {
                std::cerr << "merge_bench: the plan holds template copies\n";
                return 1;
            }
            (e.Kind == jw::FromBackup ? cpBackup : cpExisting).push_back(e.Source.string());
            sources.push_back(e.Source);
            bytes += e.SourceSize;
        }
        WarmUp(sources);

        std::vector<double> syncShare;  // ms of each cp + sync run spent in sync
        // The planning step alone (reads both masters, checks every source).
        std::vector<double> planning;
        for (int r = 0; r < o.runs; ++r) {
            const auto t0 = Clock::now();
            (void)jw::PlanMerge(request);
            planning.push_back(Ms(Clock::now() - t0));
        }

        auto runMerge = [&] {
            Clean(mergeOut);
            const auto t0 = Clock::now();
            jw::MergeTrendSets(request);
            return Ms(Clock::now() - t0);
        };
        auto runCopy = [&] {
            Clean(cpOut);
            fs::create_directories(cpOut / "b");
            fs::create_directories(cpOut / "e");
            const auto t0 = Clock::now();
            Run(cpBackup);
            Run(cpExisting);
            const auto t1 = Clock::now();

            Run({"sync"});
            const auto t2 = Clock::now();
            syncShare.push_back(Ms(t2 - t1));
            return Ms(t2 - t0);
        };

        // One pair first, untimed: the first runs of a process also pay for
        // memory the system hands out for the first time.
        runMerge();
        runCopy();
        syncShare.clear();

        std::vector<double> merge, copy, ratio;
        for (int r = 0; r < o.runs; ++r) {
            double m = 0, c = 0;
            if (r % 2 == 0) {
                m = runMerge();
                c = runCopy();
            } else {
                c = runCopy();
                m = runMerge();
            }
            merge.push_back(m);
            copy.push_back(c);
            ratio.push_back(m / c);
            std::cerr << "merge_bench: run " << r + 1 << "/" << o.runs << ": merge " << m << " ms, cp + sync " << c
                      << " ms (sync " << syncShare.back() << " ms)\n";
        }
        Clean(mergeOut);
        Clean(cpOut);

        std::cout << "files " << plan.Entries.size() << "\n"
                  << "bytes " << bytes << "\n"
                  << "runs " << o.runs << "\n"
                  << "merge_ms " << Median(merge) << "\n"
                  << "cp_sync_ms " << Median(copy) << "\n"
                  << "ratio " << Median(ratio) << "\n"
                  << "merge_best_ms " << *std::min_element(merge.begin(), merge.end()) << "\n"
                  << "cp_sync_best_ms " << *std::min_element(copy.begin(), copy.end()) << "\n"
                  << "sync_ms " << Median(syncShare) << "\n"
                  << "plan_ms " << Median(planning) << "\n"
                  << "merge_runs " << Join(merge) << "\n"
                  << "cp_sync_runs " << Join(copy) << "\n"
                  << "ratios " << Join(ratio) << "\n";
    } catch (const jw::Error& e) {
        std::cerr << "merge_bench: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "merge_bench: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
