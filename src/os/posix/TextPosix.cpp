// A POSIX terminal takes UTF-8, and argv and paths are UTF-8 already.
#include "os/Text.h"

namespace jw::os {

void PrepareStandardStreams() {}

std::vector<std::string> Utf8Arguments(int argc, const char* const* argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::string PathText(const std::filesystem::path& p) { return p.native(); }

}  // namespace jw::os
