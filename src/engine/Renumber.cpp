// One data file under its new number: the copy into the output folder and
// the new recorded Name.
#include "engine/EngineDetail.h"
#include "engine/TrendTools.h"
#include "formats/TrendSet.h"
#include "time/StringTools.h"
#include "base/Checked.h"
#include "base/Errors.h"
#include "os/File.h"
#include "os/Text.h"

namespace jw {

std::string RenumberDataFile(const std::string& BackupFile, const std::string& ExistingFile,
                             const std::string& OutputFolder, std::int16_t kind, const std::string& oldName,
                             std::int16_t& OutputCounter, const std::string& EmptyDataFile) {
    namespace fs = std::filesystem;
    using StringTools::Quoted;

    const std::int16_t n = OutputCounter;
    const std::string number = NumberText(n);
    OutputCounter = CheckedAdd<std::int16_t>(n, 1, "output counter");

    const std::string name = RecordedName(oldName);
    // The new Name is formed before anything is copied, so a name without a
    // folder fails with nothing written.
    const std::string newName = FolderPart(name) + "\\" + BaseNamePart(name) + number;

    const std::string targetName = HostFileName(BaseNamePart(name) + number);
    if (const std::string why = HostFileNameProblem(targetName); !why.empty())
        Fail(ErrorKind::InvalidArgument, "the data file target " + Quoted(targetName) + " from the Name " +
                                             Quoted(name) + " cannot be made in " + OutputFolder + ": " + why);

    fs::path source;
    switch (kind) {
        case FromBackup:
        case FromExisting: {
            const fs::path master = os::PathFromUtf8(kind == FromBackup ? BackupFile : ExistingFile);
            const std::string fileName = FileNamePart(name);
            if (fileName != RecordedFileName(name))
                Fail(ErrorKind::InvalidArgument, "the file name of the Name " + Quoted(name) + " would be cut to " +
                                                     Quoted(fileName) + ", another file");
            const std::string who = (kind == FromBackup ? "backup master " : "existing master ") +
                                    os::PathText(master) + ", Name " + Quoted(name);
            std::string why;
            const auto found = FolderIndex(master.parent_path()).Find(fileName, &why);
            if (!found) Fail(ErrorKind::Refused, who + ": " + why);
            source = *found;
            break;
        }
        case FromTemplate:
            source = os::PathFromUtf8(EmptyDataFile);
            break;
        default:
            Fail(ErrorKind::InvalidArgument, "unknown source kind " + std::to_string(kind) +
                                                 " (1 backup, 2 existing, 3 template)");
    }
    const os::File from = os::File::OpenRead(source, kind == FromTemplate ? os::Links::Follow : os::Links::Refuse);
    os::Folder::Open(os::PathFromUtf8(OutputFolder)).CopyFrom(from, os::PathFromUtf8(targetName));
    return newName;
}

}  // namespace jw
