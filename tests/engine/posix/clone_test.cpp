// On a real file system (XFS with reflink, loop-mounted), a POSIX-only
// setup: the merge copies through the platform layer, so its copies share
// their sources' blocks; and a file system that fails when the staged files
// are made durable stops the merge before any master gets its name.
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "engine/EngineTest.h"
#include "os/posix/XfsMount.h"

namespace jw::enginetest {
namespace {

struct OnXfs : Folder {
    const ostest::XfsMount xfs{tmp};
    const fs::path root = xfs.Path();
    trendset::BuiltSet backup, existing;
    // A set of one 32 MiB data file per side.
    void SetUp() override {
        if (!xfs.Why().empty()) GTEST_SKIP() << "cannot run here: " << xfs.Why();
        backup = trendset::Build(root / "backup", SampleSet(6, Days(6, 1, 1)));
        existing = trendset::Build(root / "existing", SampleSet(6, Days(6, 20, 1)));
        trendset::BuildEmptyDataFile(root / "EMPTY.000", SampleSet(6, {}));
        for (const auto& f : {backup.DataFiles[0], existing.DataFiles[0]})
            std::ofstream(f, std::ios::binary | std::ios::app) << std::string(32 << 20, f == backup.DataFiles[0] ? 'b' : 'e');
        ::sync();
    }
    std::string Merge(const MergeOptions& options = {}) const {
        return ErrorOf([&] { MergeTrendSets({"09-10-2004", root / "out", backup.Master, existing.Master, 2, root / "EMPTY.000"}, options); });
    }
};

// 64 MiB of taken data files cost the file system almost nothing more.
TEST_F(OnXfs, MergedCopiesShareTheirSourcesBlocks) {
    const std::uint64_t before = fs::space(root).available;
    EXPECT_EQ(Merge(), "");
    ::sync();
    EXPECT_LT(before - fs::space(root).available, 2ULL << 20) << "copies of 64 MiB took space of their own";
    EXPECT_TRUE(SameFile(root / "out" / "TREND.000", existing.DataFiles[0]));
    EXPECT_TRUE(SameFile(root / "out" / "TREND.001", backup.DataFiles[0]));
}

// Shut down (as on a failing disk) just before the flush: the flush reports
// it, and no master was given its name before the files were durable.
TEST_F(OnXfs, AFailedFlushEndsTheMergeBeforeAnyMasterIsNamed) {
    const std::string said = Merge({.Progress = {}, .BeforeStep = [&](WriteStep step, const PlanEntry*) {
        if (step == WriteStep::Flush) {
            ASSERT_EQ(std::system(("xfs_io -x -c shutdown '" + root.string() + "'").c_str()), 0);
        }
    }});
    ExpectHas(said, {"flushing the data files", "nothing was merged"});
    EXPECT_EQ(said.find("its name"), std::string::npos) << said;
}

}  // namespace
}  // namespace jw::enginetest
