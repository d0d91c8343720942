#include "trendset/TrendSetBuilder.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <span>
#include <vector>

#include "formats/Endian.h"
#include "formats/TrendDefs.h"
#include "formats/TrendSet.h"
#include "os/Text.h"
#include "base/Checked.h"
#include "base/Errors.h"

namespace jw::trendset {

namespace {

using TrendDefs::DataHeaderRec;
using TrendDefs::FileDescBlock;
using TrendDefs::HSTHeaderRec;
using TrendDefs::HSTMasterRec;

// Fixed values of the fields a set carries unchanged; non-zero so a reader
// that takes a field from the wrong place is noticed.
constexpr std::int16_t kFileType = 1;
constexpr std::int32_t kMasterMode = 0x11;
constexpr std::int32_t kBlockMode = 3;
constexpr std::int16_t kArea = 7;
constexpr std::int16_t kPriv = 5;
constexpr std::int32_t kFormat = 258;
constexpr float kRawFull = 32000.0F, kEngFull = 100.0F;
constexpr std::size_t kWidest = 272;  // the widest text field of any record

constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kTicksPerMillisecond = 10'000;

bool HasLayout(std::int16_t version) { return version >= 0 && version <= 6; }
bool IsWide(std::int16_t version) { return version == 4 || version == 6; }
bool IsEvents(const SetDescription& desc) { return desc.HistoryType == 4; }

std::size_t SampleBytes(const SetDescription& desc) {
    if (IsWide(desc.Version)) return IsEvents(desc) ? 16 : 8;
    return IsEvents(desc) ? 12 : 2;
}

// Text as trend-writing programs leave it: the value, then NULs to the
// field's width (the encoder cuts the NULs at each field's own width).
std::string NulPadded(const std::string& s) {
    std::string out = s;
    if (out.size() < kWidest) out.resize(kWidest, '\0');
    return out;
}

std::string NumberText(std::size_t i) {
    std::array<char, 24> buf{};
    std::snprintf(buf.data(), buf.size(), "%03zu", i);
    return buf.data();
}

// Milliseconds after the file's start of event k (k >= 1): one event per
// sample period (at least a second apart), each with its own millisecond
// part, so times strictly increase and exercise the millisecond field.
std::int64_t EventOffsetMs(const SetDescription& desc, std::int32_t k) {
    const std::int64_t periodMs = desc.Version <= 1 && desc.Version >= 0
                                      ? static_cast<std::int64_t>(desc.SamplePeriodRaw) * 1000
                                      : desc.SamplePeriodRaw;
    const std::int64_t step = std::max<std::int64_t>(periodMs, 1000);
    return (static_cast<std::int64_t>(k) - 1) * step + (static_cast<std::int64_t>(k) * 137) % 1000;
}

void WriteWhole(const std::filesystem::path& path, std::span<const std::uint8_t> head,
                std::span<const std::uint8_t> tail) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) Fail(ErrorKind::InputOutput, "Cannot create \"" + path.string() + "\"");
    out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    out.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
    out.close();
    if (!out) Fail(ErrorKind::InputOutput, "Cannot write \"" + path.string() + "\"");
}

// The file description block of one data file (shared by its master record
// and its own header, so the two describe the same file).
bool IsRuntime(const SetDescription& desc) { return desc.Shape == SetShape::Runtime; }

// The samples a data file has room for: its capacity in the runtime shape,
// the written samples in the minimal one.
std::int32_t CapacityOf(const SetDescription& desc, const FileDescription& file) {
    if (!IsRuntime(desc) || !file.Capacity) return file.Samples;
    if (*file.Capacity < file.Samples)
        Fail(ErrorKind::InvalidArgument, "a data file's Capacity (" + std::to_string(*file.Capacity) +
                                             ") is less than its Samples (" + std::to_string(file.Samples) + ")");
    return *file.Capacity;
}

