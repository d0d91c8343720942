// Helpers of the whole-program tests: trend sets in a temporary root,
// snapshots of a folder tree, and joinwright-cli run as a child process.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/RunProgram.h"
#include "trendset/TrendSetBuilder.h"

namespace jw::e2e {
namespace fs = std::filesystem;
namespace ts = jw::trendset;
using namespace std::string_literals;
using Args = std::vector<std::string>;

inline constexpr const char* kMerged = "The trendfiles are now merged.";

using jw::testsupport::ReadFile;

inline void WriteFile(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

// Every entry under root: its kind, and for a file its size and FNV-1a hash.
using Tree = std::map<std::string, std::string>;
inline Tree Snapshot(const fs::path& root, const std::string& skip = "") {
    Tree t;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string key = it->path().lexically_relative(root).generic_string();
        if (!skip.empty() && (key == skip || key.rfind(skip + "/", 0) == 0)) continue;
        const auto st = it->symlink_status();
        if (!fs::is_regular_file(st)) {
            t[key] = fs::is_symlink(st) ? "link" : fs::is_directory(st) ? "folder" : "other";
            continue;
        }
        std::uint64_t h = 14695981039346656037ULL;
        const std::string bytes = ReadFile(it->path());
        for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        t[key] = std::to_string(bytes.size()) + " " + std::to_string(h);
    }
    return t;
}

struct Result {
    int code = -1, signal = 0;
    std::string out, err;
};
inline std::string FirstLine(const std::string& s) { return s.substr(0, s.find('\n')); }

// How joinwright-cli is run: a file size limit in bytes (0: none; POSIX
// only, RLIMIT_FSIZE lowered, SIGXFSZ ignored), where standard output goes
// (default: a file read back into Result::out), the test hook command of the
// writing step.  The last two are for the POSIX attack tests.
struct RunOptions {
    std::uint64_t limit = 0;
    std::string stdoutTo;
    std::string hook;
};

// Runs joinwright-cli in cwd, output captured in files outside the test's
// root (POSIX: see posix/RunCliPosix.cpp; Windows: through RunProgram).
Result RunCli(Args args, const fs::path& cwd, const RunOptions& o = {});

// Under a fresh temporary root: a backup set of four one-day files from
// 2004-09-10, an existing set of four from 2004-09-14 (version 6, the last
// file of each preallocated for three samples more than written), the empty
// data file in a folder of its own, and the working folder that holds "out".
// The break date 09-15-2004 takes existing records 1..3 and backup 0..3.
struct Scenario {
    fs::path root, backup, existing, templ, work, out;
    std::vector<fs::path> backupFiles, existingFiles;

    static ts::SetDescription Describe(std::int16_t version, int firstDay, std::int32_t samples) {
        ts::SetDescription s;
        s.Version = version;
        s.Files.resize(4);
        for (int i = 0; i < 4; ++i)
            s.Files[i] = {ts::RawTime(version, 2004, 9, firstDay + i),
                          ts::RawTime(version, 2004, 9, firstDay + i, 23, 59, 59), samples, std::nullopt, true};
        s.Files[3].Capacity = samples + 3;  // the file being written, preallocated as the runtime does
        return s;
    }
    explicit Scenario(std::int32_t samples = 5) {
        root = jw::testsupport::MakeTempFolder("jw-e2e");
        work = root / "work", out = work / "out", templ = root / "template" / "EMPTY.000";
        fs::create_directories(work), fs::create_directories(templ.parent_path());
        const auto b = ts::Build(root / "backup", Describe(6, 10, samples));
        const auto e = ts::Build(root / "existing", Describe(6, 14, samples));
        backup = b.Master, existing = e.Master, backupFiles = b.DataFiles, existingFiles = e.DataFiles;
        ts::BuildEmptyDataFile(templ, Describe(6, 10, 0));
    }
    ~Scenario() { fs::remove_all(root); }
    Args MergeArgs(const std::string& files = "9") const {
        return {"merge", "--backup", backup.string(), "--existing", existing.string(), "--template", templ.string(),
                "--files", files, "--break-date", "09-15-2004", "--output", out.string()};
    }
};

}  // namespace jw::e2e
