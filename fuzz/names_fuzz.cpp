// Recorded names: the path operations on the Windows paths inside master
// files, and the check that decides whether a recorded name may name a data
// file of the merged set.
//
// Input: two bytes (little-endian int16, the output number), then the bytes
// of a recorded Name field.
//
// Properties: a name the check accepts has a folder, a file name with a "." and
// at most three characters after it that FileNamePart does not cut, and a
// file name the host can hold; its new Name keeps folder and base name; every
// host file name that passes the host check, joined to an output folder,
// names a file directly inside that folder.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "engine/EngineDetail.h"
#include "engine/TrendTools.h"

using namespace fuzzsupport;
namespace ed = jw::engine_detail;

namespace {

void CheckHostName(const std::string& name) {
    if (!jw::HostFileNameProblem(name).empty()) return;
    const fs::path folder = "/srv/out", target = (folder / name).lexically_normal();
    FUZZ_CHECK(name.find('/') == std::string::npos && target.parent_path() == folder && target.filename() == name,
               "an accepted host name lands directly in the folder: " + name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto n = Get<std::int16_t>(input, 0);
    const std::string field = size > 2 ? input.substr(2) : std::string();

    const std::string name = jw::RecordedName(field);
    CheckHostName(field.substr(0, 300));
    const std::string file = std::string(jw::RecordedFileName(name));
    CheckHostName(file);
    if (!ed::RecordedNameProblem(name).empty()) return 0;
    const auto dot = file.rfind('.');
    FUZZ_CHECK(dot != std::string::npos && file.size() - dot - 1 <= 3 && jw::FileNamePart(name) == file &&
                   jw::HostFileNameProblem(file).empty(),
               "an accepted name has a dot, at most three characters after it, and is a host file name: " + name);
    const std::string folder = jw::FolderPart(name), base = jw::BaseNamePart(name);  // throws without a folder
    FUZZ_CHECK(name == folder + "\\" + file && base == file.substr(0, dot + 1), "folder, base and file of " + name);
    if (n < 0) return 0;
    const std::string fresh = jw::NewRecordedName(name, n);
    FUZZ_CHECK(fresh == folder + "\\" + base + jw::NumberText(n) && jw::FolderPart(fresh) == folder &&
                   jw::BaseNamePart(fresh) == base && jw::RecordedName(fresh) == fresh,
               "the new Name keeps folder and base: " + fresh);
    CheckHostName(base + jw::NumberText(n));
    return 0;
}
