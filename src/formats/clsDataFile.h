// A trend data file: its header and typed access to its sample area.
//
// Sample k (k = 1, 2, ...) lies at HeaderSize + (k - 1) * SampleSize; the
// sample layouts by Version and HistoryType are in docs/file-formats.md
// ("Samples").  Values are returned as stored: no scaling.
#pragma once

#include <cstdint>
#include <memory>
#include <variant>

#include "formats/IndexedArray.h"
#include "formats/clsDataHeader.h"
#include "time/TaggedValue.h"

namespace jw {

class BinaryFile;

struct EventSample32 {
    std::int32_t Value = 0;
    std::int32_t Time = 0;          // Citect time
    std::int32_t Milliseconds = 0;  // added to Time
};

struct EventSample64 {
    double Value = 0;
    std::int64_t Time = 0;  // Int64 time (ticks since 1601)
};

// What GetSamples returns: a copy of the periodic array, or nothing for event layouts.
using SampleRun = std::variant<std::monostate, IndexedArray<std::int16_t>, IndexedArray<double>>;

class clsDataFile {
public:
    // The current header (shared); null before the first Load.
    const std::shared_ptr<clsDataHeader>& header() const { return header_; }

    // 2, 8, 12 or 16; for a header Version outside 0..6 shows
    // "Unknown trend version (v)." (no mark) on every query and returns 0.
    // Before the first Load: ErrorKind::MissingObject.
    std::int32_t SampleSize() const;

    // Makes a fresh header, makes it the header, loads it from the file.
    void Load(BinaryFile& file);
    // Repeats Load; writes nothing.
    void Save(BinaryFile& file);

    // Reads samples StartSampleNo..EndSampleNo with one read into a freshly
    // sized array of the current layout.  Periodic layouts return a copy of
    // the array; event layouts return nothing (use SampleValue/SampleTime).
    // Errors: EndSampleNo < StartSampleNo or StartSampleNo < 1: subscript;
    // position overflow in 32-bit: overflow; a run reaching past the end of
    // the file: ErrorKind::InvalidData naming the file, the run and how many
    // samples the file holds (checked before any array is sized).  An
    // unknown size shows "Invalid trend type:" + HistoryType and reads nothing.
    SampleRun GetSamples(BinaryFile& file, std::int32_t StartSampleNo, std::int32_t EndSampleNo);

    // Value of loaded sample n: double (versions 4, 6), int16 (periodic,
    // HistoryType 0), int32 (event); empty for other history types.
    TaggedValue SampleValue(std::int32_t SampleNo) const;
    // Int64 tick count of loaded sample n; 0 when the layout has no time.
    std::int64_t SampleTime(std::int32_t SampleNo) const;

    // The filled arrays (for bulk readers such as the exporter).
    const IndexedArray<std::int16_t>& IntSamples() const { return intSamples_; }
    const IndexedArray<double>& FloatSamples() const { return floatSamples_; }
    const IndexedArray<EventSample32>& EventSamples32() const { return event32_; }
    const IndexedArray<EventSample64>& EventSamples64() const { return event64_; }

private:
    const clsDataHeader& RequireHeader() const;

    std::shared_ptr<clsDataHeader> header_;
    IndexedArray<double> floatSamples_;
    IndexedArray<std::int16_t> intSamples_;
    IndexedArray<EventSample32> event32_;
    IndexedArray<EventSample64> event64_;
};

}  // namespace jw
