// Shared by the format tests: byte images with little-endian values at
// absolute offsets, a fresh folder per test, and error and notice capture.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "formats/BinaryFile.h"
#include "formats/Notices.h"
#include "time/Errors.h"

namespace jw::test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Mode = BinaryFile::Mode;

inline void PutLE(Bytes& b, std::size_t at, std::uint64_t v, std::size_t width) {
    b.resize(std::max(b.size(), at + width));
    for (std::size_t i = 0; i < width; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The value at `at`, sign-extended from `width` bytes.
inline std::int64_t GetLE(const Bytes& b, std::size_t at, std::size_t width) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i) v |= std::uint64_t{b.at(at + i)} << (8 * (8 - width + i));
    return static_cast<std::int64_t>(v) >> (8 * (8 - width));
}

inline Bytes Join(std::initializer_list<Bytes> pieces) {
    Bytes all;
    for (const Bytes& p : pieces) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// The error f raises (a test failure when it raises none) and whether its text names `what`.
inline Error ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e;
    }
    ADD_FAILURE() << "no error raised";
    return Error(ErrorKind::Refused, "");
}
inline bool Names(const Error& e, const std::string& what) { return std::string(e.what()).find(what) != std::string::npos; }

struct NoticeLog {
    std::vector<std::pair<std::string, NoticeMark>> seen;
    ScopedNoticeSink sink{[this](std::string_view t, NoticeMark m) { seen.emplace_back(std::string(t), m); }};
};

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        dir_ = fs::path(::testing::TempDir()) / ("jw_formats_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path Put(const std::string& name, const Bytes& b) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        return p;
    }
    static Bytes Contents(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    fs::path dir_;
};

}  // namespace jw::test
