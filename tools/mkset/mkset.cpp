// mkset: writes a trend set (master file, numbered data files, optionally an
// empty data file) for demos, benchmarks and manual tests, and prints the
// path of the master file it wrote.
//
//   mkset --out DIR --version V --files N --start YYYY-MM-DD --days-per-file D
//         [--samples K] [--written W] [--newest S] [--base TREND.]
//         [--folder 'C:\Data'] [--history-type T] [--add-on A] [--next-file F]
//         [--period MS] [--title TEXT] [--empty PATH] [--minimal]
//
// By default the set is shaped as the runtime leaves one: N + A records (A
// AddOn records present in the file, each with its data file), kept as a
// ring by file number -- the newest file in slot S (default N + A - 1 over
// 2), the oldest in the slot after it -- with NextFile the newest slot; every
// data file preallocated for K samples (DataLength K, EndTime the time of
// sample K), the older ones full (FilePointer K), the newest one written up
// to W samples (FilePointer W, default K / 2) with the rest left zero.
// --minimal writes the earlier shape: files in time order holding only their
// K samples, DataLength K, FilePointer the byte length, AddOn a header value.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <iostream>
#include <string>

#include "base/Errors.h"
#include "os/Text.h"
#include "time/StringTools.h"
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

// Text typed on the command line (UTF-8) as the Windows-1252 bytes trend
// files hold.
CLI::Validator Cp1252Text() {
    return CLI::Validator(
        [](std::string& text) {
            const auto bytes = jw::StringTools::Utf8ToCp1252(text);
            if (!bytes) return "\"" + text + "\" holds a character Windows-1252 has no byte for";
            text = *bytes;
            return std::string();
        },
        "TEXT");
}

// The command line.
struct Options {
    std::string Out, Start, EmptyPath;
    int Files = 3, DaysPerFile = 1, Samples = 10;
    std::optional<int> Written, Newest;
    bool Minimal = false;
    jw::trendset::SetDescription Desc;
};

void Declare(CLI::App& app, Options& o) {
    jw::trendset::SetDescription& desc = o.Desc;
    app.add_option("--out", o.Out, "Folder to write the set into (created if missing)")->required();
    app.add_option("--version", desc.Version, "Trend version 0..6")->required();
    app.add_option("--files", o.Files, "Number of data files")->check(CLI::Range(0, 32767));
    app.add_option("--start", o.Start, "Start date of the first data file, YYYY-MM-DD")->required();
    app.add_option("--days-per-file", o.DaysPerFile, "Days covered by each data file")->check(CLI::Range(1, 36500));
    app.add_option("--samples", o.Samples, "Samples in each data file (its capacity)")->check(CLI::Range(0, 100'000'000));
    app.add_option("--written", o.Written, "Samples written in the newest data file (default: half of --samples)")
        ->check(CLI::Range(0, 100'000'000));
    app.add_option("--newest", o.Newest, "Record slot of the newest data file (default: the middle of the ring)")
        ->check(CLI::Range(0, 32767));
    app.add_flag("--minimal", o.Minimal, "Write the minimal shape instead of the runtime's (see the source's head)");
    app.add_option("--base", desc.BaseName, "Base name of the files (master BASE + HST, data BASE + 000 ...)")
        ->transform(Cp1252Text());
    app.add_option("--folder", desc.RecordedFolder, "Folder recorded in the master's names")->transform(Cp1252Text());
    app.add_option("--history-type", desc.HistoryType, "History type (4: event samples)");
    app.add_option("--add-on", desc.AddOn, "AddOn of the master header");
    app.add_option("--next-file", desc.NextFile, "NextFile of the master header");
    app.add_option("--period", desc.SamplePeriodRaw, "Sample period as stored (seconds under versions 0-1, else ms)");
    app.add_option("--title", desc.Title, "Title of the master and data files")->transform(Cp1252Text());
    app.add_option("--empty", o.EmptyPath, "Also write an empty data file of the set at this path");
}

