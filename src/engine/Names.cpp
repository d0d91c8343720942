// Recorded names and host file names: cutting recorded Windows paths at "\",
// number texts, and the checks that keep a recorded name from pointing at a
// wrong file or outside the folders the merge may touch.
#include <algorithm>
#include <cstdio>
#include <system_error>

#include "engine/EngineDetail.h"
#include "engine/TrendTools.h"
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
         "the path " + engine_detail::Quoted(path) + " has no folder part (no \"\\\" before its last character)");
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

std::string RecordedName(std::string_view fieldText) {
    std::string_view text = fieldText.substr(0, fieldText.find('\0'));
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

std::string NewRecordedName(std::string_view recordedName, std::int16_t n) {
    const std::string name = RecordedName(recordedName);
    return FolderPart(name) + "\\" + BaseNamePart(name) + NumberText(n);
}

namespace engine_detail {

namespace {
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && EqualsNoCase(text.substr(text.size() - tail.size()), tail);
}

std::string HostFileNameProblem(std::string_view name) {
    if (name.empty()) return "the file name is empty";
    if (name == "." || name == "..") return "the file name is " + Quoted(name);
    if (name.size() > kMaxFileNameBytes)
        return "the file name is " + std::to_string(name.size()) + " bytes long (at most " +
               std::to_string(kMaxFileNameBytes) + ")";
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return "the file name contains a control character";
        if (c == '/') return "the file name contains \"/\"";
#ifdef _WIN32
        if (std::string_view("<>:\"|?*\\").find(c) != std::string_view::npos)
            return std::string("the file name contains \"") + c + "\"";
#endif
    }
    return {};
}

std::string_view WholeFileName(std::string_view recordedName) { return AfterLastBackslash(recordedName); }

std::string RecordedNameProblem(std::string_view name) {
    if (name.size() < 2 || name.rfind(kBackslash, name.size() - 2) == std::string_view::npos)
        return "the name has no folder part";
    const std::string_view file = WholeFileName(name);
    if (file.empty()) return "the name ends in \"\\\" (no file name)";
    const auto dot = file.rfind('.');
    if (dot == std::string_view::npos) return "the file name has no \".\"";
    if (file.size() - dot - 1 > 3)
        return "the file name has more than three characters after its last \".\" (it would be read as " +
               Quoted(FileNamePart(file)) + ", another file)";
    return HostFileNameProblem(file);
}

std::filesystem::path HostFolderOf(const std::filesystem::path& file) {
    std::filesystem::path folder = file.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

const std::vector<std::string>& FolderListing::Names(const std::filesystem::path& folder) {
    auto it = listings_.find(folder);
    if (it != listings_.end()) return it->second;
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator d(folder, ec), end; !ec && d != end; d.increment(ec))
        names.push_back(d->path().filename().string());
    if (ec)
        Fail(ErrorKind::InputOutput, "cannot list the folder " + folder.string() + ": " + ec.message());
    return listings_.emplace(folder, std::move(names)).first->second;
}

std::filesystem::path FindSourceFile(const std::filesystem::path& folder, const std::string& fileName,
                                     const std::string& who, FolderListing* listing) {
    namespace fs = std::filesystem;
    if (const std::string why = HostFileNameProblem(fileName); !why.empty())
        Fail(ErrorKind::Refused, who + ": " + why);
    fs::path found = folder / fileName;
    std::error_code ec;
    auto st = fs::symlink_status(found, ec);
    if (!fs::exists(st)) {
        FolderListing local;
        FolderListing& names = listing ? *listing : local;
        std::vector<std::string> matches;
        for (const std::string& n : names.Names(folder))
            if (EqualsNoCase(n, fileName)) matches.push_back(n);
        if (matches.empty())
            Fail(ErrorKind::Refused, who + ": its data file " + found.string() + " does not exist");
        if (matches.size() > 1) {
            std::string list;
            for (const auto& m : matches) list += (list.empty() ? "" : ", ") + Quoted(m);
            Fail(ErrorKind::Refused, who + ": its data file " + Quoted(fileName) + " matches several files in " +
                                         folder.string() + " when letter case is ignored (" + list + ")");
        }
        found = folder / matches.front();
        st = fs::symlink_status(found, ec);
    }
    if (fs::is_symlink(st))
        Fail(ErrorKind::Refused, who + ": its data file " + found.string() + " is a symbolic link, not a data file");
    if (!fs::is_regular_file(st))
        Fail(ErrorKind::Refused, who + ": its data file " + found.string() + " is not a regular file");
    return found;
}

std::chrono::year_month_day StartDayOf(const clsTimes& t) {
    return DateTimeTools::VBToCivil(DateTimeTools::ToVB(t.Raw)).date;
}

}  // namespace engine_detail

}  // namespace jw
