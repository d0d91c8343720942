// Writes the starting corpora of the fuzz targets: small, valid trend files
// of every version made with the trend-set builder (the library behind
// tools/mkset), cut ones, and texts and names as operators and old programs
// write them.  Run once; the output is committed.
//
//   jw_fuzz_corpus OUTDIR    (writes OUTDIR/<target>/<input>)
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "FuzzSupport.h"
#include "trendset/TrendSetBuilder.h"

namespace fs = std::filesystem;
namespace ts = jw::trendset;
using namespace std::string_literals;

using fuzzsupport::ReadBytes;
static void Write(const fs::path& p, const std::string& bytes) { fs::create_directories(p.parent_path()), fuzzsupport::WriteBytes(p, bytes); }
template <class T> static std::string Le(T v) { return std::string(reinterpret_cast<const char*>(&v), sizeof v); }

// A set of four one-day files from the given day of September 2004; its master, or its first data file.
static std::string Set(const fs::path& folder, std::int16_t version, std::int16_t historyType, int firstDay, bool master) {
    ts::SetDescription s{.Version = version, .HistoryType = historyType};
    for (int i = 0; i < 4; ++i)
        s.Files.push_back({ts::RawTime(version, 2004, 9, firstDay + i), ts::RawTime(version, 2004, 9, firstDay + i, 23, 59, 59),
                           3, std::nullopt, true});
    const auto built = ts::Build(folder, s);
    return ReadBytes(master ? built.Master : built.DataFiles.front());
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const fs::path out = argv[1], work = fs::temp_directory_path() / "jw-fuzz-corpus-work";
    for (std::int16_t v = 0; v <= 6; ++v) {
        const std::string tag = "v" + std::to_string(v), date = "09-14-2004";
        const std::string master = Set(work / tag / "e", v, 0, 14, true), backup = Set(work / tag / "b", v, 0, 10, true);
        Write(out / "master" / tag, master);
        Write(out / "master" / (tag + "-cut"), master.substr(0, master.size() - 7));
        for (const std::int16_t ht : {0, 4})  // periodic and event samples 1..3, look up 2
            Write(out / "datafile" / (tag + "-history" + std::to_string(ht)),
                  Le(1) + Le(3) + Le(2) + Set(work / tag / std::to_string(ht), v, ht, 17, false));
        // A merge to write: flags, data flags, --files, break date, both masters and a template.
        std::string input = "\1\0"s + Le<std::int16_t>(8) + char(date.size()) + date;
        for (const std::string& b : {master, backup, ReadBytes(work / tag / "e" / "TREND.000")})
            input += Le(static_cast<std::uint16_t>(b.size())) + b;
        Write(out / "plan" / tag, input);
    }
    const std::string texts[] = {"09-17-2004", "1-1-99", "09/17/04", " 2004-09-17 ", "02-30-2004", "abc"};
    const std::string names[] = {"C:\\Data\\TREND.000   ", "C:\\Data\\TREND.005\0.x\\OLD"s, "TREND.000", "C:\\D\\T.1000", "C:\\D\\a/b.0"};
    for (int i = 0; i < 6; ++i) Write(out / "breakdate" / std::to_string(i), texts[i]);
    for (int i = 0; i < 5; ++i) Write(out / "names" / std::to_string(i), Le<std::int16_t>(std::int16_t(i * 111)) + names[i]);
    fs::remove_all(work);
    return 0;
}
