// joinwright-cli: the sub-commands merge, merge-folder, inspect and export.
//
// Exit status: 0 success (and --help, --version); 1 refused or failed, with
// one line "joinwright-cli: error: <reason>" on standard error; 2 usage
// error (unknown option, missing option, a value of the wrong form).
#pragma once

#include <ostream>

namespace jw::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Runs the command line: each command's module (Command.h) declares its
// options and runs itself; Run reads the arguments and turns what comes back
// into the exit status.  Reports go to out, errors and notices to err; an
// export without -o writes its CSV to standard output directly.
int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// The program: Run on standard output and standard error, then checks that
// everything written to standard output arrived (exit 1 with a message when
// not).
int Main(int argc, const char* const* argv);

}  // namespace jw::cli
