#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/FileSizeLimit.h"

namespace jw::enginetest {

bool MergeUnderFileSizeLimit(const MergeRequest& request, std::uint64_t limit, std::string& said, ErrorKind& kind) {
    // The child's answer comes back through a pipe: its kind, then its text.
    int fds[2];
    if (::pipe(fds) != 0) return said = "pipe failed", kind = ErrorKind::InputOutput, true;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const rlimit l{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &l), ::signal(SIGXFSZ, SIG_IGN);
        std::string text(1, '\0');
        try {
            MergeTrendSets(request);
        } catch (const Error& e) {
            text = static_cast<char>(e.kind()) + std::string(e.what());
        }
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(fds[1], text.data() + done, text.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (text.empty()) return said = "the child ended without an answer", kind = ErrorKind::InputOutput, true;
    kind = static_cast<ErrorKind>(text[0]);
    said = text.substr(1);
    return true;
}

}  // namespace jw::enginetest
