#include "formats/TrendSet.h"

#include <algorithm>
#include <limits>
#include <system_error>

#include "formats/BinaryFile.h"
#include "os/WindowsNames.h"
#include "time/StringTools.h"
#include "os/Text.h"

namespace jw {

namespace fs = std::filesystem;

namespace {

char FoldChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string N(std::int64_t v) { return std::to_string(v); }

}  // namespace

// --- Names -------------------------------------------------------------------

std::string FoldCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = FoldChar(c);
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldChar(x) == FoldChar(y); });
}

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && EqualsNoCase(text.substr(text.size() - tail.size()), tail);
}

std::string RecordedName(std::string_view fieldText) {
    std::string_view text = fieldText.substr(0, fieldText.find('\0'));
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

std::string_view RecordedFileName(std::string_view recordedName) {
    const auto slash = recordedName.rfind('\\');
    return slash == std::string_view::npos ? recordedName : recordedName.substr(slash + 1);
}

std::string HostFileName(std::string_view recordedFileName) { return StringTools::Cp1252ToUtf8(recordedFileName); }

std::string HostFileNameProblem(std::string_view name) {
    constexpr std::size_t kMaxFileNameBytes = 255;
    if (name.empty()) return "the file name is empty";
    if (name == "." || name == "..") return "the file name is " + StringTools::Quoted(name);
    if (name.size() > kMaxFileNameBytes)
        return "the file name is " + N(static_cast<std::int64_t>(name.size())) + " bytes long (at most " +
               N(kMaxFileNameBytes) + ")";
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return "the file name contains a control character";
        if (c == '/') return "the file name contains \"/\"";
    }
    // A merged set goes back to a Windows server: on every system, no name
    // a Windows folder cannot hold.
    return os::WindowsFileNameProblem(name);
}

// --- Finding data files ------------------------------------------------------

FolderIndex::FolderIndex(fs::path folder) : folder_(folder.empty() ? fs::path(".") : std::move(folder)) {}

void FolderIndex::List() {
    if (listed_) return;
    listed_ = true;
    std::error_code ec;
    for (fs::directory_iterator d(folder_, ec), end; !ec && d != end; d.increment(ec)) {
        // The listing's own file type: no stat where the file system gives
        // one (the entry's status members would stat every file).
        std::error_code typeError;
        const auto type = d->is_symlink(typeError)        ? fs::file_type::symlink
                          : d->is_regular_file(typeError) ? fs::file_type::regular
                          : d->is_directory(typeError)    ? fs::file_type::directory
                                                          : fs::file_type::unknown;
        std::string name = os::PathText(d->path().filename());
        byFoldedName_[FoldCase(name)].push_back({std::move(name), type});
    }
    if (ec) listError_ = "cannot list the folder " + os::PathText(folder_) + ": " + ec.message();
}

std::map<std::string, std::vector<fs::path>> FolderIndex::Files() {
    List();
    if (!listError_.empty()) Fail(ErrorKind::InputOutput, listError_);
    std::map<std::string, std::vector<fs::path>> files;
    for (const auto& [folded, entries] : byFoldedName_)
        for (const auto& e : entries)
            if (e.Type != fs::file_type::directory) files[folded].push_back(folder_ / os::PathFromUtf8(e.Name));
    for (auto& [folded, paths] : files) std::sort(paths.begin(), paths.end());
    return files;
}

const FolderIndex::Entry* FolderIndex::Lookup(const std::string& name, std::string* ambiguous) const {
    const auto it = byFoldedName_.find(FoldCase(name));
    if (it == byFoldedName_.end()) return nullptr;
    const auto& entries = it->second;
    const auto same = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.Name == name; });
    if (same != entries.end()) return &*same;
    if (entries.size() == 1) return &entries.front();
    for (const auto& e : entries) *ambiguous += (ambiguous->empty() ? "" : ", ") + StringTools::Quoted(e.Name);
    return nullptr;
}

std::optional<fs::path> FolderIndex::Find(const std::string& fileName, std::string* why) {
    auto fail = [&](std::string text) {
        if (why) *why = std::move(text);
        return std::optional<fs::path>();
    };
    const std::string host = HostFileName(fileName);
    if (const std::string problem = HostFileNameProblem(host); !problem.empty()) return fail(problem);
    const fs::path exact = folder_ / os::PathFromUtf8(host);
    const auto statusOf = [](const fs::path& p) {
        std::error_code ec;
        return fs::symlink_status(p, ec).type();
    };
    List();
    fs::file_type type = fs::file_type::none;
    fs::path found;
    std::string ambiguous;
    const Entry* e = listError_.empty() ? Lookup(host, &ambiguous) : nullptr;
    if (!e && ambiguous.empty() && listError_.empty() && host != fileName) e = Lookup(fileName, &ambiguous);
    if (e) {
        found = folder_ / os::PathFromUtf8(e->Name);
        type = e->Type;
    } else if (!ambiguous.empty()) {
        return fail("its data file " + StringTools::Quoted(host) + " matches several files in " +
                    os::PathText(folder_) + " when letter case is ignored (" + ambiguous + ")");
    } else {
        // Not listed (or no listing): the file system may still reach the name.
        type = statusOf(exact);
        if (type == fs::file_type::not_found || type == fs::file_type::none)
            return fail(listError_.empty() ? "its data file " + os::PathText(exact) + " does not exist" : listError_);
        found = exact;
    }
    if (type == fs::file_type::symlink)
        return fail("its data file " + os::PathText(found) + " is a symbolic link, not a data file");
    if (type != fs::file_type::regular) return fail("its data file " + os::PathText(found) + " is not a regular file");
    return found;
}

