#include "cli/MergeFolderCommand.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>

#include "base/Errors.h"
#include "cli/Command.h"
#include "cli/MergeCommand.h"
#include "cli/Options.h"
#include "cli/Picture.h"
#include "cli/Progress.h"
#include "cli/TestHook.h"
#include "cli/Output.h"
#include "engine/OutputFolder.h"
#include "engine/FolderMerge.h"
#include "engine/MergeJob.h"
#include "os/File.h"
#include "os/Process.h"
#include "time/DateTimeTools.h"
#include "os/Text.h"

namespace jw::cli {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

std::string Show(const fs::path& p) { return OutputText(os::PathText(p)); }

// "about 3 min 20 s left" from the share done so far and the time it took;
// nothing under half a second (the last bytes, and the flush to disk that
// follows them, which no byte count measures).
std::string TimeLeft(std::chrono::steady_clock::duration elapsed, std::uint64_t done, std::uint64_t total) {
    if (done == 0 || done >= total) return {};
    const double seconds = std::chrono::duration<double>(elapsed).count() * static_cast<double>(total - done) /
                           static_cast<double>(done);
    const auto s = static_cast<long long>(seconds + 0.5);
    if (s == 0) return {};
    if (s >= 3600) return fmt::format(", about {} h {} min left", s / 3600, s % 3600 / 60);
    if (s >= 60) return fmt::format(", about {} min {} s left", s / 60, s % 60);
    return fmt::format(", about {} s left", s);
}

Json TrendJson(const TrendMerge& t, bool merged) {
    Json j;
    j["trend"] = OutputText(t.Trend);
    if (!t.Plan) {
        j["status"] = "refused";
        j["reason"] = OutputText(OneLine(t.Refusal));
        return j;
    }
    const MergePlan& p = *t.Plan;
    j["status"] = merged ? "merged" : "planned";
    j["master"] = Show(p.MasterTarget);
    j["existing"] = Show(t.Request.ExistingFile);
    j["backup"] = Show(t.Request.BackupFile);
    j["template"] = Show(t.Request.EmptyDataFile);
    j["numberOfFiles"] = t.Request.NumberOfFiles;
    j["takenExisting"] = p.TakenExisting;
    j["takenBackup"] = p.TakenBackup;
    j["templateCopies"] = p.TemplateCopies;
    j["bytesToWrite"] = p.BytesToWrite;
    j["warnings"] = WarningsJson(p);
    return j;
}

void PrintSummary(std::ostream& out, const FolderPlan& plan, bool dryRun, bool written) {
    std::vector<std::vector<std::string>> rows{
        {"Trend", "Result", "From existing", "From backup", "Template copies", "Warnings"}};
    for (const auto& t : plan.Trends) {
        if (!t.Plan) {
            rows.push_back({EscapedName(t.Trend), "refused", "-", "-", "-", "-"});
            continue;
        }
        const MergePlan& p = *t.Plan;
        rows.push_back({EscapedName(t.Trend), written ? "merged" : dryRun ? "planned" : "not written",
                        std::to_string(p.TakenExisting), std::to_string(p.TakenBackup),
                        std::to_string(p.TemplateCopies), std::to_string(p.Warnings.size())});
    }
    out << TableLines(rows, {2, 3, 4, 5});

    if (plan.Refused() > 0) {
        fmt::print(out, "\nRefused:\n");
        for (const auto& t : plan.Trends)
            if (!t.Plan) fmt::print(out, "  {}: {}\n", EscapedName(t.Trend), OutputText(OneLine(t.Refusal)));
    }
    bool headed = false;
    for (const auto& t : plan.Trends) {
        if (!t.Plan) continue;
        for (const auto& w : t.Plan->Warnings) {
            if (!headed) fmt::print(out, "\nWarnings:\n");
            headed = true;
            fmt::print(out, "  {}: {}\n", EscapedName(t.Trend), OutputText(OneLine(w)));
        }
    }
    fmt::print(out, "\n{} of {} trends {}, {} refused; {} {}.\n", plan.Accepted(), plan.Trends.size(),
               written ? "merged" : "can be merged", plan.Refused(), HumanBytes(plan.BytesToWrite),
               written ? "written" : "to write");
}

// One SVG per trend that can be merged, in a folder made for them if it does
// not exist (and only when there is a trend to draw); a picture never
// replaces a file.
void WritePictures(const FolderPlan& plan, const fs::path& folder) {
    if (std::none_of(plan.Trends.begin(), plan.Trends.end(), [](const TrendMerge& t) { return t.Plan.has_value(); }))
        return;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        try {
            os::MakeFolder(folder);
        } catch (const Error& e) {
            Fail(e.kind(), "cannot create the picture folder " + Show(folder) + ": " + e.what());
        }
    }
    for (const auto& t : plan.Trends)
        if (t.Plan)
            WritePicture(folder / os::PathFromUtf8(t.Trend + ".svg"),
                         TimelineSvg(PlanTimeline(*t.Plan, OutputText(t.Trend))));
}

