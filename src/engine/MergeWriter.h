// The writing step in stages: one or more planned merges written into the
// output folder the merge job holds open (engine/MergeJob.h).
//
//     MergeWriter writer(folder, options);   // the job's open folder
//     writer.Stage(planA);                   // copies + A's master as A.HST.partial
//     writer.Stage(planB);
//     writer.Commit();                       // flush, then A.HST, B.HST, flush the folder
//     ... the job gives the folder its name ...
//     writer.Release();                      // the files are the job's result now
//
// Every file is created, renamed and removed relative to the folder's open
// handle: moving the folder away or putting a link in its place while the
// writer works sends nothing elsewhere.  Each source is opened without
// following a link (a template named by the operator may be one) and
// without blocking, and must be the very file the plan saw (device, index,
// size, modification and change time); anything else is refused before a
// byte of it is copied.
//
// Failures are jw::Error naming the output folder, the step and the file,
// and saying that nothing was merged.  A writer that goes without Release
// (an error, an early return) removes every file it made; until Release an
// interrupt removes them too (os::RemoveOnInterrupt, with no note: the job
// says what happened).
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "engine/TrendTools.h"
#include "os/File.h"

namespace jw {

class MergeWriter {
public:
    // Writes into folder, which must outlive the writer.
    explicit MergeWriter(const os::Folder& folder, const MergeOptions& options = {});
    ~MergeWriter();
    MergeWriter(const MergeWriter&) = delete;
    MergeWriter& operator=(const MergeWriter&) = delete;

    // Counts a plan into the progress totals before it is staged, so that
    // several staged plans report one run from 0 to all.  Without Expect
    // each plan is counted when it is staged; once Expect was called, the
    // totals are what it counted.
    void Expect(const MergePlan& plan);

    // Copies every data file of the plan into the folder and writes its
    // master under its temporary name (PartialMasterPath).  Nothing gets a
    // final master name yet.  The plan must have been made for this folder.
    void Stage(const MergePlan& plan);

    // Makes every staged file durable, then gives each staged master its
    // final name (never replacing a file), then makes the folder's entries
    // durable.  A writer commits once.  A failure removes every file made.
    void Commit();

    // The folder with everything in it is the job's result now: the files
    // stay when the writer goes, and an interrupt no longer removes them.
    void Release() noexcept;

    // Removes every file this writer made (copies, masters).  Never throws.
    void Discard() noexcept;

    const std::filesystem::path& Folder() const { return folder_.Path(); }

private:
    struct Staged;

    void Step(WriteStep step, const PlanEntry* entry) const;
    void Report(int files, std::uint64_t bytes);
    std::string NoMasterText() const;
    [[noreturn]] void FailAt(const std::string& step, const Error& e) const;
    const os::Folder& folder_;
    MergeOptions options_;
    std::vector<std::unique_ptr<Staged>> staged_;
    WriteProgress progress_;
    bool expected_ = false;
    bool committed_ = false;
    bool released_ = false;
};

}  // namespace jw
