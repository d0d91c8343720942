// What the tests share outside a single layer: a program of this build run
// as a child process, whole files, snapshots of folder trees, comparisons of
// large files, and the September 2004 trend sets the tests merge.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "trendset/TrendSetBuilder.h"

namespace jw::testsupport {

namespace fs = std::filesystem;

struct ProgramResult {
    int code = -1;    // exit status; -1 when it ended by a signal or did not run
    int signal = 0;   // the signal that ended it (POSIX), else 0
    std::string out;  // standard output, bytes as written
    std::string err;  // standard error; first, a "RunProgram: " line saying why
                      // when the child did not run or its end was not seen
};

// How a child is run besides its arguments.  The last three are POSIX only.
struct RunOptions {
    // Above 0: the child's file size limit (RLIMIT_FSIZE, SIGXFSZ ignored,
    // so a write past it fails with EFBIG).
    std::uint64_t fileSizeLimit = 0;
    // Standard output into this file instead of ProgramResult::out.
    std::string stdoutTo = {};
    // JOINWRIGHT_TEST_HOOK of the child (unset when empty).
    std::string hook = {};
    // The child writes its process id here, for a hook that interrupts it.
    fs::path pidFile = {};
};

// Runs program with args (UTF-8 text, passed as they are, no shell) in the
// folder cwd, with empty standard input, SIGINT and SIGTERM at their
// defaults as from a terminal, and a minute before SIGALRM stops a hung
// child (POSIX).  On Windows a start that wine gave up before the child ran
// is tried again.  Output is caught in files of the system's temporary
// folder, never below cwd.
ProgramResult RunProgram(const fs::path& program, const std::vector<std::string>& args, const fs::path& cwd,
                         const RunOptions& options = {});

// Whether RunProgram can limit the file size (POSIX).
bool CanLimitFileSize();

// A new, empty folder below the system's temporary folder, named after
// prefix; the caller removes it.  An empty path when none can be made.
fs::path MakeTempFolder(const std::string& prefix);

// A new name for a file in the system's temporary folder (nothing is made).
fs::path TempFileName(const std::string& prefix);

// The whole of a file as bytes ("" when it cannot be read).
std::string ReadFile(const fs::path& p);
void WriteFile(const fs::path& p, const std::string& bytes);
// Overwrites width bytes at offset `at` of a file with v, little-endian, as
// the trend files store their numbers.
void Poke(const fs::path& p, std::size_t at, std::int64_t v, std::size_t width);

// A fresh folder below the system's temporary folder, removed with
// everything in it when the test ends.
struct TempFolder {
    fs::path path = MakeTempFolder("jw-test");
    ~TempFolder();
};

// Every entry below root by its path relative to root: "folder", "link",
// "other", or for a file its size and a hash of its bytes.  Entries below
// skip (a relative path) are left out.  Equal snapshots before and after
// prove nothing changed, came or went.
using Tree = std::map<std::string, std::string>;
Tree Snapshot(const fs::path& root, const std::string& skip = "");
// What Snapshot holds for a file of these bytes.
std::string Fingerprint(const std::string& bytes);

// Whether two byte strings are equal; when not, the message gives both
// sizes and the first offset where they differ, never the bytes.
::testing::AssertionResult SameBytes(const std::string& a, const std::string& b);
// The same for two files.
::testing::AssertionResult SameFile(const fs::path& a, const fs::path& b);

// Raw time of a moment of September 2004 in the encoding of version.
std::int64_t September(std::int16_t version, int day, int hour = 0, int minute = 0, int second = 0);

// A data file's span: from its start to its end, raw.
struct Span {
    std::int64_t start, end;
};
// Spans of count files of `length` whole days each, the first starting on
// September firstDay 2004 at midnight, each ending at 23:59:59 of its last day.
std::vector<Span> Days(std::int16_t version, int firstDay, int count, int length = 1);

// A trend set of the version with one data file per span, each holding
// `samples` samples, shaped as the runtime leaves it: the newest file (the
// last) is the one being written, preallocated for `spare` samples more
// than it holds.  Everything else as TrendSetBuilder's defaults; callers
// change what their case needs.
trendset::SetDescription SampleSet(std::int16_t version, const std::vector<Span>& files, std::int32_t samples = 3,
                                   std::int32_t spare = 2);

}  // namespace jw::testsupport
