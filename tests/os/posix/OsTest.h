// POSIX helpers of the platform layer's tests: sparse files, allocated
// blocks, a child process that reports how it ended.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <utility>

#include "os/PlatformTest.h"

namespace jw::ostest {

// A file of `length` bytes holding data only in the given runs (offset,
// bytes); everything else is a hole.
inline void WriteSparse(const fs::path& p, std::uint64_t length, const std::vector<std::pair<std::uint64_t, std::size_t>>& runs) {
    { std::ofstream(p, std::ios::binary); }
    fs::resize_file(p, length);
    std::fstream f(p, std::ios::binary | std::ios::in | std::ios::out);
    unsigned salt = 0;
    for (const auto& [at, n] : runs) {
        f.seekp(static_cast<std::streamoff>(at));
        const std::string bytes = Pattern(n, ++salt);
        f.write(bytes.data(), static_cast<std::streamsize>(n));
    }
}

// 512-byte blocks the file system gave the file.
inline std::uint64_t Blocks(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return static_cast<std::uint64_t>(st.st_blocks);
}

// How a child process ended, and what it wrote to standard error.
struct ChildEnd {
    int code = -1, signal = 0;
    std::string err;
};

// Runs body in a child process whose standard error goes to a file read
// back afterwards; the child exits with body's result.
inline ChildEnd InChild(const fs::path& errFile, const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int e = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (e < 0 || ::dup2(e, 2) < 0) ::_exit(126);
        // A signal this program was started to ignore is taken again.
        for (const int sig : {SIGINT, SIGTERM}) {
            struct sigaction now {};
            if (::sigaction(sig, nullptr, &now) == 0 && now.sa_handler == SIG_IGN) ::signal(sig, SIG_DFL);
        }
        const int code = body();  // an escaping error ends the child: no exit code
        std::fflush(nullptr);
        ::_exit(code);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ChildEnd r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    r.err = ReadAll(errFile);
    return r;
}

}  // namespace jw::ostest
