// Reading trend data files for inspect and export: checking that a file is a
// trend data file, and the rule for how many of its samples count.
//
// How many samples count:
//   - never more than the file holds after its header (whole samples only);
//   - periodic samples: no further than the header's end time allows, sample
//     k lying at StartTime + (k - 1) * SamplePeriod and counting while that
//     is not after EndTime; a header whose StartTime is 0, or whose EndTime
//     lies before its StartTime, holds none;
//   - event samples: up to, not including, the first record whose time is 0;
//   - written samples only: the written-samples rule of formats/Validity.h
//     (WrittenLimit); IncludeUnwritten drops this last limit.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cli/TimeText.h"
#include "formats/BinaryFile.h"
#include "formats/Validity.h"
#include "formats/clsDataFile.h"

namespace jw::cli {

enum class SampleLayout { Int16, Double, Event32, Event64 };

// "int16", "double", "event32", "event64".
const char* SampleLayoutName(SampleLayout layout);

// Which samples of a data file count beyond what it holds and its times allow.
struct SampleRule {
    // The file is the newest of its set (the one being written), or a data
    // file read on its own: a FilePointer of 0 means nothing is written yet.
    bool Newest = true;
    // Count the samples past FilePointer too (preallocated, never written).
    bool IncludeUnwritten = false;
};

using ::jw::WrittenSamples;  // the written-samples rule (formats/Validity.h)

// One open data file whose header was checked.
class DataFileReader {
public:
    // Opens path read-only and loads its header.  A file that is not a trend
    // data file (version outside 0..6, too short for its header) is an
    // ErrorKind::InvalidData error naming the file.
    explicit DataFileReader(const std::filesystem::path& path);

    const std::filesystem::path& Path() const { return path_; }
    const clsDataHeader& Header() const { return *file_.header(); }
    clsDataFile& File() { return file_; }
    BinaryFile& Handle() { return handle_; }

    SampleLayout Layout() const { return layout_; }
    bool Periodic() const { return layout_ == SampleLayout::Int16 || layout_ == SampleLayout::Double; }
    std::int32_t SampleSize() const { return sampleSize_; }
    std::int64_t FileSize() const { return fileSize_; }
    // Whole samples after the header, and the bytes of a last partial one.
    std::int32_t InFile() const { return inFile_; }
    std::int64_t StrayBytes() const { return strayBytes_; }

    StoredTime Start() const { return start_; }
    StoredTime End() const { return end_; }

    // The samples the header marks written (WrittenSamples), and the last
    // sample number the rule lets count (INT32_MAX: no limit).
    std::optional<std::int32_t> Written() const;
    std::int32_t WrittenLimit(const SampleRule& rule) const;

    // Periodic files: the sample period in ticks (0 or less: the samples
    // cannot be timed), the samples the header's times allow (may exceed
    // InFile), the samples that count, and the time of sample k.
    std::int64_t PeriodTicks() const { return periodTicks_; }
    std::int64_t AllowedByTimes() const { return allowedByTimes_; }
    std::int32_t PeriodicCount(const SampleRule& rule) const;
    std::int64_t SampleTicks(std::int32_t k) const { return start_.Ticks + (k - 1) * periodTicks_; }

    // Event files: reads the records in runs up to the first time of 0 (and
    // the rule's limit) and returns how many count, with the first and last
    // sample time.
    struct EventScan {
        std::int32_t Count = 0;
        std::int64_t FirstTicks = 0, LastTicks = 0;
    };
    EventScan ScanEvents(const SampleRule& rule);

private:
    std::filesystem::path path_;
    BinaryFile handle_;
    clsDataFile file_;
    SampleLayout layout_ = SampleLayout::Int16;
    std::int32_t sampleSize_ = 0;
    std::int64_t fileSize_ = 0;
    std::int32_t inFile_ = 0;
    std::int64_t strayBytes_ = 0;
    StoredTime start_, end_;
    std::int64_t periodTicks_ = 0;
    std::int64_t allowedByTimes_ = 0;
};

// Samples read per GetSamples call: bounds the memory of inspect and export.
inline constexpr std::int32_t kSamplesPerRun = 64 * 1024;

// Time of an event record as ticks.
inline std::int64_t EventTicks(const EventSample32& e) { return CitectToTicks(e.Time, e.Milliseconds); }
inline std::int64_t EventTicks(const EventSample64& e) { return e.Time; }

}  // namespace jw::cli