FileDescBlock MakeBlock(const SetDescription& desc, const FileDescription& file, std::int64_t startEvNo, std::int32_t headerSize) {
    FileDescBlock b;
    b.ID = NulPadded(desc.ID);
    b.FileType = kFileType;
    b.Version = desc.Version;
    b.StartEvNo = file.Samples > 0 ? startEvNo : 0;
    b.EndEvNo = file.Samples > 0 ? startEvNo + file.Samples - 1 : 0;
    b.Alignment1 = std::string(kWidest, '\0');
    b.LogName = NulPadded(desc.LogName);
    b.Mode = kBlockMode;
    b.Area = kArea;
    b.Priv = kPriv;
    b.HistoryType = desc.HistoryType;
    b.SamplePeriod = desc.SamplePeriodRaw;
    b.sEngUnits = NulPadded(desc.EngUnits);
    b.Format = kFormat;
    b.StartTime = file.StartTime;
    b.EndTime = file.EndTime;
    b.DataLength = CapacityOf(desc, file);
    if (IsRuntime(desc)) {
        b.FilePointer = file.Samples;
    } else {
        const std::int64_t end =
            headerSize + static_cast<std::int64_t>(file.Samples) * static_cast<std::int64_t>(SampleBytes(desc));
        b.FilePointer = file.Samples > 0 ? CheckedNarrow<std::int32_t>(end, "FilePointer") : 0;
    }
    b.Alignment2 = std::string(kWidest, '\0');
    return b;
}

std::vector<std::uint8_t> EncodeSamples(const SetDescription& desc, std::size_t fileIndex, const FileDescription& file) {
    if (file.Samples < 0) Fail(ErrorKind::InvalidArgument, "Samples of data file " + NumberText(fileIndex) + " is negative");
    const std::size_t size = SampleBytes(desc);
    // The unwritten tail of a preallocated file stays zero.
    std::vector<std::uint8_t> out(static_cast<std::size_t>(CapacityOf(desc, file)) * size);
    std::uint8_t* p = out.data();
    for (std::int32_t k = 1; k <= file.Samples; ++k, p += size) {
        if (!IsEvents(desc)) {
            if (IsWide(desc.Version)) StoreLE<double>(p, SampleDouble(fileIndex, k));
            else StoreLE<std::int16_t>(p, SampleInt16(fileIndex, k));
            continue;
        }
        const std::int64_t ms = EventOffsetMs(desc, k);
        if (IsWide(desc.Version)) {
            StoreLE<double>(p, SampleDouble(fileIndex, k));
            StoreLE<std::int64_t>(p + 8, file.StartTime + ms * kTicksPerMillisecond);
        } else {
            StoreLE<std::int32_t>(p, SampleInt32(fileIndex, k));
            StoreLE<std::int32_t>(p + 4, CheckedNarrow<std::int32_t>(file.StartTime + ms / 1000, "event sample time"));
            StoreLE<std::int32_t>(p + 8, static_cast<std::int32_t>(ms % 1000));
        }
    }
    return out;
}

void WriteDataFile(const std::filesystem::path& path, const SetDescription& desc, std::size_t fileIndex,
                   const FileDescription& file, std::int64_t startEvNo) {
    const auto* layout = TrendDefs::DataHeaderLayout(desc.Version);
    DataHeaderRec rec;
    rec.Title = NulPadded(desc.Title);
    rec.RawZero = 0;
    rec.RawFull = kRawFull;
    rec.EngZero = 0;
    rec.EngFull = kEngFull;
    rec.Block = MakeBlock(desc, file, startEvNo, layout->Length);
    std::vector<std::uint8_t> head(layout->Length);
    TrendDefs::Encode(*layout, rec, std::span<std::uint8_t>(head));
    const std::vector<std::uint8_t> samples = EncodeSamples(desc, fileIndex, file);
    WriteWhole(path, head, samples);
}

// The master header of the set, encoded.
std::vector<std::uint8_t> EncodeMaster(const SetDescription& desc) {
    const std::size_t addOn = IsRuntime(desc) ? static_cast<std::size_t>(std::max<std::int16_t>(desc.AddOn, 0)) : 0;
    const std::int16_t nFiles =
        desc.nFiles ? *desc.nFiles
                    : CheckedNarrow<std::int16_t>(desc.Files.size() - std::min(addOn, desc.Files.size()),
                                                  "number of data files");
    HSTMasterRec master;
    master.Title = NulPadded(desc.Title);
    master.ID = NulPadded(desc.ID);
    master.FileType = kFileType;
    master.Version = desc.Version;
    master.Alignment1 = std::string(kWidest, '\0');
    master.Mode = kMasterMode;
    master.History = nFiles;
    master.nFiles = nFiles;
    master.NextFile = desc.NextFile;
    master.AddOn = desc.AddOn;
    master.Alignment2 = std::string(kWidest, '\0');
    std::vector<std::uint8_t> bytes(TrendDefs::kMasterLength);
    TrendDefs::Encode(TrendDefs::HSTMasterLayout, master, std::span<std::uint8_t>(bytes));
    return bytes;
}

