// A POSIX terminal takes UTF-8 and argv is UTF-8 already.
#include "os/Console.h"

namespace jw::os {

void UseUtf8Console() {}

std::vector<std::string> Utf8Arguments(int argc, const char* const* argv) {
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace jw::os
