// Data files for the benchmarks: one-file trend sets written once into a
// temporary folder that is removed at exit.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "trendset/TrendSetBuilder.h"

namespace jw::bench {

class BenchFiles {
public:
    explicit BenchFiles(const std::string& name)
        : dir_(std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()))) {}
    ~BenchFiles() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    BenchFiles(const BenchFiles&) = delete;
    BenchFiles& operator=(const BenchFiles&) = delete;

    // A data file of `samples` samples of the layout, one a second from
    // 2004-01-01, its end time allowing every sample; written on first use.
    std::filesystem::path DataFile(std::int16_t version, std::int16_t historyType, std::int32_t samples) {
        trendset::SetDescription set;
        set.Version = version;
        set.HistoryType = historyType;
        set.SamplePeriodRaw = 1000;
        // Appended piece by piece: GCC 12 at -O3 warns falsely on "V" + s + ...
        set.BaseName = std::string("V").append(std::to_string(version)).append("H");
        set.BaseName.append(std::to_string(historyType)).append(".");
        trendset::FileDescription f;
        f.Samples = samples;
        f.StartTime = trendset::RawTime(version, 2004, 1, 1);
        const std::int64_t second = trendset::RawTime(version, 2004, 1, 1, 0, 0, 1) - f.StartTime;
        f.EndTime = f.StartTime + static_cast<std::int64_t>(samples) * second;
        set.Files = {f};
        const std::filesystem::path path = trendset::DataFilePath(dir_, set, 0);
        if (!std::filesystem::exists(path)) trendset::Build(dir_, set);
        return path;
    }

private:
    std::filesystem::path dir_;
};

}  // namespace jw::bench
