// The planning step of a merge over a fuzzed pair of master files (and a
// fuzzed empty data file), in a fresh temporary folder per input; a plan
// that is accepted is also written when the input asks for it.
//
// Input: byte 0 layout flags (kFlag...), byte 1 data file flags (kData...),
// bytes 2-3 NumberOfFiles (int16 little-endian), byte 4 the length L of the
// break date text (at most 32) and L bytes; then three blobs, each a
// little-endian uint16 length and its bytes: the existing master, the backup
// master, the empty data file.  Every record name the masters hold (as far
// as a host can hold it) gets a small data file in its set's folder, so that
// plans get through.  A dry run plans for an output folder not yet made.
//
// Properties: a refused plan is one line and changes nothing under the root
// (nothing written, nothing left behind); an accepted plan reads only; it has
// NumberOfFiles entries numbered in order, existing files (on or after the
// break date) before backup files (before it) before template copies; every
// planned target and the master lie directly inside the output folder under
// distinct names; every source is a regular file of its set's folder, or
// the template; writing creates only the planned files, copies every source
// byte for byte, changes nothing outside the output folder, and gives a
// master whose records carry the planned names; a merge without a warning of
// the validity rule writes a set in which the rule finds nothing.
#include <cstdint>
#include <set>
#include <utility>
#include <string>

#include "FuzzSupport.h"
#include "base/Errors.h"
#include "engine/MergeJob.h"
#include "engine/TrendTools.h"
#include "formats/Notices.h"
#include "formats/TrendSet.h"
#include "formats/Validity.h"
#include "time/DateTimeTools.h"

using namespace fuzzsupport;

