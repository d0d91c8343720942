// Support for the whole-program tests: a temporary root per test holding two
// trend sets, an empty data file and a working folder; the real
// joinwright-cli run as a child process (optionally under a file size limit);
// a snapshot of every file under the root, by content hash, to prove inputs
// unchanged and nothing written outside the output folder; byte patches at
// the offsets the file formats define.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "trendset/TrendSetBuilder.h"

extern char** environ;

namespace e2e {

namespace fs = std::filesystem;
namespace ts = jw::trendset;

inline constexpr const char* kMerged = "The trendfiles are now merged.";

inline std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// FNV-1a, 64 bits: enough to tell a changed byte.
inline std::uint64_t Hash(const std::string& bytes) {
    std::uint64_t h = 14695981039346656037ULL;
    for (const char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ULL;
    }
    return h;
}

// Every entry under root: "file <size> <hash>", "folder", "link <target>".
using Tree = std::map<std::string, std::string>;

inline Tree Snapshot(const fs::path& root) {
    Tree t;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::none, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& p = it->path();
        const auto st = it->symlink_status();
        const std::string key = p.lexically_relative(root).string();
        if (fs::is_symlink(st)) {
            t[key] = "link " + fs::read_symlink(p).string();
        } else if (fs::is_directory(st)) {
            t[key] = "folder";
        } else {
            const std::string bytes = ReadFile(p);
            t[key] = "file " + std::to_string(bytes.size()) + " " + std::to_string(Hash(bytes));
        }
    }
    return t;
}

// The tree without the entries inside `folder` (relative to the tree's root).
inline Tree Outside(Tree t, const std::string& folder) {
    for (auto it = t.begin(); it != t.end();)
        it = it->first.rfind(folder + "/", 0) == 0 ? t.erase(it) : std::next(it);
    return t;
}

// The entries of `after` that differ from `before`, for failure messages.
inline std::string Differences(const Tree& before, const Tree& after) {
    std::ostringstream s;
    for (const auto& [k, v] : before) {
        const auto it = after.find(k);
        if (it == after.end()) s << "  removed " << k << "\n";
        else if (it->second != v) s << "  changed " << k << "\n";
    }
    for (const auto& [k, v] : after)
        if (!before.count(k)) s << "  added " << k << "\n";
    return s.str();
}

