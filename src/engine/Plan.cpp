// Planning a merge: reads both masters and the template, chooses the data
// files by the break date, names every output file and checks all of it
// before anything is written.  Reads only.
#include <algorithm>
#include <array>
#include <limits>
#include <set>
#include <system_error>

#include "engine/EngineDetail.h"
#include "engine/TrendTools.h"
#include "formats/BinaryFile.h"
#include "formats/TrendDefs.h"
#include "formats/clsDataHeader.h"
#include "time/DateTimeTools.h"
#include "base/Errors.h"

namespace jw {

namespace {

namespace fs = std::filesystem;
using engine_detail::Quoted;

[[noreturn]] void Refuse(const std::string& text) { Fail(ErrorKind::Refused, text); }

std::string Iso(std::chrono::year_month_day d) { return DateTimeTools::FormatDate(d); }

// One input master as read, with the records the merge looks at.
struct InputSet {
    std::string role;  // "existing master" or "backup master"
    fs::path path;
    clsHSTMaster master;
    std::vector<clsHSTHeader> records;  // entries 0.. that are examined
    std::vector<std::chrono::year_month_day> days;
    std::uint16_t recordLength = 0;
    std::uint16_t nameWidth = 0;

    std::string Who() const { return role + " " + path.string(); }
    std::string RecordWho(std::size_t i) const {
        return Who() + ", record " + std::to_string(i) + " (Name " + Quoted(RecordedName(records[i].Name)) + ")";
    }
};

// Loads a master and the records the merge examines: its first nFiles
// records, which the file must hold in full, and with withAddOn the AddOn
// entries after them as far as the file holds them.
InputSet LoadSet(const std::string& pathText, std::string role, bool withAddOn) {
    InputSet s;
    s.role = std::move(role);
    s.path = pathText;
    try {
        BinaryFile file(s.path, BinaryFile::Mode::ReadOnly);
        s.master.Load(file);
        const auto& m = s.master;
        const auto* layout = TrendDefs::HSTHeaderLayout(m.Version);
        if (!layout)
            Refuse(s.Who() + ": Version " + std::to_string(m.Version) +
                   " is not a trend version (0 to 6); its records cannot be read");
        if (m.nFiles < 0) Refuse(s.Who() + ": nFiles is negative (" + std::to_string(m.nFiles) + ")");
        if (m.AddOn < 0) Refuse(s.Who() + ": AddOn is negative (" + std::to_string(m.AddOn) + ")");
        // The entries examined count AddOn + nFiles, a 16-bit number like every file count.
        if (withAddOn && std::int32_t{m.nFiles} + m.AddOn > std::numeric_limits<std::int16_t>::max())
            Fail(ErrorKind::Overflow, "AddOn + nFiles (" + std::to_string(m.AddOn) + " + " + std::to_string(m.nFiles) +
                                          ") overflows the 16-bit file count");  // the catch below names the master
        s.recordLength = layout->Length;
        s.nameWidth = layout->BlockOffset;

        const std::uint64_t length = file.Length();
        const std::uint64_t held = (length - TrendDefs::kMasterLength) / s.recordLength;
        if (held < static_cast<std::uint64_t>(m.nFiles))
            Refuse(s.Who() + ": the file is truncated: nFiles is " + std::to_string(m.nFiles) + " but its " +
                   std::to_string(length) + " bytes hold only " + std::to_string(held) + " whole records of " +
                   std::to_string(s.recordLength) + " bytes (" +
                   std::to_string(TrendDefs::kMasterLength + std::uint64_t{s.recordLength} * m.nFiles) +
                   " bytes needed)");
        const std::uint64_t wanted = withAddOn ? static_cast<std::uint64_t>(m.nFiles) + m.AddOn : m.nFiles;
        const std::uint64_t count = std::min(wanted, held);
        file.Seek(TrendDefs::kMasterLength);
        s.records.resize(count);
        for (auto& r : s.records) r.Load(file, m);
        file.Close();
    } catch (const Error& e) {
        if (e.kind() == ErrorKind::Refused) throw;
        Fail(e.kind(), s.Who() + ": " + e.what());
    }

    s.days.reserve(s.records.size());
    for (std::size_t i = 0; i < s.records.size(); ++i) {
        const auto& t = *s.records[i].StartTime();
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

// A taken data file is copied whole, but a file that is no trend data file
// (cut inside its header, an unknown version) would make the merged set
// unreadable at that file: it is refused like a bad record.  Only the
// version field and the length are looked at; a data file may be of any size.
void CheckDataFile(const fs::path& path, const std::string& who) {
    const std::string file = "its data file " + path.string();
    try {
        BinaryFile f(path, BinaryFile::Mode::ReadOnly);
        const std::uint64_t length = f.Length();
        std::array<std::uint8_t, 2> v{};
        if (f.ReadAt(TrendDefs::kDataVersionOffset, v) != v.size())
            Refuse(who + ": " + file + " is cut inside its header: it holds " + std::to_string(length) +
                   " bytes, too few for the trend version at offset " +
                   std::to_string(TrendDefs::kDataVersionOffset));
        const auto version = static_cast<std::int16_t>(v[0] | (v[1] << 8));
        const auto* layout = TrendDefs::DataHeaderLayout(version);
        if (!layout)
            Refuse(who + ": " + file + " is not a trend data file: its version is " + std::to_string(version) +
                   " (0 to 6 are known)");
        if (length < layout->Length)
            Refuse(who + ": " + file + " is cut inside its header: it holds " + std::to_string(length) +
                   " bytes, a version " + std::to_string(version) + " header needs " + std::to_string(layout->Length));
        f.Close();
    } catch (const Error& e) {
        if (e.kind() == ErrorKind::Refused) throw;
        Fail(e.kind(), who + ": " + file + ": " + e.what());
    }
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

// Checks the empty data file and returns the record every template copy gets.
clsHSTHeader CheckTemplate(const MergeRequest& req, const InputSet& existing, const InputSet& backup,
                           std::uint64_t& size) {
    const fs::path path = req.EmptyDataFile;
    const std::string who = "empty data file " + path.string();
    std::error_code ec;
    const auto st = fs::status(path, ec);
    if (!fs::exists(st)) Refuse(who + ": the file does not exist");
    if (!fs::is_regular_file(st)) Refuse(who + ": not a regular file");
    for (const InputSet* s : {&existing, &backup})
        if (fs::equivalent(path, s->path, ec))
            Refuse(who + ": this is the " + s->role + " itself, not an empty data file");
    if (engine_detail::EndsWithNoCase(path.filename().string(), "HST"))
        Refuse(who + ": its name ends in \"HST\", the name of a master file; choose an empty data file (*.000)");

    clsDataHeader header;
    try {
        BinaryFile file(path, BinaryFile::Mode::ReadOnly);
        std::string why;
        if (!header.LoadQuiet(file, &why)) Refuse(who + ": not a valid trend data file: " + why);
        size = file.Length();
        file.Close();
    } catch (const Error& e) {
        if (e.kind() == ErrorKind::Refused) throw;
        Fail(e.kind(), who + ": " + e.what());
    }
    if (header.Version != backup.master.Version)
        Refuse(who + ": its Version is " + std::to_string(header.Version) + " but the backup master's is " +
               std::to_string(backup.master.Version) + "; its copies would not match the merged set");
    return TemplateRecord(header);
}

std::string HostBaseName(const fs::path& file) {
    const std::string name = file.filename().string();
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(0, dot + 1);
}

std::string Trimmed(const std::string& field) { return RecordedName(field); }

void AddWarnings(MergePlan& plan, const InputSet& existing, const InputSet& backup, std::int16_t n) {
    auto& w = plan.Warnings;
    const auto& e = existing.master;
    const auto& b = backup.master;
    if (Trimmed(e.Title) != Trimmed(b.Title))
        w.push_back("The masters' titles differ (existing " + Quoted(Trimmed(e.Title)) + ", backup " +
                    Quoted(Trimmed(b.Title)) + "): they may not hold the same trend.");
    if (Trimmed(e.ID) != Trimmed(b.ID))
        w.push_back("The masters' IDs differ (existing " + Quoted(Trimmed(e.ID)) + ", backup " +
                    Quoted(Trimmed(b.ID)) + "): they may not hold the same trend.");
    if (!engine_detail::EqualsNoCase(HostBaseName(existing.path), HostBaseName(backup.path)))
        w.push_back("The master files have different base names (existing " +
                    Quoted(existing.path.filename().string()) + ", backup " +
                    Quoted(backup.path.filename().string()) + "): they may not hold the same trend.");

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

    if (e.AddOn != 0)
        w.push_back("The existing master has AddOn " + std::to_string(e.AddOn) +
                    ": its entries after nFiles were examined as well, and the merged master carries AddOn " +
                    std::to_string(e.AddOn) + " beside its " + std::to_string(n) + " records.");
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

}  // namespace

namespace {

MergePlan Plan(const MergeRequest& req, OutputFolderState folder, std::chrono::year_month_day breakDate,
               const std::string& breakText);

}  // namespace

MergePlan PlanMerge(const MergeRequest& req, OutputFolderState folder) {
    const auto breakDate = ParseBreakDate(req.BrakeDate);
    if (!breakDate)
        Refuse("The break date " + Quoted(req.BrakeDate) +
               " is not a date; type it as month-day-year, for example 09-17-2004 (or 2004-09-17).");
    const std::string breakText = "the break date " + Iso(*breakDate) + " (typed " + Quoted(req.BrakeDate) + ")";
    try {
        return Plan(req, folder, *breakDate, breakText);
    } catch (const Error& e) {
        // "05-09-2004" means 9 May: every refusal shows how the date was read.
        const std::string text = e.what();
        if (text.find(Iso(*breakDate)) != std::string::npos) throw;
        std::string withDate = text;
        while (!withDate.empty() && (withDate.back() == '.' || withDate.back() == ' ')) withDate.pop_back();
        Fail(e.kind(), withDate + " [" + breakText + "].");
    }
}

namespace {

MergePlan Plan(const MergeRequest& req, OutputFolderState folder, std::chrono::year_month_day breakDate,
               const std::string& breakText) {
    MergePlan plan;
    plan.BreakDateText = req.BrakeDate;
    plan.BreakDate = breakDate;

    const std::int16_t n = req.NumberOfFiles;
    if (n < 1) Refuse("The number of data files must be at least 1 (it is " + std::to_string(n) + ").");

    plan.OutputFolder = req.OutputFolder;
    {
        std::error_code ec;
        const auto st = fs::symlink_status(plan.OutputFolder, ec);
        if (folder == OutputFolderState::Created) {
            if (!fs::exists(st)) Refuse("The output folder " + plan.OutputFolder.string() + " does not exist.");
            if (!fs::is_directory(st)) Refuse("The output folder " + plan.OutputFolder.string() + " is not a folder.");
        } else {
            if (fs::exists(st))
                Refuse("The output folder " + plan.OutputFolder.string() +
                       " already exists; a merge writes into a new folder only.");
            const auto parent = fs::status(plan.OutputFolder.parent_path(), ec);
            if (!fs::is_directory(parent))
                Refuse("The output folder's parent " + plan.OutputFolder.parent_path().string() +
                       " does not exist or is not a folder.");
        }
    }

    // The existing set: every entry it holds, its AddOn ones included.
    InputSet existing = LoadSet(req.ExistingFile, "existing master", true);
    InputSet backup = LoadSet(req.BackupFile, "backup master", false);
    if (existing.master.Version != backup.master.Version)
        Refuse("The masters have different trend versions (existing " + existing.path.string() + ": " +
               std::to_string(existing.master.Version) + ", backup " + backup.path.string() + ": " +
               std::to_string(backup.master.Version) + "); their records cannot be merged into one file.");
    plan.ExistingMaster = existing.master;
    plan.BackupMaster = backup.master;

    std::uint64_t templateSize = 0;
    const clsHSTHeader templateRecord = CheckTemplate(req, existing, backup, templateSize);

    // Choose: existing files from the break date on, backup files before it.
    std::vector<std::size_t> takenExisting, takenBackup;
    for (std::size_t i = 0; i < existing.records.size(); ++i)
        if (existing.days[i] >= breakDate) takenExisting.push_back(i);
    for (std::size_t i = 0; i < backup.records.size(); ++i)
        if (backup.days[i] < breakDate) takenBackup.push_back(i);
    plan.TakenExisting = static_cast<int>(takenExisting.size());
    plan.TakenBackup = static_cast<int>(takenBackup.size());
    const int taken = plan.TakenExisting + plan.TakenBackup;
    if (taken > n)
        Refuse("With " + breakText + " the merged set needs " + std::to_string(taken) + " data files (" +
               std::to_string(plan.TakenExisting) + " from the existing set, " + std::to_string(plan.TakenBackup) +
               " from the backup set), but " + std::to_string(n) +
               " were asked for; ask for at least " + std::to_string(taken) + " or choose another break date.");
    plan.TemplateCopies = n - taken;
    if (taken == 0)
        Refuse("With " + breakText + " no data file is taken from either set (the existing set has " +
               std::to_string(existing.records.size()) + " examined records, none on or after it; the backup set " +
               std::to_string(backup.records.size()) + ", none before it): there is nothing to name the " +
               std::to_string(plan.TemplateCopies) + " template copies after.");

    const std::string backupBase = HostBaseName(backup.path);
    plan.MasterTarget = plan.OutputFolder / (backupBase + "HST");

    // Name every output file.
    engine_detail::FolderListing listing;
    std::string lastTaken;
    std::uint64_t bytes = 0;
    auto addTaken = [&](InputSet& set, std::size_t i, SourceKind kind) {
        const std::int16_t number = static_cast<std::int16_t>(plan.Entries.size());
        const std::string name = RecordedName(set.records[i].Name);
        const std::string who = set.RecordWho(i);
        if (const std::string why = engine_detail::RecordedNameProblem(name); !why.empty()) Refuse(who + ": " + why);
        PlanEntry e;
        e.Number = number;
        e.Kind = kind;
        e.SourceIndex = static_cast<int>(i);
        e.NewName = NewRecordedName(name, number);
        if (e.NewName.size() > set.nameWidth)
            Refuse(who + ": its new Name " + Quoted(e.NewName) + " is " + std::to_string(e.NewName.size()) +
                   " bytes long and does not fit the record's Name field of " + std::to_string(set.nameWidth) +
                   " bytes");
        const std::string targetName = BaseNamePart(name) + NumberText(number);
        if (const std::string why = engine_detail::HostFileNameProblem(targetName); !why.empty())
            Refuse(who + ": the copy " + Quoted(targetName) + " cannot be made: " + why);
        e.Target = plan.OutputFolder / targetName;
        e.Source = engine_detail::FindSourceFile(engine_detail::HostFolderOf(set.path),
                                                 std::string(engine_detail::WholeFileName(name)), who, &listing);
        for (const InputSet* master : {&existing, &backup})
            if (std::error_code same; fs::equivalent(e.Source, master->path, same))
                Refuse(who + ": its data file " + e.Source.string() + " is the " + master->role + " itself");
        CheckDataFile(e.Source, who);
        std::error_code ec;
        e.SourceSize = fs::file_size(e.Source, ec);
        if (ec) Refuse(who + ": cannot read the size of " + e.Source.string() + ": " + ec.message());
        e.StartDay = Iso(set.days[i]);
        e.Record = set.records[i];
        e.Record.Name = e.NewName;
        lastTaken = name;
        bytes += e.SourceSize;
        plan.Entries.push_back(std::move(e));
    };
    for (const std::size_t i : takenExisting) addTaken(existing, i, FromExisting);
    for (const std::size_t i : takenBackup) addTaken(backup, i, FromBackup);

    for (int k = 0; k < plan.TemplateCopies; ++k) {
        const std::int16_t number = static_cast<std::int16_t>(plan.Entries.size());
        PlanEntry e;
        e.Number = number;
        e.Kind = FromTemplate;
        e.Source = req.EmptyDataFile;
        e.SourceSize = templateSize;
        e.NewName = NewRecordedName(lastTaken, number);
        const std::string who = "template copy " + NumberText(number) + " (named after " + Quoted(lastTaken) + ")";
        if (e.NewName.size() > backup.nameWidth)
            Refuse(who + ": its new Name " + Quoted(e.NewName) + " does not fit the record's Name field of " +
                   std::to_string(backup.nameWidth) + " bytes");
        const std::string targetName = BaseNamePart(lastTaken) + NumberText(number);
        if (const std::string why = engine_detail::HostFileNameProblem(targetName); !why.empty())
            Refuse(who + ": the copy " + Quoted(targetName) + " cannot be made: " + why);
        e.Target = plan.OutputFolder / targetName;
        e.Record = templateRecord;
        // Each record owns its own instants, both a time of zero.
        e.Record.SetStartTime(std::make_shared<clsTimes>());
        e.Record.SetEndTime(std::make_shared<clsTimes>());
        e.Record.StartTime()->Raw = TaggedValue::Integer(0);
        e.Record.EndTime()->Raw = TaggedValue::Integer(0);
        e.Record.Name = e.NewName;
        bytes += templateSize;
        plan.Entries.push_back(std::move(e));
    }

    plan.Header = existing.master;
    plan.Header.nFiles = n;
    plan.Header.History = n;
    plan.BytesToWrite = bytes + TrendDefs::kMasterLength + std::uint64_t{backup.recordLength} * plan.Entries.size();

    // Nothing in the output folder is ever replaced.
    auto mustBeFree = [&](const fs::path& p) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(p, ec)))
            Refuse("The output folder already holds " + p.string() + "; a merge never replaces a file.");
    };
    mustBeFree(plan.MasterTarget);
    mustBeFree(PartialMasterPath(plan));
    for (const auto& e : plan.Entries) mustBeFree(e.Target);

    {
        std::error_code ec;
        const auto space = fs::space(
            folder == OutputFolderState::Created ? plan.OutputFolder : plan.OutputFolder.parent_path(), ec);
        if (ec)
            Fail(ErrorKind::InputOutput,
                 "cannot read the free space of the output folder " + plan.OutputFolder.string() + ": " + ec.message());
        if (space.available < plan.BytesToWrite)
            Refuse("The output folder " + plan.OutputFolder.string() + " has " + std::to_string(space.available) +
                   " bytes free, the merged set needs " + std::to_string(plan.BytesToWrite) + ".");
    }

    AddWarnings(plan, existing, backup, n);
    return plan;
}

}  // namespace

}  // namespace jw
