// merge: the merge of the window on the command line, with a dry run that
// shows the plan and writes nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/TrendTools.h"

namespace jw::cli {

struct MergeArgs {
    std::string Backup;
    std::string Existing;
    std::string Template;
    std::int16_t Files = 0;
    std::string BreakDate;
    std::string Output;  // empty: "Merged trenddata HH-MM-SS" in the current folder
    bool DryRun = false;
    bool Json = false;
    std::string Picture;  // with DryRun: the SVG file to write
    bool AllowDifferentTrends = false;
};

// A --files text: a whole number in 1..32767 (digits only; a "-" is taken
// and refused as out of range), else nullopt.
std::optional<std::int16_t> ParseFilesOption(std::string_view text);

// The output folder a command line names, made absolute; empty: the
// default name ("Merged trenddata HH-MM-SS") in the current folder.
std::filesystem::path OutputPath(const std::string& output);

// "existing", "backup", "template".
const char* KindName(SourceKind kind);

// The plan's warnings as a JSON array of texts.
nlohmann::ordered_json WarningsJson(const MergePlan& plan);

// Runs the merge job (or its dry run) and prints the result.  A refusal or
// failure is a jw::Error, and leaves nothing behind (engine/MergeJob.h).
void RunMerge(const MergeArgs& args, std::ostream& out);

}  // namespace jw::cli
