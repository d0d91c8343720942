// Planning a merge: reads both masters and the template, chooses the data
// files by the break date, names every output file and checks all of it
// before anything is written.  Reads only.  Each step is one function below;
// a new check is one more function called from Plan().
#include <algorithm>
#include <array>
#include <system_error>

#include "base/Errors.h"
#include "engine/EngineDetail.h"
#include "engine/TrendTools.h"
#include "formats/BinaryFile.h"
#include "formats/TrendDefs.h"
#include "formats/TrendSet.h"
#include "formats/Validity.h"
#include "formats/clsDataHeader.h"
#include "time/DateTimeTools.h"
#include "time/StringTools.h"
#include "os/File.h"
#include "os/Text.h"

namespace jw {

namespace {

namespace fs = std::filesystem;
using StringTools::Quoted;
using Day = std::chrono::year_month_day;

[[noreturn]] void Refuse(const std::string& text) { Fail(ErrorKind::Refused, text); }

std::string Iso(Day d) { return DateTimeTools::FormatDate(d); }

// Runs step; an error from it that is not already a refusal gets `who` (the
// file it concerns) in front of its text.
template <class Step>
auto Naming(const std::string& who, Step step) -> decltype(step()) {
    try {
        return step();
    } catch (const Error& e) {
        if (e.kind() == ErrorKind::Refused) throw;
        Fail(e.kind(), who + ": " + e.what());
    }
}

// One input master as read, with the start day of every record that counts
// and what the validity rule finds in it.
struct InputSet {
    std::string role;  // "existing master" or "backup master"
    TrendSet set;
    std::vector<Day> days;
    std::vector<Problem> problems;

