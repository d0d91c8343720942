#include "formats/Validity.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <system_error>

#include "base/Errors.h"
#include "formats/BinaryFile.h"
#include "formats/Endian.h"
#include "formats/TrendDefs.h"
#include "os/Text.h"
#include "time/DateTimeTools.h"
#include "time/StringTools.h"
#include "time/TaggedValue.h"

namespace jw {

namespace fs = std::filesystem;

namespace {

std::string N(std::int64_t v) { return std::to_string(v); }

// A stored time as ticks; nullopt for a time that is not set (zero, or no
// time kind).
std::optional<std::int64_t> TicksOf(const TaggedValue& raw) {
    switch (raw.kind()) {
        case TaggedValue::Kind::Long:
            if (raw.AsLong() == 0) return std::nullopt;
            return DateTimeTools::CitectToTicks(raw.AsLong());
        case TaggedValue::Kind::Currency:
            if (raw.AsCurrency().Raw() == 0) return std::nullopt;
            return raw.AsCurrency().Raw();
        default: return std::nullopt;
    }
}

// An instant as text, to the 100-ns tick when that is what tells a and b
// apart; a tick count outside the calendar as the bare count.
std::string TimeText(std::int64_t ticks, std::int64_t other) {
    if (!DateTimeTools::IsCalendarTicks(ticks)) return N(ticks) + " ticks";
    std::string t = DateTimeTools::FormatCivil(DateTimeTools::TicksToCivil(ticks), true);
    if (ticks / DateTimeTools::kTicksPerMillisecond == other / DateTimeTools::kTicksPerMillisecond && ticks != other) {
        const std::int64_t sub = ((ticks % DateTimeTools::kTicksPerMillisecond) + DateTimeTools::kTicksPerMillisecond) %
                                 DateTimeTools::kTicksPerMillisecond;
        std::string digits = N(sub);
        t += std::string(4 - digits.size(), '0') + digits;
    }
    return t;
}

// The first bytes of a file, as many as it has up to n.
std::vector<std::uint8_t> Head(BinaryFile& f, std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    bytes.resize(f.ReadAt(0, bytes));
    return bytes;
}

// The shape of a master: the header's Version has a record layout, nFiles
// and AddOn are not negative, whole records follow, at least nFiles of them.
// *agrees is set when the first record repeats the header's ID and Version,
// as every record the runtime writes does.
bool MasterShape(BinaryFile& f, const std::vector<std::uint8_t>& head, std::uint64_t length, bool* agrees) {
    *agrees = false;
    if (head.size() < TrendDefs::kMasterLength) return false;
    const auto version = LoadLE<std::int16_t>(head.data() + 138);
    const auto nFiles = LoadLE<std::int16_t>(head.data() + 150);
    const auto addOn = LoadLE<std::int16_t>(head.data() + 154);  // entries after nFiles: may be held or not
    const auto* layout = TrendDefs::HSTHeaderLayout(version);
    if (!layout) return false;
    const std::uint64_t rest = length - TrendDefs::kMasterLength;
    const std::uint64_t held = rest / layout->Length;
    std::array<std::uint8_t, 12> block{};  // ID, FileType, Version of the block
    if (held > 0 && f.ReadAt(TrendDefs::kMasterLength + layout->BlockOffset, block) == block.size()) {
        const bool idSet = std::any_of(head.begin() + 128, head.begin() + 136, [](std::uint8_t b) { return b != 0; });
        *agrees = std::equal(block.begin(), block.begin() + 8, head.begin() + 128) &&
                  LoadLE<std::int16_t>(block.data() + 10) == version && idSet;
    }
    const bool shape = nFiles >= 0 && addOn >= 0 && rest % layout->Length == 0 && held >= static_cast<std::uint64_t>(nFiles);
    if (!shape && *agrees) *agrees = std::any_of(head.begin() + 128, head.begin() + 136, [](std::uint8_t b) { return b != 0; });
    return shape;
}

// The data file header layout a file's first bytes select, or nullptr.
const TrendDefs::Layout<TrendDefs::DataHeaderRec>* DataLayout(const std::vector<std::uint8_t>& head) {
    if (head.size() < TrendDefs::kDataVersionOffset + 2) return nullptr;
    const auto* layout = TrendDefs::DataHeaderLayout(LoadLE<std::int16_t>(head.data() + TrendDefs::kDataVersionOffset));
    return layout && head.size() >= layout->Length ? layout : nullptr;
}

bool DataShape(const std::vector<std::uint8_t>& head, std::uint64_t length) {
    const auto* layout = DataLayout(head);
    if (!layout) return false;
    TrendDefs::DataHeaderRec rec;
    TrendDefs::Decode(*layout, std::span<const std::uint8_t>(head.data(), layout->Length), rec);
    const std::int32_t size = SampleSizeOf(rec.Block.Version, rec.Block.HistoryType);
    return size > 0 && (length - layout->Length) % static_cast<std::uint64_t>(size) == 0;
}

Problem Make(Severity level, const fs::path& file, std::optional<int> record, std::string field, std::string text) {
    return Problem{level, file, record, std::move(field), std::move(text)};
}

// The problems of one data file's header and size.  Checked as the data
// file of a set's record, they are problems of the master (reportAs), and
// record and prefix say which record.
void CheckDataFileInto(std::vector<Problem>& out, const fs::path& dataFile, const fs::path& reportAs,
                       std::optional<int> record, const std::string& prefix) {
    const fs::path& path = reportAs;
    clsDataHeader h;
    std::uint64_t length = 0;
    std::string why;
    bool loaded = false;
    try {
        BinaryFile f(dataFile, BinaryFile::Mode::ReadOnly);
        length = f.Length();
        if (length > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
            // Larger than its header's 32-bit FileSize can state: it is
            // copied whole all the same, but its samples are not read here.
            out.push_back(Make(Severity::Warn, path, record, "FileSize",
                               prefix + "is " + N(static_cast<std::int64_t>(length)) +
                                   " bytes long, more than a 32-bit FileSize states; its samples are not checked"));
            return;
        }
        loaded = h.LoadQuiet(f, &why);
        f.Close();
    } catch (const Error& e) {
        why = e.what();
    }
    if (!loaded) {
        out.push_back(Make(Severity::Refuse, path, record, "Version", prefix + "cannot be used: " + why));
        return;
    }
    for (const auto& [field, raw] : {std::pair<const char*, TaggedValue>{"StartTime", h.StartTime()->Raw},
                                     std::pair<const char*, TaggedValue>{"EndTime", h.EndTime()->Raw}})
        if (std::string p = TimeRangeProblem(field, raw); !p.empty())
            out.push_back(Make(Severity::Refuse, path, record, field, prefix + p));
    if (h.DataLength < 0)
        out.push_back(Make(Severity::Refuse, path, record, "DataLength",
                           prefix + "DataLength " + N(h.DataLength) + " is negative: it cannot count samples"));
    const std::int32_t size = SampleSizeOf(h.Version, h.HistoryType);
    const std::uint64_t after = length - static_cast<std::uint64_t>(h.HeaderSize);
    const std::uint64_t held = after / static_cast<std::uint64_t>(size);
    if (h.DataLength > 0) {  // 0: not preallocated, FilePointer says nothing
        if (!WrittenSamples(h.FilePointer, h.DataLength))
            out.push_back(Make(Severity::Warn, path, record, "FilePointer",
                               prefix + "FilePointer " + N(h.FilePointer) + " lies outside 0..DataLength (" +
                                   N(h.DataLength) + "): it does not count written samples"));
        else if (static_cast<std::uint64_t>(h.FilePointer) > held)
            out.push_back(Make(Severity::Warn, path, record, "FilePointer",
                               prefix + "FilePointer says " + N(h.FilePointer) +
                                   " samples are written but the file holds only " + N(static_cast<std::int64_t>(held))));
    }
    if (const std::uint64_t stray = after % static_cast<std::uint64_t>(size); stray > 0)
        out.push_back(Make(Severity::Warn, path, record, "",
                           prefix + "the file ends " + N(static_cast<std::int64_t>(stray)) + " bytes into sample " +
                               N(static_cast<std::int64_t>(held) + 1) + ": its last sample is cut off"));
    if (h.HistoryType != 4 && h.SamplePeriodRaw <= 0 && held > 0 && TicksOf(h.StartTime()->Raw))
        out.push_back(Make(Severity::Refuse, path, record, "SamplePeriod",
                           prefix + "the sample period is " + N(h.SamplePeriodRaw) + "; the samples cannot be timed"));
}

}  // namespace

// --- What a file is ------------------------------------------------------------

bool IsMasterFileName(std::string_view fileName) { return EndsWithNoCase(fileName, "HST"); }

std::optional<std::string> TrendOfMasterName(std::string_view fileName) {
    if (fileName.size() <= 4 || !EndsWithNoCase(fileName, ".HST")) return std::nullopt;
    return std::string(fileName.substr(0, fileName.size() - 4));
}

TrendFileKind KindOfTrendFile(const fs::path& path) {
    BinaryFile f(path, BinaryFile::Mode::ReadOnly);
    const std::uint64_t length = f.Length();
    const std::vector<std::uint8_t> head = Head(f, TrendDefs::DataHeaderRecV6.Length);
    bool agrees = false;
    const bool master = MasterShape(f, head, length, &agrees);
    f.Close();
    if (agrees) return TrendFileKind::Master;  // a damaged master's records still tell it
    if (DataShape(head, length)) return TrendFileKind::DataFile;
    if (IsMasterFileName(os::PathText(path.filename())) && head.size() >= TrendDefs::kMasterLength)
        return TrendFileKind::Master;
    if (DataLayout(head)) return TrendFileKind::DataFile;
    return master ? TrendFileKind::Master : TrendFileKind::Neither;
}

fs::path MasterOfDataFile(const fs::path& dataFile) {
    const fs::path folder = dataFile.parent_path();
    const std::string name = os::PathText(dataFile.filename());
    std::error_code ec;
    std::vector<fs::path> masters;
    for (fs::directory_iterator d(folder.empty() ? fs::path(".") : folder, ec), end; !ec && d != end; d.increment(ec))
        if (IsMasterFileName(os::PathText(d->path().filename())) && d->is_regular_file(ec)) masters.push_back(d->path());
    std::sort(masters.begin(), masters.end());
    for (const fs::path& m : masters) {
        try {
            if (KindOfTrendFile(m) != TrendFileKind::Master) continue;
            const TrendSet set = ReadTrendSet(m);
            for (const SetRecord& r : set.Records)
                if (EqualsNoCase(HostFileName(RecordedFileName(r.Name)), name)) return m;
        } catch (const Error&) {
            // not a readable master: not the one to choose
        }
    }
    const auto dot = name.rfind('.');
    return folder / os::PathFromUtf8((dot == std::string::npos ? name + "." : name.substr(0, dot + 1)) + "HST");
}

clsHSTMaster ReadMasterHeader(const fs::path& path) {
    BinaryFile file(path, BinaryFile::Mode::ReadOnly);
    clsHSTMaster m;
    m.Load(file);
    file.Close();
    return m;
}

// --- Samples -------------------------------------------------------------------

std::int32_t SampleSizeOf(std::int32_t version, std::int32_t historyType) {
    if (version < 0 || version > 6) return 0;
    const bool wide = version == 4 || version == 6;
    if (historyType == 4) return wide ? 16 : 12;
    return wide ? 8 : 2;
}

std::optional<std::int32_t> WrittenSamples(std::int32_t filePointer, std::int32_t dataLength) {
    if (dataLength <= 0 || filePointer < 0 || filePointer > dataLength) return std::nullopt;
    return filePointer;
}

std::int32_t WrittenLimit(std::int32_t filePointer, std::int32_t dataLength, bool newest, bool includeUnwritten) {
    const auto written = WrittenSamples(filePointer, dataLength);
    if (includeUnwritten || !written || (*written == 0 && !newest)) return std::numeric_limits<std::int32_t>::max();
    return *written;
}

// --- Times ---------------------------------------------------------------------

std::string TimeRangeProblem(std::string_view field, const TaggedValue& raw) {
    const auto ticks = TicksOf(raw);
    if (!ticks || DateTimeTools::IsCalendarTicks(*ticks)) return {};
    return std::string(field) + " " + N(*ticks) + " ticks lies outside the years 100 to 9999";
}

// --- Problems ------------------------------------------------------------------

std::vector<Problem> CheckDataFile(const fs::path& path) {
    std::vector<Problem> out;
    CheckDataFileInto(out, path, path, std::nullopt, "");
    return out;
}

namespace {

// The set's own faults, each named by the master field it is about.
void AddSetFaults(std::vector<Problem>& out, const TrendSet& set) {
    using K = SetFault::Kind;
    for (const SetFault& f : set.Faults)
        out.push_back(Make(f.What == K::AddOnPastEnd ? Severity::Warn : Severity::Refuse, set.Path, f.Record,
                           f.What == K::NoLayout                                  ? "Version"
                           : f.What == K::NegativeNFiles || f.What == K::Truncated ? "nFiles"
                                                                                   : "AddOn",
                           f.Text));
}

// What one record says of itself: its Version beside the master's, its
// times, its FilePointer.
void CheckRecordFields(std::vector<Problem>& out, const TrendSet& set, const SetRecord& row) {
    clsHSTHeader rec = row.Record;  // StartTime() makes the instant on first use
    const int i = row.Index;
    const std::string at = "record " + N(i) + ": ";
    if (rec.Version != set.Master.Version)
        out.push_back(Make(Severity::Refuse, set.Path, i, "Version",
                           at + "Version " + N(rec.Version) + " differs from the master's Version " +
                               N(set.Master.Version)));
    for (const auto& [field, raw] : {std::pair<const char*, TaggedValue>{"StartTime", rec.StartTime()->Raw},
                                     std::pair<const char*, TaggedValue>{"EndTime", rec.EndTime()->Raw}})
        if (std::string p = TimeRangeProblem(field, raw); !p.empty())
            out.push_back(Make(Severity::Refuse, set.Path, i, field, at + p));
    if (rec.DataLength > 0 && !WrittenSamples(rec.FilePointer, rec.DataLength))
        out.push_back(Make(Severity::Warn, set.Path, i, "FilePointer",
                           at + "FilePointer " + N(rec.FilePointer) + " lies outside 0..DataLength (" +
                               N(rec.DataLength) + "): it does not count written samples"));
}

// The record's data file beside what the record says of it: there, readable,
// of the record's Version, HistoryType and StartTime, and valid itself.
void CheckRecordDataFile(std::vector<Problem>& out, const fs::path& path, const SetRecord& row) {
    const int i = row.Index;
    const std::string at = "record " + N(i) + ": ";
    if (!row.DataFile) {
        out.push_back(Make(Severity::Refuse, path, i, "Name", at + row.DataFileProblem));
        return;
    }
    const std::string of = at + "data file " + os::PathText(*row.DataFile) + " ";
    clsDataHeader h;
    try {
        BinaryFile f(*row.DataFile, BinaryFile::Mode::ReadOnly);
        const bool loaded =
            f.Length() <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) && h.LoadQuiet(f);
        f.Close();
        if (!loaded) {  // CheckDataFileInto says why
            CheckDataFileInto(out, *row.DataFile, path, i, of);
            return;
        }
    } catch (const Error& e) {
        out.push_back(Make(Severity::Refuse, path, i, "Name", of + "cannot be read: " + e.what()));
        return;
    }
    clsHSTHeader rec = row.Record;
    if (h.Version != rec.Version)
        out.push_back(Make(Severity::Refuse, path, i, "Version",
                           of + "has Version " + N(h.Version) + ", the record says " + N(rec.Version)));
    if (h.HistoryType != rec.HistoryType)
        out.push_back(Make(Severity::Refuse, path, i, "HistoryType",
                           of + "has HistoryType " + N(h.HistoryType) + ", the record says " + N(rec.HistoryType)));
    if (h.Version != rec.Version || h.HistoryType != rec.HistoryType) return;  // its other fields mean other things
    const auto recStart = TicksOf(rec.StartTime()->Raw);
    const auto fileStart = TicksOf(h.StartTime()->Raw);
    if (recStart && fileStart.value_or(0) != *recStart) {
        const std::int64_t fs = fileStart.value_or(0);
        out.push_back(Make(Severity::Refuse, path, i, "StartTime",
                           of + "starts " + (fileStart ? TimeText(fs, *recStart) : std::string("at 0 (not set)")) +
                               ", the record says " + TimeText(*recStart, fs)));
    }
    CheckDataFileInto(out, *row.DataFile, path, i, of);
}

}  // namespace

