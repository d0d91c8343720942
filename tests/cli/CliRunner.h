// Runs joinwright-cli as a child process and writes trend files byte by byte
// at the offsets the file formats define, independent of the readers.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace clitest {

namespace fs = std::filesystem;

struct Result {
    int code = -1;
    std::string out, err;

    // Standard error as lines.
    std::vector<std::string> ErrLines() const {
        std::vector<std::string> lines;
        std::istringstream in(err);
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
};

inline std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder per test, removed afterwards.
class TempDir {
public:
    TempDir() {
        std::string templ = (fs::temp_directory_path() / "jw-cli-test-XXXXXX").string();
        if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = templ;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& s) const { return path_ / s; }

private:
    fs::path path_;
};

// The names in a folder, for "nothing was created" checks.
inline std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// Runs the executable with args in cwd; standard output and error go to files.
inline Result RunCli(const std::vector<std::string>& args, const fs::path& cwd) {
    static int counter = 0;
    const fs::path outFile = fs::temp_directory_path() / ("jw-cli-out-" + std::to_string(::getpid()) + "-" +
                                                          std::to_string(counter) + ".txt");
    const fs::path errFile = fs::temp_directory_path() / ("jw-cli-err-" + std::to_string(::getpid()) + "-" +
                                                          std::to_string(counter++) + ".txt");
    std::vector<std::string> argv{JW_CLI_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargs;
    for (auto& a : argv) cargs.push_back(a.data());
    cargs.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, JW_CLI_EXE, &actions, nullptr, cargs.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    Result r;
    if (rc != 0) {
        r.err = std::string("posix_spawn failed: ") + std::strerror(rc);
        return r;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = ReadFile(outFile);
    r.err = ReadFile(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return r;
}

// --- Byte-level data files ----------------------------------------------------

// Absolute offsets of the data file header fields the tests set, by layout.
struct DataLayout {
    int HeaderSize, HistoryType, SamplePeriod, EngUnits, StartTime, EndTime;
    bool Wide;  // 64-bit times (versions 4, 6)
};

inline DataLayout LayoutOf(int version) {
    switch (version) {
        case 4: return {288, 232, 234, 238, 250, 258, true};
        case 5: return {272, 232, 234, 238, 250, 254, false};
        case 6: return {304, 248, 250, 254, 266, 274, true};
        default: return {224, 184, 186, 190, 202, 206, false};
    }
}

template <class T>
void Put(std::string& b, std::size_t at, T v) {
    if (b.size() < at + sizeof v) b.resize(at + sizeof v, '\0');
    std::memcpy(b.data() + at, &v, sizeof v);  // the test machine is little-endian, as the files are
}

template <class T>
T Get(const std::string& b, std::size_t at) {
    T v{};
    std::memcpy(&v, b.data() + at, sizeof v);
    return v;
}

inline constexpr std::int64_t kTicksPerSecond = 10'000'000;
inline constexpr std::int64_t kSeconds1601To1970 = 11'644'473'600;
// 2004-09-17 06:45:30 as a Citect time and as an Int64 time.
inline constexpr std::int32_t kCitect = 1'095'403'530;
inline constexpr std::int64_t kTicks = 127'398'771'300'000'000;

// A data file header with the fields the export reads; samples appended as bytes.
struct RawDataFile {
    int Version = 6;
    int HistoryType = 0;
    std::int32_t PeriodRaw = 1000;
    std::int64_t Start = kTicks;  // Citect seconds or ticks, by version
    std::int64_t End = kTicks + 3600 * kTicksPerSecond;
    float RawZero = 0, RawFull = 32000, EngZero = 0, EngFull = 100;
    std::string Units = "degC";
    std::string Samples;  // the sample area, already encoded

    std::string Bytes() const {
        const DataLayout l = LayoutOf(Version);
        std::string b(static_cast<std::size_t>(l.HeaderSize), '\0');
        std::memcpy(b.data(), "Test trend", 10);
        Put<float>(b, 112, RawZero);
        Put<float>(b, 116, RawFull);
        Put<float>(b, 120, EngZero);
        Put<float>(b, 124, EngFull);
        std::memcpy(b.data() + 128, "TREND", 5);
        Put<std::int16_t>(b, 138, static_cast<std::int16_t>(Version));
        Put<std::int16_t>(b, static_cast<std::size_t>(l.HistoryType), static_cast<std::int16_t>(HistoryType));
        Put<std::int32_t>(b, static_cast<std::size_t>(l.SamplePeriod), PeriodRaw);
        std::memcpy(b.data() + l.EngUnits, Units.data(), std::min<std::size_t>(Units.size(), 8));
        if (l.Wide) {
            Put<std::int64_t>(b, static_cast<std::size_t>(l.StartTime), Start);
            Put<std::int64_t>(b, static_cast<std::size_t>(l.EndTime), End);
        } else {
            Put<std::int32_t>(b, static_cast<std::size_t>(l.StartTime), static_cast<std::int32_t>(Start));
            Put<std::int32_t>(b, static_cast<std::size_t>(l.EndTime), static_cast<std::int32_t>(End));
        }
        return b + Samples;
    }
};

inline void AddInt16(std::string& s, std::int16_t v) { Put(s, s.size(), v); }
inline void AddDouble(std::string& s, double v) { Put(s, s.size(), v); }
inline void AddEvent32(std::string& s, std::int32_t value, std::int32_t time, std::int32_t ms) {
    Put(s, s.size(), value);
    Put(s, s.size(), time);
    Put(s, s.size(), ms);
}
inline void AddEvent64(std::string& s, double value, std::int64_t ticks) {
    Put(s, s.size(), value);
    Put(s, s.size(), ticks);
}

// CSV lines after the "time,value" header.
inline std::vector<std::string> CsvRows(const std::string& csv) {
    std::vector<std::string> rows;
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "time,value");
    while (std::getline(in, line)) rows.push_back(line);
    return rows;
}

}  // namespace clitest
