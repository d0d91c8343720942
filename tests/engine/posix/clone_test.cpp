// On a file system with block cloning (XFS with reflink, loop-mounted), a
// POSIX-only setup: the merged copies share their sources' blocks.
#include <unistd.h>

#include "engine/EngineTest.h"
#include "os/posix/XfsMount.h"

using namespace jw::enginetest;

namespace jw {
namespace {

// On a file system with block cloning (XFS with reflink, loop-mounted) the
// merged data files share the blocks of their sources: 64 MiB of taken data
// files cost the file system almost nothing more.
TEST(CloningFileSystem, MergedCopiesShareTheirSourcesBlocks) {
    const fs::path base = fs::temp_directory_path() / ("jw-engine-xfs-" + std::to_string(::getpid()));
    fs::create_directories(base);
    struct Cleanup {
        fs::path p;
        ~Cleanup() { std::error_code ec; fs::remove_all(p, ec); }
    } cleanup{base};
    {
        const ostest::XfsMount xfs(base);
        if (!xfs.Why().empty()) GTEST_SKIP() << "cannot run here: " << xfs.Why();
        const fs::path root = xfs.Path();
        const auto backup = trendset::Build(root / "backup", SetOf(6, "C:\\B", {At(6, 1), At(6, 2), At(6, 3), At(6, 4)}));
        const auto existing = trendset::Build(root / "existing", SetOf(6, "C:\\E", {At(6, 20), At(6, 21), At(6, 22), At(6, 23)}));
        trendset::BuildEmptyDataFile(root / "EMPTY.000", SetOf(6, "C:\\B", {}));
        std::uint64_t data = 0;
        for (const auto* set : {&backup, &existing})
            for (const auto& f : set->DataFiles) {
                std::ofstream(f, std::ios::binary | std::ios::app) << std::string(8 << 20, static_cast<char>('a' + data % 26));
                data += fs::file_size(f);
            }
        fs::create_directory(root / "out");
        ::sync();
        const std::uint64_t before = xfs.Free();
        EXPECT_EQ(MergeTrendSets("09-10-2004", (root / "out").string(), backup.Master.string(), existing.Master.string(), 8,
                                 (root / "EMPTY.000").string()),
                  kMergedText);
        ::sync();
        EXPECT_GT(data, 64ULL << 20);
        EXPECT_LT(before - xfs.Free(), 2ULL << 20) << "copies of " << data << " bytes took space of their own";
        EXPECT_EQ(ReadAll(root / "out" / "TREND.000"), ReadAll(existing.DataFiles[0]));
        EXPECT_EQ(ReadAll(root / "out" / "TREND.007"), ReadAll(backup.DataFiles[3]));
    }
}

}  // namespace
}  // namespace jw
