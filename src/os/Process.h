// What the programs ask of the operating system besides files: where the
// program lies, whether a standard stream is a terminal, checked writes to
// standard output, and cleaning up after an interrupt.
#pragma once

#include <filesystem>
#include <memory>
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

// While it lives, an interrupt of the program (POSIX: SIGINT, SIGTERM,
// SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ; Windows: Ctrl-C, Ctrl-Break, closing
// the console) removes the file (or, with What::EmptyFolder, the empty
// folder) `name` from `folder` (relative to the folder's open handle),
// writes `note` as one line to standard error when the removal succeeded
// (nothing for an empty note), and then ends the program as the interrupt
// would have without this guard.  With What::NoteOnly nothing is removed and
// the note is always written.  Used for files that must not survive an
// unfinished run: a staged merge, an export's temporary file, a copy in
// progress.  The folder must outlive the guard.  Guards nest; the newest is
// acted on first (files inside a folder before the folder).  Not copyable or
// movable.
class RemoveOnInterrupt {
public:
    enum class What { File, EmptyFolder, NoteOnly };
    RemoveOnInterrupt(const Folder& folder, const std::filesystem::path& name, std::string note,
                      What what = What::File);
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

// While it lives, an interrupt waits: it is acted on (guards and all) when
// the holder goes.  For a step that must happen together with a change of
// the guards, such as giving a staged merge its name and dismissing the
// guards that would remove it.
class InterruptsHeld {
public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace jw::os
