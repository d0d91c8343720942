// A sub-command of joinwright-cli as its module hands it to Run: the module
// declares the command and its options on the program's CLI::App, and gives
// back what runs once the command line has been read.
#pragma once

#include <functional>
#include <ostream>

namespace CLI {
class App;
}

namespace jw::cli {

inline constexpr const char* kProgram = "joinwright-cli";

// Runs the parsed command with its reports on out and its notices on err and
// returns the exit status; a refusal or failure is an exception, which Run
// reports as one line on err.
using CommandRun = std::function<int(std::ostream& out, std::ostream& err)>;

struct Command {
    CLI::App* Options = nullptr;  // the sub-command; owned by the program's App
    CommandRun Run;
};

// The modules: each adds its sub-command to app.
Command AddMergeCommand(CLI::App& app);
Command AddMergeFolderCommand(CLI::App& app);
Command AddInspectCommand(CLI::App& app);
Command AddExportCommand(CLI::App& app);

}  // namespace jw::cli