// A fresh folder under the system's temporary folder, removed afterwards.
class TempRoot {
public:
    explicit TempRoot(const char* tag = "jw-e2e") {
        std::string templ = (fs::temp_directory_path() / (std::string(tag) + "-XXXXXX")).string();
        if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = templ;
    }
    ~TempRoot() {
        std::error_code ec;
        // Permission rows may leave folders that cannot be entered.
        for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct Result {
    int code = -1;    // exit status; -1 when killed by a signal
    int signal = 0;   // the signal that ended it, if any
    std::string out, err;

    std::vector<std::string> ErrLines() const {
        std::vector<std::string> lines;
        std::istringstream in(err);
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
};

struct RunOptions {
    fs::path cwd;
    rlim_t fileSizeLimit = RLIM_INFINITY;  // RLIMIT_FSIZE of the child, SIGXFSZ ignored
};

// Runs joinwright-cli with args; standard output and error are captured in
// files of a folder of their own (never inside a test's root).
inline Result RunCli(const std::vector<std::string>& args, const RunOptions& options) {
    static TempRoot io("jw-e2e-io");
    static int counter = 0;
    const fs::path outFile = io.path() / ("out-" + std::to_string(counter));
    const fs::path errFile = io.path() / ("err-" + std::to_string(counter++));

    std::vector<std::string> argv{JW_CLI_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargs;
    for (auto& a : argv) cargs.push_back(a.data());
    cargs.push_back(nullptr);

    Result r;
    const pid_t pid = ::fork();
    if (pid < 0) {
        r.err = "fork failed";
        return r;
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
        if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
        if (options.fileSizeLimit != RLIM_INFINITY) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
            if (::sigaction(SIGXFSZ, &ignore, nullptr) != 0 || ::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
        }
        ::execve(cargs[0], cargs.data(), environ);
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        r.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        r.signal = WTERMSIG(status);
    }
    r.out = ReadFile(outFile);
    r.err = ReadFile(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return r;
}

// --- Trend sets ----------------------------------------------------------------

// Record lengths and Name widths of master files, by trend version.
inline std::size_t RecordLength(int version) {
    switch (version) {
        case 4: return 432;
        case 5: return 288;
        case 6: return 448;
        default: return 240;
    }
}
inline std::size_t NameWidth(int version) { return version == 4 || version == 6 ? 272 : 144; }

inline constexpr std::size_t kMasterHeader = 176;
inline constexpr std::size_t kVersionAt = 138;  // master header and data file header alike
inline constexpr std::size_t kNFilesAt = 150;
inline constexpr std::size_t kAddOnAt = 154;

inline void Patch(const fs::path& p, std::size_t at, const std::string& bytes) {
    std::string b = ReadFile(p);
    if (b.size() < at + bytes.size()) b.resize(at + bytes.size(), '\0');
    b.replace(at, bytes.size(), bytes);
    WriteFile(p, b);
}

inline std::string Int16(std::int16_t v) {
    std::string s(2, '\0');
    std::memcpy(s.data(), &v, 2);  // little-endian machine, as the files are
    return s;
}

inline void Cut(const fs::path& p, std::size_t n) { fs::resize_file(p, n); }

// Writes the bytes of a recorded Name into record i of a master (cut at the
// field's width, NUL-filled behind).
inline void SetName(const fs::path& master, int version, std::size_t i, const std::string& name) {
    std::string field = name.substr(0, std::min(name.size(), NameWidth(version)));
    field.resize(NameWidth(version), '\0');
    Patch(master, kMasterHeader + i * RecordLength(version), field);
}

// Backup: four one-day files from 2004-09-10; existing: four from 2004-09-14;
// the empty data file in a folder of its own; a working folder that is the
// current folder of every run and holds the output folder "out".
struct Scenario {
    fs::path root, backupDir, existingDir, templateDir, work;
    fs::path backup, existing, templ, out;
    std::vector<fs::path> backupFiles, existingFiles;
    int version = 6;

    static ts::SetDescription Describe(std::int16_t version, int firstDay, std::int32_t samples) {
        ts::SetDescription s;
        s.Version = version;
        for (int i = 0; i < 4; ++i) {
            ts::FileDescription f;
            f.StartTime = ts::RawTime(version, 2004, 9, firstDay + i);
            f.EndTime = ts::RawTime(version, 2004, 9, firstDay + i, 23, 59, 59);
            f.Samples = samples;
            s.Files.push_back(f);
        }
        return s;
    }

    Scenario(const fs::path& r, std::int16_t v = 6, std::int32_t samples = 5) : root(r), version(v) {
        backupDir = root / "backup";
        existingDir = root / "existing";
        templateDir = root / "template";
        work = root / "work";
        fs::create_directories(templateDir);
        fs::create_directories(work);
        const auto b = ts::Build(backupDir, Describe(v, 10, samples));
        const auto e = ts::Build(existingDir, Describe(v, 14, samples));
        backup = b.Master;
        existing = e.Master;
        backupFiles = b.DataFiles;
        existingFiles = e.DataFiles;
        templ = templateDir / "EMPTY.000";
        ts::BuildEmptyDataFile(templ, Describe(v, 10, 0));
        out = work / "out";
    }

    // The break date 09-15-2004 takes existing records 1..3 and backup
    // records 0..3: seven files, and two template copies for nine.
    std::vector<std::string> MergeArgs(const std::string& files = "9", const std::string& date = "09-15-2004") const {
        return {"merge",  "--backup", backup.string(), "--existing", existing.string(), "--template", templ.string(),
                "--files", files,     "--break-date", date,         "--output",        out.string()};
    }
};

// Replaces the value of an option (or removes option and value when value is null).
inline void SetArg(std::vector<std::string>& args, const std::string& option, const char* value) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == option) {
            if (value) {
                args[i + 1] = value;
            } else {
                args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            }
            return;
        }
}

}  // namespace e2e
