// The merge job: the one way a merge runs, for the window, `joinwright-cli
// merge` and `joinwright-cli merge-folder` alike.  A front turns its input
// into a request, runs the job and shows what it returns.
//
// A job that writes:
//   1. opens the folder that is to hold the output folder, and keeps it open;
//   2. makes the output folder in it under a hidden working name
//      (WorkingFolderName) and keeps that open too;
//   3. plans every trend (reads only; the free space is read from the open
//      output folder);
//   4. stages every file into the open output folder (engine/MergeWriter.h)
//      and makes all of it durable;
//   5. gives the output folder its name in one rename that never replaces
//      anything: every trend appears at once, or none does.
// Every file is made relative to the open folders: renaming the output
// folder or its parent, or putting a link in their place, while the job
// runs sends nothing elsewhere.  Nothing is written outside the output
// folder; the only entry the job makes beside it is the output folder itself
// under its working name.
//
// When the merge is refused or fails, the job removes every file it made and
// then the output folder when it is empty (nothing else is ever removed);
// the error says that nothing was merged.  An interrupt (os::RemoveOnInterrupt)
// before step 5 does the same and says so on standard error; one after it
// says that the merge is complete.  Killed outright (SIGKILL, a power loss)
// before step 5, the hidden working folder is all that remains; a new run
// into the same output folder finds it and refuses, naming it.
//
// A dry run only plans: it makes no folder and writes nothing.
#pragma once

#include <filesystem>
#include <functional>

#include "engine/FolderMerge.h"
#include "engine/TrendTools.h"

namespace jw {

struct JobOptions {
    bool DryRun = false;  // plan only
    // The writer's progress and the test seam, which the job also calls with
    // WriteStep::Plan once the output folder is made, before planning.
    MergeOptions Write;
};

// One merge: makes request.OutputFolder (which must not exist; its parent
// must), plans, writes.  Returns the plan that was written (or, on a dry
// run, would be).
MergePlan RunMergeJob(const MergeRequest& request, const JobOptions& options = {});

struct FolderJobOptions {
    JobOptions Job;
    // Merge the trends that can be merged when others are refused; without
    // it a refused trend leaves the whole run unwritten.
    bool KeepGoing = false;
    std::function<void(const FolderProgress&)> Progress;
};

struct FolderJobResult {
    FolderPlan Plan;
    bool Written = false;  // every accepted trend is in the output folder
};

// Every trend of a data folder into one new output folder, as RunMergeJob.
// When nothing is to be written (no trend can be merged, or one is refused
// without KeepGoing) the output folder is not made (it is removed again).
FolderJobResult RunFolderMergeJob(const FolderMergeRequest& request, const FolderJobOptions& options = {});

// The hidden name the output folder `name` bears until the merge is
// complete: ".joinwright-partial-" and 16 hexadecimal digits computed from
// the name, so that it fits any file system that takes `name` and a new run
// finds what a killed one left.
std::filesystem::path WorkingFolderName(const std::filesystem::path& name);

}  // namespace jw
