// merge-folder: every trend of a data folder merged at once into one output
// folder, all planned before anything is written.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace jw::cli {

struct MergeFolderArgs {
    std::string Backup, Existing, Templates;  // folders
    std::string BreakDate;
    std::optional<std::int16_t> Files;        // none: each trend's existing nFiles
    std::string Output;                       // folder to create
    std::string Only;                         // trend name pattern; empty: every trend (an empty --only is a usage error)
    bool KeepGoing = false;
    bool AllowDifferentTrends = false;
    bool DryRun = false;
    bool Json = false;
    std::string Picture;                      // with DryRun: a folder for one SVG per trend
};

// Plans every trend, then (unless a dry run) writes them.  Returns 0 when
// every trend was merged (or can be), 1 when any was refused: by default
// nothing is written then; with KeepGoing the others are.  A failure of the
// whole run is a jw::Error.  Refusals are listed on out (or in the JSON).
int RunMergeFolder(const MergeFolderArgs& args, std::ostream& out, std::ostream& err);

}  // namespace jw::cli
