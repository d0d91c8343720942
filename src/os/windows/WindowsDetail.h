// Helpers shared by the Windows files of the platform layer.
//
// Text inside the programs is UTF-8; every Windows call gets UTF-16.  Paths
// are made absolute and given the \\?\ prefix before any call, so a path
// longer than MAX_PATH (260 characters) works on every Windows version,
// whatever the system's long-path setting says.
#pragma once

#include <windows.h>
// <windows.h> maps CreateFile to CreateFileW; Folder::CreateFile keeps its name.
#undef CreateFile

#include <filesystem>
#include <string>
#include <string_view>

#include "base/Errors.h"
#include "os/Common.h"

namespace jw::os::detail {

// UTF-16 <-> UTF-8.  Invalid input is replaced, never an error: these serve
// messages and names the system gave us.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// The path as the system should see it.  A std::filesystem::path built from
// narrow text holds one UTF-16 unit per byte (the C library's "C" locale);
// when those units spell valid UTF-8 with at least one non-ASCII character,
// they are read as the UTF-8 they are, so UTF-8 text from inside the program
// reaches the system intact.  Paths the system gave us pass unchanged.
std::wstring Wide(const std::filesystem::path& p);

// Wide(p) made absolute (GetFullPathNameW) with the \\?\ (or \\?\UNC\)
// prefix; device paths (\\.\) are left as they are.
std::wstring LongPath(const std::filesystem::path& p);

// The system's description of a Windows error code, one line.
std::string ErrorText(DWORD err);

// "<what> "<path>": <system's description>" as an InputOutput error.
[[noreturn]] void FailIo(const std::filesystem::path& path, const std::string& what, DWORD err);

// A failed open or create of path, classified by its error code (see
// os/File.h).
[[noreturn]] void FailOpen(const std::filesystem::path& path, DWORD err);

// Refuses a name that is not one entry of a folder: empty, "." or "..", a
// separator, or a ":" (which would name a stream of another file).
void CheckEntryName(const std::filesystem::path& folder, const std::filesystem::path& name);

// The path of an open file or folder as the system knows it now, in the
// \\?\ form; `path`, the name it was opened by, names it in an error and
// stands in when the system cannot tell.
std::wstring FinalPath(HANDLE h, const std::filesystem::path& path);

// Closes h, keeping the last error of the failure being reported.
void CloseQuietly(HANDLE h) noexcept;

// The full \\?\ path of the entry `name` of an open folder, through the
// folder's final path (so a link put on the way since the open is not
// followed), and the note that a file was made there (for SyncAll).
std::wstring EntryPath(std::intptr_t folder, const std::filesystem::path& folderPath, const std::filesystem::path& name);
void NoteFileMade(std::intptr_t folder, const std::filesystem::path& name);

inline HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }
inline std::intptr_t FromHandle(HANDLE h) { return reinterpret_cast<std::intptr_t>(h); }

}  // namespace jw::os::detail
