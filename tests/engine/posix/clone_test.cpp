// On a file system with block cloning (XFS with reflink, loop-mounted), a
// POSIX-only setup: the merge copies through the platform layer, so its
// copies share their sources' blocks.
#include <unistd.h>

#include "engine/EngineTest.h"
#include "os/posix/XfsMount.h"

namespace jw::enginetest {
namespace {

using CloningFileSystem = Folder;

// 64 MiB of taken data files cost the file system almost nothing more.
TEST_F(CloningFileSystem, MergedCopiesShareTheirSourcesBlocks) {
    const ostest::XfsMount xfs(tmp);
    if (!xfs.Why().empty()) GTEST_SKIP() << "cannot run here: " << xfs.Why();
    const fs::path root = xfs.Path();
    const auto backup = trendset::Build(root / "backup", SetOf(6, "C:\\B", {At(6, 1)}));
    const auto existing = trendset::Build(root / "existing", SetOf(6, "C:\\E", {At(6, 20)}));
    trendset::BuildEmptyDataFile(root / "EMPTY.000", SetOf(6, "C:\\B", {}));
    for (const auto& f : {backup.DataFiles[0], existing.DataFiles[0]})
        std::ofstream(f, std::ios::binary | std::ios::app) << std::string(32 << 20, f == backup.DataFiles[0] ? 'b' : 'e');
    ::sync();
    const std::uint64_t before = xfs.Free();
    EXPECT_EQ(MergeTrendSets({"09-10-2004", root / "out", backup.Master, existing.Master, 2, root / "EMPTY.000"}),
              kMergedText);
    ::sync();
    EXPECT_LT(before - xfs.Free(), 2ULL << 20) << "copies of 64 MiB took space of their own";
    EXPECT_EQ(ReadAll(root / "out" / "TREND.000"), ReadAll(existing.DataFiles[0]));
    EXPECT_EQ(ReadAll(root / "out" / "TREND.001"), ReadAll(backup.DataFiles[0]));
}

}  // namespace
}  // namespace jw::enginetest
