#include "cli/SetReport.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <nlohmann/json.hpp>

#include "cli/Command.h"
#include "cli/DataFiles.h"
#include "cli/Options.h"
#include "cli/Picture.h"
#include "cli/Output.h"
#include "cli/TimeText.h"
#include "formats/BinaryFile.h"
#include "formats/TrendDefs.h"
#include "formats/TrendSet.h"
#include "formats/Validity.h"
#include "base/Errors.h"
#include "os/Text.h"

namespace jw::cli {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

// One problem --check found; Record is the file-header record it concerns.
struct Problem {
    std::optional<int> Record;
    std::string Text;
};

// --- Reading ----------------------------------------------------------------

// The samples a record's data file holds, when it can be read.
std::optional<std::int32_t> SamplesHeld(const SetRecord& r) {
    if (!r.DataFile) return std::nullopt;
    try {
        return DataFileReader(*r.DataFile).InFile();
    } catch (const Error&) {
        return std::nullopt;  // --check says why
    }
}

// What --check reports: the one validity rule of formats/Validity.h.
std::vector<Problem> Problems(std::vector<jw::Problem> found) {
    std::vector<Problem> out;
    out.reserve(found.size());
    for (auto& p : found) out.push_back({p.Record, std::move(p.Text)});
    return out;
}

// --- Shared output pieces ----------------------------------------------------

Json TimeJson(const StoredTime& t) { return Json{{"raw", t.Raw}, {"text", StoredTimeText(t)}}; }

Json SampleTimeJson(std::int64_t ticks) { return Json{{"raw", ticks}, {"text", FormatTicks(ticks, true)}}; }

// Event numbers are carried as decimal text; JSON gets the integer.
Json EventNumberJson(const std::string& text) {
    std::int64_t v = 0;
    const char* b = text.data();
    const char* e = text.data() + text.size();
    const auto r = std::from_chars(b, e, v);
    if (r.ec == std::errc() && r.ptr == e) return v;
    return Cp1252ToUtf8(text);
}

std::string EventNumberText(const std::string& text) {
    const Json j = EventNumberJson(text);
    return j.is_number() ? std::to_string(j.get<std::int64_t>()) : DisplayField(text);
}

std::string StoredTimeLine(const StoredTime& t) {
    if (t.Raw == 0) return "0 (not set)";
    return fmt::format("{} (stored {})", FormatTicks(t.Ticks, false), t.Raw);
}

Json ProblemsJson(const std::vector<Problem>& problems) {
    Json arr = Json::array();
    for (const auto& p : problems) {
        Json j;
        j["record"] = p.Record ? Json(*p.Record) : Json(nullptr);
        j["text"] = OutputText(p.Text);
        arr.push_back(std::move(j));
    }
    return arr;
}

void PrintProblems(std::ostream& out, const std::vector<Problem>& problems) {
    if (problems.empty()) {
        fmt::print(out, "\nCheck: no problems found.\n");
        return;
    }
    fmt::print(out, "\nCheck: {} problem{} found:\n", problems.size(), problems.size() == 1 ? "" : "s");
    for (const auto& p : problems) fmt::print(out, "  {}\n", OutputText(p.Text));
}

const char* HistoryKind(std::int32_t historyType) { return historyType == 4 ? "events" : "periodic"; }

// The members a file-header record and a data file header share, in the
// order both store them.
template <class Header>
void AddSharedMembers(Json& j, Header& h) {
    j["ID"] = Cp1252ToUtf8(h.ID);
    j["FileType"] = h.FileType;
    j["Version"] = h.Version;
    j["StartEvNo"] = EventNumberJson(h.StartEvNo);
    j["LogName"] = Cp1252ToUtf8(h.LogName);
    j["Mode"] = h.Mode;
    j["Area"] = h.Area;
    j["Priv"] = h.Priv;
    j["HistoryType"] = h.HistoryType;
    j["SamplePeriod"] = h.SamplePeriod;
    j["SamplePeriodRaw"] = h.SamplePeriodRaw;
    j["sEngUnits"] = Cp1252ToUtf8(h.sEngUnits);
    j["Format"] = h.Format;
    j["StartTime"] = TimeJson(FromRaw(h.StartTime()->Raw));
    j["EndTime"] = TimeJson(FromRaw(h.EndTime()->Raw));
    j["DataLength"] = h.DataLength;
    j["FilePointer"] = h.FilePointer;
    j["EndEvNo"] = EventNumberJson(h.EndEvNo);
    j["Alignment1"] = Cp1252ToUtf8(h.Alignment1);
    j["Alignment2"] = Cp1252ToUtf8(h.Alignment2);
}

// --- Master file -------------------------------------------------------------

// The set as a picture: one bar per record, named after its data file.
void DrawMaster(const fs::path& path, const TrendSet& r, const std::string& picture) {
    Timeline tl;
    tl.Trend = DisplayField(r.Master.Title);
    tl.Subtitle = OutputText(os::PathText(path));
    for (const auto& row : r.Records) {
        clsHSTHeader record = row.Record;  // its times are read through a non-const view
        const std::string_view file = RecordedFileName(row.Name);
        tl.Bars.push_back(BarOf(OutputText(file.empty() ? "record " + std::to_string(row.Index) : std::string(file)),
                                BarSource::Set, record.StartTime()->Raw, record.EndTime()->Raw,
                                record.SamplePeriod));
    }
    WritePicture(AbsolutePath(picture), TimelineSvg(tl));
}

Json OptionalJson(const std::optional<std::int32_t>& v) { return v ? Json(*v) : Json(nullptr); }

Json RecordJson(const SetRecord& row, const std::optional<std::int32_t>& held) {
    auto h = row.Record;
    Json rec;
    rec["index"] = row.Index;
    rec["Name"] = Cp1252ToUtf8(h.Name);
    AddSharedMembers(rec, h);
    rec["written"] = OptionalJson(WrittenSamples(h.FilePointer, h.DataLength));
    rec["dataFile"] = Json{{"name", OutputText(std::string(RecordedFileName(row.Name)))},
                           {"path", row.DataFile ? Json(OutputText(row.DataFile->string())) : Json(nullptr)},
                           {"exists", row.DataFile.has_value()},
                           {"samplesHeld", OptionalJson(held)}};
    return rec;
}

Json MasterJson(const fs::path& path, const TrendSet& r, const std::vector<std::optional<std::int32_t>>& held) {
    const auto& m = r.Master;
    Json j;
    j["kind"] = "master";
    j["path"] = OutputText(os::PathText(path));
    j["header"] = Json{{"Title", Cp1252ToUtf8(m.Title)},   {"ID", Cp1252ToUtf8(m.ID)},
                       {"FileType", m.FileType},           {"Version", m.Version},
                       {"Alignment1", Cp1252ToUtf8(m.Alignment1)}, {"Mode", m.Mode},
                       {"History", m.History},             {"nFiles", m.nFiles},
                       {"NextFile", m.NextFile},           {"AddOn", m.AddOn},
                       {"Alignment2", Cp1252ToUtf8(m.Alignment2)}};
    j["recordLayout"] = r.Layout ? Json(std::string(r.Layout->Name)) : Json(nullptr);
    j["recordLength"] = r.Layout ? Json(r.Layout->Length) : Json(nullptr);
    j["recordsInFile"] = r.Held;
    j["recordsCounted"] = r.Counted;
    Json recs = Json::array();
    for (std::size_t k = 0; k < r.Records.size(); ++k) recs.push_back(RecordJson(r.Records[k], held[k]));
    j["records"] = std::move(recs);
    return j;
}

void PrintMasterHeader(std::ostream& out, const fs::path& path, const TrendSet& r) {
    const auto& m = r.Master;
    fmt::print(out, "Master file  {}\n", OutputText(os::PathText(path)));
    const auto line = [&](std::string_view k, const std::string& v) { fmt::print(out, "  {:<11} {}\n", k, v); };
    line("Title", DisplayField(m.Title));
    line("ID", DisplayField(m.ID));
    line("FileType", std::to_string(m.FileType));
    line("Version", r.Layout ? fmt::format("{} (records: {}, {} bytes each)", m.Version, r.Layout->Name,
                                           r.Layout->Length)
                             : fmt::format("{} (no record layout)", m.Version));
    line("Mode", std::to_string(m.Mode));
    line("History", std::to_string(m.History));
    line("nFiles", std::to_string(m.nFiles));
    line("NextFile", std::to_string(m.NextFile));
    line("AddOn", std::to_string(m.AddOn));
    if (r.Layout) line("Records", fmt::format("{} counted (nFiles + AddOn), {} in the file", r.Counted, r.Held));
}

void PrintRecords(std::ostream& out, const TrendSet& r, const std::vector<std::optional<std::int32_t>>& held) {
    if (r.Records.empty()) return;
    std::vector<std::vector<std::string>> rows{{"#", "Name", "Start", "End", "Period s", "Written", "Capacity", "Held",
                                                "Version", "Type", "Data file"}};
    for (std::size_t k = 0; k < r.Records.size(); ++k) {
        const auto& row = r.Records[k];
        auto h = row.Record;
        const StoredTime s = FromRaw(h.StartTime()->Raw);
        const StoredTime e = FromRaw(h.EndTime()->Raw);
        const auto written = WrittenSamples(h.FilePointer, h.DataLength);
        rows.push_back({std::to_string(row.Index), DisplayField(h.Name), s.Raw ? StoredTimeText(s) : "-",
                        e.Raw ? StoredTimeText(e) : "-", fmt::format("{}", h.SamplePeriod),
                        written ? std::to_string(*written) : "-", std::to_string(h.DataLength),
                        held[k] ? std::to_string(*held[k]) : "-", std::to_string(h.Version),
                        std::to_string(h.HistoryType), row.DataFile ? "yes" : "missing"});
    }
    // index, Written, Capacity and Held align right
    out << '\n' << TableLines(rows, {0, 5, 6, 7});
}

int InspectMaster(const fs::path& path, const InspectOptions& opt, std::ostream& out) {
    const TrendSet r = ReadTrendSet(path);
    if (!opt.Picture.empty()) DrawMaster(path, r, opt.Picture);
    std::vector<Problem> problems;
    if (opt.Check) problems = Problems(CheckTrendSet(r));
    std::vector<std::optional<std::int32_t>> held;
    held.reserve(r.Records.size());
    for (const auto& row : r.Records) held.push_back(SamplesHeld(row));

    if (opt.Json) {
        Json j = MasterJson(path, r, held);
        if (opt.Check) j["problems"] = ProblemsJson(problems);
        out << j.dump(2) << '\n';
    } else {
        PrintMasterHeader(out, path, r);
        PrintRecords(out, r, held);
        if (opt.Check) PrintProblems(out, problems);
    }
    return opt.Check && !problems.empty() ? 1 : 0;
}

// --- Data file ---------------------------------------------------------------

struct SampleSummary {
    std::int32_t Count = 0;
    std::optional<std::int64_t> First, Last;
};

// The samples an export of this file alone writes.
SampleSummary Summarize(DataFileReader& d) {
    const SampleRule rule;
    SampleSummary s;
    if (d.Periodic()) {
        if (d.PeriodTicks() <= 0) return s;  // cannot be timed (a problem for --check)
        s.Count = d.PeriodicCount(rule);
        if (s.Count > 0) {
            s.First = d.Start().Ticks;
            std::int64_t last = 0;
            if (!__builtin_mul_overflow(static_cast<std::int64_t>(s.Count - 1), d.PeriodTicks(), &last) &&
                !__builtin_add_overflow(last, d.Start().Ticks, &last))
                s.Last = last;
        }
    } else {
        const auto scan = d.ScanEvents(rule);
        s.Count = scan.Count;
        if (scan.Count > 0) s.First = scan.FirstTicks, s.Last = scan.LastTicks;
    }
    return s;
}

// What the header's times allow, for periodic files.
std::string AllowedText(const DataFileReader& d) {
    if (!d.Periodic() || d.PeriodTicks() <= 0) return {};
    return fmt::format("; its times allow {}", d.AllowedByTimes());
}

// --check's problems of a data file.
std::vector<Problem> DataFileProblems(const fs::path& path) {
    std::vector<Problem> problems = Problems(CheckDataFile(path));
    // A file named as a master whose header is a data file header.
    if (IsMasterFileName(os::PathText(path.filename())))
        if (auto p = DataFileAsMaster(path)) problems.insert(problems.begin(), {std::nullopt, p->Text});
    return problems;
}

// The data file as a picture of one bar.
void DrawDataFile(const fs::path& path, clsDataHeader& h, const std::string& picture) {
    Timeline tl;
    tl.Trend = DisplayField(h.Title);
    tl.Subtitle = OutputText(os::PathText(path));
    tl.Bars.push_back(BarOf(OutputText(os::PathText(path.filename())), BarSource::Set, h.StartTime()->Raw,
                            h.EndTime()->Raw, h.SamplePeriod));
    WritePicture(AbsolutePath(picture), TimelineSvg(tl));
}

Json DataFileJson(const fs::path& path, DataFileReader& d, const SampleSummary& s) {
    auto& h = *d.File().header();
    Json j;
    j["kind"] = "data";
    j["path"] = OutputText(os::PathText(path));
    Json header{{"Title", Cp1252ToUtf8(h.Title)},
                {"RawZero", h.RawZero},
                {"RawFull", h.RawFull},
                {"EngZero", h.EngZero},
                {"EngFull", h.EngFull}};
    AddSharedMembers(header, h);
    header["FileSize"] = h.FileSize;
    header["HeaderSize"] = h.HeaderSize;
    j["header"] = std::move(header);
    j["SampleSize"] = d.SampleSize();
    j["sampleLayout"] = SampleLayoutName(d.Layout());
    j["samplesInFile"] = d.InFile();
    j["capacity"] = h.DataLength;
    j["written"] = d.Written() ? Json(*d.Written()) : Json(nullptr);
    j["samplesAllowedByTimes"] = d.Periodic() && d.PeriodTicks() > 0 ? Json(d.AllowedByTimes()) : Json(nullptr);
    j["samples"] = s.Count;
    j["firstSample"] = s.First ? SampleTimeJson(*s.First) : Json(nullptr);
    j["lastSample"] = s.Last ? SampleTimeJson(*s.Last) : Json(nullptr);
    return j;
}

// The header's members, in the order the file stores them.
void PrintDataHeader(std::ostream& out, clsDataHeader& h) {
    const auto line = [&](std::string_view k, const std::string& v) { fmt::print(out, "  {:<13} {}\n", k, v); };
    line("Title", DisplayField(h.Title));
    line("RawZero", fmt::format("{}", h.RawZero));
    line("RawFull", fmt::format("{}", h.RawFull));
    line("EngZero", fmt::format("{}", h.EngZero));
    line("EngFull", fmt::format("{}", h.EngFull));
    line("ID", DisplayField(h.ID));
    line("FileType", std::to_string(h.FileType));
    line("Version", std::to_string(h.Version));
    line("StartEvNo", EventNumberText(h.StartEvNo));
    line("LogName", DisplayField(h.LogName));
    line("Mode", std::to_string(h.Mode));
    line("Area", std::to_string(h.Area));
    line("Priv", std::to_string(h.Priv));
    line("HistoryType", fmt::format("{} ({})", h.HistoryType, HistoryKind(h.HistoryType)));
    line("SamplePeriod", fmt::format("{} s (stored {})", h.SamplePeriod, h.SamplePeriodRaw));
    line("sEngUnits", DisplayField(h.sEngUnits));
    line("Format", std::to_string(h.Format));
    line("StartTime", StoredTimeLine(FromRaw(h.StartTime()->Raw)));
    line("EndTime", StoredTimeLine(FromRaw(h.EndTime()->Raw)));
    line("DataLength", std::to_string(h.DataLength));
    line("FilePointer", std::to_string(h.FilePointer));
    line("EndEvNo", EventNumberText(h.EndEvNo));
    line("FileSize", std::to_string(h.FileSize));
    line("HeaderSize", std::to_string(h.HeaderSize));
}

// What the file holds in samples.
void PrintSamples(std::ostream& out, const DataFileReader& d, clsDataHeader& h, const SampleSummary& s) {
    const auto line = [&](std::string_view k, const std::string& v) { fmt::print(out, "  {:<13} {}\n", k, v); };
    line("SampleSize", fmt::format("{} ({})", d.SampleSize(), SampleLayoutName(d.Layout())));
    line("Held", fmt::format("{} samples after the header", d.InFile()));
    line("Capacity", fmt::format("{} samples (DataLength)", h.DataLength));
    line("Written", d.Written() ? fmt::format("{} samples (FilePointer)", *d.Written())
                                : fmt::format("not stated (FilePointer {} lies outside 0..DataLength)", h.FilePointer));
    line("Samples", fmt::format("{} (the file holds {} after its header{})", s.Count, d.InFile(), AllowedText(d)));
    line("First sample", s.First ? FormatTicks(*s.First, true) : "-");
    line("Last sample", s.Last ? FormatTicks(*s.Last, true) : "-");
}

int InspectDataFile(const fs::path& path, const InspectOptions& opt, std::ostream& out) {
    DataFileReader d(path);
    auto& h = *d.File().header();
    const SampleSummary s = Summarize(d);
    std::vector<Problem> problems;
    if (opt.Check) problems = DataFileProblems(path);
    if (!opt.Picture.empty()) DrawDataFile(path, h, opt.Picture);

    if (opt.Json) {
        Json j = DataFileJson(path, d, s);
        if (opt.Check) j["problems"] = ProblemsJson(problems);
        out << j.dump(2) << '\n';
    } else {
        fmt::print(out, "Data file  {}\n", OutputText(os::PathText(path)));
        PrintDataHeader(out, h);
        PrintSamples(out, d, h, s);
        if (opt.Check) PrintProblems(out, problems);
    }
    return opt.Check && !problems.empty() ? 1 : 0;
}

}  // namespace