std::vector<Problem> CheckTrendSet(const TrendSet& set) {
    std::vector<Problem> out;
    if (auto p = DataFileAsMaster(set.Path)) {
        out.push_back(std::move(*p));
        return out;
    }
    AddSetFaults(out, set);
    for (const SetRecord& row : set.Records) {
        CheckRecordFields(out, set, row);
        CheckRecordDataFile(out, set.Path, row);
    }
    return out;
}

std::optional<Problem> DataFileAsMaster(const fs::path& path) {
    try {
        if (KindOfTrendFile(path) != TrendFileKind::DataFile) return std::nullopt;
    } catch (const Error&) {
        return std::nullopt;
    }
    return Make(Severity::Refuse, path, std::nullopt, "",
                "this is a data file, not a master file (its header is a data file header); choose the master " +
                    os::PathText(MasterOfDataFile(path)) + " instead");
}

std::string RecordedTrendName(const TrendSet& set) {
    std::map<std::string, std::pair<int, std::string>> count;  // folded base name -> records, as first spelled
    for (const SetRecord& r : set.Records) {
        const std::string_view file = RecordedFileName(r.Name);
        const auto dot = file.rfind('.');
        if (dot == std::string_view::npos || dot == 0) continue;
        const std::string base(file.substr(0, dot + 1));
        auto& [n, spelled] = count[FoldCase(base)];
        if (n++ == 0) spelled = base;
    }
    std::string best;
    int most = 0;
    for (const auto& [folded, entry] : count)
        if (entry.first > most) most = entry.first, best = entry.second;
    return best;
}

std::string TrendDifference(const TrendSet& a, const TrendSet& b) {
    using StringTools::Quoted;
    std::string out;
    const std::string ta = RecordedName(a.Master.Title), tb = RecordedName(b.Master.Title);
    if (ta != tb) out = "the masters' Title differs (" + Quoted(ta) + ", " + Quoted(tb) + ")";
    const std::string na = RecordedTrendName(a), nb = RecordedTrendName(b);
    if (!na.empty() && !nb.empty() && !EqualsNoCase(na, nb))
        out += (out.empty() ? "" : "; ") + std::string("their records name data files of different trends (") +
               Quoted(na) + ", " + Quoted(nb) + ")";
    return out;
}

std::string ProblemText(const Problem& p) { return os::PathText(p.File) + ": " + p.Text; }

}  // namespace jw
