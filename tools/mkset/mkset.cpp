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

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes a trend set: a master file, its numbered data files and, on request, an empty data file."};
    std::string out, start, emptyPath;
    int files = 3, daysPerFile = 1, samples = 10;
    std::optional<int> written, newest;
    bool minimal = false;
    jw::trendset::SetDescription desc;
    app.add_option("--out", out, "Folder to write the set into (created if missing)")->required();
    app.add_option("--version", desc.Version, "Trend version 0..6")->required();
    app.add_option("--files", files, "Number of data files")->check(CLI::Range(0, 32767));
    app.add_option("--start", start, "Start date of the first data file, YYYY-MM-DD")->required();
    app.add_option("--days-per-file", daysPerFile, "Days covered by each data file")->check(CLI::Range(1, 36500));
    app.add_option("--samples", samples, "Samples in each data file (its capacity)")->check(CLI::Range(0, 100'000'000));
    app.add_option("--written", written, "Samples written in the newest data file (default: half of --samples)")
        ->check(CLI::Range(0, 100'000'000));
    app.add_option("--newest", newest, "Record slot of the newest data file (default: the middle of the ring)")
        ->check(CLI::Range(0, 32767));
    app.add_flag("--minimal", minimal, "Write the minimal shape instead of the runtime's (see the source's head)");
    app.add_option("--base", desc.BaseName, "Base name of the files (master BASE + HST, data BASE + 000 ...)")
        ->transform(Cp1252Text());
    app.add_option("--folder", desc.RecordedFolder, "Folder recorded in the master's names")->transform(Cp1252Text());
    app.add_option("--history-type", desc.HistoryType, "History type (4: event samples)");
    app.add_option("--add-on", desc.AddOn, "AddOn of the master header");
    app.add_option("--next-file", desc.NextFile, "NextFile of the master header");
    app.add_option("--period", desc.SamplePeriodRaw, "Sample period as stored (seconds under versions 0-1, else ms)");
    app.add_option("--title", desc.Title, "Title of the master and data files")->transform(Cp1252Text());
    app.add_option("--empty", emptyPath, "Also write an empty data file of the set at this path");
    CLI11_PARSE(app, argc, argv);

    Date first;
    if (!ParseDate(start, first)) {
        std::cerr << "mkset: --start must be a date YYYY-MM-DD, not \"" << start << "\"\n";
        return 2;
    }
    if (minimal) desc.Shape = jw::trendset::SetShape::Minimal;
    if (written && *written > samples) {
        std::cerr << "mkset: --written must not exceed --samples\n";
        return 2;
    }
    try {
        const std::int64_t day = jw::trendset::RawTime(desc.Version, 2000, 1, 2) - jw::trendset::RawTime(desc.Version, 2000, 1, 1);
        const std::int64_t second = jw::trendset::RawTime(desc.Version, 2000, 1, 1, 0, 0, 1) -
                                    jw::trendset::RawTime(desc.Version, 2000, 1, 1);
        const std::int64_t base = jw::trendset::RawTime(desc.Version, first.year, first.month, first.day);
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
        const int records = minimal ? files : files + std::max<int>(desc.AddOn, 0);
        if (newest && *newest >= records) {
            std::cerr << "mkset: --newest must name one of the " << records << " records\n";
            return 2;
        }
        const int newestSlot = minimal ? records - 1 : newest.value_or(std::max(records - 1, 0) / 2);
        desc.Files.resize(static_cast<std::size_t>(records));
        for (int age = 0; age < records; ++age) {  // age 0: the oldest file
            const int slot = (newestSlot + 1 + age) % records;
            jw::trendset::FileDescription& f = desc.Files[static_cast<std::size_t>(slot)];
            f.StartTime = base + static_cast<std::int64_t>(age) * daysPerFile * day;
            f.EndTime = minimal || samples == 0 ? f.StartTime + daysPerFile * day - second
                                                : f.StartTime + span(samples - 1);
            f.Samples = samples;
            if (!minimal) {
                f.Capacity = samples;
                if (age == records - 1) f.Samples = written.value_or(samples / 2);
            }
        }
        if (!minimal && !app.count("--next-file")) desc.NextFile = static_cast<std::int16_t>(newestSlot);
        const jw::trendset::BuiltSet built = jw::trendset::Build(jw::os::PathFromUtf8(out), desc);
        if (!emptyPath.empty()) jw::trendset::BuildEmptyDataFile(jw::os::PathFromUtf8(emptyPath), desc);
        std::cout << jw::os::PathText(built.Master) << "\n";
    } catch (const jw::Error& e) {
        std::cerr << "mkset: " << jw::ErrorKindName(e.kind()) << ": " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "mkset: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
