// Helpers for the engine tests: temporary folders, whole-file bytes, input
// fingerprints, and record bytes described independently of the format code
// (offsets and widths of the trend records written out here by hand).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace jw::enginetest {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A fresh, uniquely named folder under the system's temporary folder,
// removed with everything in it when the object goes.
class TempFolder {
public:
    TempFolder() {
        static std::atomic<unsigned> counter{0};
        std::random_device rd;
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = fs::temp_directory_path() / ("jw-engine-" + std::to_string(::getpid()) + "-" +
                                                 std::to_string(counter++) + "-" + std::to_string(rd()));
            if (fs::create_directory(path_)) return;
        }
        throw std::runtime_error("cannot make a temporary folder");
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const fs::path& p) const { return path_ / p; }
    // A subfolder, created.
    fs::path Sub(const std::string& name) const {
        fs::create_directories(path_ / name);
        return path_ / name;
    }

private:
    fs::path path_;
};

inline Bytes ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + p.string());
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    if (!out) throw std::runtime_error("cannot write " + p.string());
}

// Overwrites bytes of an existing file in place.
inline void PatchFile(const fs::path& p, std::size_t offset, const Bytes& b) {
    Bytes all = ReadAll(p);
    if (offset + b.size() > all.size()) all.resize(offset + b.size());
    std::copy(b.begin(), b.end(), all.begin() + static_cast<std::ptrdiff_t>(offset));
    WriteAll(p, all);
}

inline Bytes LE(std::int64_t v, int width) {
    Bytes b(static_cast<std::size_t>(width));
    for (int i = 0; i < width; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
    return b;
}

// FNV-1a of the bytes of every file below the given folders (or the given
// files), keyed by path: equal before and after proves nothing was changed,
// added or removed there.
inline std::map<std::string, std::uint64_t> Fingerprint(const std::vector<fs::path>& roots) {
    std::map<std::string, std::uint64_t> out;
    auto add = [&](const fs::path& p) {
        std::uint64_t h = 1469598103934665603ULL;
        for (const std::uint8_t c : ReadAll(p)) h = (h ^ c) * 1099511628211ULL;
        out[p.string()] = h;
    };
    for (const auto& r : roots) {
        if (fs::is_directory(fs::symlink_status(r))) {
            for (const auto& e : fs::recursive_directory_iterator(r)) {
                if (fs::is_regular_file(fs::symlink_status(e.path()))) add(e.path());
                else out[e.path().string()] = 0;
            }
        } else if (fs::exists(fs::symlink_status(r))) {
            add(r);
        }
    }
    return out;
}

inline std::vector<std::string> FolderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// --- Record geometry, written out from the trend file layouts -------------

// Where the fields the merge changes lie in a file-header record of each
// trend version, and how long it is.  Block offsets are relative to the end
// of Name; a data file header has the same block from byte 128.
struct RecordGeometry {
    int length;       // whole record
    int nameWidth;    // Name field, where the block starts
    int startTime;    // block offsets
    int endTime;
    int filePointer;
    int timeWidth;    // 4 (Citect seconds) or 8 (Int64 ticks)
};

inline RecordGeometry GeometryOf(int version) {
    switch (version) {
        case 4: return {432, 272, 122, 130, 142, 8};
        case 5: return {288, 144, 122, 126, 134, 4};
        case 6: return {448, 272, 138, 146, 158, 8};
        default: return {240, 144, 74, 78, 86, 4};
    }
}

inline constexpr std::size_t kMasterHeader = 176;
inline constexpr std::size_t kHistoryAt = 148;
inline constexpr std::size_t kNFilesAt = 150;

// Record i of a master file's bytes.
inline Bytes RecordBytes(const Bytes& master, int version, std::size_t i) {
    const auto g = GeometryOf(version);
    const auto at = kMasterHeader + i * static_cast<std::size_t>(g.length);
    return Bytes(master.begin() + static_cast<std::ptrdiff_t>(at),
                 master.begin() + static_cast<std::ptrdiff_t>(at + static_cast<std::size_t>(g.length)));
}

// The same record with its Name field replaced by name, padded with blanks.
inline Bytes WithName(Bytes record, int version, const std::string& name) {
    const auto g = GeometryOf(version);
    for (int k = 0; k < g.nameWidth; ++k)
        record[static_cast<std::size_t>(k)] =
            static_cast<std::size_t>(k) < name.size() ? static_cast<std::uint8_t>(name[static_cast<std::size_t>(k)]) : 0x20;
    return record;
}

// The record a template copy gets: Name, then the data file's own block with
// start, end and file pointer zero.
inline Bytes TemplateRecordBytes(const Bytes& dataFile, int version, const std::string& name) {
    const auto g = GeometryOf(version);
    Bytes r(static_cast<std::size_t>(g.length), 0x20);
    std::copy(dataFile.begin() + 128, dataFile.begin() + 128 + (g.length - g.nameWidth), r.begin() + g.nameWidth);
    for (const int off : {g.startTime, g.endTime})
        std::fill_n(r.begin() + g.nameWidth + off, g.timeWidth, std::uint8_t{0});
    std::fill_n(r.begin() + g.nameWidth + g.filePointer, 4, std::uint8_t{0});
    return WithName(r, version, name);
}

// Header of the existing master with nFiles and History set to n.
inline Bytes MergedHeader(const Bytes& existingMaster, std::int16_t n) {
    Bytes h(existingMaster.begin(), existingMaster.begin() + kMasterHeader);
    for (const std::size_t at : {kHistoryAt, kNFilesAt}) {
        const Bytes v = LE(n, 2);
        std::copy(v.begin(), v.end(), h.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return h;
}

inline void Append(Bytes& to, const Bytes& b) { to.insert(to.end(), b.begin(), b.end()); }

}  // namespace jw::enginetest
