#include "cli/DataFiles.h"

#include <algorithm>
#include <limits>
#include <system_error>

#include "engine/TrendTools.h"
#include "base/Errors.h"

namespace jw::cli {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

const char* SampleLayoutName(SampleLayout layout) {
    switch (layout) {
        case SampleLayout::Int16: return "int16";
        case SampleLayout::Double: return "double";
        case SampleLayout::Event32: return "event32";
        case SampleLayout::Event64: return "event64";
    }
    return "?";
}

bool IsMasterPath(const fs::path& path) {
    const std::string name = path.filename().string();
    return name.size() >= 3 && Lower(name.substr(name.size() - 3)) == "hst";
}

std::string RecordedFileName(std::string_view recordedNameField) {
    // The whole file name: a merged set of 1000 files or more records
    // "TREND.1000", which the three-character cut would turn into another file.
    const std::string name = RecordedName(recordedNameField);
    const auto slash = name.rfind('\\');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::optional<fs::path> FindDataFile(const fs::path& masterFolder, std::string_view recordedNameField) {
    const std::string name = RecordedFileName(recordedNameField);
    // Only a plain name in the master's own folder, never a way out of it.
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) return std::nullopt;
    const fs::path folder = masterFolder.empty() ? fs::path(".") : masterFolder;
    std::error_code ec;
    const fs::path exact = folder / name;
    if (fs::is_regular_file(exact, ec)) return exact;
    const std::string want = Lower(name);
    std::optional<fs::path> found;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (Lower(it->path().filename().string()) != want) continue;
        if (!it->is_regular_file(ec)) continue;
        if (found) return std::nullopt;  // ambiguous
        found = it->path();
    }
    return found;
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

std::int32_t DataFileReader::PeriodicCount() const {
    return static_cast<std::int32_t>(std::min<std::int64_t>(inFile_, allowedByTimes_));
}

DataFileReader::EventScan DataFileReader::ScanEvents() {
    EventScan scan;
    for (std::int32_t first = 1; first <= inFile_;) {
        const std::int32_t last = static_cast<std::int32_t>(std::min<std::int64_t>(
            static_cast<std::int64_t>(first) + kSamplesPerRun - 1, inFile_));
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
