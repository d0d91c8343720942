// joinwright-cli as a child process on POSIX: fork, redirect, exec, with the
// attack tests' extras (standard output elsewhere, the writing step's test
// hook, a process id file, an alarm against hangs).
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "e2e/E2eSupport.h"

extern char** environ;

namespace jw::e2e {

// Runs joinwright-cli in cwd, output captured in files beside (not inside)
// the test's root.  The child writes its process id to <root>.pid (for a
// hook that interrupts it), starts with SIGINT and SIGTERM at their
// defaults (as from a terminal), and is stopped by SIGALRM after a minute
// should it ever hang.
Result RunCli(Args args, const fs::path& cwd, const RunOptions& o) {
    const std::string base = cwd.parent_path().string();
    const fs::path outFile = base + ".out", errFile = base + ".err", pidFile = base + ".pid";
    args.insert(args.begin(), JW_CLI_EXE);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string stdoutTo = o.stdoutTo.empty() ? outFile.string() : o.stdoutTo;
        const int out = ::open(stdoutTo.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(126);
        std::ofstream(pidFile) << ::getpid();
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        if (::sigaction(SIGINT, &byDefault, nullptr) != 0 || ::sigaction(SIGTERM, &byDefault, nullptr) != 0) ::_exit(126);
        if (o.limit != 0) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            const rlimit l{static_cast<rlim_t>(o.limit), static_cast<rlim_t>(o.limit)};
            if (::sigaction(SIGXFSZ, &ignore, nullptr) != 0 || ::setrlimit(RLIMIT_FSIZE, &l) != 0) ::_exit(126);
        }
        if (o.hook.empty()) ::unsetenv("JOINWRIGHT_TEST_HOOK");
        else ::setenv("JOINWRIGHT_TEST_HOOK", o.hook.c_str(), 1);
        ::alarm(60);
        ::execve(argv[0], argv.data(), environ);
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    Result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1, r.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    r.out = ReadFile(outFile), r.err = ReadFile(errFile);
    fs::remove(outFile), fs::remove(errFile), fs::remove(pidFile);
    return r;
}

}  // namespace jw::e2e
