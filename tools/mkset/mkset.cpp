// mkset: writes a trend set (master file, numbered data files, optionally an
// empty data file) for demos, benchmarks and manual tests, and prints the
// path of the master file it wrote.
//
//   mkset --out DIR --version V --files N --start YYYY-MM-DD --days-per-file D
//         [--samples K] [--base TREND.] [--folder 'C:\Data'] [--history-type T]
//         [--add-on A] [--next-file F] [--period MS] [--title TEXT] [--empty PATH]
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <string>

#include "base/Errors.h"
#include "trendset/TrendSetBuilder.h"

namespace {

struct Date {
    int year = 0, month = 0, day = 0;
};

// "YYYY-MM-DD"; anything else is refused.
bool ParseDate(const std::string& text, Date& out) {
    char tail = 0;
    if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &out.year, &out.month, &out.day, &tail) != 3)
        return false;
    return text[4] == '-' && text[7] == '-';
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes a trend set: a master file, its numbered data files and, on request, an empty data file."};
    std::string out, start, emptyPath;
    int files = 3, daysPerFile = 1, samples = 10;
    jw::trendset::SetDescription desc;
    app.add_option("--out", out, "Folder to write the set into (created if missing)")->required();
    app.add_option("--version", desc.Version, "Trend version 0..6")->required();
    app.add_option("--files", files, "Number of data files")->check(CLI::Range(0, 32767));
    app.add_option("--start", start, "Start date of the first data file, YYYY-MM-DD")->required();
    app.add_option("--days-per-file", daysPerFile, "Days covered by each data file")->check(CLI::Range(1, 36500));
    app.add_option("--samples", samples, "Samples in each data file")->check(CLI::Range(0, 100'000'000));
    app.add_option("--base", desc.BaseName, "Base name of the files (master BASE + HST, data BASE + 000 ...)");
    app.add_option("--folder", desc.RecordedFolder, "Folder recorded in the master's names");
    app.add_option("--history-type", desc.HistoryType, "History type (4: event samples)");
    app.add_option("--add-on", desc.AddOn, "AddOn of the master header");
    app.add_option("--next-file", desc.NextFile, "NextFile of the master header");
    app.add_option("--period", desc.SamplePeriodRaw, "Sample period as stored (seconds under versions 0-1, else ms)");
    app.add_option("--title", desc.Title, "Title of the master and data files");
    app.add_option("--empty", emptyPath, "Also write an empty data file of the set at this path");
    CLI11_PARSE(app, argc, argv);

    Date first;
    if (!ParseDate(start, first)) {
        std::cerr << "mkset: --start must be a date YYYY-MM-DD, not \"" << start << "\"\n";
        return 2;
    }
    try {
        const std::int64_t day = jw::trendset::RawTime(desc.Version, 2000, 1, 2) - jw::trendset::RawTime(desc.Version, 2000, 1, 1);
        const std::int64_t second = jw::trendset::RawTime(desc.Version, 2000, 1, 1, 0, 0, 1) -
                                    jw::trendset::RawTime(desc.Version, 2000, 1, 1);
        const std::int64_t base = jw::trendset::RawTime(desc.Version, first.year, first.month, first.day);
        for (int i = 0; i < files; ++i) {
            jw::trendset::FileDescription f;
            f.StartTime = base + static_cast<std::int64_t>(i) * daysPerFile * day;
            f.EndTime = f.StartTime + daysPerFile * day - second;
            f.Samples = samples;
            desc.Files.push_back(f);
        }
        const jw::trendset::BuiltSet built = jw::trendset::Build(out, desc);
        if (!emptyPath.empty()) jw::trendset::BuildEmptyDataFile(emptyPath, desc);
        std::cout << built.Master.string() << "\n";
    } catch (const jw::Error& e) {
        std::cerr << "mkset: " << jw::ErrorKindName(e.kind()) << ": " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "mkset: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
