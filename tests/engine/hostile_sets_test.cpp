// Sets damaged in ways found by the bad-input matrix: an existing master
// whose AddOn + nFiles leaves 16 bits, taken data files that are no trend
// data files, a record that names its own master as data file.  Each is
// refused before anything is written; the same damage on a file the merge
// does not take changes nothing.
#include <gtest/gtest.h>

#include <functional>

#include "MergeFixture.h"

namespace jw {
namespace {

using namespace enginetest;
using trendset::SetSpec;

// Backup: 09-01, 09-02 (taken with the break date 09-10); existing: 09-05 (not
// taken), 09-20 (taken).
struct HostileSetTest : MergeFixture {
    void SetUp() override {
        Make(SetOf(6, "C:\\B", {At(6, 2004, 9, 1), At(6, 2004, 9, 2)}),
             SetOf(6, "C:\\E", {At(6, 2004, 9, 5), At(6, 2004, 9, 20)}));
    }
};

struct HostileCase {
    std::string what;
    std::function<void(HostileSetTest&)> damage;
    bool refused;
    std::vector<std::string> parts;
    ErrorKind kind = ErrorKind::Refused;
};

class HostileSets : public HostileSetTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileSets, RefusedBeforeWritingOnlyWhenTaken) {
    const HostileCase& c = GetParam();
    c.damage(*this);
    const MergeRequest r = Request("09-10-2004", 5);
    if (!c.refused) {
        EXPECT_EQ(Merge(r), kMergedText);
        return;
    }
    ExpectRefused(r, c.parts, c.kind);
    EXPECT_TRUE(FolderNames(out).empty());
}

void CutTo(const fs::path& p, std::size_t n) { fs::resize_file(p, n); }

const HostileCase kCases[] = {
    {"AddOn plus nFiles leaves 16 bits",
     [](HostileSetTest& t) { PatchFile(t.existing.Master, 154, LE(32767, 2)); }, true,
     {"existing master", "AddOn + nFiles (32767 + 2) overflows"}, ErrorKind::Overflow},
    {"AddOn plus nFiles just fits",
     [](HostileSetTest& t) { PatchFile(t.existing.Master, 154, LE(32765, 2)); }, false, {}},
    {"taken data file cut inside its header",
     [](HostileSetTest& t) { CutTo(t.existing.DataFiles.at(1), 100); }, true,
     {"existing master", "record 1", "TREND.001", "cut inside its header: it holds 100 bytes"}},
    {"taken data file cut inside its version field",
     [](HostileSetTest& t) { CutTo(t.backup.DataFiles.at(0), 139); }, true,
     {"backup master", "record 0", "TREND.000", "cut inside its header: it holds 139 bytes"}},
    {"taken data file of an unknown version",
     [](HostileSetTest& t) { PatchFile(t.backup.DataFiles.at(1), 138, LE(9, 2)); }, true,
     {"backup master", "record 1", "TREND.001", "not a trend data file: its version is 9"}},
    {"taken record naming its own master as data file",
     [](HostileSetTest& t) {
         std::string name = "C:\\E\\TREND.HST";
         name.resize(272, '\0');
         PatchFile(t.existing.Master, 176 + 448, Bytes(name.begin(), name.end()));
     },
     true, {"existing master", "record 1", "is the existing master itself"}},
    {"data file that is not taken may be cut",
     [](HostileSetTest& t) { CutTo(t.existing.DataFiles.at(0), 100); }, false, {}},
};

INSTANTIATE_TEST_SUITE_P(Merge, HostileSets, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<HostileCase>& info) {
                             std::string name;
                             for (const char ch : info.param.what)
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

}  // namespace
}  // namespace jw
