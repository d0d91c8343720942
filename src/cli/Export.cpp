#include "cli/Export.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <variant>

#include "formats/BinaryFile.h"
#include "formats/TrendDefs.h"
#include "formats/TrendSet.h"
#include "formats/Validity.h"
#include "base/Errors.h"
#include "os/Process.h"
#include "time/StringTools.h"

namespace jw::cli {

namespace fs = std::filesystem;

namespace {

// 128-bit arithmetic for the window of a periodic file: start, period and
// the --from/--to instants are arbitrary 64-bit tick counts.
__extension__ typedef __int128 Wide;

Wide CeilDiv(Wide a, Wide b) {  // b > 0
    Wide q = a / b;
    if (a % b != 0 && a > 0) ++q;
    return q;
}

constexpr std::size_t kBufferSize = 1 << 20;
constexpr std::size_t kMaxRow = 64;  // 23 time + "," + value (at most 24) + "\n"

using StringTools::Quoted;

}  // namespace

void StdoutSink::Write(const char* data, std::size_t size) { os::WriteStandardOutput({data, size}); }

std::size_t FormatDouble(double v, char* out) {
    const auto r = std::to_chars(out, out + 32, v);
    return static_cast<std::size_t>(r.ptr - out);
}

CsvExporter::CsvExporter(CsvSink& sink, ExportOptions options, ExportNotice notice, ExportProgress progress)
    : sink_(sink), options_(options), notice_(std::move(notice)), progress_(std::move(progress)), buffer_(kBufferSize) {}

CsvExporter::~CsvExporter() = default;

void CsvExporter::Flush() {
    if (used_ == 0) return;
    sink_.Write(buffer_.data(), used_);
    stats_.Bytes += used_;
    used_ = 0;
}

void CsvExporter::Reserve(std::size_t n) {
    if (buffer_.size() - used_ < n) Flush();
}

void CsvExporter::Finish() { Flush(); }

void CsvExporter::WriteHeaderLine() {
    static constexpr std::string_view kHeader = "time,value\n";
    Reserve(kHeader.size());
    std::memcpy(buffer_.data() + used_, kHeader.data(), kHeader.size());
    used_ += kHeader.size();
}

void CsvExporter::Row(std::int64_t ticks, const char* value, std::size_t length) {
    Reserve(kMaxRow);
    char* p = times_.Write(ticks, buffer_.data() + used_);
    *p++ = ',';
    std::memcpy(p, value, length);
    p += length;
    *p++ = '\n';
    used_ = static_cast<std::size_t>(p - buffer_.data());
    ++stats_.Rows;
}

void CsvExporter::InvalidRow(std::int64_t ticks) {
    ++stats_.InvalidRows;
    if (options_.SkipInvalid) return;
    Row(ticks, "", 0);
}

void CsvExporter::Progress(std::uint64_t bytes) {
    bytesDone_ += bytes;
    if (progress_) progress_(bytesDone_, bytesTotal_);
}

void CsvExporter::ExportPath(const fs::path& path) { ExportFiles(ExportInputs(path, notice_)); }

void CsvExporter::ExportFiles(const std::vector<ExportInput>& files) {
    WriteHeaderLine();
    bytesTotal_ = 0;
    for (const auto& f : files) {
        std::error_code ec;
        const auto size = fs::file_size(f.Path, ec);
        if (!ec) bytesTotal_ += size;
    }
    for (const auto& f : files) {
        DataFileReader reader(f.Path);
        ExportDataFile(reader, f.Newest);
    }
    Finish();
}

namespace {

// The validity rule, applied before any row is written: a problem a merge
// would refuse refuses the export, the others are told.
void ApplyRule(const std::vector<Problem>& problems, const ExportNotice& notice) {
    for (const Problem& p : problems)
        if (p.Level == Severity::Refuse) Fail(ErrorKind::InvalidData, ProblemText(p));
    if (notice)
        for (const Problem& p : problems) notice(ProblemText(p));
}

}  // namespace

std::vector<ExportInput> ExportInputs(const fs::path& path, const ExportNotice& notice) {
    if (KindOfTrendFile(path) == TrendFileKind::Master) return SetFilesInTimeOrder(path, notice);
    ApplyRule(CheckDataFile(path), notice);
    return {{path, true}};
}

std::vector<ExportInput> SetFilesInTimeOrder(const fs::path& masterPath, const ExportNotice& notice) {
    const TrendSet set = ReadTrendSet(masterPath);
    ApplyRule(CheckTrendSet(set), notice);
    struct Item {
        std::int64_t Start;
        fs::path Path;
    };
    std::vector<Item> items;
    for (const SetRecord& r : set.Records) {
        if (!r.DataFile)
            Fail(ErrorKind::FileNotFound, "record " + std::to_string(r.Index) + " of " + Quoted(masterPath) + ": " +
                                              r.DataFileProblem);
        DataFileReader reader(*r.DataFile);
        items.push_back({reader.Start().Ticks, *r.DataFile});
    }
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.Start < b.Start; });
    std::vector<ExportInput> out;
    out.reserve(items.size());
    for (auto& it : items) out.push_back({std::move(it.Path), false});
    if (!out.empty()) out.back().Newest = true;
    return out;
}

