#include "engine/FileSizeLimit.h"

namespace jw::enginetest {

// Windows has no file size limit for a process.
bool MergeUnderFileSizeLimit(const MergeRequest&, std::uint64_t, std::string&, ErrorKind&) { return false; }

}  // namespace jw::enginetest
