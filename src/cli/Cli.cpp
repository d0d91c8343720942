#include "cli/Cli.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <vector>

#include "cli/Export.h"
#include "cli/ExportTarget.h"
#include "cli/SetReport.h"
#include "cli/MergeCommand.h"
#include "cli/MergeFolderCommand.h"
#include "cli/Progress.h"
#include "cli/TestHook.h"
#include "cli/Output.h"
#include "cli/TimeText.h"
#include "formats/Notices.h"
#include "base/Errors.h"
#include "os/Process.h"
#include "os/Text.h"

namespace jw::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "joinwright-cli";

const char* const kMergeFooter =
    "Stop trending in Citect for this trend before merging a live existing set: the merge reads the\n"
    "existing set's files while Citect may still be writing them, and a copy taken mid-write is not a\n"
    "consistent trend.  Both sets are only read.  The output folder must not exist yet; the folder that\n"
    "is to hold it must.  The break date is month-day-year (09-17-2004) or ISO (2004-09-17): data files\n"
    "starting on or after it come from the existing set, earlier ones from the backup set; copies of the\n"
    "empty data file fill the merged set up to --files.";

const char* const kMergeFolderFooter =
    "Pairs every master of the existing folder with the master of the same name (any letter case) in\n"
    "the backup folder; each trend needs its own empty data file NAME.000 (any number, any letter case)\n"
    "in the templates folder.  Every trend is planned as merge plans it.  By default nothing is written\n"
    "when any trend is refused; --keep-going merges the others.  The merged sets lie side by side in the\n"
    "output folder, which gets its name only once every file of the whole run is on disk.\n"
    "Exit status: 0 every trend merged, 1 any refused (or the run failed), 2 usage error.";

const char* const kInspectFooter =
    "Times show as YYYY-MM-DD HH:MM:SS in the trend's own clock (no time-zone shift); a time of 0 is\n"
    "shown as not set.  In JSON every time is {\"raw\": stored integer, \"text\": ...} and text fields\n"
    "are decoded from Windows-1252 at their full width, trailing NULs and blanks included.\n"
    "Exit status: 0, or 1 when --check found problems or the file cannot be read.";

const char* const kExportFooter =
    "Rows are \"time,value\", the time as YYYY-MM-DD HH:MM:SS.mmm in the trend's own clock.  A data\n"
    "file holds no more samples than it holds after its header; periodic samples go no further than\n"
    "the header's end time, event samples stop at the first record whose time is 0.  Invalid markers\n"
    "(16-bit -32001 and -32002, 8-byte NaN) give rows with an empty value unless --skip-invalid.";

// Accepts the texts parse reads; any other is "\"text\" is not <what>".
template <class Parse>
CLI::Validator TextValidator(Parse parse, const char* what) {
    return CLI::Validator(
        [parse, what](std::string& s) -> std::string {
            return parse(s) ? std::string() : "\"" + s + "\" is not " + what;
        },
        "");
}

// A path option given as an empty text names nothing: a usage error naming
// the option, never a silent default.
CLI::Validator PathValidator() {
    return CLI::Validator([](std::string& s) { return s.empty() ? std::string("an empty text is not a path") : std::string(); },
                          "");
}

CLI::Validator TimeValidator() { return TextValidator(ParseTimeText, "a time YYYY-MM-DD[ HH:MM[:SS[.mmm]]]"); }
CLI::Validator FileCountValidator() { return TextValidator(ParseFilesOption, "a whole number in 1..32767"); }

struct ExportArgs {
    std::string Path;
    std::string Output;
    std::string From, To;
    bool Scaled = false;
    bool SkipInvalid = false;
    bool IncludeUnwritten = false;
};

// Takes nothing: lists the inputs of an export before the output exists.
class NullSink final : public CsvSink {
public:
    void Write(const char*, std::size_t) override {}
};

void RunExport(const ExportArgs& a, std::ostream& err) {
    ExportOptions options;
    if (!a.From.empty()) options.From = ParseTimeText(a.From);
    if (!a.To.empty()) options.To = ParseTimeText(a.To);
    options.Scaled = a.Scaled;
    options.SkipInvalid = a.SkipInvalid;
    options.IncludeUnwritten = a.IncludeUnwritten;
    const ExportNotice notice = [&err](const std::string& text) {
        err << kProgram << ": notice: " << OutputText(OneLine(text)) << '\n';
    };
    // A format notice here would mean samples read in the wrong layout: an
    // error, never rows.
    ScopedNoticeSink strict([](std::string_view text, NoticeMark) { Fail(ErrorKind::InvalidData, std::string(text)); });

    const bool toFile = !a.Output.empty();
    Progress progress("export", os::IsTerminal(os::Stream::Error) && (toFile || !os::IsTerminal(os::Stream::Output)));
    const ExportProgress onProgress = [&progress](std::uint64_t done, std::uint64_t total) {
        progress.Update(done, total);
    };
    const fs::path path = os::PathFromUtf8(a.Path);
    const std::vector<ExportInput> files = ExportInputs(path, notice);

    if (!toFile) {
        StdoutSink sink;
        CsvExporter exporter(sink, options, notice, onProgress);
        exporter.ExportFiles(files);
        return;
    }
    std::vector<fs::path> inputs{path};
    for (const auto& f : files) inputs.push_back(f.Path);
    ExportTarget target(os::PathFromUtf8(a.Output), inputs);
    CsvExporter exporter(target.Sink(), options, notice, onProgress);
    exporter.ExportFiles(files);
    RunTestHook("export");
    target.Finish();
}

}  // namespace

