// Merging every trend of a data folder at once.
//
// A plant's data folder holds one trend set per trend side by side
// (NAME.HST, NAME.000, ...).  A folder merge pairs each master of the
// existing folder with the master of the same name (any letter case) in the
// backup folder, takes that trend's own empty data file from the templates
// folder, and plans every pair exactly as a single merge plans it.  The
// merge job (engine/MergeJob.h) then writes every accepted trend into the one
// output folder, side by side, and makes them all visible at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/TrendTools.h"

namespace jw {

struct FolderMergeRequest {
    std::filesystem::path BackupFolder;
    std::filesystem::path ExistingFolder;
    std::filesystem::path TemplateFolder;
    std::filesystem::path OutputFolder;
    std::string BrakeDate;
    // The number of data files of every merged set; none: each trend keeps
    // the nFiles of its existing master.
    std::optional<std::int16_t> NumberOfFiles;
    // Only trends whose name matches ("*" any run, "?" one character, any
    // letter case); none: every trend.  An empty pattern matches no name.
    std::optional<std::string> Only;
    // Masters of one name that hold different trends are merged with a plan
    // warning instead of refused (MergeRequest::AllowDifferentTrends).
    bool AllowDifferentTrends = false;
};

// One trend of the run: planned, or refused with the reason.
struct TrendMerge {
    std::string Trend;              // the master's file name without ".HST", as the existing (else backup) folder spells it
    MergeRequest Request;           // the paths found; empty where none was
    std::optional<MergePlan> Plan;  // set when the trend can be merged
    std::string Refusal;            // why not, otherwise
};

struct FolderPlan {
    std::filesystem::path OutputFolder;
    std::vector<TrendMerge> Trends;  // by name, ignoring letter case
    std::uint64_t BytesToWrite = 0;  // of the trends that can be merged
    int Accepted() const;
    int Refused() const;
};

// Pairs, finds templates and plans every trend; reads only.  A trend that
// cannot be merged is refused in its entry: a master without a partner of
// the same name, two masters whose names differ only in letter case, no or
// several templates, any refusal of the single merge, and output files whose
// names (any letter case) two trends would both write.  The whole run is
// refused (a jw::Error) when a folder cannot be read or freeSpace (bytes
// free where the output goes) is too little for every trend that can be
// merged.  Never looks at the output folder.
FolderPlan PlanFolderMerge(const FolderMergeRequest& request, std::uint64_t freeSpace);

struct FolderProgress {
    int Trends = 0, TrendsTotal = 0;        // trends staged
    std::uint64_t Bytes = 0, BytesTotal = 0;  // bytes of data files and masters written
};

// Whether name matches a pattern of "*" (any run), "?" (one character) and
// other characters compared without regard to ASCII letter case.
bool MatchesPattern(std::string_view pattern, std::string_view name);

}  // namespace jw
