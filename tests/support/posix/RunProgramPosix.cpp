// Child processes on POSIX: fork, redirect, exec.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "support/RunProgram.h"

extern char** environ;

namespace jw::testsupport {

namespace fs = std::filesystem;

ProgramResult RunProgram(const fs::path& program, const std::vector<std::string>& args, const fs::path& cwd,
                         std::uint64_t fileSizeLimit) {
    const fs::path base = TempFileName("jw-run");
    const fs::path outFile = base.string() + ".out", errFile = base.string() + ".err";
    std::vector<std::string> all{program.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
            ::chdir(cwd.c_str()) != 0)
            ::_exit(126);
        if (fileSizeLimit > 0) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            const rlimit l{fileSizeLimit, fileSizeLimit};
            if (::sigaction(SIGXFSZ, &ignore, nullptr) != 0 || ::setrlimit(RLIMIT_FSIZE, &l) != 0) ::_exit(126);
        }
        ::execve(argv[0], argv.data(), environ);
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ProgramResult r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    r.out = ReadFile(outFile), r.err = ReadFile(errFile);
    fs::remove(outFile), fs::remove(errFile);
    return r;
}

bool CanLimitFileSize() { return true; }

fs::path MakeTempFolder(const std::string& prefix) {
    std::string name = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(name.data()) == nullptr) return {};  // an empty path fails the test that uses it
    return name;
}

}  // namespace jw::testsupport
