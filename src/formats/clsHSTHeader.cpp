#include "formats/clsHSTHeader.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

#include "formats/BinaryFile.h"
#include "formats/TrendDefs.h"
#include "formats/clsHSTMaster.h"
#include "base/Checked.h"
#include "time/DateTimeTools.h"
#include "base/Errors.h"
#include "time/StringTools.h"

namespace jw {

namespace {

using TrendDefs::HSTHeaderRec;
using TrendDefs::Layout;

// Longest file-header record (HSTHeaderRecV6).
constexpr std::size_t kMaxRecord = 448;
static_assert(TrendDefs::HSTHeaderRecV6.Length == kMaxRecord && TrendDefs::HSTHeaderRecV4.Length < kMaxRecord);

// Layouts whose event numbers and times are 64-bit (V4, V6).
bool IsWide(const Layout<HSTHeaderRec>& layout) {
    return &layout == &TrendDefs::HSTHeaderRecV4 || &layout == &TrendDefs::HSTHeaderRecV6;
}

// The decimal text of an event number as Load gives it.
std::string EventText(std::int64_t v, bool wide) {
    if (wide) return StringTools::Int64ToString(Scaled64::FromRaw(v));
    return std::to_string(v);
}

// An event number text back to its integer: an optional "-" and decimal
// digits, nothing else (no blanks, no "+"), within the field's width.
template <class Int>
Int ParseEventNo(const std::string& text, std::string_view field, const std::string& where) {
    Int v{};
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(first, last, v, 10);
    if (ec == std::errc::result_out_of_range && ptr == last)
        Fail(ErrorKind::Overflow, where + " " + std::string(field) + ": \"" + text + "\" does not fit a " +
                                      (sizeof(Int) == 4 ? "32-bit" : "64-bit") + " event number (overflow)");
    if (ec != std::errc() || ptr != last)
        Fail(ErrorKind::TypeMismatch,
             where + " " + std::string(field) + ": \"" + text + "\" is not a decimal integer (type mismatch)");
    return v;
}

std::int64_t EventNo(const std::string& text, bool wide, std::string_view field, const std::string& where) {
    if (wide) return ParseEventNo<std::int64_t>(text, field, where);
    return ParseEventNo<std::int32_t>(text, field, where);
}

// The value a time field receives from an instant: the Citect time (32-bit
// fields) or the Int64 tick count (64-bit fields).  A Raw of the layout's own
// kind is written unchanged; an empty Raw or a plain integer zero gives 0; a
// Raw of the other time kind or a date value is converted.
std::int64_t TimeField(const clsTimes& t, bool wide) {
    if (wide) return DateTimeTools::ToInt64(t.Raw, 0).Raw();
    return DateTimeTools::ToCitect(t.Raw);
}

TaggedValue TimeRaw(std::int64_t field, bool wide) {
    if (wide) return TaggedValue::Currency(Scaled64::FromRaw(field));
    return TaggedValue::Long(static_cast<std::int32_t>(field));  // a 32-bit field: always fits
}

// SamplePeriod * 1000 rounded to the nearest integer, halves to even.
std::int32_t Millis(double seconds, const std::string& where) {
    const double r = std::nearbyint(seconds * 1000.0);  // default rounding: to nearest, ties to even
    if (!(r >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
          r <= static_cast<double>(std::numeric_limits<std::int32_t>::max())))
        Fail(ErrorKind::Overflow, where + " SamplePeriod: " + std::to_string(seconds) +
                                      " s is out of range as 32-bit milliseconds (overflow)");
    return static_cast<std::int32_t>(r);
}

}  // namespace

const std::shared_ptr<clsTimes>& clsHSTHeader::StartTime() {
    if (!startTime_) startTime_ = std::make_shared<clsTimes>();
    return startTime_;
}

const std::shared_ptr<clsTimes>& clsHSTHeader::EndTime() {
    if (!endTime_) endTime_ = std::make_shared<clsTimes>();
    return endTime_;
}

void clsHSTHeader::Load(BinaryFile& file, const clsHSTMaster& master) {
    const int v = master.Version;
    const Layout<HSTHeaderRec>* layout = TrendDefs::HSTHeaderLayout(v);
    if (layout == nullptr) return;  // no layout: nothing is read, nothing changes

    std::array<std::uint8_t, kMaxRecord> buffer{};
    const std::span<std::uint8_t> bytes(buffer.data(), layout->Length);
    const std::uint64_t at = file.Position();
    const std::size_t got = file.ReadAt(at, bytes);
    if (got < bytes.size())
        Fail(ErrorKind::InvalidData, file.QuotedName() + ": the file ends inside the file-header record at offset " +
                                         std::to_string(at) + " (" + std::string(layout->Name) + " needs " +
                                         std::to_string(layout->Length) + " bytes, " + std::to_string(got) +
                                         " are there)");

    HSTHeaderRec rec;
    TrendDefs::Decode(*layout, bytes, rec);
    const bool wide = IsWide(*layout);
    TrendDefs::FileDescBlock& b = rec.Block;

    Name = std::move(rec.Name);
    ID = std::move(b.ID);
    FileType = b.FileType;
    Version = b.Version;
    StartEvNo = EventText(b.StartEvNo, wide);
    LogName = std::move(b.LogName);
    Mode = b.Mode;
    Area = b.Area;
    Priv = b.Priv;
    HistoryType = b.HistoryType;
    SamplePeriodRaw = b.SamplePeriod;
    // Versions 0 and 1 count seconds, 2 and later milliseconds.
    SamplePeriod = v >= 2 ? b.SamplePeriod / 1000.0 : static_cast<double>(b.SamplePeriod);
    sEngUnits = std::move(b.sEngUnits);
    Format = b.Format;
    DataLength = b.DataLength;
    FilePointer = b.FilePointer;
    EndEvNo = EventText(b.EndEvNo, wide);
    Alignment1 = std::move(b.Alignment1);
    if (wide) Alignment2 = std::move(b.Alignment2);  // V0 and V5 have none: the member keeps its value
    StartTime()->Raw = TimeRaw(b.StartTime, wide);
    EndTime()->Raw = TimeRaw(b.EndTime, wide);

    file.Seek(at + layout->Length);
}

void clsHSTHeader::Save(BinaryFile& file, const clsHSTMaster& master) {
    const int v = master.Version;
    const Layout<HSTHeaderRec>* layout = TrendDefs::HSTHeaderLayout(v);
    if (layout == nullptr) return;  // no layout: nothing is written

    const bool wide = IsWide(*layout);
    const std::string where = file.QuotedName() + " " + std::string(layout->Name);

    // Build the whole record first: any failure leaves the file untouched.
    HSTHeaderRec rec;
    TrendDefs::FileDescBlock& b = rec.Block;
    rec.Name = Name;
    b.ID = ID;
    b.FileType = CheckedNarrow<std::int16_t>(FileType, where + " FileType");
    b.Version = CheckedNarrow<std::int16_t>(Version, where + " Version");
    b.StartEvNo = EventNo(StartEvNo, wide, "StartEvNo", where);
    b.LogName = LogName;
    b.Mode = Mode;
    b.Area = Area;
    b.Priv = Priv;
    b.HistoryType = CheckedNarrow<std::int16_t>(HistoryType, where + " HistoryType");
    const bool fromSeconds = layout == &TrendDefs::HSTHeaderRecV0 && (v == 2 || v == 3);
    b.SamplePeriod = fromSeconds ? Millis(SamplePeriod, where) : SamplePeriodRaw;
    b.sEngUnits = sEngUnits;
    b.Format = Format;
    b.StartTime = TimeField(*StartTime(), wide);
    b.EndTime = TimeField(*EndTime(), wide);
    b.DataLength = DataLength;
    b.FilePointer = FilePointer;
    b.EndEvNo = EventNo(EndEvNo, wide, "EndEvNo", where);
    b.Alignment1 = Alignment1;
    b.Alignment2 = Alignment2;

    std::array<std::uint8_t, kMaxRecord> buffer{};
    const std::span<std::uint8_t> bytes(buffer.data(), layout->Length);
    TrendDefs::Encode(*layout, rec, bytes);
    file.Write(bytes);
}

}  // namespace jw
