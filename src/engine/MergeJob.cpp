// The merge job: output folder, plan, stage, commit (engine/MergeJob.h).
#include "engine/MergeJob.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "base/Errors.h"
#include "engine/EngineDetail.h"
#include "engine/MergeWriter.h"
#include "engine/OutputFolder.h"
#include "os/File.h"
#include "os/Process.h"
#include "os/Text.h"
#include "time/StringTools.h"

namespace jw {

namespace fs = std::filesystem;
using StringTools::Quoted;

fs::path WorkingFolderName(const fs::path& name) {
    // FNV-1a over the name's bytes as the system spells them.
    std::uint64_t h = 14695981039346656037ULL;
    const auto& native = name.native();
    for (const auto c : native) {
        auto u = static_cast<std::uint64_t>(c);
        for (std::size_t i = 0; i < sizeof c; ++i, u >>= 8) h = (h ^ (u & 0xFF)) * 1099511628211ULL;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    return os::PathFromUtf8(std::string(".joinwright-partial-") + hex);
}

namespace {

// The output folder of one job, from its making to its name.
class OutputStage {
public:
    // A dry run: checks that the folder can be made and opens its parent for
    // the free space.  Otherwise also makes the folder under its working name.
    OutputStage(const fs::path& folder, bool dryRun) : folder_(folder), working_(WorkingFolderName(folder.filename())) {
        CheckOutputFolderCanBeMade(folder);
        const fs::path parent = folder.has_parent_path() ? folder.parent_path() : fs::path(".");
        try {
            parent_ = os::Folder::Open(parent, os::Links::Follow);
        } catch (const Error& e) {
            Fail(e.kind(), "cannot open the folder " + os::PathText(parent) + " that is to hold the output folder: " +
                               e.what());
        }
        if (dryRun) {
            engine_detail::RefuseUnwritableOutputParent(folder);
            return;
        }
        try {
            stage_ = parent_.MakeFolder(working_);
        } catch (const Error& e) {
            std::error_code ec;
            if (fs::exists(fs::symlink_status(parent / working_, ec)))
                Fail(ErrorKind::Refused, "An earlier merge into " + os::PathText(folder) +
                                             " was cut off and left its unfinished output folder " +
                                             os::PathText(parent / working_) +
                                             "; nothing of it was merged. Remove that folder and merge again.");
            Fail(e.kind(), "cannot create the output folder " + os::PathText(folder) + ": " + e.what());
        }
        made_ = true;
        interrupted_ = std::make_unique<os::RemoveOnInterrupt>(
            parent_, working_,
            "Interrupted: nothing was merged; the unfinished output folder was removed and " + os::PathText(folder) +
                " was not made.",
            os::RemoveOnInterrupt::What::EmptyFolder);
    }

    // Not committed: the writer has removed its files by now; the folder
    // goes when empty.
    ~OutputStage() {
        if (!made_ || named_) return;
        interrupted_.reset();
        stage_ = os::Folder();
        parent_.RemoveFolder(working_);
    }

    OutputStage(const OutputStage&) = delete;
    OutputStage& operator=(const OutputStage&) = delete;

    std::uint64_t FreeSpace() const { return (made_ ? stage_ : parent_).FreeSpace(); }
    const os::Folder& Folder() const { return stage_; }

    // Gives the folder its name, with the writer's files in it: one rename,
    // interrupts held until the guards say the new truth.
    void Commit(MergeWriter& writer, const std::string& doneNote) {
        {
            const os::InterruptsHeld held;
            try {
                if (!parent_.Holds(working_, stage_))
                    Fail(ErrorKind::Refused, "the output folder " + os::PathText(parent_.PathOf(working_)) +
                                                 " was moved or replaced while the merge ran");
                parent_.RenameNoReplace(working_, folder_.filename());
            } catch (const Error& e) {
                Fail(e.kind(), "The merge into " + os::PathText(folder_) +
                                   " failed while giving the output folder its name: " + e.what() +
                                   "; nothing was merged.");
            }
            named_ = true;
            writer.Release();
            interrupted_.reset();
            interrupted_ = std::make_unique<os::RemoveOnInterrupt>(parent_, fs::path(), doneNote,
                                                                   os::RemoveOnInterrupt::What::NoteOnly);
        }
        // The name is durable with the parent's entries; a failure here does
        // not undo a complete merge.
        try {
            parent_.Sync();
        } catch (const Error&) {
        }
    }

private:
    fs::path folder_, working_;
    os::Folder parent_, stage_;
    std::unique_ptr<os::RemoveOnInterrupt> interrupted_;
    bool made_ = false, named_ = false;
};

void Step(const JobOptions& o, WriteStep step) {
    if (o.Write.BeforeStep) o.Write.BeforeStep(step, nullptr);
}

}  // namespace

MergePlan RunMergeJob(const MergeRequest& request, const JobOptions& options) {
    OutputStage out(request.OutputFolder, options.DryRun);
    Step(options, WriteStep::Plan);
    MergePlan plan = PlanMerge(request, PlanOptions{.FreeSpace = out.FreeSpace()});
    if (options.DryRun) return plan;
    MergeWriter writer(out.Folder(), options.Write);
    writer.Stage(plan);
    writer.Commit();
    Step(options, WriteStep::Rename);
    out.Commit(writer, "Interrupted after the merge was complete: " + os::PathText(plan.MasterTarget) +
                           " and its data files are all in place.");
    return plan;
}

FolderJobResult RunFolderMergeJob(const FolderMergeRequest& request, const FolderJobOptions& options) {
    FolderJobResult result;
    OutputStage out(request.OutputFolder, options.Job.DryRun);
    Step(options.Job, WriteStep::Plan);
    result.Plan = PlanFolderMerge(request, out.FreeSpace());
    const FolderPlan& plan = result.Plan;
    if (options.Job.DryRun || plan.Accepted() == 0 || (plan.Refused() > 0 && !options.KeepGoing)) return result;

    FolderProgress p;
    p.TrendsTotal = plan.Accepted();
    p.BytesTotal = plan.BytesToWrite;
    MergeOptions write = options.Job.Write;
    if (options.Progress)
        write.Progress = [&](const WriteProgress& w) {
            p.Bytes = w.Bytes;
            p.BytesTotal = w.BytesTotal;
            options.Progress(p);
        };
    // One writer, one commit: every trend is staged before the folder gets
    // its name.
    MergeWriter writer(out.Folder(), write);
    for (const auto& t : plan.Trends)
        if (t.Plan) writer.Expect(*t.Plan);
    for (const auto& t : plan.Trends) {
        if (!t.Plan) continue;
        writer.Stage(*t.Plan);
        ++p.Trends;
        if (options.Progress) options.Progress(p);
    }
    writer.Commit();
    Step(options.Job, WriteStep::Rename);
    out.Commit(writer, "Interrupted after the merge was complete: all " + std::to_string(plan.Accepted()) +
                           " merged trends are in " + os::PathText(request.OutputFolder) + ".");
    result.Written = true;
    return result;
}

std::string MergeTrendSets(const MergeRequest& request, const MergeOptions& options) {
    RunMergeJob(request, JobOptions{.DryRun = false, .Write = options});
    return std::string(kMergedText);
}

}  // namespace jw
