#include "ui/model/CommonDialog.h"

#include <algorithm>

namespace jw::ui {

std::string NormaliseFilter(std::string_view filter) {
    std::string text(filter);
    if (!text.ends_with('|')) text += "||";
    if (!text.ends_with("||")) text += '|';
    std::replace(text.begin(), text.end(), '|', '\0');
    return text;
}

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The next NUL-ended part of text from pos; pos moves past its NUL.
std::string_view NextPart(std::string_view text, std::size_t& pos) {
    if (pos >= text.size()) return {};
    const std::size_t end = std::min(text.find('\0', pos), text.size());
    const std::string_view part = text.substr(pos, end - pos);
    pos = end + 1;
    return part;
}

}  // namespace

std::vector<FilterEntry> FilterEntries(std::string_view normalisedFilter) {
    std::vector<FilterEntry> entries;
    std::size_t pos = 0;
    while (pos < normalisedFilter.size()) {
        const std::string_view description = NextPart(normalisedFilter, pos);
        if (description.empty()) break;
        const std::string_view list = NextPart(normalisedFilter, pos);
        if (list.empty()) break;  // two NULs in a row end the list
        FilterEntry entry{std::string(description), {}};
        std::size_t at = 0;
        while (at <= list.size()) {
            const std::size_t end = std::min(list.find(';', at), list.size());
            const std::string_view pattern = Trimmed(list.substr(at, end - at));
            if (!pattern.empty()) entry.Patterns.emplace_back(pattern);
            at = end + 1;
        }
        if (!entry.Patterns.empty()) entries.push_back(std::move(entry));
    }
    return entries;
}

std::string ChooseFile(const std::string& DialogTitle, const std::string& InitialPath, std::string_view Filter,
                       std::uint32_t Flags, std::int16_t& ReadOnlyChosen, FileDialogService& dialogs) {
    const OpenFileAnswer answer = dialogs.OpenFile({DialogTitle, InitialPath, NormaliseFilter(Filter), 1, Flags});
    ReadOnlyChosen = (answer.Flags & kReadOnlyFlag) != 0 ? -1 : 0;
    std::string_view path = answer.Path;
    path = path.substr(0, path.find('\0'));
    path.remove_prefix(std::min(path.find_first_not_of(' '), path.size()));
    return std::string(path);
}

}  // namespace jw::ui
