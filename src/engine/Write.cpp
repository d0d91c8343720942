// Writing planned merges: the data file copies and the merged masters, all
// staged in the output folder the merge job holds under its working name.
#include "engine/MergeWriter.h"

#include "engine/EngineDetail.h"
#include "formats/BinaryFile.h"
#include "base/Errors.h"
#include "os/Process.h"
#include "time/StringTools.h"
#include "os/Text.h"

namespace jw {

namespace {

namespace fs = std::filesystem;
using StringTools::Quoted;

bool SameFolder(const fs::path& a, const fs::path& b) { return a.lexically_normal() == b.lexically_normal(); }

using Guard = std::unique_ptr<os::RemoveOnInterrupt>;

std::string EntryText(const PlanEntry& e) {
    std::string t = "file " + NumberText(e.Number);
    switch (e.Kind) {
        case FromExisting: return t + " (existing record " + std::to_string(e.SourceIndex) + ")";
        case FromBackup: return t + " (backup record " + std::to_string(e.SourceIndex) + ")";
        default: return t + " (template copy)";
    }
}

// Opens the source of an entry for copying: no link followed for a data
// file of a set, never a wait on a FIFO, and it must still be the file the
// plan examined.  Anything else was put there after planning.
os::File OpenSource(const PlanEntry& e) {
    const std::string who = "its source " + Quoted(os::PathText(e.Source));
    os::File file;
    try {
        file = os::File::OpenRead(e.Source, e.Kind == FromTemplate ? os::Links::Follow : os::Links::Refuse);
    } catch (const Error& err) {
        Fail(ErrorKind::Refused, who + " is no longer the file the merge was planned with: " + err.what());
    }
    const os::FileIdentity now = file.Identity();
    if (!now.SameFile(e.SourceIdentity))
        Fail(ErrorKind::Refused, who + " is no longer the file the merge was planned with: another file has taken "
                                       "its name since");
    if (now.Size != e.SourceSize)
        Fail(ErrorKind::Refused, who + " changed since the merge was planned: it held " + std::to_string(e.SourceSize) +
                                     " bytes, now " + std::to_string(now.Size));
    // Same index and size, yet written or made again since (a file system
    // may give a new file the number of one just deleted).
    if (!now.Unchanged(e.SourceIdentity))
        Fail(ErrorKind::Refused, who + " changed since the merge was planned: it was rewritten or replaced by a "
                                       "file of the same size (its modification or change time moved)");
    return file;
}

}  // namespace

fs::path PartialMasterPath(const MergePlan& plan) {
    fs::path p = plan.MasterTarget;
    p += ".partial";
    return p;
}

// One staged plan: its copies, and its master under the temporary name until
// Commit.  Every file it made is guarded: an interrupt removes it until the
// job has given the folder its name (Release).
struct MergeWriter::Staged {
    fs::path partialName, finalName;
    fs::path shownFolder;  // the output folder as the plan names it
    std::vector<fs::path> copies;
    std::vector<Guard> guards;
    std::uint64_t masterBytes = 0;
    bool made = false, renamed = false;
};

MergeWriter::MergeWriter(const os::Folder& folder, const MergeOptions& options) : folder_(folder), options_(options) {}

MergeWriter::~MergeWriter() {
    if (!released_) Discard();
}

void MergeWriter::Discard() noexcept {
    for (auto& s : staged_) {
        for (const auto& c : s->copies) folder_.Remove(c);
        if (s->made && !s->renamed) folder_.Remove(s->partialName);
        if (s->renamed) folder_.Remove(s->finalName);
        s->guards.clear();
        s->copies.clear();
        s->made = s->renamed = false;
    }
}

void MergeWriter::Release() noexcept {
    for (auto& s : staged_) s->guards.clear();
    released_ = true;
}

void MergeWriter::Expect(const MergePlan& plan) {
    expected_ = true;
    progress_.FilesTotal += static_cast<int>(plan.Entries.size()) + 1;
    progress_.BytesTotal += plan.BytesToWrite;
}

void MergeWriter::Step(WriteStep step, const PlanEntry* entry) const {
    if (options_.BeforeStep) options_.BeforeStep(step, entry);
}

void MergeWriter::Report(int files, std::uint64_t bytes) {
    progress_.Files += files;
    progress_.Bytes += bytes;
    if (options_.Progress) options_.Progress(progress_);
}

std::string MergeWriter::NoMasterText() const {
    std::string names;
    for (const auto& s : staged_) names += (names.empty() ? "" : ", ") + os::PathText(s->finalName);
    return staged_.size() == 1 ? "No master file " + names + " was written"
                               : "No master file was written (" + names + ")";
}

void MergeWriter::FailAt(const std::string& step, const Error& e) const {
    const fs::path shown = staged_.empty() ? folder_.Path() : staged_.front()->shownFolder;
    Fail(e.kind(), "The merge into " + os::PathText(shown) + " failed while " + step + ": " + e.what() + ". " +
                       NoMasterText() + "; nothing was merged.");
}

void MergeWriter::Stage(const MergePlan& plan) {
    if (committed_) Fail(ErrorKind::InvalidArgument, "the merge into " + os::PathText(folder_.Path()) + " is already committed");
    // Every file of the plan lies directly in its output folder: the writer
    // writes them by their names into the folder it was given.
    if (!SameFolder(plan.MasterTarget.parent_path(), plan.OutputFolder))
        Fail(ErrorKind::InvalidArgument, "the merge plan puts " + os::PathText(plan.MasterTarget) +
                                             " outside the output folder " + os::PathText(plan.OutputFolder));
    for (const auto& e : plan.Entries)
        if (!SameFolder(e.Target.parent_path(), plan.OutputFolder))
            Fail(ErrorKind::InvalidArgument, "the merge plan puts " + os::PathText(e.Target) +
                                                 " outside the output folder " + os::PathText(plan.OutputFolder));

    auto& staged = *staged_.emplace_back(std::make_unique<Staged>());
    staged.partialName = PartialMasterPath(plan).filename();
    staged.finalName = plan.MasterTarget.filename();
    staged.shownFolder = plan.OutputFolder;
    if (!expected_) {
        progress_.FilesTotal += static_cast<int>(plan.Entries.size()) + 1;
        progress_.BytesTotal += plan.BytesToWrite;
    }

    std::string step = "starting";
    try {
        Step(WriteStep::Stage, nullptr);
        step = "creating the master file " + os::PathText(folder_.PathOf(staged.partialName));
        BinaryFile master(folder_.CreateFile(staged.partialName), BinaryFile::Mode::CreateNew);
        staged.made = true;
        staged.guards.push_back(std::make_unique<os::RemoveOnInterrupt>(folder_, staged.partialName, std::string()));
        step = "writing the master header";
        plan.Header.Save(master);
        for (const PlanEntry& e : plan.Entries) {
            step = "copying " + EntryText(e);
            Step(WriteStep::Copy, &e);
            const os::File source = OpenSource(e);
            const os::CopyResult copied = folder_.CopyFrom(source, e.Target.filename());
            staged.copies.push_back(e.Target.filename());
            staged.guards.push_back(std::make_unique<os::RemoveOnInterrupt>(folder_, e.Target.filename(), std::string()));
            step = "writing the record of " + EntryText(e);
            clsHSTHeader record = e.Record;
            record.Save(master, e.Kind == FromExisting ? plan.ExistingMaster : plan.BackupMaster);
            Report(1, copied.Bytes);
        }
        step = "closing the master file";
        staged.masterBytes = master.Length();
        master.Close();
    } catch (const Error& e) {
        // The unfinished master goes at once, so the folder never looks like
        // a finished set; the copies stay.
        if (staged.made) folder_.Remove(staged.partialName);
        staged.made = false;
        FailAt(step, e);
    }
}

void MergeWriter::Commit() {
    if (committed_) Fail(ErrorKind::InvalidArgument, "the merge into " + os::PathText(folder_.Path()) + " is already committed");
    for (const auto& s : staged_)
        if (!s->made)
            Fail(ErrorKind::InvalidArgument, "the merge into " + os::PathText(folder_.Path()) + " cannot be committed: " +
                                                 os::PathText(s->finalName) + " was not staged");
    std::string step = "flushing the data files and the master file to disk";
    try {
        // Durable before any master gets its name: one write-back pass over
        // the file system takes the data files, the masters and the folder's
        // entries to disk and reports a write-back error of any of them.
        Step(WriteStep::Flush, nullptr);
        folder_.SyncAll();
        for (auto& s : staged_) {
            step = "giving the master file " + os::PathText(s->finalName) + " its name";
            s->guards.push_back(std::make_unique<os::RemoveOnInterrupt>(folder_, s->finalName, std::string()));
            folder_.RenameNoReplace(s->partialName, s->finalName);
            s->renamed = true;
        }
        step = "flushing the output folder to disk";
        folder_.Sync();
    } catch (const Error& e) {
        Discard();
        FailAt(step, e);
    } catch (...) {
        Discard();
        throw;
    }
    committed_ = true;
    for (const auto& s : staged_) Report(1, s->masterBytes);
}

}  // namespace jw