int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"Merge, inspect and export Citect trend sets: a master file (*.HST) and its numbered data "
                 "files (*.000, *.001, ...).",
                 kProgram};
    app.set_version_flag("--version", std::string(kProgram) + " " + JW_VERSION);
    app.require_subcommand(1);
    app.footer("Exit status: 0 success, 1 refused or failed (one line on standard error), 2 usage error.\n"
               "Run 'joinwright-cli COMMAND --help' for the options of a command.");

    MergeArgs merge;
    std::string filesText;
    auto* mergeCmd = app.add_subcommand(
        "merge", "Merge a backup set (history before the break date) and an existing set (history from the "
                 "break date on) into a new set in a new folder.");
    mergeCmd->add_option("--backup", merge.Backup, "Master file (*.HST) of the backup set")
        ->required()
        ->type_name("PATH")
        ->check(PathValidator());
    mergeCmd->add_option("--existing", merge.Existing, "Master file (*.HST) of the existing set")
        ->required()
        ->type_name("PATH")
        ->check(PathValidator());
    mergeCmd->add_option("--template", merge.Template, "Empty data file, copied to fill the merged set up")
        ->required()
        ->type_name("PATH")
        ->check(PathValidator());
    mergeCmd->add_option("--files", filesText, "Number of data files of the merged set")
        ->required()
        ->type_name("N")
        ->check(FileCountValidator());
    mergeCmd->add_option("--break-date", merge.BreakDate, "Break date, month-day-year (09-17-2004) or YYYY-MM-DD")
        ->required()
        ->type_name("DATE");
    mergeCmd->add_option("--output", merge.Output,
                         "Output folder to create (default: \"Merged trenddata HH-MM-SS\" in the current folder)")
        ->type_name("DIR")
        ->check(PathValidator());
    auto* mergeDry = mergeCmd->add_flag("--dry-run", merge.DryRun, "Show the plan only: write nothing, create no folder");
    mergeCmd->add_flag("--allow-different-trends", merge.AllowDifferentTrends,
                       "Merge a backup and an existing master of different trends (a plan warning instead of a refusal)");
    mergeCmd->add_flag("--json", merge.Json, "Print the plan or the summary as JSON");
    mergeCmd->add_option("--picture", merge.Picture, "With --dry-run: also draw the plan as an SVG timeline in FILE")
        ->type_name("FILE")
        ->needs(mergeDry);
    mergeCmd->footer(kMergeFooter);

    MergeFolderArgs folder;
    std::string folderFilesText;
    auto* folderCmd = app.add_subcommand(
        "merge-folder", "Merge every trend of a data folder: each existing master (NAME.HST) with the backup master "
                        "of the same name, into one new output folder; every trend is planned before anything is "
                        "written.");
    folderCmd->add_option("--backup", folder.Backup, "Folder of the backup sets")
        ->required()
        ->type_name("DIR")
        ->check(PathValidator());
    folderCmd->add_option("--existing", folder.Existing, "Folder of the existing sets")
        ->required()
        ->type_name("DIR")
        ->check(PathValidator());
    folderCmd->add_option("--templates", folder.Templates, "Folder of the empty data files, one per trend (NAME.000)")
        ->required()
        ->type_name("DIR")
        ->check(PathValidator());
    folderCmd->add_option("--break-date", folder.BreakDate, "Break date, month-day-year (09-17-2004) or YYYY-MM-DD")
        ->required()
        ->type_name("DATE");
    folderCmd->add_option("--files", folderFilesText,
                          "Number of data files of every merged set (default: each trend's existing nFiles)")
        ->type_name("N")
        ->check(FileCountValidator());
    folderCmd->add_option("--output", folder.Output, "Output folder to create")
        ->required()
        ->type_name("DIR")
        ->check(PathValidator());
    folderCmd->add_option("--only", folder.Only, "Only trends whose name matches (* and ?, any letter case)")
        ->type_name("PATTERN")
        ->check(CLI::Validator(
            [](std::string& s) { return s.empty() ? std::string("an empty pattern matches no trend") : std::string(); },
            ""));
    folderCmd->add_flag("--keep-going", folder.KeepGoing, "Merge the trends that can be merged even when others are refused");
    auto* folderDry = folderCmd->add_flag("--dry-run", folder.DryRun, "Plan every trend only: write nothing");
    folderCmd->add_flag("--allow-different-trends", folder.AllowDifferentTrends,
                        "Merge masters of one name that hold different trends (a plan warning instead of a refusal)");
    folderCmd->add_flag("--json", folder.Json, "Print the summary as JSON");
    folderCmd->add_option("--picture", folder.Picture, "With --dry-run: draw each trend's plan as DIR/NAME.svg")
        ->type_name("DIR")
        ->needs(folderDry);
    folderCmd->footer(kMergeFolderFooter);

    std::string inspectPath;
    InspectOptions inspect;
    auto* inspectCmd = app.add_subcommand(
        "inspect", "Show what a master file (*.HST) or a data file holds; --check lists its problems.");
    inspectCmd->add_option("PATH", inspectPath, "Master file (name ending in HST) or data file")
        ->required()
        ->check(PathValidator());
    inspectCmd->add_flag("--json", inspect.Json, "Print JSON");
    inspectCmd->add_option("--picture", inspect.Picture, "Also draw the set (or data file) as an SVG timeline in FILE")
        ->type_name("FILE");
    inspectCmd->footer(kInspectFooter);
    inspectCmd->add_flag("--check", inspect.Check,
                         "List problems (records the file does not hold, missing or invalid data files, data files "
                         "that disagree with their record, record versions that differ); exit 1 when there are any");

    ExportArgs exportArgs;
    auto* exportCmd = app.add_subcommand(
        "export", "Write the samples of a data file, or of every data file of a set in start-time order, as CSV.");
    exportCmd->add_option("PATH", exportArgs.Path, "Master file (name ending in HST) or data file")
        ->required()
        ->check(PathValidator());
    exportCmd->add_option("-o,--output", exportArgs.Output, "CSV file to write (default: standard output)")
        ->type_name("FILE")
        ->check(PathValidator());
    exportCmd->add_option("--from", exportArgs.From, "First time to export (inclusive), YYYY-MM-DD[ HH:MM[:SS[.mmm]]]")
        ->type_name("TIME")
        ->check(TimeValidator());
    exportCmd->add_option("--to", exportArgs.To, "Time to stop before (exclusive), same form")
        ->type_name("TIME")
        ->check(TimeValidator());
    exportCmd->add_flag("--scaled", exportArgs.Scaled,
                        "Map 16-bit values to engineering units (RawZero/RawFull to EngZero/EngFull)");
    exportCmd->add_flag("--skip-invalid", exportArgs.SkipInvalid, "Leave out rows with an invalid marker");
    exportCmd->add_flag("--include-unwritten", exportArgs.IncludeUnwritten,
                        "Also export the samples past a data file's FilePointer (preallocated, not yet written)");
    exportCmd->footer(kExportFooter);

    try {
        app.parse(argc, argv);
        if (exportCmd->parsed() && !exportArgs.From.empty() && !exportArgs.To.empty() &&
            *ParseTimeText(exportArgs.From) >= *ParseTimeText(exportArgs.To))
            throw CLI::ValidationError("--to", "--to must be later than --from");
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {  // --help, --version
            app.exit(e, out, err);
            return kExitOk;
        }
        err << kProgram << ": usage error: " << OneLine(e.what()) << '\n'
            << "Run '" << kProgram << " --help' for more information.\n";
        return kExitUsage;
    }

    ScopedNoticeSink notices([&err](std::string_view text, NoticeMark) {
        err << kProgram << ": notice: " << OutputText(OneLine(text)) << '\n';
    });
    try {
        if (mergeCmd->parsed()) {
            merge.Files = *ParseFilesOption(filesText);
            RunMerge(merge, out);
            return kExitOk;
        }
        if (folderCmd->parsed()) {
            if (!folderFilesText.empty()) folder.Files = *ParseFilesOption(folderFilesText);
            return RunMergeFolder(folder, out, err);
        }
        if (inspectCmd->parsed()) {
            const int status = RunInspect(os::PathFromUtf8(inspectPath), inspect, out);
            if (status != kExitOk)
                err << kProgram << ": error: --check found problems in " << OutputText(inspectPath) << '\n';
            return status;
        }
        RunExport(exportArgs, err);
        return kExitOk;
    } catch (const std::exception& e) {
        out.flush();
        err << kProgram << ": error: " << OutputText(OneLine(e.what())) << '\n';
        return kExitFailed;
    }
}

int Main(int argc, const char* const* argv) {
    os::PrepareStandardStreams();
    // The arguments as UTF-8, whatever the system handed over.
    const std::vector<std::string> args = os::Utf8Arguments(argc, argv);
    std::vector<const char*> argp;
    for (const auto& a : args) argp.push_back(a.c_str());
    int status = Run(static_cast<int>(argp.size()), argp.data(), std::cout, std::cerr);
    // A report that never arrived is no success (a full disk, /dev/full).
    try {
        os::FlushStandardOutput();
    } catch (const std::exception& e) {
        std::cerr << kProgram << ": error: " << OutputText(OneLine(e.what())) << '\n';
        if (status == kExitOk) status = kExitFailed;
    }
    return status;
}

}  // namespace jw::cli