// The records' data files, oldest to newest from base (the first start
// time as stored), each starting where the one before it ends, kept as a
// ring with the newest in newestSlot.
void DescribeFiles(Options& o, std::int64_t base, int records, int newestSlot) {
    jw::trendset::SetDescription& desc = o.Desc;
    const std::int64_t day = jw::trendset::RawTime(desc.Version, 2000, 1, 2) - jw::trendset::RawTime(desc.Version, 2000, 1, 1);
    const std::int64_t second = jw::trendset::RawTime(desc.Version, 2000, 1, 1, 0, 0, 1) -
                                jw::trendset::RawTime(desc.Version, 2000, 1, 1);
    // Sample periods are stored in seconds under versions 0 and 1, else in
    // milliseconds.  The span of k periods in the set's time unit, divided
    // last and rounded up: under whole Citect seconds an end time of
    // 1.5 s steps is the second at or after the last sample, so that
    // sample still counts (and no later one does).
    const auto span = [&](std::int64_t k) {
        if (desc.Version <= 1) return k * desc.SamplePeriodRaw * second;
        const std::int64_t units = k * desc.SamplePeriodRaw * second;
        return units / 1000 + (units % 1000 > 0 ? 1 : 0);
    };
    desc.Files.resize(static_cast<std::size_t>(records));
    for (int age = 0; age < records; ++age) {  // age 0: the oldest file
        const int slot = (newestSlot + 1 + age) % records;
        jw::trendset::FileDescription& f = desc.Files[static_cast<std::size_t>(slot)];
        f.StartTime = base + static_cast<std::int64_t>(age) * o.DaysPerFile * day;
        f.EndTime = o.Minimal || o.Samples == 0 ? f.StartTime + o.DaysPerFile * day - second
                                                : f.StartTime + span(o.Samples - 1);
        f.Samples = o.Samples;
        if (!o.Minimal) {
            f.Capacity = o.Samples;
            if (age == records - 1) f.Samples = o.Written.value_or(o.Samples / 2);
        }
    }
}

// Writes the set (and the empty data file) and prints the master's path.
int WriteSet(Options& o, const Date& first, bool nextFileGiven) {
    jw::trendset::SetDescription& desc = o.Desc;
    // A start that is no calendar date fails before --newest is checked.
    const std::int64_t base = jw::trendset::RawTime(desc.Version, first.year, first.month, first.day);
    const int records = o.Minimal ? o.Files : o.Files + std::max<int>(desc.AddOn, 0);
    if (o.Newest && *o.Newest >= records) {
        std::cerr << "mkset: --newest must name one of the " << records << " records\n";
        return 2;
    }
    const int newestSlot = o.Minimal ? records - 1 : o.Newest.value_or(std::max(records - 1, 0) / 2);
    DescribeFiles(o, base, records, newestSlot);
    if (!o.Minimal && !nextFileGiven) desc.NextFile = static_cast<std::int16_t>(newestSlot);
    const jw::trendset::BuiltSet built = jw::trendset::Build(jw::os::PathFromUtf8(o.Out), desc);
    if (!o.EmptyPath.empty()) jw::trendset::BuildEmptyDataFile(jw::os::PathFromUtf8(o.EmptyPath), desc);
    std::cout << jw::os::PathText(built.Master) << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes a trend set: a master file, its numbered data files and, on request, an empty data file."};
    Options o;
    Declare(app, o);
    CLI11_PARSE(app, argc, argv);

    Date first;
    if (!ParseDate(o.Start, first)) {
        std::cerr << "mkset: --start must be a date YYYY-MM-DD, not \"" << o.Start << "\"\n";
        return 2;
    }
    if (o.Minimal) o.Desc.Shape = jw::trendset::SetShape::Minimal;
    if (o.Written && *o.Written > o.Samples) {
        std::cerr << "mkset: --written must not exceed --samples\n";
        return 2;
    }
    try {
        return WriteSet(o, first, app.count("--next-file") > 0);
    } catch (const jw::Error& e) {
        std::cerr << "mkset: " << jw::ErrorKindName(e.kind()) << ": " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "mkset: " << e.what() << "\n";
        return 1;
    }
}
