// export: the samples of a data file or a set as CSV, on standard output or
// into a file that appears only once it is whole.
#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "cli/Command.h"
#include "cli/Export.h"
#include "cli/ExportTarget.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "cli/TestHook.h"
#include "cli/TimeText.h"
#include "formats/Notices.h"
#include "os/Process.h"
#include "os/Text.h"

namespace jw::cli {

namespace fs = std::filesystem;

namespace {

const char* const kExportFooter =
    "Rows are \"time,value\", the time as YYYY-MM-DD HH:MM:SS.mmm in the trend's own clock.  A data\n"
    "file holds no more samples than it holds after its header; periodic samples go no further than\n"
    "the header's end time, event samples stop at the first record whose time is 0.  Invalid markers\n"
    "(16-bit -32001 and -32002, 8-byte NaN) give rows with an empty value unless --skip-invalid.";

struct ExportArgs {
    std::string Path;
    std::string Output;
    std::string From, To;
    bool Scaled = false;
    bool SkipInvalid = false;
    bool IncludeUnwritten = false;
};

ExportOptions OptionsOf(const ExportArgs& a) {
    ExportOptions options;
    if (!a.From.empty()) options.From = ParseTimeText(a.From);
    if (!a.To.empty()) options.To = ParseTimeText(a.To);
    options.Scaled = a.Scaled;
    options.SkipInvalid = a.SkipInvalid;
    options.IncludeUnwritten = a.IncludeUnwritten;
    return options;
}

void RunExport(const ExportArgs& a, std::ostream& err) {
    const ExportOptions options = OptionsOf(a);
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

Command AddExportCommand(CLI::App& app) {
    auto args = std::make_shared<ExportArgs>();
    ExportArgs& a = *args;
    auto* cmd = app.add_subcommand(
        "export", "Write the samples of a data file, or of every data file of a set in start-time order, as CSV.");
    cmd->add_option("PATH", a.Path, "Master file (name ending in HST) or data file")->required()->check(PathValidator());
    AddPathOption(*cmd, "-o,--output", a.Output, "CSV file to write (default: standard output)", "FILE");
    cmd->add_option("--from", a.From, "First time to export (inclusive), YYYY-MM-DD[ HH:MM[:SS[.mmm]]]")
        ->type_name("TIME")
        ->check(TimeValidator());
    cmd->add_option("--to", a.To, "Time to stop before (exclusive), same form")->type_name("TIME")->check(TimeValidator());
    cmd->add_flag("--scaled", a.Scaled, "Map 16-bit values to engineering units (RawZero/RawFull to EngZero/EngFull)");
    cmd->add_flag("--skip-invalid", a.SkipInvalid, "Leave out rows with an invalid marker");
    cmd->add_flag("--include-unwritten", a.IncludeUnwritten,
                  "Also export the samples past a data file's FilePointer (preallocated, not yet written)");
    cmd->footer(kExportFooter);
    // Read once every option is: the range must not be empty.
    cmd->callback([&a] {
        if (!a.From.empty() && !a.To.empty() && *ParseTimeText(a.From) >= *ParseTimeText(a.To))
            throw CLI::ValidationError("--to", "--to must be later than --from");
    });
    return {cmd, [args](std::ostream&, std::ostream& err) {
                RunExport(*args, err);
                return 0;
            }};
}

}  // namespace jw::cli
