// Recorded names: the path operations on the Windows paths inside master
// files, and the check that decides whether a recorded name may name a data
// file of the merged set.
//
// Input: two bytes (little-endian int16, the output number), then the bytes
// of a recorded Name field (NULs, blanks, control characters and all).
//
// Properties:
//  - RecordedName is the field up to its first NUL without trailing blanks;
//  - FileNamePart, BaseNamePart and FolderPart cut at the last "\" and the
//    last "." as they must, or (FolderPart) fail with InvalidArgument;
//  - NumberText is at least three digits and reads back as the number;
//  - a name the check accepts has a folder, a file name with a "." and at
//    most three characters after it that FileNamePart does not cut, and a
//    file name the host can hold (no "/", no control character, not "." or
//    ".."); its new Name keeps its folder and base name;
//  - every host file name that passes the host check, joined to an output
//    folder, names a file directly inside that folder.
#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "engine/EngineDetail.h"
#include "engine/TrendTools.h"
#include "time/Errors.h"

namespace {

using namespace fuzzsupport;
namespace ed = jw::engine_detail;

std::string AfterLastBackslash(const std::string& p) {
    const auto a = p.rfind('\\');
    return a == std::string::npos ? p : p.substr(a + 1);
}

bool IsPrefix(const std::string& prefix, const std::string& of) { return of.compare(0, prefix.size(), prefix) == 0; }

// A host file name that passes the check lands directly in the folder.
void CheckHostName(const std::string& name) {
    if (!ed::HostFileNameProblem(name).empty()) return;
    FUZZ_CHECK(!name.empty() && name != "." && name != ".." && name.size() <= 255, "accepted host name " + Show(name));
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        FUZZ_CHECK(c != '/' && u >= 0x20 && u != 0x7F, "accepted host name has no separator or control: " + Show(name));
    }
    const fs::path folder = "/srv/out";
    const fs::path target = folder / name;
    FUZZ_CHECK(target.parent_path() == folder && target.filename() == name, "joined name stays in the folder");
    const fs::path normal = target.lexically_normal();
    FUZZ_CHECK(normal.parent_path() == folder, "normalised target stays in the folder: " + normal.string());
    FUZZ_CHECK(!normal.lexically_relative(folder).empty() && *normal.lexically_relative(folder).begin() != "..",
               "target is not outside the folder");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto n = Get<std::int16_t>(input, 0);
    const std::string field = size > 2 ? input.substr(2) : std::string();

    // The name as its writer meant it.
    const std::string name = jw::RecordedName(field);
    FUZZ_CHECK(IsPrefix(name, field), "RecordedName is a prefix of the field");
    FUZZ_CHECK(name.find('\0') == std::string::npos, "RecordedName stops at the first NUL");
    FUZZ_CHECK(name.empty() || name.back() != ' ', "RecordedName drops trailing blanks");
    FUZZ_CHECK(jw::RecordedName(name) == name, "RecordedName is idempotent");
    const std::string rest = field.substr(name.size());
    for (const char c : rest.substr(0, rest.find('\0')))
        FUZZ_CHECK(c == ' ', "only blanks between the name and its first NUL");

    // Cuts at the last "\" and the last ".".
    const std::string file = AfterLastBackslash(name);
    const std::string cut = jw::FileNamePart(name);
    FUZZ_CHECK(IsPrefix(cut, file), "FileNamePart is a prefix of the file name");
    const auto dot = file.rfind('.');
    FUZZ_CHECK(cut.size() == std::min(file.size(), (dot == std::string::npos ? 0 : dot + 1) + 3),
               "FileNamePart keeps three characters after the last dot: " + Show(name));
    const std::string base = jw::BaseNamePart(name);
    FUZZ_CHECK(dot == std::string::npos ? base.empty() : base == file.substr(0, dot + 1),
               "BaseNamePart is the file name up to its last dot: " + Show(name));
    FUZZ_CHECK(ed::WholeFileName(name) == file, "WholeFileName is what follows the last backslash");

    std::string folder;
    bool hasFolder = true;
    try {
        folder = jw::FolderPart(name);
    } catch (const jw::Error& e) {
        FUZZ_CHECK(e.kind() == jw::ErrorKind::InvalidArgument, e.what());
        hasFolder = false;
    }
    const bool backslashBeforeLast = name.size() >= 2 && name.rfind('\\', name.size() - 2) != std::string::npos;
    FUZZ_CHECK(hasFolder == backslashBeforeLast, "FolderPart fails exactly without a backslash before the end");
    if (hasFolder)
        FUZZ_CHECK(IsPrefix(folder, name) && folder.size() + 1 < name.size() && name[folder.size()] == '\\' &&
                       name.find('\\', folder.size() + 1) >= name.size() - 1,
                   "FolderPart cuts at the last backslash before the end: " + Show(name));

    // Number texts.
    if (n >= 0) {
        const std::string text = jw::NumberText(n);
        FUZZ_CHECK(text.size() == std::max<std::size_t>(3, std::to_string(n).size()) && std::stoi(text) == n,
                   "NumberText of " + std::to_string(n));
    }

    // The check of a recorded name before its data file is taken.
    CheckHostName(field.substr(0, std::min<std::size_t>(field.size(), 300)));
    CheckHostName(file);
    const std::string problem = ed::RecordedNameProblem(name);
    if (problem.empty()) {
        FUZZ_CHECK(hasFolder, "an accepted name has a folder part: " + Show(name));
        FUZZ_CHECK(dot != std::string::npos && file.size() - dot - 1 <= 3,
                   "an accepted name has a dot and at most three characters after it: " + Show(name));
        FUZZ_CHECK(cut == file, "FileNamePart does not cut an accepted name: " + Show(name));
        FUZZ_CHECK(ed::HostFileNameProblem(file).empty(), "an accepted name is a host file name: " + Show(name));
        if (n >= 0) {
            const std::string fresh = jw::NewRecordedName(name, n);
            FUZZ_CHECK(fresh == folder + "\\" + base + jw::NumberText(n), "new Name: folder, base, number");
            FUZZ_CHECK(jw::FolderPart(fresh) == folder && jw::BaseNamePart(fresh) == base,
                       "the new Name keeps folder and base: " + Show(fresh));
            FUZZ_CHECK(jw::RecordedName(fresh) == fresh, "the new Name reads back whole");
            CheckHostName(base + jw::NumberText(n));
        }
    } else if (hasFolder && dot != std::string::npos && file.size() - dot - 1 <= 3) {
        FUZZ_CHECK(!ed::HostFileNameProblem(file).empty(),
                   "a name with folder, dot and short extension is refused only for its file name: " + Show(name) +
                       ": " + problem);
    }
    return 0;
}
