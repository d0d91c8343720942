// A backup set, an existing set and an empty data file in their own
// temporary folders, an empty output folder, and merges run against them
// that prove every input unchanged afterwards.
#pragma once

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "engine/TrendTools.h"
#include "time/Errors.h"
#include "trendset/TrendSetBuilder.h"

namespace jw::enginetest {

// A data file that starts at the given local date and time and lasts an hour.
inline trendset::DataFileSpec At(std::int16_t version, int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    trendset::DataFileSpec f;
    f.StartTime = trendset::RawTime(version, y, m, d, h, mi, s);
    f.EndTime = f.StartTime + (version == 4 || version == 6 ? 36'000'000'000LL : 3600);
    f.Samples = 3;
    return f;
}

inline trendset::SetSpec SetOf(std::int16_t version, std::string folder, std::vector<trendset::DataFileSpec> files) {
    trendset::SetSpec s;
    s.Version = version;
    s.HistoryType = version % 2 == 1 ? 4 : 0;
    s.RecordedFolder = std::move(folder);
    s.Files = std::move(files);
    return s;
}

// One record of the merged master as a test expects it.
struct Expect {
    char from;          // 'E' existing, 'B' backup, 'T' template
    std::size_t index;  // record index in its master (unused for 'T')
    std::string name;   // its new Name
};

struct MergeFixture : ::testing::Test {
    TempFolder tmp;
    fs::path backupDir = tmp.Sub("backup"), existingDir = tmp.Sub("existing"), emptyDir = tmp.Sub("empty");
    fs::path out = tmp.Sub("out");
    fs::path emptyFile = emptyDir / "EMPTY.000";
    trendset::BuiltSet backup, existing;
    std::int16_t version = 6;

    void Make(const trendset::SetSpec& b, const trendset::SetSpec& e) {
        version = b.Version;
        backup = trendset::Build(backupDir, b);
        existing = trendset::Build(existingDir, e);
        trendset::BuildEmptyDataFile(emptyFile, b);
    }

    MergeRequest Request(const std::string& date, std::int16_t n) const {
        MergeRequest r;
        r.BrakeDate = date;
        r.OutputFolder = out.string();
        r.BackupFile = backup.Master.string();
        r.ExistingFile = existing.Master.string();
        r.NumberOfFiles = n;
        r.EmptyDataFile = emptyFile.string();
        return r;
    }

    std::map<std::string, std::uint64_t> Inputs() const { return Fingerprint({backupDir, existingDir, emptyDir}); }

    // Merges and proves the inputs unchanged (also when the merge fails).
    std::string Merge(const MergeRequest& r, const MergeOptions& o = {}) {
        const auto before = Inputs();
        try {
            std::string result = MergeTrendSets(r, o);
            EXPECT_EQ(before, Inputs());
            return result;
        } catch (...) {
            EXPECT_EQ(before, Inputs());
            throw;
        }
    }

    // Expects the merge refused before writing: every part in the message,
    // the output folder as it was, the inputs unchanged.
    void ExpectRefused(const MergeRequest& r, const std::vector<std::string>& parts,
                       ErrorKind kind = ErrorKind::Refused) {
        const auto outBefore = Fingerprint({out});
        try {
            Merge(r);
            ADD_FAILURE() << "the merge was not refused";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), kind) << e.what();
            for (const auto& p : parts) EXPECT_NE(std::string(e.what()).find(p), std::string::npos) << e.what();
        }
        EXPECT_EQ(Fingerprint({out}), outBefore);
    }

    // The merged master as the records say, built from the input bytes.
    Bytes ExpectedMaster(std::int16_t n, const std::vector<Expect>& records) const {
        const Bytes e = ReadAll(existing.Master), b = ReadAll(backup.Master), t = ReadAll(emptyFile);
        Bytes m = MergedHeader(e, n);
        for (const auto& r : records) {
            if (r.from == 'E') Append(m, WithName(RecordBytes(e, version, r.index), version, r.name));
            else if (r.from == 'B') Append(m, WithName(RecordBytes(b, version, r.index), version, r.name));
            else Append(m, TemplateRecordBytes(t, version, r.name));
        }
        return m;
    }

    // Checks the output folder: the master byte for byte, each data file a
    // copy of its source under the file name of its new Name, nothing else.
    void ExpectOutput(const std::string& masterName, std::int16_t n, const std::vector<Expect>& records) const {
        EXPECT_EQ(ReadAll(out / masterName), ExpectedMaster(n, records));
        std::vector<std::string> names{masterName};
        for (const auto& r : records) {
            const std::string file = r.name.substr(r.name.rfind('\\') + 1);
            names.push_back(file);
            const fs::path source = r.from == 'E'   ? existing.DataFiles.at(r.index)
                                    : r.from == 'B' ? backup.DataFiles.at(r.index)
                                                    : emptyFile;
            EXPECT_EQ(ReadAll(out / file), ReadAll(source)) << file;
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(FolderNames(out), names);
    }
};

}  // namespace jw::enginetest
