#include "cli/MergeCommand.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <charconv>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/Command.h"
#include "cli/Options.h"
#include "cli/Picture.h"
#include "cli/Progress.h"
#include "cli/TestHook.h"
#include "cli/Output.h"
#include "engine/MergeJob.h"
#include "engine/OutputFolder.h"
#include "engine/TrendTools.h"
#include "time/DateTimeTools.h"
#include "base/Errors.h"
#include "os/File.h"
#include "os/Process.h"
#include "os/Text.h"

namespace jw::cli {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

std::string Show(const fs::path& p) { return OutputText(os::PathText(p)); }

Json PlanJson(const MergePlan& plan, std::int16_t files) {
    Json j;
    j["dryRun"] = true;
    j["breakDate"] = DateTimeTools::FormatDate(plan.BreakDate);
    j["breakDateText"] = OutputText(plan.BreakDateText);
    j["outputFolder"] = Show(plan.OutputFolder);
    j["master"] = Show(plan.MasterTarget);
    j["numberOfFiles"] = files;
    j["takenExisting"] = plan.TakenExisting;
    j["takenBackup"] = plan.TakenBackup;
    j["templateCopies"] = plan.TemplateCopies;
    j["bytesToWrite"] = plan.BytesToWrite;
    Json entries = Json::array();
    for (const auto& e : plan.Entries) {
        Json x;
        x["number"] = e.Number;
        x["numberText"] = NumberText(e.Number);
        x["kind"] = KindName(e.Kind);
        x["sourceIndex"] = e.SourceIndex >= 0 ? Json(e.SourceIndex) : Json(nullptr);
        x["source"] = Show(e.Source);
        x["target"] = Show(e.Target);
        x["name"] = Cp1252ToUtf8(e.NewName);
        x["startDay"] = e.StartDay.empty() ? Json(nullptr) : Json(e.StartDay);
        x["sourceSize"] = e.SourceSize;
        entries.push_back(std::move(x));
    }
    j["entries"] = std::move(entries);
    j["warnings"] = WarningsJson(plan);
    return j;
}

void PrintWarnings(std::ostream& out, const MergePlan& plan) {
    if (plan.Warnings.empty()) return;
    fmt::print(out, "\nWarnings:\n");
    for (const auto& w : plan.Warnings) fmt::print(out, "  - {}\n", OutputText(OneLine(w)));
}

void PrintPlan(std::ostream& out, const MergePlan& plan, std::int16_t files) {
    fmt::print(out, "Break date:     {} (typed \"{}\")\n", DateTimeTools::FormatDate(plan.BreakDate),
               OutputText(plan.BreakDateText));
    fmt::print(out, "Output folder:  {} (not created: dry run)\n", Show(plan.OutputFolder));
    fmt::print(out, "Master file:    {}\n\n", Show(plan.MasterTarget.filename()));

    // Sources below the current folder are shown relative to it.
    const fs::path cwd = fs::current_path();
    const auto shown = [&cwd](const fs::path& p) {
        const fs::path r = p.lexically_relative(cwd);
        return r.empty() || *r.begin() == ".." ? Show(p) : Show(r);
    };
    std::vector<std::vector<std::string>> rows{
        {"No.", "Source", "Record", "Source file", "Target file", "New recorded Name", "Start day"}};
    for (const auto& e : plan.Entries)
        rows.push_back({NumberText(e.Number), KindName(e.Kind), e.SourceIndex >= 0 ? std::to_string(e.SourceIndex) : "-",
                        shown(e.Source), Show(e.Target.filename()), DisplayField(e.NewName),
                        e.StartDay.empty() ? "-" : e.StartDay});
    out << TableLines(rows, {2});  // record numbers align right
    fmt::print(out, "\n{} from the existing set, {} from the backup set, {} template cop{}: {} data files "
                    "(nFiles {}), {} to write.\n",
               plan.TakenExisting, plan.TakenBackup, plan.TemplateCopies, plan.TemplateCopies == 1 ? "y" : "ies",
               plan.Entries.size(), files, HumanBytes(plan.BytesToWrite));
    PrintWarnings(out, plan);
    fmt::print(out, "\nDry run: nothing was written.\n");
}

}  // namespace

const char* KindName(SourceKind k) {
    switch (k) {
        case FromExisting: return "existing";
        case FromBackup: return "backup";
        case FromTemplate: return "template";
    }
    return "?";
}

nlohmann::ordered_json WarningsJson(const MergePlan& plan) {
    Json warnings = Json::array();
    for (const auto& w : plan.Warnings) warnings.push_back(OutputText(w));
    return warnings;
}

fs::path OutputPath(const std::string& output) {
    fs::path p = output.empty()
                     ? fs::current_path() / os::PathFromUtf8(OutputFolderName(FolderTimeStamp(LocalTimeOfDay(), "-")))
                     : AbsolutePath(output);
    if (!p.has_filename()) p = p.parent_path();  // "out/" names the folder "out"
    return p;
}

