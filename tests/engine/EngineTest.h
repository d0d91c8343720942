// Shared helpers of the engine tests: a fixture that builds a backup set, an
// existing set and an empty data file below "in", runs merges into "out" and
// checks the output against master bytes put together from the input bytes
// (record offsets written out here by hand, not taken from the format code);
// and one that builds data folders of several trends for folder runs.
#pragma once

#include <functional>
#include <sstream>

#include "engine/FolderMerge.h"
#include "engine/TrendTools.h"
#include "os/PlatformTest.h"
#include "support/TestSupport.h"

namespace jw::enginetest {

using namespace testsupport;
using ostest::ErrorOf;
using ostest::ExpectHas;
using trendset::SetDescription;

inline std::string LE(std::int64_t v, std::size_t width) { return width ? static_cast<char>(v & 0xFF) + LE(v >> 8, width - 1) : ""; }

// Makes a row's input; what this system cannot make (a symbolic link without
// link support, a name its file system cannot hold) is returned, to skip on.
inline std::string CannotMake(const std::function<void()>& make) {
    try {
        make();
    } catch (const fs::filesystem_error& e) {
        return e.what();
    }
    return "";
}

// A fresh temporary folder per test, removed with everything in it.
struct Folder : ::testing::Test {
    TempFolder temp;
    const fs::path tmp = temp.path;
    fs::path Sub(const std::string& name) const { fs::create_directories(tmp / name); return tmp / name; }
};

// Where the fields the merge changes lie in a file-header record of each
// version: Name from byte 0, then the file description block (which a data
// file holds from byte 128); start, end and file pointer count from the block.
struct Geometry { std::size_t length, name, start, end, pointer, time; };
inline constexpr Geometry kGeometry[] = {{240, 144, 74, 78, 86, 4}, {240, 144, 74, 78, 86, 4}, {240, 144, 74, 78, 86, 4},
    {240, 144, 74, 78, 86, 4}, {432, 272, 122, 130, 142, 8}, {288, 144, 122, 126, 134, 4}, {448, 272, 138, 146, 158, 8}};

struct MergeFixture : Folder {
    fs::path backupDir = Sub("in/backup"), existingDir = Sub("in/existing"), emptyFile = Sub("in/empty") / "EMPTY.000", out = tmp / "out";
    trendset::BuiltSet backup, existing;
    SetDescription backupSpec, existingSpec;

    // Builds both sets, recorded in C:\B and C:\E, and the empty data file.
    void Make(SetDescription b, SetDescription e) {
        b.RecordedFolder = "C:\\B", e.RecordedFolder = "C:\\E", backupSpec = b, existingSpec = e;
        backup = trendset::Build(backupDir, b), existing = trendset::Build(existingDir, e);
        trendset::BuildEmptyDataFile(emptyFile, b);
    }
    MergeRequest Request(const std::string& date, std::int16_t n) const {
        return {date, out.string(), backup.Master.string(), existing.Master.string(), n, emptyFile.string()};
    }

    // Proves the inputs unchanged when it goes, also when the step it guards threw.
    struct InputsGuard {
        const MergeFixture& f;
        Tree before = Snapshot(f.tmp / "in");
        ~InputsGuard() { EXPECT_EQ(before, Snapshot(f.tmp / "in")) << "an input changed"; }
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
        const std::string e = ReadFile(existing.Master), b = ReadFile(backup.Master), t = ReadFile(emptyFile);
        const Geometry g = kGeometry[backupSpec.Version];
        std::string want = e.substr(0, 176).replace(148, 4, LE(n, 2) + LE(n, 2)), folder, token;
        std::string fill = std::string(g.name, ' ') + t.substr(128, g.length - g.name);
        for (const std::size_t at : {g.start, g.end}) fill.replace(g.name + at, g.time, g.time, '\0');
        fill.replace(g.name + g.pointer, 4, 4, '\0');
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
            EXPECT_TRUE(SameFile(out / file, source)) << file;
        }
        EXPECT_TRUE(SameBytes(ReadFile(out / master), want)) << master;
        EXPECT_EQ(Snapshot(out).size(), n + 1U) << "the master and its data files, nothing else";
    }
};

inline constexpr std::uint64_t kRoom = ~std::uint64_t{0};  // free space enough for anything

// Backup: four two-day files from 2004-09-10; existing: eight one-day files
// from 2004-09-12 (nFiles 8).  The break date 09-14-2004 takes existing
// 2..7 and backup 0..1: eight files, the existing master's own count.
inline SetDescription TrendOf(const std::string& name, bool backup) {
    SetDescription s = SampleSet(6, backup ? Days(6, 10, 4, 2) : Days(6, 12, 8));
    s.BaseName = name + ".", s.ID = name;
    return s;
}

struct FolderFixture : Folder {
    fs::path backup = Sub("in/backup"), existing = Sub("in/existing"), templates = Sub("in/templates"), out = tmp / "out";

    // A trend with both sets and its template; parts can be left out or
    // changed by the caller afterwards.
    void Trend(const std::string& name) {
        trendset::Build(existing, TrendOf(name, false)), trendset::Build(backup, TrendOf(name, true));
        trendset::BuildEmptyDataFile(templates / (name + ".000"), TrendOf(name, true));
    }
    FolderMergeRequest Request(std::optional<std::int16_t> n = std::nullopt, std::optional<std::string> only = {}) const {
        return {backup, existing, templates, out, "09-14-2004", n, std::move(only)};
    }
    // "TREND: accepted" or "TREND: <refusal>" per trend, in plan order.
    static std::string Outcome(const FolderPlan& plan) {
        std::string s;
        for (const auto& t : plan.Trends) s += t.Trend + ": " + (t.Plan ? "accepted" : t.Refusal) + "\n";
        return s;
    }
};

}  // namespace jw::enginetest
