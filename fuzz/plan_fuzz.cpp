// The planning step of a merge over a fuzzed pair of master files (and a
// fuzzed empty data file), in a fresh temporary folder per input; a plan
// that is accepted is also written when the input asks for it.
//
// Input:
//   byte 0     layout flags (see kFlag...)
//   byte 1     data file flags (see kData...)
//   bytes 2-3  NumberOfFiles, int16 little-endian
//   byte 4     length L of the break date text (at most 32), then L bytes
//   then three blobs, each a little-endian uint16 length and its bytes:
//   the existing master, the backup master, the empty data file.
// The harness gives every record name the masters hold (as far as a host can
// hold it) a small data file in its set's folder, so that plans get through.
//
// A dry run plans for an output folder that is not made.
//
// Properties:
//  - a refused plan is a jw::Error and leaves every file and folder under the
//    temporary root as it was: nothing written, nothing left behind;
//  - an accepted plan reads only: again nothing under the root changes;
//  - it has NumberOfFiles entries numbered 0, 1, ..., taken ones first, and
//    TakenExisting + TakenBackup + TemplateCopies of them;
//  - every planned target and the master lie directly inside the output
//    folder, under distinct names that are neither "." nor "..";
//  - every source is a regular file in its set's folder, or the template,
//    never a master, and a trend data file with a whole header;
//  - existing files start on or after the break date, backup files before;
//  - every new Name fits its record's Name field and is its record's Name;
//  - writing the plan creates only the planned files in the output folder,
//    copies each source byte for byte, leaves every input alone, and gives a
//    master whose nFiles records carry the planned names; a write that fails
//    leaves no master file under its final or its temporary name.
#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "engine/EngineDetail.h"
#include "engine/TrendTools.h"
#include "formats/BinaryFile.h"
#include "formats/clsHSTHeader.h"
#include "formats/clsHSTMaster.h"
#include "time/DateTimeTools.h"
#include "time/Errors.h"

