// Child processes on Windows: CreateProcessW with the arguments quoted the
// way the C library of the child splits them again, output to files.
#include <windows.h>


#include "support/TestSupport.h"

#include <cstdio>

namespace jw::testsupport {

namespace fs = std::filesystem;

namespace {

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// One argument as CommandLineToArgvW and the C library read it back.
std::wstring Quote(const std::wstring& a) {
    if (!a.empty() && a.find_first_of(L" \t\n\v\"") == std::wstring::npos) return a;
    std::wstring q = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : a) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        q.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        q.push_back(c);
    }
    q.append(backslashes * 2, L'\\');
    return q + L"\"";
}

std::wstring FullPath(const fs::path& p) {
    const DWORD n = ::GetFullPathNameW(p.c_str(), 0, nullptr, nullptr);
    std::wstring out(n, L'\0');
    out.resize(::GetFullPathNameW(p.c_str(), n, out.data(), nullptr));
    return out;
}

HANDLE Inheritable(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProgramResult RunProgram(const fs::path& program, const std::vector<std::string>& args, const fs::path& cwd,
                         const RunOptions& options) {
    // A file size limit, standard output elsewhere, the test hook and a
    // process id file are POSIX only; the tests that need them run there.
    if (!options.stdoutTo.empty() || !options.hook.empty() || !options.pidFile.empty()) {
        ProgramResult refused;
        refused.err = "RunProgram: standard output elsewhere, the test hook and a process id file are POSIX only\n";
        return refused;
    }
    const fs::path base = TempFileName("jw-run");
    const std::wstring outFile = FullPath(base.string() + ".out"), errFile = FullPath(base.string() + ".err");
    std::wstring command = Quote(FullPath(program));
    for (const auto& a : args) command += L" " + Quote(Wide(a));

    ProgramResult r;
    const HANDLE in = Inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
    const HANDLE out = Inheritable(outFile, GENERIC_WRITE, CREATE_ALWAYS);
    const HANDLE err = Inheritable(errFile, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in, si.hStdOutput = out, si.hStdError = err;
    PROCESS_INFORMATION pi{};
    const std::wstring folder = FullPath(cwd);
    // Wine, under load, now and then gives up a child while it starts,
    // before any of its code ran: CreateProcessW then fails with
    // ERROR_INTERNAL_ERROR (the server saw the start aborted, with no exit
    // code).  Nothing of the child ran, so it is started again.
    bool started = false;
    for (int attempt = 0; attempt < 5 && !started; ++attempt) {
        if (attempt > 0 && ::GetLastError() != ERROR_INTERNAL_ERROR) break;
        if (attempt > 0) {
            std::fprintf(stderr, "RunProgram: wine gave up starting %s (error 1359); starting it again\n",
                         program.string().c_str());
            ::Sleep(200);
        }
        started = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                  ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &si, &pi);
    }
    // Why the child did not run, or how its end was not seen: the first line of err.
    std::string failure = started ? "" : "RunProgram: cannot start " + program.string();
    DWORD code = 0;
    if (started && (::WaitForSingleObject(pi.hProcess, INFINITE) != WAIT_OBJECT_0 ||
                    !::GetExitCodeProcess(pi.hProcess, &code)))
        failure = "RunProgram: cannot wait for the child";
    if (!failure.empty()) failure += " (error " + std::to_string(::GetLastError()) + ")\n";
    else r.code = static_cast<int>(code);
    if (started) ::CloseHandle(pi.hThread), ::CloseHandle(pi.hProcess);
    for (const HANDLE h : {in, out, err})
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    // What the child wrote, also when it died while it started.
    r.out = ReadFile(fs::path(outFile)), r.err = failure + ReadFile(fs::path(errFile));
    ::DeleteFileW(outFile.c_str()), ::DeleteFileW(errFile.c_str());
    return r;
}

bool CanLimitFileSize() { return false; }

fs::path MakeTempFolder(const std::string& prefix) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path p = TempFileName(prefix);
        if (::CreateDirectoryW(p.c_str(), nullptr)) return p;
    }
    return {};
}

}  // namespace jw::testsupport
