// A merge in a child process whose files may not grow past a limit: how a
// write that fails half-way is reported.  Only POSIX limits a process's
// file size (RLIMIT_FSIZE).
#pragma once

#include <cstdint>
#include <string>

#include "base/Errors.h"
#include "engine/TrendTools.h"

namespace jw::enginetest {

// Runs MergeTrendSets(request) in a child whose files may not grow past
// limit bytes (SIGXFSZ ignored: a write past it fails with EFBIG); said and
// kind get the error it ended with ("" when none).  False when this system
// has no such limit (nothing ran).
bool MergeUnderFileSizeLimit(const MergeRequest& request, std::uint64_t limit, std::string& said, ErrorKind& kind);

}  // namespace jw::enginetest