FolderMergeRequest RequestOf(const MergeFolderArgs& a) {
    FolderMergeRequest req;
    req.BackupFolder = AbsolutePath(a.Backup);
    req.ExistingFolder = AbsolutePath(a.Existing);
    req.TemplateFolder = AbsolutePath(a.Templates);
    req.BrakeDate = a.BreakDate;
    req.NumberOfFiles = a.Files;
    if (!a.Only.empty()) req.Only = a.Only;
    req.AllowDifferentTrends = a.AllowDifferentTrends;
    req.OutputFolder = OutputPath(a.Output);
    return req;
}

// Plans every trend and, unless a dry run, writes them with a progress line.
FolderJobResult RunJob(const FolderMergeRequest& req, const MergeFolderArgs& a) {
    FolderJobOptions job;
    job.Job.DryRun = a.DryRun;
    job.Job.Write.BeforeStep = TestHookFromEnvironment();
    job.KeepGoing = a.KeepGoing;
    std::optional<Progress> progress;
    const auto start = std::chrono::steady_clock::now();
    if (!a.DryRun) {
        progress.emplace("merge-folder", os::IsTerminal(os::Stream::Error));
        job.Progress = [&](const FolderProgress& p) {
            progress->Update(p.Bytes, p.BytesTotal,
                             fmt::format("{} of {} trends, {} of {}{}", p.Trends, p.TrendsTotal, HumanBytes(p.Bytes),
                                         HumanBytes(p.BytesTotal),
                                         TimeLeft(std::chrono::steady_clock::now() - start, p.Bytes, p.BytesTotal)));
        };
    }
    return RunFolderMergeJob(req, job);
}

Json SummaryJson(const FolderJobResult& result, const MergeFolderArgs& a, const fs::path& output) {
    const FolderPlan& plan = result.Plan;
    const bool written = result.Written;
    Json j;
    j["dryRun"] = a.DryRun;
    j["written"] = written;
    j["outputFolder"] = Show(output);
    j["breakDate"] = a.BreakDate;
    j["merged"] = written ? plan.Accepted() : 0;
    j["accepted"] = plan.Accepted();
    j["refused"] = plan.Refused();
    j["bytesToWrite"] = plan.BytesToWrite;
    Json trends = Json::array();
    for (const auto& t : plan.Trends) trends.push_back(TrendJson(t, written));
    j["trends"] = std::move(trends);
    return j;
}

// The summary and a last line on what became of the output folder.
void PrintResult(std::ostream& out, const FolderJobResult& result, bool dryRun, const fs::path& output) {
    const FolderPlan& plan = result.Plan;
    PrintSummary(out, plan, dryRun, result.Written);
    if (dryRun)
        fmt::print(out, "Dry run: nothing was written.\n");
    else if (!result.Written)
        fmt::print(out, "Nothing was written: {}.\n",
                   plan.Accepted() == 0 ? "no trend can be merged"
                                        : "a trend was refused (--keep-going merges the others)");
    else
        fmt::print(out, "The merged sets are in {}.\n", Show(output));
}

}  // namespace

