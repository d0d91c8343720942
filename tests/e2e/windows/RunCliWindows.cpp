// joinwright-cli as a child process on Windows, through RunProgram.  The
// attack tests' extras (standard output elsewhere, the test hook) are POSIX
// only and never asked for here.
#include "e2e/E2eSupport.h"

namespace jw::e2e {

Result RunCli(Args args, const fs::path& cwd, const RunOptions& o) {
    EXPECT_TRUE(o.stdoutTo.empty() && o.hook.empty()) << "standard output elsewhere and the test hook are POSIX only";
    const auto r = jw::testsupport::RunProgram(JW_CLI_EXE, args, cwd, o.limit);
    return {r.code, r.signal, r.out, r.err};
}

}  // namespace jw::e2e
