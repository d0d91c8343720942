// Shared pieces of the fuzz targets: property checks that abort (so libFuzzer
// records the input), a scratch folder per process, file helpers, and the
// record sizes of the trend file layouts written down once more here, apart
// from the readers, so the targets check the readers against them.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "formats/Notices.h"

namespace fuzzsupport {

namespace fs = std::filesystem;

// A property that does not hold: report and abort.
[[noreturn]] inline void Violated(const char* condition, const char* file, int line, const std::string& detail) {
    std::fprintf(stderr, "\n*** property violated: %s\n    at %s:%d\n    %s\n", condition, file, line, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(condition, detail)                                                   \
    do {                                                                                \
        if (!(condition)) ::fuzzsupport::Violated(#condition, __FILE__, __LINE__, (detail)); \
    } while (0)

// JW_FUZZ_VERBOSE=1: the targets say what happened to each input (for
// looking at a corpus, not for long runs).
inline bool Verbose() {
    static const bool on = std::getenv("JW_FUZZ_VERBOSE") != nullptr;
    return on;
}

// Little-endian field access on the raw input (the trend files are little-endian).
template <class T>
T Get(const std::string& b, std::size_t at) {
    T v{};
    if (at + sizeof v <= b.size()) std::memcpy(&v, b.data() + at, sizeof v);
    return v;
}

// Printable form of a byte string for property messages.
inline std::string Show(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F || c == '"' || c == '\\') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The folder under which this process works: $TMPDIR, else /dev/shm (no disk
// traffic for the many small files and syncs), else /tmp.  One fresh folder
// per process, removed at exit.
inline const fs::path& Scratch() {
    static const fs::path dir = [] {
        fs::path base = "/tmp";
        std::error_code ec;
        if (const char* t = std::getenv("TMPDIR"); t && *t && fs::is_directory(t, ec))
            base = t;
        else if (fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0)
            base = "/dev/shm";
        std::string templ = (base / "jw-fuzz-XXXXXX").string();
        if (::mkdtemp(templ.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(Scratch(), ignored);
        });
        return fs::path(templ);
    }();
    return dir;
}

inline void WriteBytes(const fs::path& p, std::string_view bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) Violated("harness could write", __FILE__, __LINE__, p.string());
}

inline std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every entry under root with its bytes ("<folder>" for folders, "<link>"
// for links): what a step wrote, changed or removed shows as a difference.
inline std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path& p = it->path();
        const auto st = it->symlink_status(ec);
        std::string key = p.lexically_relative(root).string();
        if (fs::is_symlink(st))
            out[key] = "<link>";
        else if (fs::is_directory(st))
            out[key] = "<folder>";
        else
            out[key] = ReadBytes(p);
    }
    return out;
}

// Notices go to a counter instead of standard error.
class NoticeRecorder {
public:
    NoticeRecorder()
        : scoped_([this](std::string_view text, jw::NoticeMark mark) {
              texts.emplace_back(text);
              marks.push_back(mark);
          }) {}
    std::vector<std::string> texts;
    std::vector<jw::NoticeMark> marks;

private:
    jw::ScopedNoticeSink scoped_;
};

// Record lengths by trend version, as the file formats define them.
inline int MasterRecordLength(int version) {
    switch (version) {
        case 0: case 1: case 2: case 3: return 240;
        case 4: return 432;
        case 5: return 288;
        case 6: return 448;
        default: return 0;
    }
}

inline int DataHeaderLength(int version) {
    switch (version) {
        case 0: case 1: case 2: case 3: return 224;
        case 4: return 288;
        case 5: return 272;
        case 6: return 304;
        default: return 0;
    }
}

inline constexpr std::size_t kMasterLength = 176;
inline constexpr std::size_t kMasterVersionOffset = 138;
inline constexpr std::size_t kDataVersionOffset = 138;

}  // namespace fuzzsupport
