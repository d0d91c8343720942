// Writes the starting corpora of the fuzz targets: small, valid trend files
// of every version made with the trend-set builder (the library behind
// tools/mkset), a few damaged ones, and the texts and names the operators
// and old programs produce.  Run once; the output is committed.
//
//   jw_fuzz_corpus OUTDIR    (writes OUTDIR/<target>/<seed>)
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "trendset/TrendSetBuilder.h"

namespace {

namespace fs = std::filesystem;
namespace ts = jw::trendset;

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

template <class T>
std::string Le(T v) {
    std::string s(sizeof v, '\0');
    std::memcpy(s.data(), &v, sizeof v);
    return s;
}

std::string Blob(const std::string& b) { return Le(static_cast<std::uint16_t>(b.size())) + b; }

// A set of `files` one-day files from the given day of September 2004.
ts::SetDescription Describe(std::int16_t version, std::int16_t historyType, int files, int firstDay, int samples) {
    ts::SetDescription s;
    s.Version = version;
    s.HistoryType = historyType;
    for (int i = 0; i < files; ++i) {
        ts::FileDescription f;
        f.StartTime = ts::RawTime(version, 2004, 9, firstDay + i);
        f.EndTime = ts::RawTime(version, 2004, 9, firstDay + i, 23, 59, 59);
        f.Samples = samples;
        s.Files.push_back(f);
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: jw_fuzz_corpus OUTDIR\n";
        return 2;
    }
    const fs::path out = argv[1];
    const fs::path work = fs::temp_directory_path() / "jw-fuzz-corpus-work";
    fs::remove_all(work);

    for (std::int16_t v = 0; v <= 6; ++v) {
        const std::string tag = "v" + std::to_string(v);
        // Master files: three records; a copy cut inside its last record.
        const auto set = ts::Build(work / tag, Describe(v, 0, 3, 14, 4));
        const std::string master = Read(set.Master);
        Write(out / "master" / (tag + "-three-records"), master);
        Write(out / "master" / (tag + "-cut-in-record"), master.substr(0, master.size() - 7));

        // Data files: periodic and event samples, the empty data file, a cut header.
        for (const std::int16_t ht : {0, 4}) {
            const auto one = ts::Build(work / (tag + "-ht" + std::to_string(ht)), Describe(v, ht, 1, 17, 5));
            const std::string file = Read(one.DataFiles.front());
            const std::string ranges = Le<std::int32_t>(1) + Le<std::int32_t>(5) + Le<std::int32_t>(3);
            Write(out / "datafile" / (tag + "-history" + std::to_string(ht)), ranges + file);
        }
        const fs::path empty = work / (tag + "-empty.000");
        ts::BuildEmptyDataFile(empty, Describe(v, 0, 0, 1, 0));
        const std::string emptyBytes = Read(empty);
        Write(out / "datafile" / (tag + "-empty"), Le<std::int32_t>(1) + Le<std::int32_t>(1) + Le<std::int32_t>(1) + emptyBytes);
        if (v == 6)
            Write(out / "datafile" / "v6-cut-header",
                  Le<std::int32_t>(1) + Le<std::int32_t>(2) + Le<std::int32_t>(2) + emptyBytes.substr(0, 200));
    }

    // Masters without a record layout, and too short for a header.
    for (const std::int16_t v : {7, -1}) {
        auto desc = Describe(6, 0, 2, 14, 1);
        const auto set = ts::Build(work / "bad", desc);
        std::string m = Read(set.Master);
        std::memcpy(m.data() + 138, &v, 2);
        Write(out / "master" / ("version" + std::to_string(v)), m);
    }
    Write(out / "master" / "hundred-bytes", std::string(100, 'M'));

    // Data file with an unknown version.
    {
        std::string bad = Read(work / "v5-empty.000");
        const std::int16_t v = 7;
        std::memcpy(bad.data() + 138, &v, 2);
        Write(out / "datafile" / "version7", Le<std::int32_t>(1) + Le<std::int32_t>(4) + Le<std::int32_t>(1) + bad);
    }

    // Break dates as typed.
    const char* dates[] = {"09-17-2004", "9-17-2004", "1-1-99", "09/17/04", "2004-09-17", " 09-17-2004 ",
                           "12.31.2029", "02-29-2000", "02-30-2004", "13-01-2004", "2004-09-17 06:00", "abc", ""};
    for (std::size_t i = 0; i < std::size(dates); ++i)
        Write(out / "breakdate" / ("date" + std::to_string(i)), dates[i]);
    Write(out / "breakdate" / "ticks", Le<std::int64_t>(127'398'771'300'000'000));

    // Recorded names: from Windows, with left-overs after the NUL, hostile ones.
    const std::string names[] = {
        std::string("C:\\Citect\\Data\\TREND.000") + std::string(120, ' '),
        std::string("C:\\Data\\TREND.005\0.x\\OLD", 25),
        "C:\\A\\B\\",
        "TREND.000",
        "C:\\Data\\TREND",
        "C:\\Data\\TREND.1000",
        "C:\\Data\\..",
        "C:\\Data\\a/b.000",
        "C:\\Data\\TR\x01ND.000",
        "\\\\server\\share\\T.001",
    };
    for (std::size_t i = 0; i < std::size(names); ++i)
        Write(out / "names" / ("name" + std::to_string(i)), Le<std::int16_t>(static_cast<std::int16_t>(i * 111)) + names[i]);

    // Whole merges: an existing and a backup set of one version and their template.
    struct PlanSeed {
        const char* name;
        std::int16_t version;
        std::uint8_t flags, dataFlags;
        std::int16_t files;
        const char* date;
    };
    const PlanSeed plans[] = {
        {"v6-write", 6, 1, 0, 8, "09-14-2004"},
        {"v5-plan", 5, 0, 0, 8, "9-15-2004"},
        {"v4-output-in-backup", 4, 1 | 4, 0, 6, "2004-09-12"},
        {"v2-lower-case-files", 2, 1, 4, 9, "09/16/04"},
        {"v0-same-folder", 0, 1 | 8, 0, 10, "09-13-2004"},
        {"v1-backup-without-dot", 1, 1 | 2, 0, 8, "09-14-2004"},
        {"v3-template-is-master", 3, 16, 0, 8, "09-14-2004"},
        {"v6-first-file-folder", 6, 1, 8, 8, "09-14-2004"},
        {"v6-dry-run", 6, 64, 0, 8, "09-14-2004"},
    };
    for (const auto& p : plans) {
        const auto existing = ts::Build(work / (std::string(p.name) + "-e"), Describe(p.version, 0, 4, 14, 2));
        const auto backup = ts::Build(work / (std::string(p.name) + "-b"), Describe(p.version, 0, 4, 10, 2));
        const fs::path empty = work / (std::string(p.name) + "-empty.000");
        ts::BuildEmptyDataFile(empty, Describe(p.version, 0, 0, 1, 0));
        std::string seed;
        seed += static_cast<char>(p.flags);
        seed += static_cast<char>(p.dataFlags);
        seed += Le(p.files);
        seed += static_cast<char>(std::strlen(p.date));
        seed += p.date;
        seed += Blob(Read(existing.Master)) + Blob(Read(backup.Master)) + Blob(Read(empty));
        Write(out / "plan" / p.name, seed);
    }

    fs::remove_all(work);
    std::cout << "corpus written to " << out.string() << "\n";
    return 0;
}
