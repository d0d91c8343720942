// Writes complete trend sets for tests, benchmarks and the bundled samples:
// a master file, its numbered data files and a matching empty data file, of
// any trend version 0..6, from a short description.  It shares the record
// encoding with the readers, so tests must not rely on it alone.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace jw::trendset {

// One data file of a set.
struct FileDescription {
    std::int64_t StartTime = 0;   // raw: Citect seconds (versions 0-3, 5) or Int64 ticks (4, 6)
    std::int64_t EndTime = 0;     // raw, same encoding
    std::int32_t Samples = 0;     // samples written after the header
    // Name recorded in the master; empty: RecordedFolder + "\" + BaseName + number text.
    std::optional<std::string> RecordedName;
    bool WriteDataFile = true;    // false: the record exists but its data file does not
    // Runtime shape: the samples the file has room for (DataLength; default
    // Samples).  The file holds all of them; those past Samples are zeros.
    std::optional<std::int32_t> Capacity = std::nullopt;
};

// How the files are laid out.
//   Runtime: as the trend-writing runtime leaves a set.  Each data file is
//     preallocated for its Capacity, DataLength is that capacity and
//     FilePointer the samples written so far; the master holds nFiles +
//     AddOn records (nFiles defaults to Files.size() - AddOn), every one
//     with its data file.  Records are written in the order given: the
//     runtime keeps them as a ring by file number (see mkset).
//   Minimal: the shape of earlier test sets: data files hold only the
//     written samples, DataLength = Samples, FilePointer the byte length of
//     header and samples, AddOn a header value only (nFiles = Files.size()).
enum class SetShape { Runtime, Minimal };

struct SetDescription {
    std::int16_t Version = 6;
    std::int16_t HistoryType = 0;      // 4: event samples
    std::string Title = "Joinwright sample trend";
    std::string ID = "TREND";
    // Windows-1252 bytes, as recorded; the files on disk are named by the
    // characters they stand for (HostFileName).
    std::string BaseName = "TREND.";   // data files BaseName + "000", master BaseName + "HST"
    std::string RecordedFolder = "C:\\Citect\\Data";
    std::string LogName = "Sample.Trend";
    std::string EngUnits = "degC";
    std::int32_t SamplePeriodRaw = 1000;  // as stored (ms under versions 2-6)
    std::int16_t AddOn = 0;
    std::int16_t NextFile = 0;
    std::optional<std::int16_t> nFiles;   // master nFiles; default: see SetShape
    std::vector<FileDescription> Files;   // in record order
    SetShape Shape = SetShape::Runtime;
};

// What Build wrote.
struct BuiltSet {
    std::filesystem::path Master;                 // folder / (BaseName + "HST")
    std::vector<std::filesystem::path> DataFiles; // in record order (also those not written)
};

// Writes the set into folder (created if missing), overwriting files of the
// same names.  Master and data files carry the same file description block
// per data file; event numbers count the samples across the set from 1 (0
// for a file without samples).  Sample values are a deterministic ramp so
// copies can be checked.  A Version outside 0..6 has no record layout: the
// master header alone is written and no data file.
// Text fields are written NUL-padded, as trend-writing programs leave them.
BuiltSet Build(const std::filesystem::path& folder, const SetDescription& desc);

// Writes one empty data file (header only, start/end 0) of the set's version
// and history type at path.
void BuildEmptyDataFile(const std::filesystem::path& path, const SetDescription& desc);

// The data file path of record fileIndex: folder / (BaseName + "000"...).
// The data file is written under this name whatever RecordedName says.
std::filesystem::path DataFilePath(const std::filesystem::path& folder, const SetDescription& desc, std::size_t fileIndex);

// The sample values Build writes, sample k (from 1) of file fileIndex:
// periodic 16-bit (versions 0-3, 5), event 32-bit values (same versions),
// and the 64-bit floats of versions 4 and 6 (periodic and event).
std::int16_t SampleInt16(std::size_t fileIndex, std::int32_t k);
std::int32_t SampleInt32(std::size_t fileIndex, std::int32_t k);
double SampleDouble(std::size_t fileIndex, std::int32_t k);

// The time of event sample k of file as an Int64 tick count: events lie at
// least a second apart from the file's StartTime, each with its own
// millisecond part (HistoryType 4 only).
std::int64_t EventTime(const SetDescription& desc, const FileDescription& file, std::int32_t k);

// Start time raw value for a calendar date and time in the encoding of
// version (Citect seconds or Int64 ticks).
std::int64_t RawTime(std::int16_t version, int year, int month, int day, int hour = 0, int minute = 0,
                     int second = 0);

}  // namespace jw::trendset
