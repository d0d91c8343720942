// A merge over a fuzzed pair of master files and a fuzzed empty data file, in
// a fresh temporary folder per input.
//
// Input: byte 0 layout flags (kFlag...), byte 1 data file flags (kData...),
// bytes 2-3 NumberOfFiles (int16 little-endian), byte 4 the length L of the
// break date text (at most 32) and L bytes; then three blobs, each a
// little-endian uint16 length and its bytes: the existing master, the backup
// master, the empty data file.  Every record name a master holds gets a small
// data file in its set's folder, so that plans get through.
//
// Properties: a refusal is one line and changes nothing under the root; an
// accepted plan is written without an error; a merge without a warning of
// the validity rule gives a set in which the rule finds nothing.
#include <cstdint>
#include <string>
#include <utility>

#include "FuzzSupport.h"
#include "base/Errors.h"
#include "engine/MergeJob.h"
#include "engine/TrendTools.h"
#include "formats/Notices.h"
#include "formats/TrendSet.h"
#include "formats/Validity.h"

using namespace fuzzsupport;

namespace {

enum : std::uint8_t { kFlagWrite = 1, kFlagBackupNoDot = 2, kFlagOutputInBackup = 4, kFlagSameFolder = 8,
                      kFlagTemplateIsMaster = 16, kFlagDryRun = 64 };
enum : std::uint8_t { kDataNoExisting = 1, kDataNoBackup = 2, kDataLowerCase = 4, kDataFirstIsFolder = 8 };

// A data file of the master's version (6 when it has none) for each of the
// first 40 records a host can name; with kDataFirstIsFolder the first is a folder.
void MakeDataFiles(const fs::path& folder, const fs::path& master, std::uint8_t flags) {
    jw::TrendSet set;
    try {
        set = jw::ReadTrendSet(master);
    } catch (const jw::Error&) {
        return;  // a master the reader refuses gets no data files
    }
    const int version = DataHeaderLength(set.Master.Version) ? set.Master.Version : 6;
    std::error_code ec;
    for (std::size_t i = 0; i < set.Records.size() && i < 40; ++i) {
        std::string name(jw::RecordedFileName(set.Records[i].Name));
        if (!jw::HostFileNameProblem(name).empty() || fs::exists(fs::symlink_status(folder / name, ec))) continue;
        if (flags & kDataLowerCase)
            for (char& c : name) c = char(std::tolower(c & 0xFF));
        std::string bytes(static_cast<std::size_t>(DataHeaderLength(version)), '\0');
        bytes[kVersionOffset] = static_cast<char>(version);
        (i == 0 && (flags & kDataFirstIsFolder)) ? (void)fs::create_directory(folder / name, ec) : WriteBytes(folder / name, bytes + name);
    }
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
    const fs::path templ = (flags & kFlagTemplateIsMaster) ? existing : root / "template" / "EMPTY.000";
    WriteBytes(existing, blobs[0]), WriteBytes(backup, blobs[1]);
    if (!(flags & kFlagTemplateIsMaster)) WriteBytes(templ, blobs[2]);
    if (!(dataFlags & kDataNoExisting)) MakeDataFiles(existingFolder, existing, dataFlags);
    if (!(dataFlags & kDataNoBackup)) MakeDataFiles(backupFolder, backup, dataFlags);
    const fs::path out = (flags & kFlagOutputInBackup) ? backupFolder / "Merged trenddata 12-00-00" : root / "out";
    return {{.BrakeDate = date, .OutputFolder = out, .BackupFile = backup, .ExistingFile = existing, .NumberOfFiles = files,
             .EmptyDataFile = templ},
            (flags & kFlagWrite) && !(flags & kFlagDryRun)};
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
    // Writing thousands of template copies per input would only slow the search.
    if (!write || plan.Entries.size() > 64) return 0;
    jw::RunMergeJob(req);  // an accepted plan is written: an error escapes and is a finding
    if (plan.Problems.empty())
        for (const jw::Problem& p : jw::CheckTrendSet(jw::ReadTrendSet(plan.MasterTarget)))
            FUZZ_CHECK(false, "merged without a warning, yet the rule finds: " + jw::ProblemText(p));
    return 0;
}