// Each file's first event number: event numbers count the samples across
// the set in time order.
std::vector<std::int64_t> FirstEventNumbers(const SetDescription& desc) {
    std::vector<std::size_t> byTime(desc.Files.size());
    for (std::size_t i = 0; i < byTime.size(); ++i) byTime[i] = i;
    std::stable_sort(byTime.begin(), byTime.end(), [&](std::size_t a, std::size_t b) {
        return desc.Files[a].StartTime < desc.Files[b].StartTime;
    });
    std::vector<std::int64_t> firstEvNo(desc.Files.size());
    std::int64_t next = 1;
    for (const std::size_t i : byTime) {
        firstEvNo[i] = next;
        next += std::max<std::int32_t>(desc.Files[i].Samples, 0);
    }
    return firstEvNo;
}

}  // namespace

std::int16_t SampleInt16(std::size_t fileIndex, std::int32_t k) {
    return static_cast<std::int16_t>((static_cast<std::int64_t>(fileIndex) * 1000 + k) % 30000 - 15000);
}

std::int32_t SampleInt32(std::size_t fileIndex, std::int32_t k) {
    return static_cast<std::int32_t>((static_cast<std::int64_t>(fileIndex) * 100'000 + k) * 3 % 2'000'000'000 - 50'000);
}

double SampleDouble(std::size_t fileIndex, std::int32_t k) {
    return static_cast<double>(fileIndex) * 1000.0 + static_cast<double>(k) * 0.25;
}

std::int64_t EventTime(const SetDescription& desc, const FileDescription& file, std::int32_t k) {
    const std::int64_t ms = EventOffsetMs(desc, k);
    if (IsWide(desc.Version)) return file.StartTime + ms * kTicksPerMillisecond;
    return ((file.StartTime + ms / 1000 + kSecondsFrom1601To1970) * 1000 + ms % 1000) * kTicksPerMillisecond;
}

std::filesystem::path DataFilePath(const std::filesystem::path& folder, const SetDescription& desc, std::size_t fileIndex) {
    return folder / os::PathFromUtf8(HostFileName(desc.BaseName + NumberText(fileIndex)));
}

BuiltSet Build(const std::filesystem::path& folder, const SetDescription& desc) {
    std::filesystem::create_directories(folder);
    BuiltSet built;
    built.Master = folder / os::PathFromUtf8(HostFileName(desc.BaseName + "HST"));
    std::vector<std::uint8_t> bytes = EncodeMaster(desc);

    // A version without a record layout gets the master header alone, as
    // the readers would see such a set.
    const auto* recordLayout = TrendDefs::HSTHeaderLayout(desc.Version);
    if (recordLayout != nullptr) {
        const auto* dataLayout = TrendDefs::DataHeaderLayout(desc.Version);
        const std::vector<std::int64_t> firstEvNo = FirstEventNumbers(desc);
        for (std::size_t i = 0; i < desc.Files.size(); ++i) {
            const FileDescription& file = desc.Files[i];
            const std::int64_t evNo = firstEvNo[i];
            HSTHeaderRec rec;
            rec.Name = NulPadded(file.RecordedName ? *file.RecordedName
                                                   : desc.RecordedFolder + "\\" + desc.BaseName + NumberText(i));
            rec.Block = MakeBlock(desc, file, evNo, dataLayout->Length);
            const std::size_t at = bytes.size();
            bytes.resize(at + recordLayout->Length);
            TrendDefs::Encode(*recordLayout, rec, std::span<std::uint8_t>(bytes).subspan(at));

            const std::filesystem::path path = DataFilePath(folder, desc, i);
            built.DataFiles.push_back(path);
            if (file.WriteDataFile) WriteDataFile(path, desc, i, file, evNo);
        }
    }
    WriteWhole(built.Master, bytes, {});
    return built;
}

void BuildEmptyDataFile(const std::filesystem::path& path, const SetDescription& desc) {
    if (!HasLayout(desc.Version))
        Fail(ErrorKind::InvalidArgument,
             "An empty data file of trend version " + std::to_string(desc.Version) + " cannot be written (0 to 6 are known)");
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    WriteDataFile(path, desc, 0, FileDescription{}, 0);
}

std::int64_t RawTime(std::int16_t version, int year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    const year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                              std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok())
        Fail(ErrorKind::InvalidArgument, "Not a calendar date: " + std::to_string(year) + "-" + std::to_string(month) +
                                             "-" + std::to_string(day));
    const std::int64_t days = sys_days{date}.time_since_epoch().count();
    const std::int64_t seconds = days * 86'400 + hour * 3'600 + minute * 60 + second;
    if (IsWide(version)) return (seconds + kSecondsFrom1601To1970) * kTicksPerSecond;
    return seconds;
}

}  // namespace jw::trendset
