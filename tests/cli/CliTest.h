// What the command-line tests share: joinwright-cli run as a child process,
// the standard merge scenario, and sample bytes written at the offsets the
// file formats define, independent of the readers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support/TestSupport.h"

namespace jw::clitest {

namespace fs = std::filesystem;
namespace ts = jw::trendset;
using namespace jw::testsupport;
using namespace std::string_literals;
using Args = std::vector<std::string>;
using Result = ProgramResult;

inline constexpr const char* kMerged = "The trendfiles are now merged.";

inline std::string FirstLine(const std::string& s) { return s.substr(0, s.find('\n')); }

// args followed by more.
inline Args Plus(Args args, const Args& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// Runs joinwright-cli in cwd.  With a hook, the child writes
// its process id to <cwd's parent>.pid, where the hook's script reads it.
inline Result RunCli(const Args& args, const fs::path& cwd, RunOptions o = {}) {
    if (!o.hook.empty()) o.pidFile = cwd.parent_path().string() + ".pid";
    return RunProgram(JW_CLI_EXE, args, cwd, o);
}

// Under a fresh temporary root: a backup set of four one-day files from
// 2004-09-10, an existing set of four from 2004-09-14 (version 6, the last
// file of each preallocated for three samples more than written), the empty
// data file in a folder of its own, and the working folder that holds "out".
// The break date 09-15-2004 takes existing records 1..3 and backup 0..3.
struct Scenario {
    fs::path root, backup, existing, templ, work, out;
    std::vector<fs::path> existingFiles;
    static ts::SetDescription Describe(int firstDay, std::int32_t samples) {
        return SampleSet(6, Days(6, firstDay, 4), samples, 3);
    }
    explicit Scenario(std::int32_t samples = 5) {
        root = MakeTempFolder("jw-cli");
        work = root / "work", out = work / "out", templ = root / "template" / "EMPTY.000";
        fs::create_directories(work), fs::create_directories(templ.parent_path());
        const auto b = ts::Build(root / "backup", Describe(10, samples));
        const auto e = ts::Build(root / "existing", Describe(14, samples));
        backup = b.Master, existing = e.Master, existingFiles = e.DataFiles;
        ts::BuildEmptyDataFile(templ, Describe(10, 0));
    }
    ~Scenario() { fs::remove_all(root); }
    Args MergeArgs(const std::string& files = "9") const {
        return {"merge", "--backup", backup.string(), "--existing", existing.string(), "--template", templ.string(),
                "--files", files, "--break-date", "09-15-2004", "--output", out.string()};
    }
};

// Values of one type as their bytes, little-endian as the files are (and as
// the test machine is).
template <class T, class... V>
std::string Pack(V... values) {
    const T v[] = {static_cast<T>(values)...};
    return std::string(reinterpret_cast<const char*>(v), sizeof v);
}

// 2004-09-17 06:45:30 as a Citect time and as an Int64 time.
inline constexpr std::int32_t kCitect = 1'095'403'530;
inline constexpr std::int64_t kTicks = 127'398'771'300'000'000;

// An event sample of versions 4 and 6: the value, then the time as ticks.
inline std::string Event64(double value, std::int64_t ticks) { return Pack<double>(value) + Pack<std::int64_t>(ticks); }

// A data file: the header fields the export reads, then the sample bytes.
// It starts 2004-09-17 06:45:30 and ends End seconds later, stored in the version's way.
struct RawDataFile {
    int Version = 6, HistoryType = 0;
    std::int32_t PeriodRaw = 1000;
    std::int64_t End = 3600;
    float RawZero = 0, RawFull = 32000, EngZero = 0, EngFull = 100;
    std::string Samples = {};
    std::int32_t DataLength = 0, FilePointer = 0;  // capacity and written samples (0, 0: not stated)

    std::string Bytes() const {
        const bool wide = Version == 4 || Version == 6;
        // HistoryType, SamplePeriod right after it, StartTime and EndTime 18 bytes on.
        const std::size_t type = Version == 6 ? 248 : Version >= 4 ? 232 : 184;
        std::string b(Version == 4 ? 288 : Version == 5 ? 272 : Version == 6 ? 304 : 224, '\0');
        b.replace(112, 16, Pack<float>(RawZero, RawFull, EngZero, EngFull));
        b.replace(138, 2, Pack<std::int16_t>(Version));
        b.replace(type, 6, Pack<std::int16_t>(HistoryType) + Pack<std::int32_t>(PeriodRaw));
        const std::string times = wide ? Pack<std::int64_t>(kTicks, kTicks + End * 10'000'000)
                                       : Pack<std::int32_t>(kCitect, kCitect + End);
        // DataLength and FilePointer follow EndTime.
        b.replace(type + (wide ? 34 : 26), 8, Pack<std::int32_t>(DataLength, FilePointer));
        return b.replace(type + 18, times.size(), times) + Samples;
    }
};

}  // namespace jw::clitest