int RunInspect(const fs::path& path, const InspectOptions& options, std::ostream& out) {
    if (KindOfTrendFile(path) == TrendFileKind::Master) return InspectMaster(path, options, out);
    return InspectDataFile(path, options, out);
}

namespace {

const char* const kInspectFooter =
    "Times show as YYYY-MM-DD HH:MM:SS in the trend's own clock (no time-zone shift); a time of 0 is\n"
    "shown as not set.  In JSON every time is {\"raw\": stored integer, \"text\": ...} and text fields\n"
    "are decoded from Windows-1252 at their full width, trailing NULs and blanks included.\n"
    "Exit status: 0, or 1 when --check found problems or the file cannot be read.";

struct InspectArgs {
    std::string Path;
    InspectOptions Options;
};

}  // namespace

Command AddInspectCommand(CLI::App& app) {
    auto args = std::make_shared<InspectArgs>();
    InspectOptions& o = args->Options;
    auto* cmd = app.add_subcommand(
        "inspect", "Show what a master file (*.HST) or a data file holds; --check lists its problems.");
    cmd->add_option("PATH", args->Path, "Master file (name ending in HST) or data file")
        ->required()
        ->check(PathValidator());
    cmd->add_flag("--json", o.Json, "Print JSON");
    cmd->add_option("--picture", o.Picture, "Also draw the set (or data file) as an SVG timeline in FILE")
        ->type_name("FILE");
    cmd->footer(kInspectFooter);
    cmd->add_flag("--check", o.Check,
                  "List problems (records the file does not hold, missing or invalid data files, data files "
                  "that disagree with their record, record versions that differ); exit 1 when there are any");
    return {cmd, [args](std::ostream& out, std::ostream& err) {
                const int status = RunInspect(os::PathFromUtf8(args->Path), args->Options, out);
                if (status != 0)
                    err << kProgram << ": error: --check found problems in " << OutputText(args->Path) << '\n';
                return status;
            }};
}

}  // namespace jw::cli
