#include "formats/clsDataFile.h"

#include <bit>
#include <cstddef>
#include <cstring>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "formats/BinaryFile.h"
#include "formats/Endian.h"
#include "formats/Notices.h"
#include "base/Checked.h"
#include "time/DateTimeTools.h"
#include "base/Errors.h"

namespace jw {

namespace {

constexpr std::int32_t kEventHistory = 4;

bool IsKnownVersion(std::int32_t v) { return v >= 0 && v <= 6; }
// Versions 4 and 6 store 64-bit floats and Int64 times in their samples.
bool IsWideVersion(std::int32_t v) { return v == 4 || v == 6; }

// On-disk sizes of the sample records, and their in-memory twins.
constexpr std::int32_t kDiskSize16 = 2, kDiskSize64 = 8, kDiskEvent32 = 12, kDiskEvent64 = 16;

// The in-memory records match the disk records byte for byte on a
// little-endian host, so a run can be read straight into the array.
constexpr bool kDirectRead =
    std::endian::native == std::endian::little && sizeof(EventSample32) == 12 &&
    sizeof(EventSample64) == 16 && offsetof(EventSample32, Time) == 4 &&
    offsetof(EventSample32, Milliseconds) == 8 && offsetof(EventSample64, Time) == 8 &&
    std::is_trivially_copyable_v<EventSample32> && std::is_trivially_copyable_v<EventSample64> &&
    sizeof(double) == 8;

[[maybe_unused]] void DecodeOne(const std::uint8_t* p, std::int16_t& out) { out = LoadLE<std::int16_t>(p); }
[[maybe_unused]] void DecodeOne(const std::uint8_t* p, double& out) { out = LoadLE<double>(p); }
[[maybe_unused]] void DecodeOne(const std::uint8_t* p, EventSample32& out) {
    out.Value = LoadLE<std::int32_t>(p);
    out.Time = LoadLE<std::int32_t>(p + 4);
    out.Milliseconds = LoadLE<std::int32_t>(p + 8);
}
[[maybe_unused]] void DecodeOne(const std::uint8_t* p, EventSample64& out) {
    out.Value = LoadLE<double>(p);
    out.Time = LoadLE<std::int64_t>(p + 8);
}

// Reads the run [start, end] of `size`-byte records at byte offset `offset`
// with one read into a freshly sized array.  The caller has checked that the
// file holds the whole run; a read that still comes up short (the file
// shrank meanwhile) is an error and leaves nothing behind.
template <class T>
IndexedArray<T> ReadRun(BinaryFile& file, std::int64_t offset, std::int32_t start, std::int32_t end,
                        std::int32_t diskSize) {
    const auto size = static_cast<std::size_t>(diskSize);
    IndexedArray<T> run(start, end);
    const std::size_t bytes = run.size() * size;
    std::size_t got = 0;
    if constexpr (kDirectRead) {
        static_assert(std::is_trivially_copyable_v<T>);
        got = file.ReadAt(static_cast<std::uint64_t>(offset),
                          std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(run.data()), bytes));
    } else {
        std::vector<std::uint8_t> raw(bytes);
        got = file.ReadAt(static_cast<std::uint64_t>(offset), raw);
        if (got == bytes)
            for (std::size_t i = 0; i < run.size(); ++i) DecodeOne(raw.data() + i * size, run.data()[i]);
    }
    if (got != bytes)
        Fail(ErrorKind::InvalidData, "The data file " + file.QuotedName() + " ended while samples " + std::to_string(start) +
                                         ".." + std::to_string(end) + " were read: " + std::to_string(got) + " of " +
                                         std::to_string(bytes) + " bytes at offset " + std::to_string(offset));
    return run;
}

}  // namespace

const clsDataHeader& clsDataFile::RequireHeader() const {
    if (!header_)
        Fail(ErrorKind::MissingObject, "The data file has no header: Load must be called before samples are read");
    return *header_;
}

std::int32_t clsDataFile::SampleSize() const {
    const clsDataHeader& h = RequireHeader();
    if (!IsKnownVersion(h.Version)) {
        ShowNotice("Unknown trend version (" + std::to_string(h.Version) + ").", NoticeMark::None);
        return 0;
    }
    const bool events = h.HistoryType == kEventHistory;
    if (IsWideVersion(h.Version)) return events ? kDiskEvent64 : kDiskSize64;
    return events ? kDiskEvent32 : kDiskSize16;
}

void clsDataFile::Load(BinaryFile& file) {
    // The new header replaces the old one before it is read, so a failed
    // read leaves the fresh header, never a stale one.
    header_ = std::make_shared<clsDataHeader>();
    header_->Load(file);
}

void clsDataFile::Save(BinaryFile& file) { Load(file); }

