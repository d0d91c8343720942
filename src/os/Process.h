// What the programs ask of the operating system besides files: where the
// program lies, whether a standard stream is a terminal, checked writes to
// standard output, and cleaning up after an interrupt.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace jw::os {

class Folder;

// The folder that holds the running program's executable (POSIX:
// /proc/self/exe; Windows: GetModuleFileNameW).  An InputOutput error when
// the system cannot tell.
std::filesystem::path ProgramFolder();

enum class Stream { Output, Error };

// Whether the standard stream is a terminal (a console on Windows), for
// progress displays.
bool IsTerminal(Stream stream);

// Writes all of bytes to standard output directly, below any C or C++
// stream buffer (for bulk output such as CSV).  A failed write (a full
// disk, /dev/full, a closed pipe) is an InputOutput error naming standard
// output; interrupted writes are retried.
void WriteStandardOutput(std::string_view bytes);

// Hands whatever the C++ and C streams still buffer for standard output to
// the system and reports whether everything written to standard output
// through them so far arrived: an InputOutput error naming standard output
// otherwise.  Call once before the program ends with success.
void FlushStandardOutput();

// Runs command through the system's shell (POSIX: /bin/sh -c; Windows:
// cmd /c) and waits for it; returns its exit status, or -1 when it could not
// be started or did not end normally.  Unlike std::system, an interrupt of
// this program is not held back while it waits.  For the programs' test
// seams only.
int RunCommand(const std::string& command);

// While it lives, an interrupt of the program (POSIX: SIGINT, SIGTERM;
// Windows: Ctrl-C, Ctrl-Break, closing the console) removes the file `name`
// from `folder` (relative to the folder's open handle), writes `note` as one
// line to standard error, and then ends the program as the interrupt would
// have without this guard.  Used for files that must not survive an
// unfinished run: a temporary master, an export's temporary file, a copy in
// progress.  The folder must outlive the guard.  Guards nest; each removes
// its own file.  Not copyable or movable.
class RemoveOnInterrupt {
public:
    RemoveOnInterrupt(const Folder& folder, const std::filesystem::path& name, std::string note);
    ~RemoveOnInterrupt();
    RemoveOnInterrupt(const RemoveOnInterrupt&) = delete;
    RemoveOnInterrupt& operator=(const RemoveOnInterrupt&) = delete;

    // The file was given its final name or removed by its owner: an
    // interrupt from now on leaves it alone.
    void Dismiss() noexcept;

    struct Entry;

private:
    Entry* entry_ = nullptr;
};

}  // namespace jw::os
