// Shared helpers of the platform layer's tests: a fresh folder per test,
// whole files written and read through the layer itself (long paths too),
// bytes that show a misplaced block, and error capture.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "os/File.h"
#include "support/TestSupport.h"

namespace jw::ostest {

namespace fs = std::filesystem;

// A fresh folder per test, removed with everything in it afterwards.
struct TempFolder : ::testing::Test {
    testsupport::TempFolder folder;
    const fs::path& tmp = folder.path;
};

inline std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

inline void WriteNew(const fs::path& p, const std::string& text) {
    os::File f = os::File::CreateNew(p);
    f.WriteAt(0, Bytes(text));
    f.Close();
}

inline std::string ReadAll(const fs::path& p) {
    const os::File f = os::File::OpenRead(p);
    std::string out(static_cast<std::size_t>(f.Length()), '\0');
    out.resize(f.ReadAt(0, {reinterpret_cast<std::uint8_t*>(out.data()), out.size()}));
    return out;
}

// Bytes that differ from block to block, so a misplaced block shows.
inline std::string Pattern(std::size_t n, unsigned salt = 1) {
    std::string b(n, '\0');
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<char>((i * 131 + i / 977 + salt) & 0xFF);
    return b;
}

// The message of the error step throws ("" when it throws none), and its kind.
template <class Step>
std::string ErrorOf(Step step, ErrorKind* kind = nullptr) {
    try {
        step();
    } catch (const Error& e) {
        if (kind) *kind = e.kind();
        return e.what();
    }
    return "";
}

inline void ExpectHas(const std::string& text, const std::vector<std::string>& parts) {
    for (const auto& part : parts) EXPECT_NE(text.find(part), std::string::npos) << "no \"" << part << "\" in: " << text;
}

}  // namespace jw::ostest
