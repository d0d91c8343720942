// Runs joinwright-cli as a child process, and writes data files byte by byte
// at the offsets the file formats define, independent of the readers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/RunProgram.h"

namespace clitest {

namespace fs = std::filesystem;

using jw::testsupport::ReadFile;

inline void WriteFile(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

// A fresh folder per test, removed afterwards.
struct TempDir {
    fs::path path = jw::testsupport::MakeTempFolder("jw-cli-test");  // an empty path fails the test
    ~TempDir() { fs::remove_all(path); }
};

// Every file and folder below folder with its bytes: for "nothing written,
// nothing changed" checks.
inline std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        files[fs::relative(e.path(), folder).generic_string()] = e.is_directory() ? "folder" : ReadFile(e.path());
    return files;
}

struct Result { int code = -1; std::string out, err; };

// Runs the executable with args in folder; its output is caught beside the folder.
inline Result RunCli(const std::vector<std::string>& args, const fs::path& folder) {
    const auto r = jw::testsupport::RunProgram(JW_CLI_EXE, args, folder);
    return {r.code, r.out, r.err};
}

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

}  // namespace clitest
