// The header of a trend data file (*.000 ...): the prefix (Title and the four
// scale floats) followed by the file description block of the file's own
// version (docs/file-formats.md, "Data file header").  The version is read
// from its fixed place first, then the layout it selects.  Only reads; data
// files are never written field by field.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "time/clsTimes.h"

namespace jw {

class BinaryFile;

// The exact text of the notice for a version outside 0..6 (CR LF between the lines).
std::string InvalidTrendFileText(std::int32_t version);

class clsDataHeader {
public:
    std::string Title;  // 112
    float RawZero = 0, RawFull = 0, EngZero = 0, EngFull = 0;
    std::string ID;
    std::int16_t FileType = 0;
    std::int32_t Version = 0;
    std::string StartEvNo;
    std::string LogName;
    std::int32_t Mode = 0;
    std::int16_t Area = 0;
    std::int16_t Priv = 0;
    std::int32_t HistoryType = 0;
    double SamplePeriod = 0;
    std::int32_t SamplePeriodRaw = 0;
    std::string sEngUnits;
    std::int32_t Format = 0;
    std::int32_t DataLength = 0;
    std::int32_t FilePointer = 0;
    std::string EndEvNo;
    std::string Alignment1;
    std::string Alignment2;
    std::int32_t FileSize = 0;    // length of the file (overflow error past int32)
    std::int32_t HeaderSize = 0;  // 0 until a Load succeeds

    const std::shared_ptr<clsTimes>& StartTime();
    const std::shared_ptr<clsTimes>& EndTime();
    void SetStartTime(std::shared_ptr<clsTimes> t) { startTime_ = std::move(t); }
    void SetEndTime(std::shared_ptr<clsTimes> t) { endTime_ = std::move(t); }

    // Reads the header from the start of the file.  For a version outside
    // 0..6 it shows the InvalidTrendFileText notice (error mark) and returns
    // normally with every member but FileSize unchanged.  A file too short
    // for the version field or for the chosen header is an
    // ErrorKind::InvalidData error naming the file.  Afterwards the position
    // is HeaderSize.
    void Load(BinaryFile& file);

    // The same checks without any notice: true when the file is a valid data
    // file header (version 0..6, long enough); used to test a template.
    // On false, *why (if given) says what is wrong.
    bool LoadQuiet(BinaryFile& file, std::string* why = nullptr);

private:
    std::shared_ptr<clsTimes> startTime_;
    std::shared_ptr<clsTimes> endTime_;
};

}  // namespace jw
