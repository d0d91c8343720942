// Shared by the format tests: byte images with little-endian values at
// absolute offsets, a fresh folder per test, and error and notice capture.
#pragma once

#include <gtest/gtest.h>

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
#include "base/Errors.h"
#include "os/PlatformTest.h"
#include "time/TaggedValue.h"

namespace jw::test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Mode = BinaryFile::Mode;

// b with v stored little-endian in `width` bytes at `at`, grown to hold it.
inline Bytes With(Bytes b, std::size_t at, std::uint64_t v, std::size_t width) {
    b.resize(std::max(b.size(), at + width));
    for (std::size_t i = 0; i < width; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return b;
}

// The value at `at`, sign-extended from `width` bytes.
inline std::int64_t GetLE(const Bytes& b, std::size_t at, std::size_t width) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i) v |= std::uint64_t{b.at(at + i)} << (8 * (8 - width + i));
    return static_cast<std::int64_t>(v) >> (8 * (8 - width));
}

// A time field as an instant's Raw: Int64 ticks in the wide layouts (V4, V6), Citect seconds in the others.
inline TaggedValue TimeRaw(bool wide, std::int64_t t) {
    return wide ? TaggedValue::Currency(Scaled64::FromRaw(t)) : TaggedValue::Long(static_cast<std::int32_t>(t));
}

// The error f raises (of kind Refused when it raises none), and whether an error's text names `what`.
inline Error ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e;
    }
    return Error(ErrorKind::Refused, "no error raised");
}
inline bool Names(const Error& e, const std::string& what) { return std::string(e.what()).find(what) != std::string::npos; }

struct NoticeLog {
    std::vector<std::pair<std::string, NoticeMark>> seen;
    ScopedNoticeSink sink{[this](std::string_view t, NoticeMark m) { seen.emplace_back(std::string(t), m); }};
};

// A fresh folder per test (the platform tests' one), removed afterwards.
class FilesTest : public ostest::TempFolder {
protected:
    // A file of the pieces back to back.
    fs::path Put(const std::string& name, std::initializer_list<Bytes> pieces) {
        std::ofstream out(dir_ / name, std::ios::binary | std::ios::trunc);
        for (const Bytes& b : pieces) out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        return dir_ / name;
    }
    static Bytes Contents(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    const fs::path& dir_ = tmp;
};

}  // namespace jw::test
