// The running program on POSIX: its folder, its standard streams, and the
// removal of unfinished files when a signal that ends the program arrives.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>

#include "os/File.h"
#include "os/Process.h"
#include "os/posix/PosixDetail.h"

namespace jw::os {

using namespace detail;

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) Fail(ErrorKind::InputOutput, "Cannot find the program's own folder: " + ec.message());
    return exe.parent_path();
}

bool IsTerminal(Stream stream) { return ::isatty(stream == Stream::Output ? STDOUT_FILENO : STDERR_FILENO) == 1; }

void WriteStandardOutput(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail(ErrorKind::InputOutput, "Cannot write to standard output: " + ErrnoText(errno));
        }
        if (n == 0) Fail(ErrorKind::InputOutput, "Cannot write to standard output: nothing was written");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void FlushStandardOutput() {
    // std::cout hands its bytes to stdout's buffer; the system's reason for a
    // failure is in errno right after the step that met it.
    errno = 0;
    std::cout.flush();
    int err = errno;
    const bool streamFailed = std::cout.bad();
    errno = 0;
    const bool flushFailed = std::fflush(stdout) != 0;
    if (err == 0) err = errno;
    if (streamFailed || flushFailed || std::ferror(stdout))
        Fail(ErrorKind::InputOutput, "Cannot write to standard output: " +
                                         (err != 0 ? ErrnoText(err) : std::string("a write failed")));
}

int RunCommand(const std::string& command) {
    std::string sh = "/bin/sh", c = "-c", cmd = command;
    char* argv[] = {sh.data(), c.data(), cmd.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// --- Removal on interrupt -------------------------------------------------
//
// The guards form a list that the signal handler walks.  The list is only
// changed with the guarded signals blocked, so the handler never sees it
// half changed; the handler uses only unlinkat, write, sigaction and raise,
// which are safe in a signal handler.  Guards are made on the thread that runs the
// merge or the export.

struct RemoveOnInterrupt::Entry {
    int dir = -1;
    std::string name;
    RemoveOnInterrupt::What what = RemoveOnInterrupt::What::File;
    std::string note;  // with its line end
    Entry* prev = nullptr;
    Entry* next = nullptr;
};

namespace {

using Entry = RemoveOnInterrupt::Entry;

// Every signal whose default action ends the program and that an operator,
// a closed terminal or pipe, or a file size limit sends while a file is
// unfinished.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ};
constexpr std::size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];
Entry* gHead = nullptr;
struct sigaction gPrevious[kSignalCount];
bool gInstalled = false;

extern "C" void OnInterrupt(int sig) {
    using What = RemoveOnInterrupt::What;
    for (const Entry* e = gHead; e; e = e->next) {
        if (e->what != What::NoteOnly &&
            ::unlinkat(e->dir, e->name.c_str(), e->what == What::EmptyFolder ? AT_REMOVEDIR : 0) != 0)
            continue;
        std::size_t done = 0;
        while (done < e->note.size()) {
            const ssize_t n = ::write(STDERR_FILENO, e->note.data() + done, e->note.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
    }
    // Then whatever the signal did before: usually the end of the program.
    // The signal is blocked while this handler runs, so it arrives again as
    // soon as the handler returns.
    for (std::size_t i = 0; i < kSignalCount; ++i)
        if (kSignals[i] == sig) ::sigaction(sig, &gPrevious[i], nullptr);
    ::raise(sig);
}

// Blocks the guarded signals while the list changes.
class SignalsBlocked {
public:
    SignalsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        for (const int s : kSignals) sigaddset(&set, s);
        ::pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    ~SignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

private:
    sigset_t old_;
};

void InstallOnce() {
    if (gInstalled) return;
    gInstalled = true;
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        ::sigaction(kSignals[i], nullptr, &gPrevious[i]);
        // A signal the program was started to ignore (nohup) stays ignored.
        if (gPrevious[i].sa_handler == SIG_IGN) continue;
        struct sigaction sa {};
        sa.sa_handler = OnInterrupt;
        sigemptyset(&sa.sa_mask);
        for (const int s : kSignals) sigaddset(&sa.sa_mask, s);
        ::sigaction(kSignals[i], &sa, nullptr);
    }
}

}  // namespace

RemoveOnInterrupt::RemoveOnInterrupt(const Folder& folder, const std::filesystem::path& name, std::string note,
                                     What what) {
    auto* e = new Entry;
    e->dir = static_cast<int>(folder.handle_);
    e->name = name.native();
    e->what = what;
    if (!note.empty()) e->note = std::move(note) + "\n";
    const SignalsBlocked blocked;
    InstallOnce();
    PushEntry(gHead, e);
    entry_ = e;
}

void RemoveOnInterrupt::Dismiss() noexcept { DropEntry<SignalsBlocked>(gHead, entry_); }

struct InterruptsHeld::State {
    SignalsBlocked blocked;
};

InterruptsHeld::InterruptsHeld() : state_(std::make_unique<State>()) {}
InterruptsHeld::~InterruptsHeld() = default;

}  // namespace jw::os
