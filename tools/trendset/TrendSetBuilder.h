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
struct DataFileSpec {
    std::int64_t StartTime = 0;   // raw: Citect seconds (versions 0-3, 5) or Int64 ticks (4, 6)
    std::int64_t EndTime = 0;     // raw, same encoding
    std::int32_t Samples = 0;     // samples written after the header
    // Name recorded in the master; empty: RecordedFolder + "\" + BaseName + number text.
    std::optional<std::string> RecordedName;
    bool WriteDataFile = true;    // false: the record exists but its data file does not
};

struct SetSpec {
    std::int16_t Version = 6;
    std::int16_t HistoryType = 0;      // 4: event samples
    std::string Title = "Joinwright sample trend";
    std::string ID = "TREND";
    std::string BaseName = "TREND.";   // data files BaseName + "000", master BaseName + "HST"
    std::string RecordedFolder = "C:\\Citect\\Data";
    std::string LogName = "Sample.Trend";
    std::string EngUnits = "degC";
    std::int32_t SamplePeriodRaw = 1000;  // as stored (ms under versions 2-6)
    std::int16_t AddOn = 0;
    std::int16_t NextFile = 0;
    std::optional<std::int16_t> nFiles;   // master nFiles; default: Files.size()
    std::vector<DataFileSpec> Files;
};

// What Build wrote.
struct BuiltSet {
    std::filesystem::path Master;                 // folder / (BaseName + "HST")
    std::vector<std::filesystem::path> DataFiles; // in record order (also those not written)
};

// Writes the set into folder (created if missing).  Sample values are a
// deterministic ramp so copies can be checked.
BuiltSet Build(const std::filesystem::path& folder, const SetSpec& spec);

// Writes one empty data file (header only, start/end 0) of the set's version
// and history type at path.
void BuildEmptyDataFile(const std::filesystem::path& path, const SetSpec& spec);

// Start time raw value for a calendar date and time in the encoding of
// version (Citect seconds or Int64 ticks).
std::int64_t RawTime(std::int16_t version, int year, int month, int day, int hour = 0, int minute = 0,
                     int second = 0);

}  // namespace jw::trendset
