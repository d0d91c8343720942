// The writing step in stages: one or more planned merges written into one
// output folder, whose masters appear under their final names together, and
// only once every file is on disk.
//
//     MergeWriter writer(folder, options);   // opens the folder once
//     writer.Stage(planA);                   // copies + A's master as A.HST.partial
//     writer.Stage(planB);
//     writer.Commit();                       // flush, then A.HST, B.HST, flush the folder
//
// Every file is created, renamed and removed relative to the folder's open
// handle: moving the folder away or putting a link in its place while the
// writer works sends nothing elsewhere.  Each source is opened without
// following a link (a template named by the operator may be one) and
// without blocking, and must be the very file the plan saw (device, index
// and size); anything else is refused before a byte of it is copied.
//
// Failures are jw::Error naming the folder, the step and the file, and
// saying that no master was written; data files copied so far stay.  When a
// writer goes without a successful Commit (an error, an early return) it
// removes every temporary master it made.  While a master is unfinished, an
// interrupt (SIGINT, SIGTERM) removes it and says so on standard error.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "engine/TrendTools.h"
#include "os/File.h"

namespace jw {

namespace os {
class RemoveOnInterrupt;
}

class MergeWriter {
public:
    // Opens outputFolder, which must exist and be a folder itself (not a
    // link to one).
    explicit MergeWriter(const std::filesystem::path& outputFolder, const MergeOptions& options = {});
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
    // durable.  A writer commits once.
    void Commit();

    const std::filesystem::path& Folder() const { return folder_.Path(); }

private:
    struct Staged;

    void Step(WriteStep step, const PlanEntry* entry) const;
    void Report(int files, std::uint64_t bytes);
    std::string NoMasterText() const;
    [[noreturn]] void FailAt(const std::string& step, const Error& e) const;
    void RemoveUnfinished() noexcept;

    os::Folder folder_;
    MergeOptions options_;
    std::vector<std::unique_ptr<Staged>> staged_;
    WriteProgress progress_;
    bool expected_ = false;
    bool committed_ = false;
};

}  // namespace jw
