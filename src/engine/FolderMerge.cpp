// Planning and writing the merge of every trend of a data folder.
#include "engine/FolderMerge.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "base/Errors.h"
#include "time/StringTools.h"
#include "engine/MergeWriter.h"
#include "formats/BinaryFile.h"
#include "formats/TrendSet.h"
#include "formats/Validity.h"
#include "formats/clsHSTMaster.h"
#include "os/Text.h"

namespace jw {

namespace {

namespace fs = std::filesystem;
using StringTools::Quoted;

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The entries of a folder other than folders, keyed by their name in lower
// case (the one listing the planner also finds data files in): links and
// other non-regular files are listed too, so that a master that is one is
// refused by name rather than passed over.  A folder that cannot be listed
// refuses the whole run.
std::map<std::string, std::vector<fs::path>> ListFolder(FolderIndexes& listings, const fs::path& folder,
                                                        const std::string& role) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        Fail(ErrorKind::Refused, "The " + role + " folder " + os::PathText(folder) + " does not exist or is not a folder.");
    try {
        return listings.For(folder).Files();
    } catch (const Error& e) {
        Fail(e.kind(), "cannot list the " + role + " folder: " + e.what());
    }
}

// "A and B": names that differ only in letter case.
std::string Both(const std::vector<fs::path>& paths) {
    std::string out;
    for (std::size_t i = 0; i < paths.size(); ++i)
        out += (i == 0 ? "" : i + 1 == paths.size() ? " and " : ", ") + Quoted(os::PathText(paths[i].filename()));
    return out;
}

// The trend's empty data file: the one file of the templates folder named
// <trend>.<digits>, in any letter case.
std::string FindTemplate(const std::map<std::string, std::vector<fs::path>>& templates, const std::string& trend,
                         const fs::path& folder, fs::path& found) {
    std::vector<fs::path> candidates;
    const std::string prefix = FoldCase(trend) + ".";
    for (auto it = templates.lower_bound(prefix); it != templates.end() && it->first.rfind(prefix, 0) == 0; ++it) {
        const std::string_view tail = std::string_view(it->first).substr(prefix.size());
        if (!tail.empty() && std::all_of(tail.begin(), tail.end(), [](char c) { return c >= '0' && c <= '9'; }))
            candidates.insert(candidates.end(), it->second.begin(), it->second.end());
    }
    if (candidates.empty())
        return "no empty data file of this trend in the templates folder " + os::PathText(folder) + " (a file named " +
               Quoted(trend + ".000") + " in any letter case, or with another number)";
    if (candidates.size() > 1)
        return "the templates folder " + os::PathText(folder) + " holds several empty data files of this trend (" +
               Both(candidates) + "); keep one";
    found = candidates.front();
    return {};
}

// The number of data files of the trend's merged set: the request's, else
// the existing master's nFiles.
std::int16_t FilesOf(const FolderMergeRequest& request, const fs::path& existing) {
    if (request.NumberOfFiles) return *request.NumberOfFiles;
    const clsHSTMaster master = ReadMasterHeader(existing);
    if (master.nFiles < 1)
        Fail(ErrorKind::Refused, "its existing master " + os::PathText(existing) + " has nFiles " +
                                     std::to_string(master.nFiles) + "; give the number of data files (--files)");
    return master.nFiles;
}

// Refuses every trend that would write a file whose name another trend also
// writes (in any letter case: a Windows data folder cannot hold both).
void RefuseClashes(FolderPlan& plan) {
    std::map<std::string, std::size_t> owner;
    std::vector<std::string> clash(plan.Trends.size());
    for (std::size_t t = 0; t < plan.Trends.size(); ++t) {
        const auto& trend = plan.Trends[t];
        if (!trend.Plan) continue;
        std::vector<fs::path> names{trend.Plan->MasterTarget, PartialMasterPath(*trend.Plan)};
        for (const auto& e : trend.Plan->Entries) names.push_back(e.Target);
        for (const auto& p : names) {
            const std::string name = os::PathText(p.filename());
            const auto [it, fresh] = owner.emplace(FoldCase(name), t);
            if (fresh || it->second == t) continue;
            const std::size_t other = it->second;
            if (clash[t].empty())
                clash[t] = "its output file " + Quoted(name) + " would have the name of a file of trend " +
                           Quoted(plan.Trends[other].Trend) + " in the one output folder";
            if (clash[other].empty())
                clash[other] = "its output file " + Quoted(name) + " would have the name of a file of trend " +
                               Quoted(trend.Trend) + " in the one output folder";
        }
    }
    for (std::size_t t = 0; t < plan.Trends.size(); ++t)
        if (!clash[t].empty()) {
            plan.Trends[t].Plan.reset();
            plan.Trends[t].Refusal = clash[t];
        }
}

}  // namespace

int FolderPlan::Accepted() const {
    return static_cast<int>(std::count_if(Trends.begin(), Trends.end(), [](const auto& t) { return t.Plan.has_value(); }));
}

int FolderPlan::Refused() const { return static_cast<int>(Trends.size()) - Accepted(); }