int RunMergeFolder(const MergeFolderArgs& a, std::ostream& out, std::ostream& err) {
    const FolderMergeRequest req = RequestOf(a);
    const fs::path& output = req.OutputFolder;
    const FolderJobResult result = RunJob(req, a);
    const FolderPlan& plan = result.Plan;
    const bool written = result.Written;
    const bool dryRun = a.DryRun;
    if (dryRun && !a.Picture.empty()) WritePictures(plan, AbsolutePath(a.Picture));

    if (a.Json)
        out << SummaryJson(result, a, output).dump(2) << '\n';
    else
        PrintResult(out, result, dryRun, output);
    if (plan.Refused() > 0) {
        err << "joinwright-cli: error: " << plan.Refused() << " of " << plan.Trends.size() << " trends refused"
            << (written ? "; the others were merged" : dryRun ? "" : "; nothing was written") << '\n';
        return 1;
    }
    return 0;
}

namespace {

const char* const kMergeFolderFooter =
    "Pairs every master of the existing folder with the master of the same name (any letter case) in\n"
    "the backup folder; each trend needs its own empty data file NAME.000 (any number, any letter case)\n"
    "in the templates folder.  Every trend is planned as merge plans it.  By default nothing is written\n"
    "when any trend is refused; --keep-going merges the others.  The merged sets lie side by side in the\n"
    "output folder, which gets its name only once every file of the whole run is on disk.\n"
    "Exit status: 0 every trend merged, 1 any refused (or the run failed), 2 usage error.";

}  // namespace

Command AddMergeFolderCommand(CLI::App& app) {
    auto args = std::make_shared<MergeFolderArgs>();
    MergeFolderArgs& a = *args;
    auto* cmd = app.add_subcommand(
        "merge-folder", "Merge every trend of a data folder: each existing master (NAME.HST) with the backup master "
                        "of the same name, into one new output folder; every trend is planned before anything is "
                        "written.");
    AddPathOption(*cmd, "--backup", a.Backup, "Folder of the backup sets", "DIR")->required();
    AddPathOption(*cmd, "--existing", a.Existing, "Folder of the existing sets", "DIR")->required();
    AddPathOption(*cmd, "--templates", a.Templates, "Folder of the empty data files, one per trend (NAME.000)", "DIR")
        ->required();
    AddBreakDateOption(*cmd, a.BreakDate);
    AddFilesOption(*cmd, [&a](std::int16_t files) { a.Files = files; },
                   "Number of data files of every merged set (default: each trend's existing nFiles)");
    AddPathOption(*cmd, "--output", a.Output, "Output folder to create", "DIR")->required();
    cmd->add_option("--only", a.Only, "Only trends whose name matches (* and ?, any letter case)")
        ->type_name("PATTERN")
        ->check(CLI::Validator(
            [](std::string& s) { return s.empty() ? std::string("an empty pattern matches no trend") : std::string(); },
            ""));
    cmd->add_flag("--keep-going", a.KeepGoing, "Merge the trends that can be merged even when others are refused");
    auto* dryRun = cmd->add_flag("--dry-run", a.DryRun, "Plan every trend only: write nothing");
    cmd->add_flag("--allow-different-trends", a.AllowDifferentTrends,
                  "Merge masters of one name that hold different trends (a plan warning instead of a refusal)");
    cmd->add_flag("--json", a.Json, "Print the summary as JSON");
    AddPictureOption(*cmd, a.Picture, dryRun, "draw each trend's plan as DIR/NAME.svg", "DIR");
    cmd->footer(kMergeFolderFooter);
    return {cmd, [args](std::ostream& out, std::ostream& err) { return RunMergeFolder(*args, out, err); }};
}

}  // namespace jw::cli
