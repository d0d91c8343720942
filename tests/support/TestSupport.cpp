#include "support/TestSupport.h"

#include <fstream>
#include <iterator>
#include <random>

namespace jw::testsupport {

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

void Poke(const fs::path& p, std::size_t at, std::int64_t v, std::size_t width) {
    std::fstream f(p, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(static_cast<std::streamoff>(at));
    for (std::size_t i = 0; i < width; ++i) f.put(static_cast<char>(static_cast<std::uint64_t>(v) >> (8 * i)));
}

fs::path TempFileName(const std::string& prefix) {
    static std::mt19937_64 random{std::random_device{}()};
    return fs::temp_directory_path() / (prefix + "-" + std::to_string(random()));
}

TempFolder::~TempFolder() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
}

Tree Snapshot(const fs::path& root, const std::string& skip) {
    Tree t;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string key = it->path().lexically_relative(root).generic_string();
        if (!skip.empty() && (key == skip || key.rfind(skip + "/", 0) == 0)) continue;
        const auto st = it->symlink_status();
        if (!fs::is_regular_file(st)) {
            t[key] = fs::is_symlink(st) ? "link" : fs::is_directory(st) ? "folder" : "other";
            continue;
        }
        t[key] = Fingerprint(ReadFile(it->path()));
    }
    return t;
}

std::string Fingerprint(const std::string& bytes) {
    std::uint64_t h = 14695981039346656037ULL;  // FNV-1a
    for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return std::to_string(bytes.size()) + " bytes, hash " + std::to_string(h);
}

::testing::AssertionResult SameBytes(const std::string& a, const std::string& b) {
    if (a == b) return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size() << ", first difference at byte "
                                         << at;
}

::testing::AssertionResult SameFile(const fs::path& a, const fs::path& b) {
    auto r = SameBytes(ReadFile(a), ReadFile(b));
    if (!r) r << " (" << a.string() << " against " << b.string() << ")";
    return r;
}

std::int64_t September(std::int16_t version, int day, int hour, int minute, int second) {
    return trendset::RawTime(version, 2004, 9, day, hour, minute, second);
}

std::vector<Span> Days(std::int16_t version, int firstDay, int count, int length) {
    std::vector<Span> spans;
    for (int i = 0; i < count; ++i) {
        const int day = firstDay + i * length;
        spans.push_back({September(version, day), September(version, day + length - 1, 23, 59, 59)});
    }
    return spans;
}

trendset::SetDescription SampleSet(std::int16_t version, const std::vector<Span>& files, std::int32_t samples,
                                   std::int32_t spare) {
    trendset::SetDescription set;
    set.Version = version;
    for (const Span& f : files) set.Files.push_back({f.start, f.end, samples, {}, true});
    if (!set.Files.empty()) set.Files.back().Capacity = samples + spare;
    return set;
}

}  // namespace jw::testsupport
