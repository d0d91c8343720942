// Runs a program of this build as a child process, for the tests that drive
// joinwright-cli from outside: its exit status and everything it wrote.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace jw::testsupport {

struct ProgramResult {
    int code = -1;    // exit status; -1 when it ended by a signal or did not run
    int signal = 0;   // the signal that ended it (POSIX), else 0
    std::string out;  // standard output, bytes as written
    std::string err;  // standard error; first, a "RunProgram: " line saying why
                      // when the child did not run or its end was not seen
};

// Runs program with args (UTF-8 text, passed as they are, no shell) in the
// folder cwd, with empty standard input (on Windows, a start that wine gave
// up before the child ran is tried again).  Output is caught in files of the
// system's temporary folder (never below cwd).  A fileSizeLimit above 0 lowers the child's file
// size limit (POSIX RLIMIT_FSIZE, SIGXFSZ ignored, so a write past it fails
// with EFBIG); only POSIX has one.
ProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::filesystem::path& cwd, std::uint64_t fileSizeLimit = 0);

// Whether RunProgram can limit the file size (POSIX); Windows has no such
// limit for a process.
bool CanLimitFileSize();

// A new, empty folder below the system's temporary folder, named after
// prefix; the caller removes it.  An empty path when none can be made.
std::filesystem::path MakeTempFolder(const std::string& prefix);

// The whole of a file as bytes ("" when it cannot be read).
std::string ReadFile(const std::filesystem::path& p);

// A new name for a file in the system's temporary folder (nothing is made).
std::filesystem::path TempFileName(const std::string& prefix);

}  // namespace jw::testsupport
