#include "cli/Cli.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/Output.h"
#include "formats/Notices.h"
#include "os/Process.h"
#include "os/Text.h"

namespace jw::cli {

namespace {

// --help and --version print and succeed; any other parse error is a usage
// error in one line.
int ParseFailure(const CLI::App& app, const CLI::ParseError& e, std::ostream& out, std::ostream& err) {
    if (e.get_exit_code() == 0) {  // --help, --version
        app.exit(e, out, err);
        return kExitOk;
    }
    err << kProgram << ": usage error: " << OneLine(e.what()) << '\n'
        << "Run '" << kProgram << " --help' for more information.\n";
    return kExitUsage;
}

int RunParsed(const std::vector<Command>& commands, std::ostream& out, std::ostream& err) {
    ScopedNoticeSink notices([&err](std::string_view text, NoticeMark) {
        err << kProgram << ": notice: " << OutputText(OneLine(text)) << '\n';
    });
    try {
        for (const Command& c : commands)
            if (c.Options->parsed()) return c.Run(out, err);
        return kExitUsage;  // not reached: the app requires one command
    } catch (const std::exception& e) {
        out.flush();
        err << kProgram << ": error: " << OutputText(OneLine(e.what())) << '\n';
        return kExitFailed;
    }
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
    const std::vector<Command> commands{AddMergeCommand(app), AddMergeFolderCommand(app), AddInspectCommand(app),
                                        AddExportCommand(app)};
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return ParseFailure(app, e, out, err);
    }
    return RunParsed(commands, out, err);
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
