#include "support/RunProgram.h"

#include <fstream>
#include <iterator>
#include <random>

namespace jw::testsupport {

std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::filesystem::path TempFileName(const std::string& prefix) {
    static std::mt19937_64 random{std::random_device{}()};
    return std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(random()));
}

}  // namespace jw::testsupport
