#include "formats/clsDataHeader.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "formats/BinaryFile.h"
#include "formats/Endian.h"
#include "formats/Notices.h"
#include "formats/TrendDefs.h"
#include "base/Checked.h"
#include "base/Errors.h"
#include "time/Scaled64.h"
#include "time/StringTools.h"
#include "time/TaggedValue.h"

namespace jw {

std::string InvalidTrendFileText(std::int32_t version) {
    return "This is not a valid trend file. It may be a log file or an unsupported format.\r\n"
           "Version = " +
           std::to_string(version);
}

const std::shared_ptr<clsTimes>& clsDataHeader::StartTime() {
    if (!startTime_) startTime_ = std::make_shared<clsTimes>();
    return startTime_;
}

const std::shared_ptr<clsTimes>& clsDataHeader::EndTime() {
    if (!endTime_) endTime_ = std::make_shared<clsTimes>();
    return endTime_;
}

namespace {

// Layouts with 64-bit event numbers and times (and the 6-byte Alignment2).
bool IsWideLayout(const TrendDefs::Layout<TrendDefs::DataHeaderRec>& layout) {
    return &layout == &TrendDefs::DataHeaderRecV4 || &layout == &TrendDefs::DataHeaderRecV6;
}

// Why a header could not be read, for Load and LoadQuiet alike.
enum class Outcome { Loaded, BadVersion, TooShort };

struct Attempt {
    Outcome outcome = Outcome::Loaded;
    std::int32_t version = 0;  // the version read at offset 138 (BadVersion)
    std::string reason;        // a sentence naming the file (BadVersion, TooShort)
};

std::string TooShortText(const BinaryFile& file, std::uint64_t length, std::uint64_t need, std::string_view what) {
    return "The data file " + file.QuotedName() + " is too short for " + std::string(what) + ": it holds " +
           std::to_string(length) + " bytes, " + std::to_string(need) + " are needed";
}

// Fills the members from a decoded record of the given layout.
void Fill(clsDataHeader& h, const TrendDefs::DataHeaderRec& rec, const TrendDefs::Layout<TrendDefs::DataHeaderRec>& layout) {
    const TrendDefs::FileDescBlock& b = rec.Block;
    const bool wide = IsWideLayout(layout);

    h.Title = rec.Title;
    h.RawZero = rec.RawZero;
    h.RawFull = rec.RawFull;
    h.EngZero = rec.EngZero;
    h.EngFull = rec.EngFull;
    h.ID = b.ID;
    h.FileType = b.FileType;
    h.Version = b.Version;
    h.LogName = b.LogName;
    h.Mode = b.Mode;
    h.Area = b.Area;
    h.Priv = b.Priv;
    h.HistoryType = b.HistoryType;

    // Stored in milliseconds from version 2 on, in seconds under versions 0 and 1.
    h.SamplePeriodRaw = b.SamplePeriod;
    const bool milliseconds = wide || &layout == &TrendDefs::DataHeaderRecV5 || b.Version == 2 || b.Version == 3;
    h.SamplePeriod = milliseconds ? static_cast<double>(b.SamplePeriod) / 1000.0 : static_cast<double>(b.SamplePeriod);

    h.sEngUnits = b.sEngUnits;
    h.Format = b.Format;
    h.DataLength = b.DataLength;
    h.FilePointer = b.FilePointer;
    h.Alignment1 = b.Alignment1;

    if (wide) {
        // The same texts as a master file's file-header record makes of its
        // 64-bit event numbers, so they can be copied across unchanged.
        h.StartEvNo = StringTools::Int64ToString(Scaled64::FromRaw(b.StartEvNo));
        h.EndEvNo = StringTools::Int64ToString(Scaled64::FromRaw(b.EndEvNo));
        h.StartTime()->Raw = TaggedValue::Currency(Scaled64::FromRaw(b.StartTime));
        h.EndTime()->Raw = TaggedValue::Currency(Scaled64::FromRaw(b.EndTime));
        h.Alignment2 = b.Alignment2;
    } else {
        // 32-bit fields, sign-extended by the decoder: the casts are exact.
        h.StartEvNo = std::to_string(static_cast<std::int32_t>(b.StartEvNo));
        h.EndEvNo = std::to_string(static_cast<std::int32_t>(b.EndEvNo));
        h.StartTime()->Raw = TaggedValue::Long(static_cast<std::int32_t>(b.StartTime));
        h.EndTime()->Raw = TaggedValue::Long(static_cast<std::int32_t>(b.EndTime));
        // Alignment2 does not exist in these layouts and keeps its value.
    }
    h.HeaderSize = layout.Length;
}

// Reads the header: FileSize first, then the version at offset 138, then the
// whole header of the layout that version selects.  Members other than
// FileSize change only when the outcome is Loaded.
Attempt TryLoad(clsDataHeader& h, BinaryFile& file) {
    const std::uint64_t length = file.Length();
    h.FileSize = CheckedNarrow<std::int32_t>(length, "FileSize of " + file.QuotedName());

    Attempt a;
    constexpr std::uint64_t versionEnd = TrendDefs::kDataVersionOffset + 2;
    std::array<std::uint8_t, 2> vbytes{};
    if (length < versionEnd || file.ReadAt(TrendDefs::kDataVersionOffset, vbytes) != vbytes.size()) {
        a.outcome = Outcome::TooShort;
        a.reason = TooShortText(file, length, versionEnd, "the trend version at offset 138");
        return a;
    }
    a.version = LoadLE<std::int16_t>(vbytes.data());

    const TrendDefs::Layout<TrendDefs::DataHeaderRec>* layout = TrendDefs::DataHeaderLayout(a.version);
    if (layout == nullptr) {
        a.outcome = Outcome::BadVersion;
        a.reason = "The data file " + file.QuotedName() + " is not a valid trend file: its version is " +
                   std::to_string(a.version) + " (0 to 6 are known)";
        return a;
    }

    std::array<std::uint8_t, TrendDefs::DataHeaderRecV6.Length> buffer{};
    const std::span<std::uint8_t> bytes(buffer.data(), layout->Length);
    const std::string what = "a " + std::string(layout->Name) + " header (version " + std::to_string(a.version) + ")";
    if (length < layout->Length) {
        a.outcome = Outcome::TooShort;
        a.reason = TooShortText(file, length, layout->Length, what);
        return a;
    }
    file.Seek(0);
    const std::size_t got = file.Read(bytes);
    if (got != bytes.size()) {
        a.outcome = Outcome::TooShort;
        a.reason = TooShortText(file, got, layout->Length, what);
        return a;
    }

    TrendDefs::DataHeaderRec rec;
    TrendDefs::Decode(*layout, std::span<const std::uint8_t>(bytes), rec);
    Fill(h, rec, *layout);
    return a;
}

}  // namespace

void clsDataHeader::Load(BinaryFile& file) {
    const Attempt a = TryLoad(*this, file);
    switch (a.outcome) {
        case Outcome::Loaded: return;
        case Outcome::BadVersion:
            // The operator is told; the caller goes on with the header as it was.
            ShowNotice(InvalidTrendFileText(a.version), NoticeMark::Error);
            return;
        case Outcome::TooShort: Fail(ErrorKind::InvalidData, a.reason);
    }
}

bool clsDataHeader::LoadQuiet(BinaryFile& file, std::string* why) {
    const Attempt a = TryLoad(*this, file);
    if (a.outcome == Outcome::Loaded) return true;
    if (why) *why = a.reason;
    return false;
}

}  // namespace jw
