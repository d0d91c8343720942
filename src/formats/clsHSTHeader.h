// One file-header record of a history master file, in the layout that the
// given master's Version selects (docs/file-formats.md, "File-header
// record"); a Version outside 0..6 has no layout and Load/Save do nothing at
// all.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "time/clsTimes.h"

namespace jw {

class BinaryFile;
class clsHSTMaster;

class clsHSTHeader {
public:
    std::string Name;           // 144 (V0, V5) or 272 (V4, V6) bytes, full width as read
    std::string ID;
    std::int32_t FileType = 0;  // int16 in the record
    std::int32_t Version = 0;   // int16 in the record
    std::string StartEvNo;      // decimal text of the int32 / int64 field
    std::string LogName;
    std::int32_t Mode = 0;
    std::int16_t Area = 0;
    std::int16_t Priv = 0;
    std::int32_t HistoryType = 0;  // int16 in the record
    double SamplePeriod = 0;        // seconds
    std::int32_t SamplePeriodRaw = 0;  // as stored (seconds under versions 0-1, ms under 2-6)
    std::string sEngUnits;
    std::int32_t Format = 0;
    std::int32_t DataLength = 0;
    std::int32_t FilePointer = 0;
    std::string EndEvNo;        // decimal text
    std::string Alignment1;     // 2 bytes (V0, V5) or 12 (V4, V6)
    std::string Alignment2;     // 6 bytes (V4, V6); kept by a V0/V5 load

    // StartTime / EndTime: shared instants, created on first use (reading the
    // member when it holds none makes a fresh empty one); assigning another
    // instance replaces the reference.  Load and Save reuse the held instant.
    const std::shared_ptr<clsTimes>& StartTime();
    const std::shared_ptr<clsTimes>& EndTime();
    void SetStartTime(std::shared_ptr<clsTimes> t) { startTime_ = std::move(t); }
    void SetEndTime(std::shared_ptr<clsTimes> t) { endTime_ = std::move(t); }
    bool HasStartTime() const { return startTime_ != nullptr; }
    bool HasEndTime() const { return endTime_ != nullptr; }

    // Reads one record at the current position in the layout of
    // master.Version; afterwards the position is just behind it.  A record
    // the file does not fully hold is an ErrorKind::InvalidData error naming
    // the file and the offset (nothing is changed).
    void Load(BinaryFile& file, const clsHSTMaster& master);
    // Builds the record from the members and writes it at the current
    // position.  Overflow (FileType, Version, HistoryType outside int16;
    // SamplePeriod * 1000 outside int32 under V0 with version 2 or 3) or an
    // event number text that is not a number of the field's width is an error;
    // then nothing is written and the position stays.
    void Save(BinaryFile& file, const clsHSTMaster& master);

private:
    std::shared_ptr<clsTimes> startTime_;
    std::shared_ptr<clsTimes> endTime_;
};

}  // namespace jw
