// Writing a planned merge: the data file copies and the merged master, which
// appears under its final name only when everything is on disk.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "engine/EngineDetail.h"
#include "engine/TrendTools.h"
#include "formats/BinaryFile.h"
#include "base/Errors.h"

namespace jw {

namespace {

namespace fs = std::filesystem;

// Makes the entries of a folder durable (after a rename in it).
void SyncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (fd < 0)
        Fail(ErrorKind::InputOutput, "cannot open " + folder.string() + " to flush it to disk: " + std::strerror(errno));
    int err = 0;
    if (::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    // A file system that cannot sync folders has nothing to lose.
    if (err != 0 && err != EINVAL && err != EROFS)
        Fail(ErrorKind::InputOutput, "flushing " + folder.string() + " to disk failed: " + std::strerror(err));
}

// Starts writing a finished copy back to disk without waiting for it, so
// that the disk works while the next files are copied and the flush at the
// end finds little left to do.  Only a hint: a file system that does not
// take it loses nothing, and a write-back error also reaches the flush.
void StartWriteBack(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    int err = 0;
    if (::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE) != 0) err = errno;
    ::close(fd);
    if (err == EIO || err == ENOSPC)
        Fail(ErrorKind::InputOutput, "writing " + file.string() + " to disk failed: " + std::strerror(err));
}

// The output folder, held open for the whole writing step.  syncfs on it
// writes everything dirty on the folder's file system back in one pass and
// waits for it; an fsync per file instead waits for one journal commit and
// one disk cache flush per file (docs/performance.md has the figures).  The
// folder is opened before the first copy: syncfs reports a write-back error
// of any file of the file system written since (Linux 5.8 and later).
class OpenFolder {
public:
    explicit OpenFolder(const fs::path& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ < 0)
            Fail(ErrorKind::InputOutput, "cannot open the output folder " + folder.string() + ": " +
                                             std::strerror(errno));
    }
    ~OpenFolder() { ::close(fd_); }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    void SyncFileSystem(const fs::path& folder) const {
        if (::syncfs(fd_) != 0)
            Fail(ErrorKind::InputOutput, "writing the file system of " + folder.string() + " to disk failed: " +
                                             std::strerror(errno));
    }

private:
    int fd_;
};

// Gives from the name to, which must not exist yet.
void RenameNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {
        // A file system without RENAME_NOREPLACE: a hard link also refuses an
        // existing name.
        if (::link(from.c_str(), to.c_str()) == 0) {
            ::unlink(from.c_str());
            return;
        }
        err = errno;
    }
    Fail(ErrorKind::InputOutput, "cannot rename " + from.string() + " to " + to.string() + ": " +
                                     (err == EEXIST ? std::string("that name already exists") : std::strerror(err)));
}

bool SameFolder(const fs::path& a, const fs::path& b) {
    return a.lexically_normal() == b.lexically_normal();
}

std::string EntryText(const PlanEntry& e) {
    std::string t = "file " + NumberText(e.Number);
    switch (e.Kind) {
        case FromExisting: return t + " (existing record " + std::to_string(e.SourceIndex) + ")";
        case FromBackup: return t + " (backup record " + std::to_string(e.SourceIndex) + ")";
        default: return t + " (template copy)";
    }
}

}  // namespace

fs::path PartialMasterPath(const MergePlan& plan) {
    fs::path p = plan.MasterTarget;
    p += ".partial";
    return p;
}

void WriteMerge(const MergeRequest& request, const MergePlan& plan, const MergeOptions& options) {
    FileCopier& copier = options.Copier ? *options.Copier : DefaultFileCopier();
    const fs::path folder = request.OutputFolder;

    // The plan may only write into the request's output folder.
    if (!SameFolder(plan.OutputFolder, folder) || !SameFolder(plan.MasterTarget.parent_path(), folder))
        Fail(ErrorKind::InvalidArgument, "the merge plan was made for the output folder " +
                                             plan.OutputFolder.string() + ", not " + folder.string());
    for (const auto& e : plan.Entries)
        if (!SameFolder(e.Target.parent_path(), folder))
            Fail(ErrorKind::InvalidArgument, "the merge plan puts " + e.Target.string() + " outside the output folder " +
                                                 folder.string());

    const int total = static_cast<int>(plan.Entries.size()) + 1;
    const fs::path partial = PartialMasterPath(plan);
    bool partialMade = false;
    bool finalMade = false;
    std::string step = "opening the output folder";
    try {
        const OpenFolder output(folder);
        step = "creating the master file " + partial.string();
        BinaryFile master(partial, BinaryFile::Mode::CreateNew);
        partialMade = true;
        step = "writing the master header";
        plan.Header.Save(master);
        for (std::size_t i = 0; i < plan.Entries.size(); ++i) {
            const PlanEntry& e = plan.Entries[i];
            step = "copying " + EntryText(e);
            copier.Copy(e.Source, e.Target);
            step = "writing " + EntryText(e) + " to disk";
            StartWriteBack(e.Target);
            step = "writing the record of " + EntryText(e);
            clsHSTHeader record = e.Record;
            record.Save(master, e.Kind == FromExisting ? plan.ExistingMaster : plan.BackupMaster);
            if (options.Progress) options.Progress(static_cast<int>(i) + 1, total);
        }
        step = "closing the master file";
        master.Close();
        // Durable before the master gets its name: one write-back pass over
        // the file system takes the data files, the master and the folder's
        // entries to disk and reports a write-back error of any of them.
        step = "flushing the data files and the master file to disk";
        output.SyncFileSystem(folder);
        step = "giving the master file its name";
        RenameNoReplace(partial, plan.MasterTarget);
        partialMade = false;
        finalMade = true;
        step = "flushing the output folder to disk";
        SyncFolder(folder);
    } catch (const Error& e) {
        // Only files this merge created go: the unfinished master, so that the
        // folder never looks like a finished set.  The copies stay.
        std::error_code ec;
        if (partialMade) fs::remove(partial, ec);
        if (finalMade) fs::remove(plan.MasterTarget, ec);
        Fail(e.kind(), "The merge into " + folder.string() + " failed while " + step + ": " + e.what() +
                           ". No master file " + plan.MasterTarget.filename().string() +
                           " was written; data files copied so far stay in the folder.");
    } catch (...) {
        // Any other failure (a copy strategy's own exception, memory) leaves
        // the folder the same way, and travels on as it is.
        std::error_code ec;
        if (partialMade) fs::remove(partial, ec);
        if (finalMade) fs::remove(plan.MasterTarget, ec);
        throw;
    }
    if (options.Progress) options.Progress(total, total);
}

std::string MergeTrendSets(const MergeRequest& request, const MergeOptions& options) {
    const MergePlan plan = PlanMerge(request);
    WriteMerge(request, plan, options);
    return std::string(kMergedText);
}

std::string MergeTrendSets(const std::string& BrakeDate, const std::string& OutputFolder, const std::string& BackupFile,
                           const std::string& ExistingFile, std::int16_t NumberOfFiles,
                           const std::string& EmptyDataFile, const MergeOptions& options) {
    MergeRequest request;
    request.BrakeDate = BrakeDate;
    request.OutputFolder = OutputFolder;
    request.BackupFile = BackupFile;
    request.ExistingFile = ExistingFile;
    request.NumberOfFiles = NumberOfFiles;
    request.EmptyDataFile = EmptyDataFile;
    return MergeTrendSets(request, options);
}

}  // namespace jw