bool MatchesPattern(std::string_view pattern, std::string_view name) {
    // Greedy matching with one point to return to after the last "*".
    std::size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
            ++p, ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++, resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1, n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

namespace {

using Listing = std::map<std::string, std::vector<fs::path>>;

// The three folders of a run, each listed once.
struct FolderListings {
    Listing Existing, Backup, Templates;
};

// Every master name of either folder, once, in name order: folded name ->
// trend as spelled.
std::map<std::string, std::string> TrendsOf(const FolderListings& folders) {
    std::map<std::string, std::string> trends;
    for (const auto* side : {&folders.Existing, &folders.Backup})
        for (const auto& [name, paths] : *side)
            if (TrendOfMasterName(name)) {
                const std::string file = os::PathText(paths.front().filename());
                trends.emplace(name.substr(0, name.size() - 4), file.substr(0, file.size() - 4));
            }
    return trends;
}

// The trend's master in one folder (`role` "existing" or "backup"): sets
// `into` and returns "", or returns why there is none to read.
std::string FindMaster(const Listing& side, const std::string& folded, const char* role, const fs::path& where,
                       fs::path& into) {
    const auto it = side.find(folded + ".hst");
    if (it == side.end()) return "no " + std::string(role) + " master of this name in " + os::PathText(where);
    if (it->second.size() > 1)
        return "the " + std::string(role) + " folder " + os::PathText(where) + " holds " + Both(it->second) +
               ", names that differ only in letter case";
    std::error_code st;
    if (!fs::is_regular_file(fs::symlink_status(it->second.front(), st)))
        return "the " + std::string(role) + " master " + os::PathText(it->second.front()) +
               " is a link or not a regular file; masters are read from regular files only";
    into = it->second.front();
    return {};
}

// One trend's part of the run: its plan, or why it is refused.
TrendMerge PlanTrend(const FolderMergeRequest& request, const FolderListings& folders, FolderIndexes& listings,
                     const std::string& folded, const std::string& spelled) {
    TrendMerge t;
    t.Trend = spelled;
    t.Request.BrakeDate = request.BrakeDate;
    t.Request.AllowDifferentTrends = request.AllowDifferentTrends;
    t.Request.OutputFolder = request.OutputFolder;
    fs::path templ;
    t.Refusal = FindMaster(folders.Existing, folded, "existing", request.ExistingFolder, t.Request.ExistingFile);
    if (t.Refusal.empty())
        t.Refusal = FindMaster(folders.Backup, folded, "backup", request.BackupFolder, t.Request.BackupFile);
    if (t.Refusal.empty()) t.Refusal = FindTemplate(folders.Templates, spelled, request.TemplateFolder, templ);
    if (!t.Refusal.empty()) return t;
    t.Request.EmptyDataFile = templ;
    try {
        t.Request.NumberOfFiles = FilesOf(request, t.Request.ExistingFile);
        t.Plan = PlanMerge(t.Request, PlanOptions{.FreeSpace = std::nullopt, .Listings = &listings});
    } catch (const Error& e) {
        t.Refusal = e.what();
    }
    return t;
}

// Refuses the whole run when the output folder cannot hold what the
// accepted trends write.
void RefuseShortSpace(FolderPlan& plan, std::uint64_t freeSpace) {
    for (const auto& t : plan.Trends)
        if (t.Plan) plan.BytesToWrite += t.Plan->BytesToWrite;
    if (freeSpace < plan.BytesToWrite)
        Fail(ErrorKind::Refused, "The output folder " + os::PathText(plan.OutputFolder) + " has " +
                                     std::to_string(freeSpace) + " bytes free; the " +
                                     std::to_string(plan.Accepted()) + " trends that can be merged need " +
                                     std::to_string(plan.BytesToWrite) + ".");
}

}  // namespace

FolderPlan PlanFolderMerge(const FolderMergeRequest& request, std::uint64_t freeSpace) {
    // A break date that is no date refuses the run once, not every trend.
    if (!ParseBreakDate(request.BrakeDate))
        Fail(ErrorKind::Refused, "The break date " + Quoted(request.BrakeDate) +
                                     " is not a date; type it as month-day-year, for example 09-17-2004 (or 2004-09-17).");
    FolderIndexes listings;  // each folder listed once, for pairing and for every trend's plan
    FolderListings folders;
    folders.Existing = ListFolder(listings, request.ExistingFolder, "existing");
    folders.Backup = ListFolder(listings, request.BackupFolder, "backup");
    folders.Templates = ListFolder(listings, request.TemplateFolder, "templates");

    FolderPlan plan;
    plan.OutputFolder = request.OutputFolder;
    for (const auto& [folded, spelled] : TrendsOf(folders))
        if (!request.Only || MatchesPattern(*request.Only, spelled))
            plan.Trends.push_back(PlanTrend(request, folders, listings, folded, spelled));
    if (plan.Trends.empty())
        Fail(ErrorKind::Refused, "No trend to merge: no master file (*.HST) in " + os::PathText(request.ExistingFolder) +
                                     " or " + os::PathText(request.BackupFolder) +
                                     (request.Only ? " matches " + Quoted(*request.Only) : std::string()) + ".");
    RefuseClashes(plan);
    RefuseShortSpace(plan, freeSpace);
    return plan;
}

}  // namespace jw
