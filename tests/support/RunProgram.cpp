#include "support/RunProgram.h"

#include <random>

namespace jw::testsupport {

std::filesystem::path TempFileName(const std::string& prefix) {
    static std::mt19937_64 random{std::random_device{}()};
    return std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(random()));
}

}  // namespace jw::testsupport
