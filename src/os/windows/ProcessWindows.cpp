// The running program on Windows: its folder, its console and standard
// streams, its arguments as UTF-8, and the removal of unfinished files when
// Ctrl-C, Ctrl-Break or closing the console ends it.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>

#include "os/Text.h"
#include "os/File.h"
#include "os/Process.h"
#include "os/windows/WindowsDetail.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

namespace jw::os {

using namespace detail;

std::filesystem::path ProgramFolder() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0)
            Fail(ErrorKind::InputOutput, "Cannot find the program's own folder: " + ErrorText(::GetLastError()));
        if (n < name.size()) {
            name.resize(n);
            return std::filesystem::path(name).parent_path();
        }
        name.resize(name.size() * 2);  // cut short: a long path
    }
}

namespace {

HANDLE StdHandle(Stream stream) {
    return ::GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE h) {
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode) != 0;
}

}  // namespace

bool IsTerminal(Stream stream) { return IsConsole(StdHandle(stream)); }

void WriteStandardOutput(std::string_view bytes) {
    const HANDLE out = StdHandle(Stream::Output);
    if (IsConsole(out)) {
        // A console takes characters: UTF-8 text shows as it is meant,
        // whatever the console's code page.
        const std::wstring text = WideFromUtf8(bytes);
        std::size_t done = 0;
        while (done < text.size()) {
            DWORD n = 0;
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 16 * 1024));
            if (!::WriteConsoleW(out, text.data() + done, want, &n, nullptr) || n == 0)
                Fail(ErrorKind::InputOutput, "Cannot write to standard output: " + ErrorText(::GetLastError()));
            done += n;
        }
        return;
    }
    while (!bytes.empty()) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), std::size_t{1} << 30));
        if (!::WriteFile(out, bytes.data(), want, &n, nullptr))
            Fail(ErrorKind::InputOutput, "Cannot write to standard output: " + ErrorText(::GetLastError()));
        if (n == 0) Fail(ErrorKind::InputOutput, "Cannot write to standard output: nothing was written");
        bytes.remove_prefix(n);
    }
}

void FlushStandardOutput() {
    std::cout.flush();
    const bool streamFailed = std::cout.bad();
    errno = 0;
    const bool flushFailed = std::fflush(stdout) != 0;
    const int err = errno;
    if (streamFailed || flushFailed || std::ferror(stdout))
        Fail(ErrorKind::InputOutput, "Cannot write to standard output: " +
                                         (err != 0 ? std::string(std::strerror(err)) : std::string("a write failed")));
}

int RunCommand(const std::string& command) {
    // cmd /c through the C library; Windows holds no interrupt back meanwhile.
    return ::_wsystem(WideFromUtf8(command).c_str());
}

// --- The console ------------------------------------------------------------

namespace {
UINT gConsoleCodePage = 0;
void RestoreConsoleCodePage() {
    if (gConsoleCodePage != 0) ::SetConsoleOutputCP(gConsoleCodePage);
}
}  // namespace

void PrepareStandardStreams() {
    std::fflush(stdout), std::fflush(stderr);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    if (gConsoleCodePage != 0) return;
    const UINT previous = ::GetConsoleOutputCP();
    if (previous == 0 || previous == CP_UTF8) return;  // no console, or already UTF-8
    if (!::SetConsoleOutputCP(CP_UTF8)) return;
    gConsoleCodePage = previous;
    std::atexit(RestoreConsoleCodePage);  // the console outlives the program
}

std::vector<std::string> Utf8Arguments(int argc, const char* const* argv) {
    int n = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &n);
    if (wide == nullptr || n != argc) {
        // The command line and argv disagree (a program started oddly):
        // keep what the C library gave.
        if (wide) ::LocalFree(wide);
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) out.push_back(Utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return out;
}

std::string PathText(const std::filesystem::path& p) { return Utf8FromWide(Wide(p)); }

// --- Removal on interrupt ---------------------------------------------------
//
// Windows runs a console control handler on a thread of its own; the list of
// guards is changed and walked under one lock.  Returning FALSE from the
// handler hands the event on to the default handler, which ends the program.

struct RemoveOnInterrupt::Entry {
    std::wstring path;  // full path of the file to remove
    RemoveOnInterrupt::What what = RemoveOnInterrupt::What::File;
    std::string note;   // with its line end
    Entry* prev = nullptr;
    Entry* next = nullptr;
};

namespace {

using Entry = RemoveOnInterrupt::Entry;

// Recursive: the thread that holds interrupts (InterruptsHeld) changes the
// guards meanwhile.
std::recursive_mutex gLock;
Entry* gHead = nullptr;
bool gInstalled = false;

// Holds the handler off the list while it changes.
struct ListLocked {
    std::lock_guard<std::recursive_mutex> lock{gLock};
};

BOOL WINAPI OnControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT &&
        event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
        return FALSE;
    const std::lock_guard lock(gLock);
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    using What = RemoveOnInterrupt::What;
    for (const Entry* e = gHead; e; e = e->next) {
        if (e->what == What::File && !::DeleteFileW(e->path.c_str())) continue;
        if (e->what == What::EmptyFolder && !::RemoveDirectoryW(e->path.c_str())) continue;
        DWORD n = 0;
        if (err != nullptr && err != INVALID_HANDLE_VALUE && !e->note.empty())
            ::WriteFile(err, e->note.data(), static_cast<DWORD>(e->note.size()), &n, nullptr);
    }
    return FALSE;
}

}  // namespace

RemoveOnInterrupt::RemoveOnInterrupt(const Folder& folder, const std::filesystem::path& name, std::string note,
                                     What what) {
    auto* e = new Entry;
    e->what = what;
    try {
        if (what != What::NoteOnly) e->path = EntryPath(folder.handle_, folder.Path(), name);
    } catch (...) {
        delete e;
        throw;
    }
    if (!note.empty()) e->note = std::move(note) + "\r\n";
    const ListLocked locked;
    if (!gInstalled) gInstalled = ::SetConsoleCtrlHandler(OnControl, TRUE) != 0;
    PushEntry(gHead, e);
    entry_ = e;
}

void RemoveOnInterrupt::Dismiss() noexcept { DropEntry<ListLocked>(gHead, entry_); }

// The handler runs on a thread of its own and takes the lock first: while
// the lock is held here, it waits.
struct InterruptsHeld::State {
    ListLocked locked;
};

InterruptsHeld::InterruptsHeld() : state_(std::make_unique<State>()) {}
InterruptsHeld::~InterruptsHeld() = default;

}  // namespace jw::os
