// Shared by the format tests: byte images with little-endian values at
// absolute offsets, a fresh folder per test, and error and notice capture.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "base/Errors.h"
#include "formats/BinaryFile.h"
#include "formats/Notices.h"
#include "support/TestSupport.h"
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
    try { f(); } catch (const Error& e) { return e; }
    return Error(ErrorKind::Refused, "no error raised");
}
inline bool Names(const Error& e, const std::string& what) { return std::string(e.what()).find(what) != std::string::npos; }

struct NoticeLog {
    std::vector<std::pair<std::string, NoticeMark>> seen;
    ScopedNoticeSink sink{[this](std::string_view t, NoticeMark m) { seen.emplace_back(std::string(t), m); }};
};

// A fresh folder per test, removed afterwards.
class FilesTest : public ::testing::Test {
protected:
    // A file of the pieces back to back.
    fs::path Put(const std::string& name, std::initializer_list<Bytes> pieces) {
        std::string all;
        for (const Bytes& b : pieces) all.append(b.begin(), b.end());
        testsupport::WriteFile(dir_ / name, all);
        return dir_ / name;
    }
    static Bytes Contents(const fs::path& p) { const std::string s = testsupport::ReadFile(p); return Bytes(s.begin(), s.end()); }
    const testsupport::TempFolder folder_;
    const fs::path& dir_ = folder_.path;
};

}  // namespace jw::test
