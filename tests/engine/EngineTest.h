// Shared helpers of the engine tests: a temporary folder, whole files as
// bytes, fingerprints that prove inputs unchanged, and a fixture that builds
// a backup set, an existing set and an empty data file, runs merges and
// checks the output against master bytes put together from the input bytes
// (record offsets written out here by hand, not taken from the format code).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/TrendTools.h"
#include "os/PlatformTest.h"
#include "trendset/TrendSetBuilder.h"

namespace jw::enginetest {

using ostest::ErrorOf;
using ostest::ExpectHas;
namespace fs = std::filesystem;
using trendset::SetDescription;

inline std::string ReadAll(const fs::path& p) { std::ifstream in(p, std::ios::binary); return {std::istreambuf_iterator<char>(in), {}}; }
inline void WriteAll(const fs::path& p, const std::string& b) { std::ofstream(p, std::ios::binary) << b; }

inline std::string LE(std::int64_t v, std::size_t width) { return width ? static_cast<char>(v & 0xFF) + LE(v >> 8, width - 1) : ""; }
// Overwrites width bytes at offset of a file with v, little-endian.
inline void Poke(const fs::path& p, std::size_t offset, std::int64_t v, std::size_t width) {
    std::string all = ReadAll(p);
    WriteAll(p, all.replace(offset, width, LE(v, width)));
}

// A hash of every entry below the given folders, keyed by path: equal before and after proves nothing changed, came or
// went.  Files past 1 GiB (sparse ones) stand for themselves by length.
inline std::map<std::string, std::size_t> Fingerprint(const std::vector<fs::path>& roots) {
    std::map<std::string, std::size_t> out;
    for (const auto& r : roots)
        for (const auto& e : fs::recursive_directory_iterator(r))
            out[e.path().string()] = e.is_symlink() || !e.is_regular_file() ? 1
                                     : e.file_size() > (1U << 30)          ? e.file_size()
                                                                            : std::hash<std::string>{}(ReadAll(e.path()));
    return out;
}

inline std::set<std::string> FolderNames(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// A fresh temporary folder per test, removed with everything in it.
struct Folder : ostest::TempFolder {
    fs::path Sub(const std::string& name) const { fs::create_directories(tmp / name); return tmp / name; }
};

// Where the fields the merge changes lie in a file-header record of each
// version: Name from byte 0, then the file description block (which a data
// file holds from byte 128); start, end and file pointer count from the block.
struct Geometry { std::size_t length, name, start, end, pointer, time; };
inline constexpr Geometry kGeometry[] = {{240, 144, 74, 78, 86, 4}, {240, 144, 74, 78, 86, 4}, {240, 144, 74, 78, 86, 4},
                                         {240, 144, 74, 78, 86, 4}, {432, 272, 122, 130, 142, 8}, {288, 144, 122, 126, 134, 4},
                                         {448, 272, 138, 146, 158, 8}};

// Raw start time of a day of September 2004 in the encoding of version v.
inline std::int64_t At(int v, int day, int h = 0, int mi = 0, int s = 0) { return trendset::RawTime(std::int16_t(v), 2004, 9, day, h, mi, s); }
// A set of version v whose data files start at the given raw times and last
// an hour, shaped as the runtime leaves it: the last file is the one being
// written, preallocated for two samples more than it holds.
inline SetDescription SetOf(int v, std::string folder, const std::vector<std::int64_t>& starts) {
    SetDescription s;
    s.Version = static_cast<std::int16_t>(v), s.HistoryType = v % 2 == 1 ? 4 : 0, s.RecordedFolder = std::move(folder);
    for (const auto t : starts) s.Files.push_back({t, t + (v == 4 || v == 6 ? 36'000'000'000LL : 3600), 3, {}, true});
    if (!s.Files.empty()) s.Files.back().Capacity = 5;
    return s;
}

struct MergeFixture : Folder {
    fs::path backupDir = Sub("backup"), existingDir = Sub("existing"), emptyDir = Sub("empty"), out = tmp / "out";
    fs::path emptyFile = emptyDir / "EMPTY.000";
    trendset::BuiltSet backup, existing;
    SetDescription backupSpec, existingSpec;

    // Builds both sets and the empty data file; renames the backup master when asked.
    void Make(const SetDescription& b, const SetDescription& e, const std::string& backupName = "") {
        backupSpec = b, existingSpec = e;
        backup = trendset::Build(backupDir, b), existing = trendset::Build(existingDir, e);
        trendset::BuildEmptyDataFile(emptyFile, b);
        if (!backupName.empty()) fs::rename(backup.Master, backupDir / backupName), backup.Master = backupDir / backupName;
    }
    MergeRequest Request(const std::string& date, std::int16_t n) const {
        return {date, out.string(), backup.Master.string(), existing.Master.string(), n, emptyFile.string()};
    }

    // Proves the inputs unchanged when it goes, also when the step it guards threw.
    struct InputsGuard {
        const MergeFixture& f;
        std::map<std::string, std::size_t> before = Fingerprint({f.backupDir, f.existingDir, f.emptyDir});
        ~InputsGuard() { EXPECT_EQ(before, Fingerprint({f.backupDir, f.existingDir, f.emptyDir})) << "an input changed"; }
    };

    // Checks the output folder against records written "E2 B0 T": existing
    // record 2, backup record 0, a template copy; template copies fill up to
    // n.  The master is the existing header with History = nFiles = n, then
    // each record with its new Name (its recorded folder + "\TREND." + number;
    // template copies keep the folder of the last taken one) padded with
    // blanks; a template record is the empty data file's block with start,
    // end and file pointer zero.  Each data file is a copy of its source;
    // nothing else is there.
    void ExpectOutput(const std::string& records, std::int16_t n, const std::string& master = "TREND.HST") const {
        const std::string e = ReadAll(existing.Master), b = ReadAll(backup.Master), t = ReadAll(emptyFile);
        const Geometry g = kGeometry[backupSpec.Version];
        std::string want = e.substr(0, 176).replace(148, 4, LE(n, 2) + LE(n, 2)), folder, token;
        std::string fill = std::string(g.name, ' ') + t.substr(128, g.length - g.name);
        for (const std::size_t at : {g.start, g.end}) fill.replace(g.name + at, g.time, g.time, '\0');
        fill.replace(g.name + g.pointer, 4, 4, '\0');
        std::set<std::string> names{master};
        std::istringstream in(records);
        for (int i = 0; i < n; ++i) {
            std::string record = fill, file = "TREND." + std::string(i < 10 ? "00" : i < 100 ? "0" : "") + std::to_string(i);
            fs::path source = emptyFile;
            if (in >> token && token[0] != 'T') {
                const bool fromE = token[0] == 'E';
                const std::size_t k = std::stoul(token.substr(1));
                record = (fromE ? e : b).substr(176 + k * g.length, g.length).replace(0, g.name, g.name, ' ');
                folder = (fromE ? existingSpec : backupSpec).RecordedFolder, source = (fromE ? existing : backup).DataFiles.at(k);
            }
            want += record.replace(0, folder.size() + 1 + file.size(), folder + "\\" + file);
            EXPECT_EQ(ReadAll(out / file), ReadAll(source)) << file;
            names.insert(file);
        }
        EXPECT_EQ(ReadAll(out / master), want);
        EXPECT_EQ(FolderNames(out), names);
    }
};

}  // namespace jw::enginetest