FolderIndex& FolderIndexes::For(const fs::path& folder) {
    return indexes_.try_emplace(folder, folder).first->second;
}

// --- The set -----------------------------------------------------------------

const SetFault* TrendSet::Refusal() const {
    for (const auto& f : Faults)
        if (f.What != SetFault::Kind::AddOnPastEnd) return &f;
    return nullptr;
}

namespace {

using K = SetFault::Kind;

// Faults of the master's counts themselves: negative, or AddOn + nFiles
// past the 16-bit file count.
void CheckCounts(TrendSet& s, bool withAddOn) {
    const auto& m = s.Master;
    if (m.nFiles < 0) s.Faults.push_back({K::NegativeNFiles, "nFiles is negative (" + N(m.nFiles) + ")", {}});
    if (m.AddOn < 0) s.Faults.push_back({K::NegativeAddOn, "AddOn is negative (" + N(m.AddOn) + ")", {}});
    // The entries counted are AddOn + nFiles, a 16-bit number like every file count.
    if (withAddOn && std::int32_t{m.nFiles} + m.AddOn > std::numeric_limits<std::int16_t>::max())
        s.Faults.push_back({K::CountOverflow,
                            "AddOn + nFiles (" + N(m.AddOn) + " + " + N(m.nFiles) + ") overflows the 16-bit file count",
                            {}});
}

// Sets the records counted and held, and the fault of a file that holds
// fewer whole records than it counts.
void CountRecords(TrendSet& s, bool withAddOn) {
    const auto& m = s.Master;
    const std::uint64_t length = s.Layout->Length;
    const std::uint64_t nFiles = static_cast<std::uint64_t>(std::max<std::int16_t>(m.nFiles, 0));
    const std::uint64_t addOn = withAddOn ? static_cast<std::uint64_t>(std::max<std::int16_t>(m.AddOn, 0)) : 0;
    s.Counted = nFiles + addOn;
    s.Held = (s.FileLength - TrendDefs::kMasterLength) / length;
    const std::uint64_t rest = (s.FileLength - TrendDefs::kMasterLength) % length;
    const std::string ends = rest > 0 ? "; it ends " + N(static_cast<std::int64_t>(rest)) + " bytes into record " +
                                            N(static_cast<std::int64_t>(s.Held))
                                      : std::string();
    if (s.Held < nFiles)
        s.Faults.push_back({K::Truncated,
                            "the file is truncated: nFiles is " + N(m.nFiles) + " but its " +
                                N(static_cast<std::int64_t>(s.FileLength)) + " bytes hold only " +
                                N(static_cast<std::int64_t>(s.Held)) + " whole records of " + N(s.Layout->Length) +
                                " bytes (" + N(static_cast<std::int64_t>(TrendDefs::kMasterLength + length * nFiles)) +
                                " bytes needed)" + ends,
                            static_cast<int>(s.Held)});
    else if (s.Held < s.Counted)
        s.Faults.push_back({K::AddOnPastEnd,
                            "AddOn counts " + N(m.AddOn) + " entries after the " + N(m.nFiles) +
                                " records of nFiles, but the file holds only " +
                                N(static_cast<std::int64_t>(s.Held - nFiles)) + " of them" + ends,
                            static_cast<int>(s.Held)});
}

// Reads the records the file both counts and holds, and finds each one's
// data file beside the master.
void ReadRecords(TrendSet& s, BinaryFile& file, FolderIndex& folder) {
    const auto n = static_cast<std::size_t>(std::min(s.Counted, s.Held));
    file.Seek(TrendDefs::kMasterLength);
    s.Records.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        SetRecord& r = s.Records[i];
        r.Index = static_cast<int>(i);
        r.Record.Load(file, s.Master);
        r.Name = RecordedName(r.Record.Name);
        const std::string fileName(RecordedFileName(r.Name));
        std::string why;
        r.DataFile = folder.Find(fileName, &why);
        if (!r.DataFile)
            r.DataFileProblem = HostFileNameProblem(HostFileName(fileName)).empty()
                                    ? why
                                    : "its Name " + StringTools::Quoted(r.Name) +
                                          " names no data file that can lie beside the master (" + why + ")";
    }
}

}  // namespace

TrendSet ReadTrendSet(const fs::path& path, RecordCount count, FolderIndexes* shared) {
    TrendSet s;
    s.Path = path;
    BinaryFile file(path, BinaryFile::Mode::ReadOnly);
    s.Master.Load(file);
    s.FileLength = file.Length();
    s.Layout = TrendDefs::HSTHeaderLayout(s.Master.Version);
    if (s.Layout == nullptr) {
        s.Faults.push_back({K::NoLayout, "Version " + N(s.Master.Version) +
                                             " is not a trend version (0 to 6); its records cannot be read", {}});
        return s;
    }
    const bool withAddOn = count == RecordCount::WithAddOn;
    CheckCounts(s, withAddOn);
    CountRecords(s, withAddOn);
    FolderIndexes own;
    ReadRecords(s, file, (shared ? *shared : own).For(path.parent_path()));
    file.Close();
    return s;
}

}  // namespace jw
