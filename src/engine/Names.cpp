// Recorded names and host file names: cutting recorded Windows paths at "\",
// number texts, and the checks that keep a recorded name from pointing at a
// wrong file or outside the folders the merge may touch.
#include <algorithm>

#include "engine/EngineDetail.h"
#include "engine/TrendTools.h"
#include "time/StringTools.h"
#include "formats/TrendSet.h"
#include "base/Checked.h"
#include "time/DateTimeTools.h"
#include "base/Errors.h"
#include "time/clsTimes.h"

namespace jw {

namespace {

constexpr char kBackslash = '\\';

std::string_view AfterLastBackslash(std::string_view path) {
    const auto a = path.rfind(kBackslash);
    return a == std::string_view::npos ? path : path.substr(a + 1);
}

}  // namespace

std::string FileNamePart(std::string_view path) {
    const std::string_view name = AfterLastBackslash(path);
    const auto dot = name.rfind('.');
    const std::size_t keep = (dot == std::string_view::npos ? 0 : dot + 1) + 3;
    return std::string(name.substr(0, std::min(keep, name.size())));
}

std::string FolderPart(std::string_view path) {
    // The search starts one before the last character: a "\" that ends the
    // path is skipped, so "C:\A\B\" gives "C:\A".
    if (path.size() >= 2) {
        const auto a = path.rfind(kBackslash, path.size() - 2);
        if (a != std::string_view::npos) return std::string(path.substr(0, a));
    }
    Fail(ErrorKind::InvalidArgument,
         "the path " + StringTools::Quoted(path) + " has no folder part (no \"\\\" before its last character)");
}

std::string BaseNamePart(std::string_view path) {
    const std::string_view name = AfterLastBackslash(path);
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(0, dot + 1));
}

std::string NumberText(std::int16_t n) {
    if (n < 0) Fail(ErrorKind::InvalidArgument, "a data file number cannot be negative (" + std::to_string(n) + ")");
    std::string digits = std::to_string(n);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    return digits;
}

std::string NewRecordedName(std::string_view recordedName, std::int16_t n) {
    const std::string name = RecordedName(recordedName);
    return FolderPart(name) + "\\" + BaseNamePart(name) + NumberText(n);
}

namespace engine_detail {

std::string RecordedNameProblem(std::string_view name) {
    if (name.size() < 2 || name.rfind(kBackslash, name.size() - 2) == std::string_view::npos)
        return "the name has no folder part";
    const std::string_view file = RecordedFileName(name);
    if (file.empty()) return "the name ends in \"\\\" (no file name)";
    const auto dot = file.rfind('.');
    if (dot == std::string_view::npos) return "the file name has no \".\"";
    if (file.size() - dot - 1 > 3)
        return "the file name has more than three characters after its last \".\" (it would be read as " +
               StringTools::Quoted(FileNamePart(file)) + ", another file)";
    return HostFileNameProblem(file);
}

std::chrono::year_month_day StartDayOf(const clsTimes& t) {
    return DateTimeTools::VBToCivil(DateTimeTools::ToVB(t.Raw)).date;
}

}  // namespace engine_detail

}  // namespace jw
