// Shared pieces of the fuzz targets: property checks that abort (so libFuzzer
// keeps the input), a scratch folder per process, file helpers, and the
// record sizes of the trend file layouts written down here once more, apart
// from the readers, so the targets check the readers against them.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace fuzzsupport {

namespace fs = std::filesystem;

[[noreturn]] inline void Violated(const char* condition, const char* file, int line, const std::string& detail) {
    std::fprintf(stderr, "\n*** property violated: %s\n    at %s:%d\n    %s\n", condition, file, line, detail.c_str());
    std::abort();
}
#define FUZZ_CHECK(condition, detail) \
    ((condition) ? (void)0 : ::fuzzsupport::Violated(#condition, __FILE__, __LINE__, (detail)))

// Little-endian field of the raw input; 0 past its end.
template <class T>
T Get(const std::string& b, std::size_t at) {
    T v{};
    return at + sizeof v <= b.size() ? (std::memcpy(&v, b.data() + at, sizeof v), v) : v;
}

// One fresh folder per process under the temporary folder, removed at exit.
inline const fs::path& Scratch() {
    static const fs::path dir = [] {
        std::string templ = (fs::temp_directory_path() / "jw-fuzz-XXXXXX").string();
        if (::mkdtemp(templ.data()) == nullptr) std::abort();
        std::atexit([] { std::error_code ec; fs::remove_all(Scratch(), ec); });
        return fs::path(templ);
    }();
    return dir;
}

inline void WriteBytes(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

inline std::string ReadBytes(const fs::path& p) { std::ifstream in(p, std::ios::binary); return {std::istreambuf_iterator<char>(in), {}}; }

// Every entry under root with its bytes ("<folder>", "<link>").
inline std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const auto st = it->symlink_status(ec);
        out[it->path().lexically_relative(root).string()] = fs::is_symlink(st) ? "<link>" : fs::is_directory(st) ? "<folder>" : ReadBytes(it->path());
    }
    return out;
}

// Record lengths by trend version (0 for a version without a layout).
inline int MasterRecordLength(int v) { return v < 0 || v > 6 ? 0 : v == 4 ? 432 : v == 5 ? 288 : v == 6 ? 448 : 240; }
inline int DataHeaderLength(int v) { return v < 0 || v > 6 ? 0 : v == 4 ? 288 : v == 5 ? 272 : v == 6 ? 304 : 224; }

inline constexpr std::size_t kMasterLength = 176;
inline constexpr std::size_t kVersionOffset = 138;  // master and data file header alike

}  // namespace fuzzsupport