namespace {

enum : std::uint8_t { kFlagWrite = 1, kFlagBackupNoDot = 2, kFlagOutputInBackup = 4, kFlagSameFolder = 8,
                      kFlagTemplateIsMaster = 16, kFlagTemplateBeside = 32, kFlagDryRun = 64 };
enum : std::uint8_t { kDataNoExisting = 1, kDataNoBackup = 2, kDataLowerCase = 4, kDataFirstIsFolder = 8,
                      kDataFirstIsLink = 16, kDataCaseTwins = 32 };

// A data file for each of the first 40 records a host can name: a header of
// the master's version (6 when it has none), zeros but for the version, and a
// marker; with kDataCaseTwins also its upper-case twin.
void MakeDataFiles(const fs::path& folder, const fs::path& master, std::uint8_t flags, const fs::path& templ) {
    jw::TrendSet set;
    try {
        set = jw::ReadTrendSet(master);
    } catch (const jw::Error&) {
        return;
    }
    const int version = DataHeaderLength(set.Master.Version) ? set.Master.Version : 6;
    bool first = true;
    for (std::size_t i = 0; i < set.Records.size() && i < 40; ++i) {
        std::string name(jw::RecordedFileName(set.Records[i].Name)), upper = name;
        if (!jw::HostFileNameProblem(name).empty()) continue;
        for (std::size_t c = 0; c < name.size(); ++c)
            upper[c] = char(std::toupper(name[c] & 0xFF)), name[c] = flags & kDataLowerCase ? char(std::tolower(name[c] & 0xFF)) : name[c];
        for (const std::string& n : {name, upper}) {
            const fs::path p = folder / n;
            std::error_code ec;
            if (fs::exists(fs::symlink_status(p, ec))) break;
            std::string bytes(static_cast<std::size_t>(DataHeaderLength(version)), '\0');
            bytes[kVersionOffset] = static_cast<char>(version);
            if (first && (flags & kDataFirstIsFolder)) fs::create_directory(p, ec);
            else if (first && (flags & kDataFirstIsLink)) fs::create_symlink(templ, p, ec);
            else WriteBytes(p, bytes + n + " of " + folder.filename().string());
            first = false;
            if (!(flags & kDataCaseTwins) || !(flags & kDataLowerCase)) break;
        }
    }
}

bool Inside(const fs::path& p, const fs::path& folder) {
    const fs::path n = p.lexically_normal();
    return n.parent_path() == folder.lexically_normal() && n.filename() != "." && n.filename() != ".." && !n.filename().empty();
}

// Lays out the folders, masters, template and data files the input asks for
// under root; the request, and whether an accepted plan is to be written.
std::pair<jw::MergeRequest, bool> LayOut(const std::string& input, const fs::path& root) {
    std::size_t pos = 0;
    auto byte = [&] { return pos < input.size() ? static_cast<std::uint8_t>(input[pos++]) : 0; };
    auto bytes = [&](std::size_t n) { return pos += n, input.substr(std::min(pos - n, input.size()), n); };
    const std::uint8_t flags = byte(), dataFlags = byte();
    const auto files = static_cast<std::int16_t>(byte() | (byte() << 8));
    const std::string date = bytes(byte() % 33);
    std::string blobs[3];
    for (auto& b : blobs) b = bytes(byte() | (static_cast<std::size_t>(byte()) << 8));

    fs::remove_all(root);
    const bool same = flags & kFlagSameFolder;
    const fs::path existingFolder = root / (same ? "sets" : "existing"), backupFolder = root / (same ? "sets" : "backup");
    fs::create_directories(existingFolder), fs::create_directories(backupFolder), fs::create_directories(root / "template");
    const fs::path existing = existingFolder / "TREND.HST";
    const fs::path backup = backupFolder / ((flags & kFlagBackupNoDot) ? "BACKUP" : same ? "OLDTREND.HST" : "TREND.HST");
    const fs::path templ = (flags & kFlagTemplateIsMaster) ? existing
                           : (flags & kFlagTemplateBeside) ? existingFolder / "EMPTY.000" : root / "template" / "EMPTY.000";
    WriteBytes(existing, blobs[0]), WriteBytes(backup, blobs[1]);
    if (!(flags & kFlagTemplateIsMaster)) WriteBytes(templ, blobs[2]);
    if (!(dataFlags & kDataNoExisting)) MakeDataFiles(existingFolder, existing, dataFlags, templ);
    if (!(dataFlags & kDataNoBackup)) MakeDataFiles(backupFolder, backup, dataFlags, templ);
    const fs::path out = (flags & kFlagOutputInBackup) ? backupFolder / "Merged trenddata 12-00-00" : root / "out";
    return {{.BrakeDate = date, .OutputFolder = out, .BackupFile = backup, .ExistingFile = existing, .NumberOfFiles = files,
             .EmptyDataFile = templ},
            (flags & kFlagWrite) && !(flags & kFlagDryRun)};
}

// An accepted plan: its entries in order, sources and targets where they belong.
void CheckPlan(const jw::MergePlan& plan, const jw::MergeRequest& req) {
    const fs::path& out = req.OutputFolder;
    const std::size_t fromExisting = std::size_t(plan.TakenExisting), taken = fromExisting + std::size_t(plan.TakenBackup);
    FUZZ_CHECK(req.NumberOfFiles >= 1 && plan.Entries.size() == std::size_t(req.NumberOfFiles) && taken >= 1 &&
                   Inside(plan.MasterTarget, out),
               "one entry per requested file, something taken, the master inside the output folder");
    const std::string breakDay = jw::DateTimeTools::FormatDate(plan.BreakDate);
    std::set<std::string> names{plan.MasterTarget.filename(), jw::PartialMasterPath(plan).filename()};
    for (std::size_t i = 0; i < plan.Entries.size(); ++i) {
        const jw::PlanEntry& e = plan.Entries[i];
        const jw::SourceKind kind = i < fromExisting ? jw::FromExisting : i < taken ? jw::FromBackup : jw::FromTemplate;
        const fs::path from = (kind == jw::FromExisting ? req.ExistingFile : req.BackupFile).parent_path();
        FUZZ_CHECK(e.Number == std::int16_t(i) && e.Record.Name == e.NewName && Inside(e.Target, out) &&
                       names.insert(e.Target.filename()).second,
                   e.NewName + ": numbered in order, named in its record, a file of its own in the output folder");
        FUZZ_CHECK(e.Kind == kind && (kind == jw::FromTemplate ? e.Source == req.EmptyDataFile
                                      : e.Source.parent_path().lexically_normal() == from &&
                                            (kind == jw::FromExisting) == (e.StartDay >= breakDay)),
                   e.NewName + ": existing files on or after the break date, backup files before it, template copies last");
        FUZZ_CHECK(fs::is_regular_file(fs::symlink_status(e.Source)) && !fs::equivalent(e.Source, req.ExistingFile) &&
                       !fs::equivalent(e.Source, req.BackupFile),
                   e.NewName + ": the source is a regular file, not a master");
    }
}

// A written plan: only the planned files, copies equal to their sources, a
// master holding their names.
void CheckWritten(const jw::MergePlan& plan, const jw::MergeRequest& req) {
    std::set<std::string> names{plan.MasterTarget.filename()};
    for (const auto& e : plan.Entries) names.insert(e.Target.filename());
    for (const auto& d : fs::directory_iterator(req.OutputFolder)) FUZZ_CHECK(names.erase(d.path().filename()), "only planned files");
    FUZZ_CHECK(names.empty(), "every planned file is written");
    const jw::TrendSet merged = jw::ReadTrendSet(plan.MasterTarget, jw::RecordCount::NFilesOnly);
    FUZZ_CHECK(merged.Master.nFiles == req.NumberOfFiles && merged.Held == plan.Entries.size() && merged.Faults.empty() &&
                   merged.Layout && merged.FileLength == kMasterLength + merged.Held * merged.Layout->Length,
               "the merged master holds exactly nFiles records");
    for (std::size_t i = 0; i < plan.Entries.size(); ++i)
        FUZZ_CHECK(merged.Records[i].Name == plan.Entries[i].NewName &&
                       ReadBytes(plan.Entries[i].Target) == ReadBytes(plan.Entries[i].Source),
                   plan.Entries[i].NewName + ": its record names it and it equals its source");
    if (plan.Problems.empty())
        for (const jw::Problem& p : jw::CheckTrendSet(jw::ReadTrendSet(plan.MasterTarget)))
            FUZZ_CHECK(false, "merged without a warning, yet the rule finds: " + jw::ProblemText(p));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path root = Scratch() / "merge";
    const auto [req, write] = LayOut(std::string(reinterpret_cast<const char*>(data), size), root);
    jw::ScopedNoticeSink quiet([](std::string_view, jw::NoticeMark) {});
    const auto before = Snapshot(root);
    jw::MergePlan plan;
    try {
        plan = jw::RunMergeJob(req, {.DryRun = true, .Write = {}});
    } catch (const jw::Error& e) {
        FUZZ_CHECK(Snapshot(root) == before && std::string(e.what()).find('\n') == std::string::npos,
                   std::string("a refusal is one line and changes nothing: ") + e.what());
        return 0;
    }
    FUZZ_CHECK(Snapshot(root) == before, "planning reads only");
    CheckPlan(plan, req);
    // Writing thousands of template copies per input would only slow the search.
    if (!write || plan.Entries.size() > 64) return 0;
    jw::RunMergeJob(req);  // an accepted plan is written: an error escapes and is a finding
    FUZZ_CHECK(Snapshot(root, req.OutputFolder.lexically_relative(root).string()) == before,
               "writing changes nothing outside the output folder");
    CheckWritten(plan, req);
    return 0;
}
