#include "os/WindowsNames.h"

#include <algorithm>
#include <iterator>

#include "base/Errors.h"
#include "os/Text.h"

namespace jw::os {

namespace {
bool EqualsNoCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}
}  // namespace

std::string WindowsFileNameProblem(std::string_view name) {
    for (const char c : name)
        if (std::string_view("<>:\"|?*\\").find(c) != std::string_view::npos)
            return std::string("the name contains \"") + c + "\", which a Windows folder cannot hold";
    if (!name.empty() && (name.back() == '.' || name.back() == ' '))
        return std::string("the name ends in ") + (name.back() == '.' ? "a dot" : "a blank") +
               ", which Windows drops";
    // A device name stays a device whatever follows its first dot, and
    // blanks before that dot do not count.
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    static constexpr std::string_view kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    static constexpr std::string_view kNumbered[] = {"COM", "LPT"};
    bool device = std::any_of(std::begin(kDevices), std::end(kDevices),
                              [&](std::string_view d) { return EqualsNoCase(stem, d); });
    if (stem.size() == 4 && stem[3] >= '1' && stem[3] <= '9')
        device = device || std::any_of(std::begin(kNumbered), std::end(kNumbered),
                                       [&](std::string_view d) { return EqualsNoCase(stem.substr(0, 3), d); });
    if (device) return "the name is the Windows device name " + Quoted(stem);
    return {};
}

void CheckNewFolderName(const std::filesystem::path& folder, ErrorKind kind) {
    const std::filesystem::path name = folder.has_filename() ? folder.filename() : folder.parent_path().filename();
    if (name == "." || name == "..") return;
    if (const std::string why = WindowsFileNameProblem(PathText(name)); !why.empty())
        Fail(kind, "Cannot make the folder " + Quoted(PathText(folder)) + ": " + why);
}

}  // namespace jw::os
