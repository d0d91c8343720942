#include "cli/DataFiles.h"

#include <algorithm>
#include <limits>
#include <system_error>

#include "base/Errors.h"

namespace jw::cli {

namespace fs = std::filesystem;

const char* SampleLayoutName(SampleLayout layout) {
    switch (layout) {
        case SampleLayout::Int16: return "int16";
        case SampleLayout::Double: return "double";
        case SampleLayout::Event32: return "event32";
        case SampleLayout::Event64: return "event64";
    }
    return "?";
}

DataFileReader::DataFileReader(const fs::path& path)
    : path_(path), handle_(path, BinaryFile::Mode::ReadOnly) {
    {
        // Checked without a notice first: a file that is not a trend data
        // file is an error here, never a header of zeros read as samples.
        clsDataHeader probe;
        std::string why;
        if (!probe.LoadQuiet(handle_, &why)) Fail(ErrorKind::InvalidData, why);
    }
    file_.Load(handle_);
    const clsDataHeader& h = Header();
    sampleSize_ = file_.SampleSize();
    const bool wide = h.Version == 4 || h.Version == 6;
    if (h.HistoryType == 4)
        layout_ = wide ? SampleLayout::Event64 : SampleLayout::Event32;
    else
        layout_ = wide ? SampleLayout::Double : SampleLayout::Int16;

    fileSize_ = static_cast<std::int64_t>(handle_.Length());
    const std::int64_t after = std::max<std::int64_t>(0, fileSize_ - h.HeaderSize);
    const std::int64_t whole = after / sampleSize_;
    inFile_ = static_cast<std::int32_t>(std::min<std::int64_t>(whole, std::numeric_limits<std::int32_t>::max()));
    strayBytes_ = after - whole * sampleSize_;

    start_ = FromRaw(file_.header()->StartTime()->Raw);
    end_ = FromRaw(file_.header()->EndTime()->Raw);

    // Versions 0 and 1 count the period in seconds, 2 to 6 in milliseconds.
    const std::int64_t unit = (h.Version <= 1) ? kTicksPerSecond : kTicksPerMillisecond;
    periodTicks_ = static_cast<std::int64_t>(h.SamplePeriodRaw) * unit;

    if (start_.Raw == 0 || end_.Ticks < start_.Ticks) {
        allowedByTimes_ = 0;
    } else if (periodTicks_ <= 0) {
        allowedByTimes_ = std::numeric_limits<std::int64_t>::max();
    } else {
        std::int64_t span = 0;
        if (__builtin_sub_overflow(end_.Ticks, start_.Ticks, &span))
            allowedByTimes_ = std::numeric_limits<std::int64_t>::max();
        else
            allowedByTimes_ = span / periodTicks_ + 1;
    }
}

std::optional<std::int32_t> DataFileReader::Written() const {
    return WrittenSamples(Header().FilePointer, Header().DataLength);
}

std::int32_t DataFileReader::WrittenLimit(const SampleRule& rule) const {
    return ::jw::WrittenLimit(Header().FilePointer, Header().DataLength, rule.Newest, rule.IncludeUnwritten);
}

std::int32_t DataFileReader::PeriodicCount(const SampleRule& rule) const {
    return static_cast<std::int32_t>(
        std::min<std::int64_t>({inFile_, allowedByTimes_, std::int64_t{WrittenLimit(rule)}}));
}

DataFileReader::EventScan DataFileReader::ScanEvents(const SampleRule& rule) {
    EventScan scan;
    const std::int32_t count = std::min(inFile_, WrittenLimit(rule));
    for (std::int32_t first = 1; first <= count;) {
        const std::int32_t last = static_cast<std::int32_t>(std::min<std::int64_t>(
            static_cast<std::int64_t>(first) + kSamplesPerRun - 1, count));
        file_.GetSamples(handle_, first, last);
        for (std::int32_t k = first; k <= last; ++k) {
            std::int64_t t = 0;
            if (layout_ == SampleLayout::Event32) {
                const EventSample32& e = file_.EventSamples32()(k);
                if (e.Time == 0) return scan;
                t = EventTicks(e);
            } else {
                const EventSample64& e = file_.EventSamples64()(k);
                if (e.Time == 0) return scan;
                t = EventTicks(e);
            }
            if (scan.Count == 0) scan.FirstTicks = t;
            scan.LastTicks = t;
            ++scan.Count;
        }
        first = last + 1;
    }
    return scan;
}

}  // namespace jw::cli