void CsvExporter::ExportDataFile(DataFileReader& reader, bool newest) {
    const SampleRule rule{newest, options_.IncludeUnwritten};
    ++stats_.Files;
    const std::uint64_t before = bytesDone_;
    if (reader.Periodic())
        ExportPeriodic(reader, rule);
    else
        ExportEvents(reader, rule);
    // The rest of the file (header, samples after the last that counts).
    const auto size = static_cast<std::uint64_t>(reader.FileSize());
    if (bytesDone_ - before < size) Progress(size - (bytesDone_ - before));
}

namespace {

// The samples of a periodic file that an export writes: numbers First to
// Last, sample n at Start + (n - 1) * Period.
struct PeriodicSpan {
    std::int64_t Start = 0, Period = 0;
    Wide First = 1, Last = 0;
};

// nullopt when no sample counts or lies in the range asked for.
std::optional<PeriodicSpan> PeriodicSpanOf(DataFileReader& r, const SampleRule& rule, const ExportOptions& options) {
    const std::int32_t count = r.PeriodicCount(rule);
    if (r.InFile() > 0 && r.Start().Raw != 0 && r.PeriodTicks() <= 0)
        Fail(ErrorKind::InvalidData, Quoted(r.Path()) + " has the sample period " + std::to_string(r.Header().SamplePeriodRaw) +
                                         "; its periodic samples cannot be timed");
    if (count <= 0) return std::nullopt;

    const std::int64_t start = r.Start().Ticks;
    const std::int64_t period = r.PeriodTicks();
    std::int64_t lastTicks = 0;
    std::int64_t span = 0;
    if (__builtin_mul_overflow(static_cast<std::int64_t>(count - 1), period, &span) ||
        __builtin_add_overflow(start, span, &lastTicks))
        Fail(ErrorKind::Overflow, Quoted(r.Path()) + ": the times of its samples run past the 64-bit tick range");

    Wide first = 1, last = count;
    if (options.From) first = std::max<Wide>(first, CeilDiv(Wide(*options.From) - start, period) + 1);
    if (options.To) last = std::min<Wide>(last, CeilDiv(Wide(*options.To) - start, period));
    if (first > last) return std::nullopt;
    return PeriodicSpan{start, period, first, last};
}

}  // namespace