    const fs::path& Path() const { return set.Path; }
    std::string Who() const { return role + " " + os::PathText(set.Path); }
    std::string RecordWho(std::size_t i) const {
        return Who() + ", record " + std::to_string(i) + " (Name " + Quoted(set.Records[i].Name) + ")";
    }
    std::uint16_t NameWidth() const { return set.Layout->BlockOffset; }
    std::uint16_t RecordLength() const { return set.Layout->Length; }
};

// What the planner is given and builds up, step by step.
struct Planning {
    const MergeRequest& req;
    const PlanOptions& options;
    Day breakDate;
    std::string breakText;  // "the break date 2004-09-17 (typed "09-17-2004")"
    MergePlan plan;
};

// --- Inputs --------------------------------------------------------------------

// Reads a master with the reader every command shares and refuses what the
// merge cannot take: a data file given as a master, any fault of the master
// but AddOn entries past its end, a start time outside the calendar.  The
// other problems of the validity rule wait until the records are chosen.
InputSet ReadInput(const fs::path& path, std::string role, RecordCount count, FolderIndexes* listings) {
    InputSet s{std::move(role), {}, {}, {}};
    if (const auto p = DataFileAsMaster(path)) Refuse(s.role + " " + ProblemText(*p));
    s.set = Naming(s.role + " " + os::PathText(path), [&] { return ReadTrendSet(path, count, listings); });
    if (const SetFault* f = s.set.Refusal()) Fail(f->Severity(), s.Who() + ": " + f->Text);
    s.problems = CheckTrendSet(s.set);
    for (const Problem& p : s.problems)
        if (p.Level == Severity::Refuse && !p.Record) Refuse(s.role + " " + ProblemText(p));
    // A record whose start day cannot be told cannot be chosen or passed over.
    for (const SetRecord& r : s.set.Records) {
        clsHSTHeader record = r.Record;  // StartTime() makes the instant on first use
        if (const std::string why = TimeRangeProblem("StartTime", record.StartTime()->Raw); !why.empty())
            Refuse(s.RecordWho(static_cast<std::size_t>(r.Index)) + ": " + why);
    }
    s.days.reserve(s.set.Records.size());
    for (std::size_t i = 0; i < s.set.Records.size(); ++i) {
        const auto& t = *s.set.Records[i].Record.StartTime();
        try {
            s.days.push_back(engine_detail::StartDayOf(t));
        } catch (const Error& e) {
            std::string raw;
            try {
                raw = t.FormattedString();
            } catch (const Error&) {
                raw = "?";
            }
            Refuse(s.RecordWho(i) + ": its start time " + raw + " is not a date (" + e.what() + ")");
        }
    }
    return s;
}

void CheckVersions(const InputSet& existing, const InputSet& backup) {
    if (existing.set.Master.Version != backup.set.Master.Version)
        Refuse("The masters have different trend versions (existing " + os::PathText(existing.Path()) + ": " +
               std::to_string(existing.set.Master.Version) + ", backup " + os::PathText(backup.Path()) + ": " +
               std::to_string(backup.set.Master.Version) + "); their records cannot be merged into one file.");
}

// The taken data file as it is now: the copy insists on this very file.
// Whether it is a sound data file is the validity rule's (ApplyValidity).
os::FileIdentity IdentityOf(const fs::path& path, const std::string& who) {
    return Naming(who + ": its data file " + os::PathText(path), [&] {
        BinaryFile f(path, BinaryFile::Mode::ReadOnly);
        const os::FileIdentity identity = f.Identity();
        f.Close();
        return identity;
    });
}

// The template record: a fresh record filled from the empty data file's header.
clsHSTHeader TemplateRecord(clsDataHeader& h) {
    clsHSTHeader r;
    r.Alignment1 = h.Alignment1;
    r.Alignment2 = h.Alignment2;
    r.Area = h.Area;
    r.DataLength = h.DataLength;
    r.EndEvNo = h.EndEvNo;
    r.EndTime()->Raw = TaggedValue::Integer(0);
    r.FilePointer = 0;
    r.FileType = h.FileType;
    r.Format = h.Format;
    r.HistoryType = h.HistoryType;
    r.ID = h.ID;
    r.LogName = h.LogName;
    r.Mode = h.Mode;
    r.Priv = h.Priv;
    r.SamplePeriod = h.SamplePeriod;
    r.SamplePeriodRaw = h.SamplePeriodRaw;
    r.sEngUnits = h.sEngUnits;
    r.StartEvNo = h.StartEvNo;
    r.StartTime()->Raw = TaggedValue::Integer(0);
    r.Version = h.Version;
    return r;
}

// The empty data file every template copy is made from.
struct Template {
    clsHSTHeader record;  // the record every template copy gets
    std::uint64_t size = 0;
    os::FileIdentity identity;  // the copies insist on this very file
    std::vector<Problem> problems;  // what the validity rule finds in it
};

Template CheckTemplate(const MergeRequest& req, const InputSet& existing, const InputSet& backup) {
    const fs::path& path = req.EmptyDataFile;
    const std::string who = "empty data file " + os::PathText(path);
    std::error_code ec;
    const auto st = fs::status(path, ec);
    if (!fs::exists(st)) Refuse(who + ": the file does not exist");
    if (!fs::is_regular_file(st)) Refuse(who + ": not a regular file");
    Template t;
    for (const InputSet* s : {&existing, &backup})
        if (fs::equivalent(path, s->Path(), ec))
            Refuse(who + ": this is the " + s->role + " itself, not an empty data file");
    if (KindOfTrendFile(path) == TrendFileKind::Master)
        Refuse(who + ": this is a master file, not a data file; choose an empty data file (*.000)");

    clsDataHeader header;
    Naming(who, [&] {
        BinaryFile file(path, BinaryFile::Mode::ReadOnly);
        std::string why;
        if (!header.LoadQuiet(file, &why)) Refuse(who + ": not a valid trend data file: " + why);
        t.identity = file.Identity();
        t.size = t.identity.Size;
        file.Close();
    });
    // Every template copy carries what is wrong with the template: refused
    // where the copies would be read wrongly, else a warning (Warn below).
    t.problems = CheckDataFile(path);
    for (const Problem& problem : t.problems)
        if (problem.Level == Severity::Refuse) Refuse("empty data file " + ProblemText(problem));
    if (header.Version != backup.set.Master.Version)
        Refuse(who + ": its Version is " + std::to_string(header.Version) + " but the backup master's is " +
               std::to_string(backup.set.Master.Version) + "; its copies would not match the merged set");
    t.record = TemplateRecord(header);
    return t;
}

// --- Choose records ------------------------------------------------------------

struct Chosen {
    std::vector<std::size_t> existing, backup;  // record indices, in master order
};

// Existing files from the break date on, backup files before it.
Chosen ChooseRecords(Planning& p, const InputSet& existing, const InputSet& backup) {
    Chosen c;
    for (std::size_t i = 0; i < existing.days.size(); ++i)
        if (CompareToBreakDate(p.breakDate, existing.days[i]) != 1) c.existing.push_back(i);
    for (std::size_t i = 0; i < backup.days.size(); ++i)
        if (CompareToBreakDate(p.breakDate, backup.days[i]) == 1) c.backup.push_back(i);
    MergePlan& plan = p.plan;
    const std::int16_t n = p.req.NumberOfFiles;
    plan.TakenExisting = static_cast<int>(c.existing.size());
    plan.TakenBackup = static_cast<int>(c.backup.size());
    const int taken = plan.TakenExisting + plan.TakenBackup;
    if (taken > n)
        Refuse("With " + p.breakText + " the merged set needs " + std::to_string(taken) + " data files (" +
               std::to_string(plan.TakenExisting) + " from the existing set, " + std::to_string(plan.TakenBackup) +
               " from the backup set), but " + std::to_string(n) + " were asked for; ask for at least " +
               std::to_string(taken) + " or choose another break date.");
    plan.TemplateCopies = n - taken;
    if (taken == 0)
        Refuse("With " + p.breakText + " no data file is taken from either set (the existing set has " +
               std::to_string(existing.days.size()) + " examined records, none on or after it; the backup set " +
               std::to_string(backup.days.size()) + ", none before it): there is nothing to name the " +
               std::to_string(plan.TemplateCopies) + " template copies after.");
    return c;
}

// --- The validity rule ---------------------------------------------------------

void Warn(MergePlan& plan, Problem p, const std::string& role, const std::string& why) {
    plan.Warnings.push_back("The " + role + " " + ProblemText(p) + why);
    plan.Problems.push_back(std::move(p));
}

// Every problem the validity rule finds in an input set: refused when the
// merged set would carry it and be read wrongly, else a plan warning (a
// record that is not taken leaves the merged set exactly readable).
void ApplyValidity(MergePlan& plan, const InputSet& set, const std::vector<std::size_t>& taken) {
    for (const Problem& p : set.problems) {
        const bool isTaken =
            p.Record && std::find(taken.begin(), taken.end(), static_cast<std::size_t>(*p.Record)) != taken.end();
        if (p.Record && !isTaken)
            Warn(plan, p, set.role, " (the record is not taken into the merged set)");
        else if (p.Level == Severity::Refuse)
            Refuse(set.role + " " + ProblemText(p));
        else
            Warn(plan, p, set.role, isTaken ? " (the merged set carries it unchanged)" : "");
    }
}

// Backup and existing master of different trends are refused unless asked for.
void CheckSameTrend(MergePlan& plan, const MergeRequest& req, const InputSet& existing, const InputSet& backup) {
    const std::string difference = TrendDifference(existing.set, backup.set);
    if (difference.empty()) return;
    const std::string text = "The existing master " + os::PathText(existing.Path()) + " and the backup master " +
                             os::PathText(backup.Path()) + " hold different trends: " + difference;
    if (!req.AllowDifferentTrends)
        Refuse(text + ".  Choose the two sets of one trend (or allow different trends on the command line).");
    plan.Warnings.push_back(text + "; merged as asked.");
}

// --- Name taken files ----------------------------------------------------------

std::string HostBaseName(const fs::path& file) {
    const std::string name = os::PathText(file.filename());
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(0, dot + 1);
}

}  // namespace

PlanEntry RenumberDataFile(const MergePlan& plan, std::string_view namedAfter, std::uint16_t nameWidth,
                           const std::string& who) {
    PlanEntry e;
    e.Number = static_cast<std::int16_t>(plan.Entries.size());
    e.NewName = NewRecordedName(namedAfter, e.Number);
    if (e.NewName.size() > nameWidth)
        Refuse(who + ": its new Name " + Quoted(e.NewName) + " is " + std::to_string(e.NewName.size()) +
               " bytes long and does not fit the record's Name field of " + std::to_string(nameWidth) + " bytes");
    const std::string targetName = HostFileName(BaseNamePart(namedAfter) + NumberText(e.Number));
    if (const std::string why = HostFileNameProblem(targetName); !why.empty())
        Refuse(who + ": the copy " + Quoted(targetName) + " cannot be made: " + why);
    e.Target = plan.OutputFolder / os::PathFromUtf8(targetName);
    return e;
}

namespace {

void AddTaken(MergePlan& plan, const InputSet& set, std::size_t i, SourceKind kind,
              const std::array<const InputSet*, 2>& masters) {
    const SetRecord& r = set.set.Records[i];
    const std::string who = set.RecordWho(i);
    if (const std::string why = engine_detail::RecordedNameProblem(r.Name); !why.empty()) Refuse(who + ": " + why);
    PlanEntry e = RenumberDataFile(plan, r.Name, set.NameWidth(), who);
    e.Kind = kind;
    e.SourceIndex = static_cast<int>(i);
    if (!r.DataFile) Refuse(who + ": " + r.DataFileProblem);
    e.Source = *r.DataFile;
    for (const InputSet* master : masters)
        if (std::error_code same; fs::equivalent(e.Source, master->Path(), same))
            Refuse(who + ": its data file " + os::PathText(e.Source) + " is the " + master->role + " itself");
    e.SourceIdentity = IdentityOf(e.Source, who);
    e.SourceSize = e.SourceIdentity.Size;
    e.StartDay = Iso(set.days[i]);
    e.Record = r.Record;
    e.Record.Name = e.NewName;
    plan.Entries.push_back(std::move(e));
}

// Returns the Name of the last taken record: the template copies are named after it.
std::string NameTakenFiles(MergePlan& plan, const Chosen& chosen, const InputSet& existing, const InputSet& backup) {
    const std::array<const InputSet*, 2> masters{&existing, &backup};
    for (const std::size_t i : chosen.existing) AddTaken(plan, existing, i, FromExisting, masters);
    for (const std::size_t i : chosen.backup) AddTaken(plan, backup, i, FromBackup, masters);
    return chosen.backup.empty() ? existing.set.Records[chosen.existing.back()].Name
                                 : backup.set.Records[chosen.backup.back()].Name;
}

// --- Name template copies ------------------------------------------------------

void NameTemplateCopies(Planning& p, const std::string& lastTaken, const Template& t, const InputSet& backup) {
    MergePlan& plan = p.plan;
    for (int k = 0; k < plan.TemplateCopies; ++k) {
        const auto number = static_cast<std::int16_t>(plan.Entries.size());
        const std::string who = "template copy " + NumberText(number) + " (named after " + Quoted(lastTaken) + ")";
        PlanEntry e = RenumberDataFile(plan, lastTaken, backup.NameWidth(), who);
        e.Kind = FromTemplate;
        e.Source = p.req.EmptyDataFile;
        e.SourceSize = t.size;
        e.SourceIdentity = t.identity;
        e.Record = t.record;
        // Each record owns its own instants, both a time of zero.
        e.Record.SetStartTime(std::make_shared<clsTimes>());
        e.Record.SetEndTime(std::make_shared<clsTimes>());
        e.Record.StartTime()->Raw = TaggedValue::Integer(0);
        e.Record.EndTime()->Raw = TaggedValue::Integer(0);
        e.Record.Name = e.NewName;
        plan.Entries.push_back(std::move(e));
    }
}

// --- Free space ----------------------------------------------------------------

void CheckFreeSpace(const MergePlan& plan, std::uint64_t available) {
    if (available < plan.BytesToWrite)
        Refuse("The output folder " + os::PathText(plan.OutputFolder) + " has " + std::to_string(available) +
               " bytes free, the merged set needs " + std::to_string(plan.BytesToWrite) + ".");
}

// --- Warnings ------------------------------------------------------------------

void AddWarnings(MergePlan& plan, const InputSet& existing, const InputSet& backup, std::int16_t n) {
    auto& w = plan.Warnings;
    const auto& e = existing.set.Master;
    const auto& b = backup.set.Master;
    if (RecordedName(e.ID) != RecordedName(b.ID))
        w.push_back("The masters' IDs differ (existing " + Quoted(RecordedName(e.ID)) + ", backup " +
                    Quoted(RecordedName(b.ID)) + "): they may not hold the same trend.");
    if (!EqualsNoCase(HostBaseName(existing.Path()), HostBaseName(backup.Path())))
        w.push_back("The master files have different base names (existing " +
                    Quoted(os::PathText(existing.Path().filename())) + ", backup " +
                    Quoted(os::PathText(backup.Path().filename())) + "): they may not hold the same trend.");

    std::vector<std::string> folders;
    for (const auto& entry : plan.Entries) {
        if (entry.Kind == FromTemplate) continue;
        const std::string folder = FolderPart(entry.NewName);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    }
    if (folders.size() > 1) {
        std::string list;
        for (const auto& f : folders) list += (list.empty() ? "" : ", ") + Quoted(f);
        w.push_back("The taken data files record different folders (" + list +
                    "); each new Name keeps the folder its record named.");
    }

    if (e.AddOn > 0)  // the merged master holds no entries after its nFiles records
        plan.Problems.push_back({Severity::Warn, plan.MasterTarget, std::nullopt, "AddOn",
                                 "AddOn " + std::to_string(e.AddOn) + " counts entries the merged master does not hold"});
    if (e.AddOn != 0)
        w.push_back("The existing master has AddOn " + std::to_string(e.AddOn) +
                    ": its entries after nFiles were examined as well, and the merged master carries AddOn " +
                    std::to_string(e.AddOn) + " beside its " + std::to_string(n) + " records.");
    for (const auto& f : existing.set.Faults)
        if (f.What == SetFault::Kind::AddOnPastEnd)
            w.push_back("The existing master " + os::PathText(existing.Path()) + ": " + f.Text +
                        "; the missing entries are not examined.");
    if (b.AddOn != 0)
        w.push_back("The backup master has AddOn " + std::to_string(b.AddOn) +
                    ": only its first nFiles records are read.");

    std::string where;
    if (e.NextFile >= 0 && e.NextFile < static_cast<std::int16_t>(plan.Entries.size())) {
        const auto& entry = plan.Entries[static_cast<std::size_t>(e.NextFile)];
        where = "file " + NumberText(entry.Number) +
                (entry.Kind == FromTemplate ? std::string(", a template copy")
                                            : std::string(entry.Kind == FromExisting ? ", existing" : ", backup") +
                                                  " record " + std::to_string(entry.SourceIndex) + " starting " +
                                                  entry.StartDay);
    } else {
        where = "no file of the merged set (it has files 000 to " + NumberText(static_cast<std::int16_t>(n - 1)) +
                ")";
    }
    w.push_back("The merged master carries NextFile " + std::to_string(e.NextFile) +
                " from the existing master; it now points at " + where + ".");
}

// --- The steps in order ----------------------------------------------------------

void Plan(Planning& p) {
    MergePlan& plan = p.plan;
    const std::int16_t n = p.req.NumberOfFiles;
    if (n < 1) Refuse("The number of data files must be at least 1 (it is " + std::to_string(n) + ").");

    plan.OutputFolder = p.req.OutputFolder;

    // The existing set: every entry it holds, its AddOn ones included.
    const InputSet existing = ReadInput(p.req.ExistingFile, "existing master", RecordCount::WithAddOn, p.options.Listings);
    const InputSet backup = ReadInput(p.req.BackupFile, "backup master", RecordCount::NFilesOnly, p.options.Listings);
    CheckVersions(existing, backup);
    plan.ExistingMaster = existing.set.Master;
    plan.BackupMaster = backup.set.Master;
    const Template tmpl = CheckTemplate(p.req, existing, backup);

    const Chosen chosen = ChooseRecords(p, existing, backup);
    const std::string masterName = HostBaseName(backup.Path()) + "HST";
    if (const std::string why = HostFileNameProblem(masterName); !why.empty())
        Refuse("The merged master file " + Quoted(masterName) + " cannot be made: " + why);
    plan.MasterTarget = plan.OutputFolder / os::PathFromUtf8(masterName);
    const std::string lastTaken = NameTakenFiles(plan, chosen, existing, backup);
    ApplyValidity(plan, existing, chosen.existing);
    ApplyValidity(plan, backup, chosen.backup);
    if (plan.TemplateCopies > 0)
        for (const Problem& problem : tmpl.problems)
            Warn(plan, problem, "empty data file", " (each template copy carries it)");
    CheckSameTrend(plan, p.req, existing, backup);
    NameTemplateCopies(p, lastTaken, tmpl, backup);

    plan.Header = existing.set.Master;
    plan.Header.nFiles = n;
    plan.Header.History = n;
    plan.BytesToWrite = TrendDefs::kMasterLength + std::uint64_t{backup.RecordLength()} * plan.Entries.size();
    for (const auto& e : plan.Entries) plan.BytesToWrite += e.SourceSize;

    engine_detail::RefuseNumbersPastThreeDigits(plan);
    if (p.options.FreeSpace) CheckFreeSpace(plan, *p.options.FreeSpace);
    AddWarnings(plan, existing, backup, n);
    engine_detail::WarnSameMasterTwice(plan, existing.Path(), backup.Path());
    engine_detail::WarnTemplateWithSamples(plan, p.req.EmptyDataFile);
}

}  // namespace

MergePlan PlanMerge(const MergeRequest& req, const PlanOptions& options) {
    const auto breakDate = ParseBreakDate(req.BrakeDate);
    if (!breakDate)
        Refuse("The break date " + Quoted(req.BrakeDate) +
               " is not a date; type it as month-day-year, for example 09-17-2004 (or 2004-09-17).");
    // Refusals that depend on the date name it as it was read ("05-09-2004" is 9 May).
    Planning p{req, options, *breakDate,
               "the break date " + Iso(*breakDate) + " (typed " + Quoted(req.BrakeDate) + ")", {}};
    p.plan.BreakDateText = req.BrakeDate;
    p.plan.BreakDate = *breakDate;
    Plan(p);
    return std::move(p.plan);
}

}  // namespace jw