SampleRun clsDataFile::GetSamples(BinaryFile& file, std::int32_t StartSampleNo, std::int32_t EndSampleNo) {
    const clsDataHeader& h = RequireHeader();
    const std::int32_t headerSize = h.HeaderSize;
    std::int32_t s = SampleSize();

    // Byte offset of the first sample of the run, in 32-bit arithmetic.
    const std::int32_t before = CheckedSub<std::int32_t>(StartSampleNo, 1, "sample position (StartSampleNo - 1)");
    const std::int32_t skip = CheckedMul<std::int32_t>(before, s, "sample position ((StartSampleNo - 1) * SampleSize)");
    const std::int32_t offset = CheckedAdd<std::int32_t>(skip, headerSize, "sample position (+ HeaderSize)");

    s = SampleSize();
    if (s != kDiskSize16 && s != kDiskSize64 && s != kDiskEvent32 && s != kDiskEvent64) {
        ShowNotice("Invalid trend type:" + std::to_string(h.HistoryType), NoticeMark::None);
        return std::monostate{};
    }

    // The run must lie within the sample area and within the file; all of
    // this is checked before any memory is set aside for it.
    const std::string run = std::to_string(StartSampleNo) + ".." + std::to_string(EndSampleNo);
    if (StartSampleNo < 1)
        Fail(ErrorKind::SubscriptOutOfRange,
             "Samples " + run + " of " + file.QuotedName() + ": sample numbers start at 1");
    if (EndSampleNo < StartSampleNo)
        Fail(ErrorKind::SubscriptOutOfRange,
             "Samples " + run + " of " + file.QuotedName() + ": the run ends before it starts");
    const std::int64_t count = CheckedAdd<std::int64_t>(
        CheckedSub<std::int64_t>(EndSampleNo, StartSampleNo, "sample count"), 1, "sample count");
    const std::int64_t bytes = CheckedMul<std::int64_t>(count, s, "sample byte count");
    const std::int64_t end = CheckedAdd<std::int64_t>(offset, bytes, "end of the sample run");
    const std::uint64_t length = file.Length();
    if (static_cast<std::uint64_t>(end) > length) {
        const std::int64_t area = static_cast<std::int64_t>(length) - headerSize;
        const std::int64_t held = area > 0 ? area / s : 0;
        Fail(ErrorKind::InvalidData, "Samples " + run + " of " + file.QuotedName() + " reach past the end of the file: it holds " +
                                         std::to_string(held) + " samples of " + std::to_string(s) + " bytes (" +
                                         std::to_string(length) + " bytes, header " + std::to_string(headerSize) + ")");
    }

    // Periodic runs: the fresh array goes to the caller and the member takes
    // a copy into the storage it already has, which spares the page faults
    // of a second fresh allocation when runs of similar size are read again.
    switch (s) {
        case kDiskSize16: {
            IndexedArray<std::int16_t> run = ReadRun<std::int16_t>(file, offset, StartSampleNo, EndSampleNo, kDiskSize16);
            intSamples_ = run;
            return run;
        }
        case kDiskSize64: {
            IndexedArray<double> run = ReadRun<double>(file, offset, StartSampleNo, EndSampleNo, kDiskSize64);
            floatSamples_ = run;
            return run;
        }
        case kDiskEvent32:
            event32_ = ReadRun<EventSample32>(file, offset, StartSampleNo, EndSampleNo, kDiskEvent32);
            return std::monostate{};
        default:
            event64_ = ReadRun<EventSample64>(file, offset, StartSampleNo, EndSampleNo, kDiskEvent64);
            return std::monostate{};
    }
}

TaggedValue clsDataFile::SampleValue(std::int32_t SampleNo) const {
    const clsDataHeader& h = RequireHeader();
    if (h.HistoryType != 0 && h.HistoryType != kEventHistory) return {};
    if (!IsKnownVersion(h.Version)) return {};
    const bool wide = IsWideVersion(h.Version);
    if (h.HistoryType == 0)
        return wide ? TaggedValue::Double(floatSamples_(SampleNo)) : TaggedValue::Integer(intSamples_(SampleNo));
    return wide ? TaggedValue::Double(event64_(SampleNo).Value) : TaggedValue::Long(event32_(SampleNo).Value);
}

std::int64_t clsDataFile::SampleTime(std::int32_t SampleNo) const {
    const clsDataHeader& h = RequireHeader();
    if (h.HistoryType != kEventHistory || !IsKnownVersion(h.Version)) return 0;
    if (IsWideVersion(h.Version)) return event64_(SampleNo).Time;
    const EventSample32& e = event32_(SampleNo);
    return DateTimeTools::CitectToInt64(e.Time, e.Milliseconds).Raw();
}

}  // namespace jw
