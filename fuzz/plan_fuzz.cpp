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
#include <string>

#include "FuzzSupport.h"
#include "engine/MergeJob.h"
#include "engine/TrendTools.h"
#include "formats/BinaryFile.h"
#include "formats/Notices.h"
#include "formats/Validity.h"
#include "formats/clsHSTHeader.h"
#include "formats/clsHSTMaster.h"
#include "time/DateTimeTools.h"
#include "base/Errors.h"

using namespace fuzzsupport;

namespace {

enum : std::uint8_t { kFlagWrite = 1, kFlagBackupNoDot = 2, kFlagOutputInBackup = 4, kFlagSameFolder = 8,
                      kFlagTemplateIsMaster = 16, kFlagTemplateBeside = 32, kFlagDryRun = 64 };
enum : std::uint8_t { kDataNoExisting = 1, kDataNoBackup = 2, kDataLowerCase = 4, kDataFirstIsFolder = 8,
                      kDataFirstIsLink = 16, kDataCaseTwins = 32 };

// A data file for every record name the master holds (at most 40): a header
// of the master's version, zeros but for the version, and a marker.
void MakeDataFiles(const fs::path& folder, const fs::path& master, std::uint8_t flags, const fs::path& templ) {
    bool first = true;
    try {
        jw::BinaryFile f(master, jw::BinaryFile::Mode::ReadOnly);
        jw::clsHSTMaster m;
        m.Load(f);
        const int version = MasterRecordLength(m.Version) ? m.Version : 6;
        for (int i = 0; i < 40 && MasterRecordLength(m.Version); ++i) {
            jw::clsHSTHeader r;
            r.Load(f, m);
            std::string name(jw::RecordedFileName(jw::RecordedName(r.Name))), upper = name;
            if (!jw::HostFileNameProblem(name).empty()) continue;
            for (std::size_t c = 0; c < name.size(); ++c)
                upper[c] = char(std::toupper(name[c] & 0xFF)), name[c] = flags & kDataLowerCase ? char(std::tolower(name[c] & 0xFF)) : name[c];
            for (const std::string& n : {name, upper}) {  // the upper-case twin only with kDataCaseTwins
                const fs::path p = folder / n;
                std::error_code ec;
                std::string bytes(static_cast<std::size_t>(DataHeaderLength(version)), '\0');
                bytes[kVersionOffset] = static_cast<char>(version);
                if (fs::exists(fs::symlink_status(p, ec))) break;
                if (first && (flags & kDataFirstIsFolder)) fs::create_directory(p, ec);
                else if (first && (flags & kDataFirstIsLink)) fs::create_symlink(templ, p, ec);
                else WriteBytes(p, bytes + n + " of " + folder.filename().string());
                first = false;
                if (!(flags & kDataCaseTwins) || !(flags & kDataLowerCase)) break;
            }
        }
    } catch (const jw::Error&) {
        // The master ends: these are all.
    }
}

bool Inside(const fs::path& p, const fs::path& folder) {
    const fs::path n = p.lexically_normal();
    return n.parent_path() == folder.lexically_normal() && n.filename() != "." && n.filename() != ".." && !n.filename().empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t pos = 0;
    auto byte = [&] { return pos < size ? static_cast<std::uint8_t>(input[pos++]) : 0; };
    auto bytes = [&](std::size_t n) { return pos += n, input.substr(std::min(pos - n, size), n); };
    const std::uint8_t flags = byte(), dataFlags = byte();
    const auto files = static_cast<std::int16_t>(byte() | (byte() << 8));
    const std::string date = bytes(byte() % 33);
    std::string blobs[3];
    for (auto& b : blobs) b = bytes(byte() | (static_cast<std::size_t>(byte()) << 8));

    const fs::path root = Scratch() / "merge";
    fs::remove_all(root);
    const bool same = flags & kFlagSameFolder, dryRun = flags & kFlagDryRun;
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
    const jw::MergeRequest req{.BrakeDate = date, .OutputFolder = out, .BackupFile = backup,
                               .ExistingFile = existing, .NumberOfFiles = files, .EmptyDataFile = templ};

    jw::ScopedNoticeSink quiet([](std::string_view, jw::NoticeMark) {});
    const auto before = Snapshot(root);
    jw::MergePlan plan;
    try {
        plan = jw::RunMergeJob(req, {.DryRun = true, .Write = {}});
    } catch (const jw::Error& e) {
        FUZZ_CHECK(Snapshot(root) == before, std::string("a refused plan changes nothing: ") + e.what());
        FUZZ_CHECK(std::string(e.what()).find('\n') == std::string::npos, "a refusal is one line");
        return 0;
    }
    FUZZ_CHECK(Snapshot(root) == before, "planning reads only");
    const int taken = plan.TakenExisting + plan.TakenBackup;
    FUZZ_CHECK(files >= 1 && plan.Entries.size() == std::size_t(files) && taken >= 1 && taken + plan.TemplateCopies == files,
               "one entry per requested file, something taken");
    FUZZ_CHECK(Inside(plan.MasterTarget, out), "the master lies inside the output folder: " + plan.MasterTarget.string());
    const std::string breakDay = jw::DateTimeTools::FormatDate(plan.BreakDate);
    std::set<std::string> names{plan.MasterTarget.filename(), jw::PartialMasterPath(plan).filename()};
    for (std::size_t i = 0; i < plan.Entries.size(); ++i) {
        const jw::PlanEntry& e = plan.Entries[i];
        const std::string& who = e.NewName;
        FUZZ_CHECK(e.Number == std::int16_t(i) && Inside(e.Target, out) && names.insert(e.Target.filename()).second,
                   who + ": numbered in order, directly inside the output folder, a name of its own");
        FUZZ_CHECK(e.Record.Name == e.NewName, who + ": its record carries the new Name");
        const bool fromExisting = e.Kind == jw::FromExisting, fromBackup = e.Kind == jw::FromBackup;
        FUZZ_CHECK(fromExisting ? i < std::size_t(plan.TakenExisting) && e.StartDay >= breakDay &&
                                      e.Source.parent_path().lexically_normal() == existingFolder
                   : fromBackup ? i >= std::size_t(plan.TakenExisting) && i < std::size_t(taken) && e.StartDay < breakDay &&
                                      e.Source.parent_path().lexically_normal() == backupFolder
                                : i >= std::size_t(taken) && e.Source == templ,
                   who + ": existing files on or after the break date, backup files before it, template copies last");
        FUZZ_CHECK(fs::is_regular_file(fs::symlink_status(e.Source)) && !fs::equivalent(e.Source, existing) &&
                       !fs::equivalent(e.Source, backup),
                   who + ": the source is a regular file, not a master");
    }
    // Writing thousands of template copies per input would only slow the search.
    if (dryRun || !(flags & kFlagWrite) || plan.Entries.size() > 64) return 0;

    jw::RunMergeJob(req);  // an accepted plan is written: an error escapes and is a finding
    FUZZ_CHECK(Snapshot(root, out.lexically_relative(root).string()) == before, "writing changes nothing outside the output folder");
    names.erase(jw::PartialMasterPath(plan).filename());
    for (const auto& d : fs::directory_iterator(out)) FUZZ_CHECK(names.erase(d.path().filename()), "only planned files");
    FUZZ_CHECK(names.empty(), "every planned file is written");
    for (const auto& e : plan.Entries)
        FUZZ_CHECK(ReadBytes(e.Target) == ReadBytes(e.Source), e.Target.string() + " equals its source");
    jw::BinaryFile f(plan.MasterTarget, jw::BinaryFile::Mode::ReadOnly);
    jw::clsHSTMaster m;
    m.Load(f);
    FUZZ_CHECK(m.nFiles == files && f.Length() == kMasterLength + plan.Entries.size() * MasterRecordLength(m.Version),
               "the merged master holds exactly nFiles records");
    for (const auto& e : plan.Entries) {
        jw::clsHSTHeader r;
        r.Load(f, m);
        FUZZ_CHECK(jw::RecordedName(r.Name) == e.NewName, "merged record names its copy: " + r.Name);
    }
    f.Close();
    if (plan.Problems.empty())
        for (const jw::Problem& p : jw::CheckTrendSet(jw::ReadTrendSet(plan.MasterTarget)))
            FUZZ_CHECK(false, "merged without a warning, yet the rule finds: " + jw::ProblemText(p));
    return 0;
}
