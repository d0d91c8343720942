// On a real file system (XFS, loop-mounted), a POSIX-only setup: a file
// system that fails when the staged files are made durable stops the merge
// before any master gets its name.  (That copies share their sources' blocks
// is the platform layer's, tested with it.)
#include <cstdlib>

#include "engine/EngineTest.h"
#include "os/posix/XfsMount.h"

namespace jw::enginetest {
namespace {

using OnXfs = Folder;

// Shut down (as on a failing disk) just before the flush: the flush reports
// it, and no master was given its name before the files were durable.
TEST_F(OnXfs, AFailedFlushEndsTheMergeBeforeAnyMasterIsNamed) {
    const ostest::XfsMount xfs{tmp};
    if (!xfs.Why().empty()) GTEST_SKIP() << "cannot run here: " << xfs.Why();
    const fs::path root = xfs.Path();
    const auto backup = trendset::Build(root / "backup", SampleSet(6, Days(6, 1, 1)));
    const auto existing = trendset::Build(root / "existing", SampleSet(6, Days(6, 20, 1)));
    trendset::BuildEmptyDataFile(root / "EMPTY.000", SampleSet(6, {}));
    const auto shutDown = [&](WriteStep step, const PlanEntry*) {
        if (step == WriteStep::Flush && std::system(("xfs_io -x -c shutdown '" + root.string() + "'").c_str()) != 0) FAIL() << "xfs_io failed";
    };
    const std::string said = ErrorOf([&] {
        MergeTrendSets({"09-10-2004", root / "out", backup.Master, existing.Master, 2, root / "EMPTY.000"}, {.Progress = {}, .BeforeStep = shutDown});
    });
    ExpectHas(said, {"flushing the data files", "nothing was merged"});
    EXPECT_EQ(said.find("its name"), std::string::npos) << said;
}

}  // namespace
}  // namespace jw::enginetest
