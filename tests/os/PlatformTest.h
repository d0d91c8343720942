// Shared helpers of the platform layer's tests: a fresh folder per test and
// whole files written and read through the layer itself.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "os/File.h"

namespace platformtest {

namespace fs = std::filesystem;

// A new, empty folder below the system's temporary folder, removed with
// everything in it afterwards.
struct TempFolder {
    fs::path path = [] {
        std::random_device random;
        fs::path p = fs::temp_directory_path() / ("jw-os-test-" + std::to_string(random()) + std::to_string(random()));
        fs::create_directory(p);
        return p;
    }();
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

inline std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

inline void WriteNew(const fs::path& p, const std::string& text) {
    jw::os::File f = jw::os::File::CreateNew(p);
    f.WriteAt(0, Bytes(text));
    f.Close();
}

inline std::string ReadAll(const fs::path& p) {
    const jw::os::File f = jw::os::File::OpenRead(p);
    std::string out(static_cast<std::size_t>(f.Length()), '\0');
    out.resize(f.ReadAt(0, {reinterpret_cast<std::uint8_t*>(out.data()), out.size()}));
    return out;
}

// The message of the error step throws ("" when it throws none), and its kind.
template <class Step>
std::string ErrorOf(Step step, jw::ErrorKind* kind = nullptr) {
    try {
        step();
    } catch (const jw::Error& e) {
        if (kind) *kind = e.kind();
        return e.what();
    }
    return "";
}

// Whether text holds every part.
inline ::testing::AssertionResult Says(const std::string& text, const std::vector<std::string>& parts) {
    for (const auto& part : parts)
        if (text.find(part) == std::string::npos)
            return ::testing::AssertionFailure() << "\"" << text << "\" does not say \"" << part << "\"";
    return ::testing::AssertionSuccess();
}

}  // namespace platformtest