namespace {

using namespace fuzzsupport;
namespace ed = jw::engine_detail;

constexpr std::uint8_t kFlagWrite = 1;             // write an accepted plan
constexpr std::uint8_t kFlagBackupNoDot = 2;        // backup master named "BACKUP" (no ".")
constexpr std::uint8_t kFlagOutputInBackup = 4;     // output folder inside the backup set's folder
constexpr std::uint8_t kFlagSameFolder = 8;         // both masters in one folder
constexpr std::uint8_t kFlagTemplateIsMaster = 16;  // the template path is the existing master
constexpr std::uint8_t kFlagTemplateBeside = 32;    // the template lies in the existing set's folder
constexpr std::uint8_t kFlagDryRun = 64;            // plan for an output folder not made yet

constexpr std::uint8_t kDataNoExisting = 1;  // no data files for the existing set
constexpr std::uint8_t kDataNoBackup = 2;    // ... nor for the backup set
constexpr std::uint8_t kDataLowerCase = 4;   // data files named in lower case
constexpr std::uint8_t kDataFirstIsFolder = 8;  // the first data file of each set is a folder
constexpr std::uint8_t kDataFirstIsLink = 16;   // ... or a symbolic link to the template
constexpr std::uint8_t kDataCaseTwins = 32;     // also an upper-case twin of every lower-case name

constexpr std::size_t kMaxRecords = 40;

struct Reader {
    const std::string& in;
    std::size_t pos = 0;
    std::uint8_t Byte() { return pos < in.size() ? static_cast<std::uint8_t>(in[pos++]) : 0; }
    std::string Bytes(std::size_t n) {
        n = std::min(n, in.size() - std::min(pos, in.size()));
        std::string s = in.substr(std::min(pos, in.size()), n);
        pos += n;
        return s;
    }
    std::string Blob() {
        const std::size_t n = Byte() | (static_cast<std::size_t>(Byte()) << 8);
        return Bytes(n);
    }
};

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// The file names the records of a master name, as far as the file holds
// them, and the master's version.
std::vector<std::string> RecordedFiles(const fs::path& master, int& version) {
    std::vector<std::string> names;
    version = 6;
    try {
        jw::BinaryFile f(master, jw::BinaryFile::Mode::ReadOnly);
        jw::clsHSTMaster m;
        m.Load(f);
        if (MasterRecordLength(m.Version) == 0) return names;
        version = m.Version;
        for (std::size_t i = 0; i < kMaxRecords; ++i) {
            jw::clsHSTHeader r;
            r.Load(f, m);
            names.push_back(std::string(ed::WholeFileName(jw::RecordedName(r.Name))));
        }
    } catch (const jw::Error&) {
        // The file ends: these are all.
    }
    return names;
}

// A data file: a header of the set's version (zeros but for the version)
// and a few bytes that tell the files apart.
std::string DataFile(int version, const std::string& marker) {
    std::string bytes(static_cast<std::size_t>(DataHeaderLength(version)), '\0');
    bytes[kDataVersionOffset] = static_cast<char>(version);
    return bytes + marker;
}

void MakeDataFiles(const fs::path& folder, const fs::path& master, std::uint8_t flags, const fs::path& templ) {
    int version = 6;
    const std::vector<std::string> names = RecordedFiles(master, version);
    bool first = true;
    for (const std::string& recorded : names) {
        if (!ed::HostFileNameProblem(recorded).empty()) continue;
        std::vector<std::string> variants{(flags & kDataLowerCase) ? Lower(recorded) : recorded};
        if ((flags & kDataLowerCase) && (flags & kDataCaseTwins)) variants.push_back(Upper(recorded));
        for (const std::string& name : variants) {
            const fs::path p = folder / name;
            std::error_code ec;
            if (fs::exists(fs::symlink_status(p, ec))) continue;
            if (first && (flags & kDataFirstIsFolder)) {
                fs::create_directory(p, ec);
            } else if (first && (flags & kDataFirstIsLink)) {
                fs::create_symlink(templ, p, ec);
            } else {
                WriteBytes(p, DataFile(version, name + " of " + folder.filename().string()));
            }
            first = false;
        }
    }
}

bool Inside(const fs::path& p, const fs::path& folder) {
    const fs::path n = p.lexically_normal();
    return n.parent_path() == folder.lexically_normal() && n.filename() != "." && n.filename() != ".." &&
           !n.filename().empty();
}

void CheckPlan(const jw::MergeRequest& req, const jw::MergePlan& plan, const fs::path& existingFolder,
               const fs::path& backupFolder) {
    const fs::path out = req.OutputFolder;
    const int n = req.NumberOfFiles;
    FUZZ_CHECK(n >= 1, "a plan needs at least one file");
    FUZZ_CHECK(plan.Entries.size() == static_cast<std::size_t>(n), "one entry per requested file");
    FUZZ_CHECK(plan.TakenExisting + plan.TakenBackup + plan.TemplateCopies == n, "entries add up");
    FUZZ_CHECK(plan.TakenExisting + plan.TakenBackup >= 1, "something is taken to name template copies after");
    FUZZ_CHECK(Inside(plan.MasterTarget, out), "the master lies inside the output folder: " + plan.MasterTarget.string());
    FUZZ_CHECK(fs::path(plan.OutputFolder).lexically_normal() == out.lexically_normal(), "plan's output folder");
    const std::string breakDay = jw::DateTimeTools::FormatDate(plan.BreakDate);
    FUZZ_CHECK(jw::ParseBreakDate(req.BrakeDate) == plan.BreakDate, "the break date as read");

    std::set<std::string> targets{plan.MasterTarget.filename().string(), jw::PartialMasterPath(plan).filename().string()};
    FUZZ_CHECK(targets.size() == 2, "master and its temporary name differ");
    const std::size_t nameWidth = MasterRecordLength(plan.Header.Version) == 240 || plan.Header.Version == 5 ? 144 : 272;
    for (std::size_t i = 0; i < plan.Entries.size(); ++i) {
        const jw::PlanEntry& e = plan.Entries[i];
        const std::string who = "entry " + std::to_string(i) + " target " + Show(e.Target.string());
        FUZZ_CHECK(e.Number == static_cast<std::int16_t>(i), who + ": numbered in order");
        FUZZ_CHECK(Inside(e.Target, out), who + ": lies directly inside the output folder");
        FUZZ_CHECK(targets.insert(e.Target.filename().string()).second, who + ": a name of its own");
        FUZZ_CHECK(e.NewName.size() <= nameWidth && e.Record.Name == e.NewName, who + ": new Name fits and is recorded");
        FUZZ_CHECK(jw::FolderPart(e.NewName).size() < e.NewName.size(), who + ": new Name has a folder");
        const bool taken = i < static_cast<std::size_t>(plan.TakenExisting + plan.TakenBackup);
        std::error_code ec;
        switch (e.Kind) {
            case jw::FromExisting:
                FUZZ_CHECK(taken && i < static_cast<std::size_t>(plan.TakenExisting), who + ": existing files first");
                FUZZ_CHECK(e.Source.parent_path().lexically_normal() == existingFolder.lexically_normal(),
                           who + ": source in the existing set's folder");
                FUZZ_CHECK(e.StartDay >= breakDay, who + ": existing file starts on or after the break date");
                break;
            case jw::FromBackup:
                FUZZ_CHECK(taken && i >= static_cast<std::size_t>(plan.TakenExisting), who + ": backup files next");
                FUZZ_CHECK(e.Source.parent_path().lexically_normal() == backupFolder.lexically_normal(),
                           who + ": source in the backup set's folder");
                FUZZ_CHECK(e.StartDay < breakDay, who + ": backup file starts before the break date");
                break;
            case jw::FromTemplate:
                FUZZ_CHECK(!taken && e.StartDay.empty(), who + ": template copies last");
                FUZZ_CHECK(e.Source == fs::path(req.EmptyDataFile), who + ": copied from the template");
                break;
            default: Violated("a known source kind", __FILE__, __LINE__, who);
        }
        FUZZ_CHECK(fs::is_regular_file(fs::symlink_status(e.Source, ec)), who + ": source is a regular file");
        FUZZ_CHECK(!fs::equivalent(e.Source, req.ExistingFile, ec) && !fs::equivalent(e.Source, req.BackupFile, ec),
                   who + ": source is not a master file");
        {
            // Every source is a trend data file with a whole header.
            const std::string bytes = ReadBytes(e.Source);
            const int length = DataHeaderLength(Get<std::int16_t>(bytes, kDataVersionOffset));
            FUZZ_CHECK(bytes.size() >= kDataVersionOffset + 2 && length > 0 && bytes.size() >= static_cast<std::size_t>(length),
                       who + ": source is a data file with a whole header");
        }
        FUZZ_CHECK(!fs::equivalent(e.Source, out, ec), who + ": source is not the output folder");
    }
}

void CheckWritten(const jw::MergeRequest& req, const jw::MergePlan& plan, bool ok, const std::string& error) {
    const fs::path out = req.OutputFolder;
    std::set<std::string> planned{plan.MasterTarget.filename().string()};
    for (const auto& e : plan.Entries) planned.insert(e.Target.filename().string());
    std::set<std::string> present;
    std::error_code ec;
    for (const auto& d : fs::directory_iterator(out, ec)) present.insert(d.path().filename().string());
    for (const auto& p : present) FUZZ_CHECK(planned.count(p), "only planned files are written: " + p + " " + error);
    const bool master = fs::exists(plan.MasterTarget, ec);
    FUZZ_CHECK(!fs::exists(jw::PartialMasterPath(plan), ec), "no temporary master stays: " + error);
    if (!ok) {
        FUZZ_CHECK(!master, "a failed write leaves no master under its final name: " + error);
        return;
    }
    FUZZ_CHECK(present == planned, "a finished write holds every planned file");
    for (const auto& e : plan.Entries)
        FUZZ_CHECK(ReadBytes(e.Target) == ReadBytes(e.Source), "copy " + e.Target.string() + " equals its source");

    jw::BinaryFile f(plan.MasterTarget, jw::BinaryFile::Mode::ReadOnly);
    jw::clsHSTMaster m;
    m.Load(f);
    FUZZ_CHECK(m.nFiles == req.NumberOfFiles && m.History == req.NumberOfFiles, "merged header counts");
    FUZZ_CHECK(f.Length() == kMasterLength + plan.Entries.size() * static_cast<std::size_t>(MasterRecordLength(m.Version)),
               "merged master holds exactly nFiles records");
    for (const auto& e : plan.Entries) {
        jw::clsHSTHeader r;
        r.Load(f, m);
        FUZZ_CHECK(jw::RecordedName(r.Name) == e.NewName, "merged record names its copy: " + Show(r.Name));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    Reader in{input};
    const std::uint8_t flags = in.Byte();
    const std::uint8_t dataFlags = in.Byte();
    const auto n = static_cast<std::int16_t>(in.Byte() | (in.Byte() << 8));
    const std::string date = in.Bytes(in.Byte() % 33);
    const std::string existingBytes = in.Blob();
    const std::string backupBytes = in.Blob();
    const std::string templateBytes = in.Blob();

    const fs::path root = Scratch() / "merge";
    std::error_code ec;
    fs::remove_all(root, ec);
    const fs::path existingFolder = root / ((flags & kFlagSameFolder) ? "sets" : "existing");
    const fs::path backupFolder = root / ((flags & kFlagSameFolder) ? "sets" : "backup");
    fs::create_directories(existingFolder);
    fs::create_directories(backupFolder);
    fs::create_directories(root / "template");
    const fs::path existing = existingFolder / "TREND.HST";
    const fs::path backup =
        backupFolder / ((flags & kFlagBackupNoDot) ? "BACKUP" : (flags & kFlagSameFolder) ? "OLDTREND.HST" : "TREND.HST");
    const fs::path templ = (flags & kFlagTemplateIsMaster) ? existing
                           : (flags & kFlagTemplateBeside) ? existingFolder / "EMPTY.000"
                                                           : root / "template" / "EMPTY.000";
    WriteBytes(existing, existingBytes);
    WriteBytes(backup, backupBytes);
    if (!(flags & kFlagTemplateIsMaster)) WriteBytes(templ, templateBytes);
    if (!(dataFlags & kDataNoExisting)) MakeDataFiles(existingFolder, existing, dataFlags, templ);
    if (!(dataFlags & kDataNoBackup)) MakeDataFiles(backupFolder, backup, dataFlags, templ);
    const fs::path out = (flags & kFlagOutputInBackup) ? backupFolder / "Merged trenddata 12-00-00" : root / "out";
    const bool dryRun = flags & kFlagDryRun;
    if (!dryRun) fs::create_directory(out, ec);

    jw::MergeRequest req;
    req.BrakeDate = date;
    req.OutputFolder = out.string();
    req.BackupFile = backup.string();
    req.ExistingFile = existing.string();
    req.NumberOfFiles = n;
    req.EmptyDataFile = templ.string();

    NoticeRecorder notices;
    const auto before = Snapshot(root);
    jw::MergePlan plan;
    try {
        plan = jw::PlanMerge(req, dryRun ? jw::OutputFolderState::NotYetMade : jw::OutputFolderState::Created);
    } catch (const jw::Error& e) {
        if (Verbose()) std::fprintf(stderr, "refused: %s\n", e.what());
        FUZZ_CHECK(Snapshot(root) == before, std::string("a refused plan changes nothing: ") + e.what());
        FUZZ_CHECK(std::string(e.what()).find('\n') == std::string::npos, "a refusal is one line");
        return 0;
    }
    FUZZ_CHECK(Snapshot(root) == before, "planning reads only");
    FUZZ_CHECK(notices.texts.empty(), "planning shows no notice");
    CheckPlan(req, plan, existingFolder, backupFolder);
    if (Verbose()) std::fprintf(stderr, "planned: %zu files\n", plan.Entries.size());
    // Writing thousands of template copies per input would only slow the search.
    if (dryRun || !(flags & kFlagWrite) || plan.Entries.size() > 64) return 0;

    bool ok = true;
    std::string error;
    try {
        jw::WriteMerge(req, plan);
    } catch (const jw::Error& e) {
        ok = false;
        error = e.what();
    }
    // Everything outside the output folder is as it was.
    auto after = Snapshot(root);
    const std::string outKey = out.lexically_relative(root).string();
    for (auto it = after.begin(); it != after.end();)
        it = (it->first.rfind(outKey + "/", 0) == 0) ? after.erase(it) : std::next(it);
    auto expected = before;
    for (auto it = expected.begin(); it != expected.end();)
        it = (it->first.rfind(outKey + "/", 0) == 0) ? expected.erase(it) : std::next(it);
    FUZZ_CHECK(after == expected, "writing a merge changes nothing outside the output folder: " + error);
    CheckWritten(req, plan, ok, error);
    FUZZ_CHECK(ok, "a plan that was accepted is written: " + error);
    if (Verbose()) std::fprintf(stderr, "planned and written: %zu files\n", plan.Entries.size());
    return 0;
}