void CsvExporter::ExportPeriodic(DataFileReader& r, const SampleRule& rule) {
    const clsDataHeader& h = r.Header();
    const bool scaled = options_.Scaled && r.Layout() == SampleLayout::Int16;
    // Multiplied before divided: with whole-number scales the result is the
    // correctly rounded quotient, so 8000 of 0..32000 -> 0..100 reads "25".
    const double rawZero = h.RawZero, engZero = h.EngZero;
    const double engSpan = static_cast<double>(h.EngFull) - h.EngZero;
    const double rawSpan = static_cast<double>(h.RawFull) - h.RawZero;
    if (scaled && rawSpan == 0)
        Fail(ErrorKind::InvalidData, Quoted(r.Path()) + " cannot be scaled: RawZero and RawFull are both " +
                                         std::to_string(h.RawZero));
    const std::optional<PeriodicSpan> samples = PeriodicSpanOf(r, rule, options_);
    if (!samples) return;
    const auto [start, period, first, last] = *samples;

    char value[40];
    for (auto a = static_cast<std::int32_t>(first); a <= last;) {
        const auto b = static_cast<std::int32_t>(std::min<Wide>(Wide(a) + kSamplesPerRun - 1, last));
        SampleRun run = r.File().GetSamples(r.Handle(), a, b);
        std::int64_t t = start + static_cast<std::int64_t>(a - 1) * period;
        if (r.Layout() == SampleLayout::Int16) {
            const auto& arr = std::get<IndexedArray<std::int16_t>>(run);
            const std::int16_t* v = arr.data();
            for (std::int32_t k = 0; k <= b - a; ++k, t += period) {
                const std::int16_t x = v[k];
                if (x == kInvalidMarkerA || x == kInvalidMarkerB) {
                    InvalidRow(t);
                } else if (scaled) {
                    Row(t, value, FormatDouble(engZero + (x - rawZero) * engSpan / rawSpan, value));
                } else {
                    const auto res = std::to_chars(value, value + sizeof value, static_cast<int>(x));
                    Row(t, value, static_cast<std::size_t>(res.ptr - value));
                }
            }
        } else {
            const auto& arr = std::get<IndexedArray<double>>(run);
            const double* v = arr.data();
            for (std::int32_t k = 0; k <= b - a; ++k, t += period) {
                if (std::isnan(v[k]))
                    InvalidRow(t);
                else
                    Row(t, value, FormatDouble(v[k], value));
            }
        }
        Progress(static_cast<std::uint64_t>(b - a + 1) * static_cast<std::uint64_t>(r.SampleSize()));
        if (b == last) break;
        a = b + 1;
    }
}

void CsvExporter::ExportEvents(DataFileReader& r, const SampleRule& rule) {
    char value[40];
    const std::int32_t n = std::min(r.InFile(), r.WrittenLimit(rule));
    for (std::int32_t a = 1; a <= n;) {
        const auto b = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t(a) + kSamplesPerRun - 1, n));
        r.File().GetSamples(r.Handle(), a, b);
        Progress(static_cast<std::uint64_t>(b - a + 1) * static_cast<std::uint64_t>(r.SampleSize()));
        if (r.Layout() == SampleLayout::Event32) {
            const EventSample32* e = r.File().EventSamples32().data();
            for (std::int32_t k = 0; k <= b - a; ++k) {
                if (e[k].Time == 0) return;
                const std::int64_t t = EventTicks(e[k]);
                if (!InWindow(t)) continue;
                const auto res = std::to_chars(value, value + sizeof value, e[k].Value);
                Row(t, value, static_cast<std::size_t>(res.ptr - value));
            }
        } else {
            const EventSample64* e = r.File().EventSamples64().data();
            for (std::int32_t k = 0; k <= b - a; ++k) {
                if (e[k].Time == 0) return;
                const std::int64_t t = EventTicks(e[k]);
                if (!InWindow(t)) continue;
                if (std::isnan(e[k].Value))
                    InvalidRow(t);
                else
                    Row(t, value, FormatDouble(e[k].Value, value));
            }
        }
        if (b == n) break;
        a = b + 1;
    }
}

}  // namespace jw::cli
