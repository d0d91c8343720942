// CSV export of the samples of one data file, or of every data file of a set
// in start-time order.  Rows are "time,value" with the time as
// "YYYY-MM-DD HH:MM:SS.mmm".  Memory stays bounded: samples are read in runs
// of kSamplesPerRun and written through a fixed buffer.
//
// Invalid markers (an assumption from how these files are commonly read):
// 16-bit values -32001 and -32002 and 8-byte NaN.  Their rows keep an empty
// value, or are left out with SkipInvalid.  Scaled maps 16-bit values to
// engineering units with RawZero/RawFull/EngZero/EngFull; 8-byte and 32-bit
// event values are written as stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/DataFiles.h"
#include "cli/TimeText.h"

namespace jw::cli {

inline constexpr std::int16_t kInvalidMarkerA = -32001;
inline constexpr std::int16_t kInvalidMarkerB = -32002;

// Where the CSV goes.  Write must take all bytes or throw.
class CsvSink {
public:
    virtual ~CsvSink() = default;
    virtual void Write(const char* data, std::size_t size) = 0;
};

// Writes to standard output, below any stream buffer; a failed write is an
// error.
class StdoutSink final : public CsvSink {
public:
    void Write(const char* data, std::size_t size) override;
};

struct ExportOptions {
    std::optional<std::int64_t> From;  // ticks, inclusive
    std::optional<std::int64_t> To;    // ticks, exclusive
    bool Scaled = false;
    bool SkipInvalid = false;
    bool IncludeUnwritten = false;  // also the samples past FilePointer (DataFiles.h)
};

// One data file to export; Newest marks the newest file of its set (the one
// being written), or a data file exported on its own.
struct ExportInput {
    std::filesystem::path Path;
    bool Newest = true;
};

struct ExportStats {
    int Files = 0;
    std::uint64_t Rows = 0;         // rows written (header line not counted)
    std::uint64_t InvalidRows = 0;  // rows with an invalid marker (written empty or skipped)
    std::uint64_t Bytes = 0;        // CSV bytes written, header line included
};

// Reports something the operator should know that does not stop the export.
using ExportNotice = std::function<void(const std::string&)>;
// Progress: input bytes done of total.
using ExportProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

class CsvExporter {
public:
    CsvExporter(CsvSink& sink, ExportOptions options, ExportNotice notice = {}, ExportProgress progress = {});
    ~CsvExporter();
    CsvExporter(const CsvExporter&) = delete;
    CsvExporter& operator=(const CsvExporter&) = delete;

    // Exports a master file's set or a single data file (ExportInputs).
    void ExportPath(const std::filesystem::path& path);
    // Writes the "time,value" line, the samples of every file in order, and
    // flushes.
    void ExportFiles(const std::vector<ExportInput>& files);

    // The parts ExportFiles is made of.
    void WriteHeaderLine();
    void ExportDataFile(DataFileReader& reader, bool newest = true);
    void Finish();  // flushes the buffer
    const ExportStats& Stats() const { return stats_; }

private:
    void Reserve(std::size_t n);
    void Flush();
    void Row(std::int64_t ticks, const char* value, std::size_t length);
    void InvalidRow(std::int64_t ticks);
    bool InWindow(std::int64_t ticks) const {
        return (!options_.From || ticks >= *options_.From) && (!options_.To || ticks < *options_.To);
    }
    void ExportPeriodic(DataFileReader& r, const SampleRule& rule);
    void ExportEvents(DataFileReader& r, const SampleRule& rule);
    void Progress(std::uint64_t bytes);

    CsvSink& sink_;
    ExportOptions options_;
    ExportNotice notice_;
    ExportProgress progress_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    TickFormatter times_;
    ExportStats stats_;
    std::uint64_t bytesDone_ = 0;
    std::uint64_t bytesTotal_ = 0;
};

// The data files of a set in start-time order (the start time of each data
// file's own header; ties keep the master's order); the last one is the
// newest.  The master is read with ReadTrendSet: its nFiles and AddOn
// records as far as the file holds them (a notice says when it holds fewer);
// a master whose records cannot be read, or a data file that is missing or
// not a trend data file, is an error.
std::vector<ExportInput> SetFilesInTimeOrder(const std::filesystem::path& master, const ExportNotice& notice = {});

// What an export of path reads: the set's data files for a master file (its
// name ends in "HST"), else the data file itself.
std::vector<ExportInput> ExportInputs(const std::filesystem::path& path, const ExportNotice& notice = {});

// The value text of a double as the export writes it: the shortest text
// that reads back to the same double.
std::size_t FormatDouble(double v, char* out);

}  // namespace jw::cli
