// Child processes on POSIX: fork, redirect, exec.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "support/TestSupport.h"

extern char** environ;

namespace jw::testsupport {

namespace {

// In the child, before exec: its standard files, folder, signals, limits
// and environment.  False when one could not be set.
bool PrepareChild(const fs::path& outFile, const fs::path& errFile, const fs::path& cwd, const RunOptions& o) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
        ::chdir(cwd.c_str()) != 0)
        return false;
    if (!o.pidFile.empty()) std::ofstream(o.pidFile) << ::getpid();
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    if (::sigaction(SIGINT, &byDefault, nullptr) != 0 || ::sigaction(SIGTERM, &byDefault, nullptr) != 0) return false;
    if (o.fileSizeLimit > 0) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        const rlimit l{o.fileSizeLimit, o.fileSizeLimit};
        if (::sigaction(SIGXFSZ, &ignore, nullptr) != 0 || ::setrlimit(RLIMIT_FSIZE, &l) != 0) return false;
    }
    if (o.hook.empty()) ::unsetenv("JOINWRIGHT_TEST_HOOK");
    else ::setenv("JOINWRIGHT_TEST_HOOK", o.hook.c_str(), 1);
    ::alarm(60);
    return true;
}

}  // namespace

ProgramResult RunProgram(const fs::path& program, const std::vector<std::string>& args, const fs::path& cwd,
                         const RunOptions& options) {
    const fs::path base = TempFileName("jw-run");
    const fs::path outFile = options.stdoutTo.empty() ? fs::path(base.string() + ".out") : fs::path(options.stdoutTo);
    const fs::path errFile = base.string() + ".err";
    std::vector<std::string> all{program.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!PrepareChild(outFile, errFile, cwd, options)) ::_exit(126);
        ::execve(argv[0], argv.data(), environ);
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ProgramResult r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    if (options.stdoutTo.empty()) r.out = ReadFile(outFile), fs::remove(outFile);
    r.err = ReadFile(errFile), fs::remove(errFile);
    if (!options.pidFile.empty()) fs::remove(options.pidFile);
    return r;
}

bool CanLimitFileSize() { return true; }

fs::path MakeTempFolder(const std::string& prefix) {
    std::string name = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(name.data()) == nullptr) return {};  // an empty path fails the test that uses it
    return name;
}

}  // namespace jw::testsupport
