#include <sys/resource.h>

#include <iostream>

#include "engine/FileSizeLimit.h"
#include "os/posix/OsTest.h"

namespace jw::enginetest {

namespace fs = std::filesystem;

bool MergeUnderFileSizeLimit(const MergeRequest& request, std::uint64_t limit, std::string& said, ErrorKind& kind) {
    // The child's error text comes back on its standard error, its kind as the exit status (0: none).
    const fs::path err = fs::temp_directory_path() / ("jw-engine-fsize-" + std::to_string(::getpid()));
    const ostest::ChildEnd end = ostest::InChild(err, "/dev/null", [&] {
        const rlimit l{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &l), ::signal(SIGXFSZ, SIG_IGN);
        try {
            MergeTrendSets(request);
        } catch (const Error& e) {
            std::cerr << e.what();
            return 1 + static_cast<int>(e.kind());
        }
        return 0;
    });
    fs::remove(err);
    said = end.code > 0 ? end.err : "the child ended without an error (status " + std::to_string(end.code) + ")";
    kind = end.code > 0 ? static_cast<ErrorKind>(end.code - 1) : ErrorKind::InputOutput;
    return true;
}

}  // namespace jw::enginetest
