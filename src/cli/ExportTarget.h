// Where `export -o FILE` writes, chosen so that a failed or interrupted
// export never destroys what FILE was:
//   - FILE does not exist, or is a regular file: the CSV goes to a new
//     temporary file beside it (".joinwright-export-<random>.tmp", created
//     exclusively in the open folder) and takes the name FILE only when the
//     export has succeeded, replacing an old FILE in one step.  A failure or
//     a signal that ends the program (os::RemoveOnInterrupt) removes the
//     temporary file; an old FILE is untouched.
//   - FILE is a symbolic link: the file it leads to (through every link) is
//     written as above, beside that file; the link stays as it is.  A link
//     that leads nowhere is refused.
//   - FILE is a device or a FIFO: written directly and never removed.
//   - FILE is a folder, or one of the export's inputs: refused.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/Export.h"
#include "os/File.h"

namespace jw::os {
class RemoveOnInterrupt;
}

namespace jw::cli {

class ExportTarget {
public:
    // Prepares the target; nothing under the name FILE changes yet.
    // inputs: the files the export reads (never written).
    ExportTarget(const std::filesystem::path& file, const std::vector<std::filesystem::path>& inputs);
    ~ExportTarget();  // unfinished: removes the temporary file
    ExportTarget(const ExportTarget&) = delete;
    ExportTarget& operator=(const ExportTarget&) = delete;

    CsvSink& Sink();
    // The export succeeded: the CSV is made durable and takes its name.
    void Finish();

private:
    class FileSink;

    std::string shown_;               // FILE as messages show it
    os::Folder folder_;               // the folder of a regular target
    std::filesystem::path tempName_;  // empty for a device
    std::filesystem::path finalName_;
    os::File file_;
    std::unique_ptr<os::RemoveOnInterrupt> removal_;
    std::unique_ptr<FileSink> sink_;
    bool finished_ = false;
};

}  // namespace jw::cli