std::optional<std::int16_t> ParseFilesOption(std::string_view text) {
    if (text.empty() || text.size() > 6) return std::nullopt;
    const std::size_t digits = text[0] == '-' ? 1 : 0;
    if (digits == text.size()) return std::nullopt;
    for (std::size_t i = digits; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    std::int32_t v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
    if (v < 1 || v > 32767) return std::nullopt;
    return static_cast<std::int16_t>(v);
}

void RunMerge(const MergeArgs& a, std::ostream& out) {
    MergeRequest req;
    req.BrakeDate = a.BreakDate;
    req.BackupFile = AbsolutePath(a.Backup);
    req.ExistingFile = AbsolutePath(a.Existing);
    req.EmptyDataFile = AbsolutePath(a.Template);
    req.NumberOfFiles = a.Files;
    req.AllowDifferentTrends = a.AllowDifferentTrends;
    req.OutputFolder = OutputPath(a.Output);

    JobOptions job;
    job.DryRun = a.DryRun;
    job.Write.BeforeStep = TestHookFromEnvironment();
    std::optional<Progress> progress;
    if (!a.DryRun) {
        progress.emplace("merge", os::IsTerminal(os::Stream::Error));
        job.Write.Progress = [&](const WriteProgress& p) { progress->Update(p.Bytes, p.BytesTotal); };
    }
    const MergePlan plan = RunMergeJob(req, job);
    progress.reset();

    if (a.DryRun) {
        if (!a.Picture.empty())
            WritePicture(AbsolutePath(a.Picture),
                         TimelineSvg(PlanTimeline(plan, OutputText(os::PathText(plan.MasterTarget.stem())))));
        if (a.Json)
            out << PlanJson(plan, a.Files).dump(2) << '\n';
        else
            PrintPlan(out, plan, a.Files);
        return;
    }
    const fs::path& output = req.OutputFolder;

    if (a.Json) {
        Json j;
        j["message"] = std::string(kMergedText);
        j["outputFolder"] = Show(output);
        j["master"] = Show(plan.MasterTarget);
        j["takenExisting"] = plan.TakenExisting;
        j["takenBackup"] = plan.TakenBackup;
        j["templateCopies"] = plan.TemplateCopies;
        j["files"] = plan.Entries.size();
        j["bytesWritten"] = plan.BytesToWrite;
        j["warnings"] = WarningsJson(plan);
        out << j.dump(2) << '\n';
        return;
    }
    fmt::print(out, "{}\n", kMergedText);
    fmt::print(out, "  From the existing set:  {} data file{}\n", plan.TakenExisting, plan.TakenExisting == 1 ? "" : "s");
    fmt::print(out, "  From the backup set:    {} data file{}\n", plan.TakenBackup, plan.TakenBackup == 1 ? "" : "s");
    fmt::print(out, "  Template copies:        {}\n", plan.TemplateCopies);
    fmt::print(out, "  Master file:            {}\n", Show(plan.MasterTarget));
    PrintWarnings(out, plan);
}

namespace {

const char* const kMergeFooter =
    "Stop trending in Citect for this trend before merging a live existing set: the merge reads the\n"
    "existing set's files while Citect may still be writing them, and a copy taken mid-write is not a\n"
    "consistent trend.  Both sets are only read.  The output folder must not exist yet; the folder that\n"
    "is to hold it must.  The break date is month-day-year (09-17-2004) or ISO (2004-09-17): data files\n"
    "starting on or after it come from the existing set, earlier ones from the backup set; copies of the\n"
    "empty data file fill the merged set up to --files.";

}  // namespace

Command AddMergeCommand(CLI::App& app) {
    auto args = std::make_shared<MergeArgs>();
    MergeArgs& a = *args;
    auto* cmd = app.add_subcommand(
        "merge", "Merge a backup set (history before the break date) and an existing set (history from the "
                 "break date on) into a new set in a new folder.");
    AddPathOption(*cmd, "--backup", a.Backup, "Master file (*.HST) of the backup set", "PATH")->required();
    AddPathOption(*cmd, "--existing", a.Existing, "Master file (*.HST) of the existing set", "PATH")->required();
    AddPathOption(*cmd, "--template", a.Template, "Empty data file, copied to fill the merged set up", "PATH")
        ->required();
    AddFilesOption(*cmd, [&a](std::int16_t files) { a.Files = files; }, "Number of data files of the merged set")
        ->required();
    AddBreakDateOption(*cmd, a.BreakDate);
    AddPathOption(*cmd, "--output", a.Output,
                  "Output folder to create (default: \"Merged trenddata HH-MM-SS\" in the current folder)", "DIR");
    auto* dryRun = cmd->add_flag("--dry-run", a.DryRun, "Show the plan only: write nothing, create no folder");
    cmd->add_flag("--allow-different-trends", a.AllowDifferentTrends,
                  "Merge a backup and an existing master of different trends (a plan warning instead of a refusal)");
    cmd->add_flag("--json", a.Json, "Print the plan or the summary as JSON");
    AddPictureOption(*cmd, a.Picture, dryRun, "also draw the plan as an SVG timeline in FILE", "FILE");
    cmd->footer(kMergeFooter);
    return {cmd, [args](std::ostream& out, std::ostream&) {
                RunMerge(*args, out);
                return 0;
            }};
}

}  // namespace jw::cli
