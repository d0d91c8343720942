// Whole-file copies on POSIX: every method keeps holes as holes (allocated
// blocks compared, not only bytes); a link as target is never followed; on a
// file system with block cloning the copy shares the source's blocks.
#include "OsTest.h"
#include "XfsMount.h"

namespace jw {
namespace {

using namespace ostest;
using os::CopyMethod;
using os::File;
using os::Folder;

using CopyTest = TempFolder;

constexpr std::uint64_t kMiB = 1 << 20;

struct Layout {
    const char* name;
    std::uint64_t length;
    std::vector<std::pair<std::uint64_t, std::size_t>> runs;  // data; the rest is holes
};

// Files with and without holes: empty, tiny, dense across buffer sizes,
// holes between, before and after the data, nothing but a hole.
const Layout kLayouts[] = {
    {"empty", 0, {}},
    {"one_byte", 1, {{0, 1}}},
    {"dense_70000", 70'000, {{0, 70'000}}},
    {"dense_3000001", 3'000'001, {{0, 3'000'001}}},
    {"holes_between_and_after", 8 * kMiB, {{0, 4096}, {kMiB, 70'000}, {5 * kMiB, 3 * 4096}}},
    {"hole_first", 6 * kMiB, {{4 * kMiB, 2 * kMiB}}},
    {"only_a_hole", 50 * kMiB, {}},
};

TEST_F(CopyTest, EveryMethodKeepsBytesAndHoles) {
    const Folder folder = Folder::Open(tmp);
    const std::pair<os::CopyMethods, const char*> methods[] = {
        {os::kAllCopyMethods, "all"},
        {static_cast<unsigned>(CopyMethod::Kernel), "kernel"},
        {static_cast<unsigned>(CopyMethod::ReadWrite), "read/write"},
        {CopyMethod::Clone | CopyMethod::ReadWrite, "clone or read/write"},
    };
    int n = 0;
    for (const Layout& layout : kLayouts) {
        const fs::path src = tmp / layout.name;
        WriteSparse(src, layout.length, layout.runs);
        const std::string bytes = ReadAll(src);
        std::uint64_t data = 0;
        for (const auto& run : layout.runs) data += run.second;
        // The file system must keep the source's holes for the test to mean anything.
        ASSERT_LE(Blocks(src) * 512, data + 64 * 1024) << layout.name;
        for (const auto& [mask, what] : methods) {
            SCOPED_TRACE(std::string(layout.name) + ", " + what);
            const std::string name = "copy" + std::to_string(n++);
            const os::CopyResult r = folder.CopyFrom(File::OpenRead(src), name, mask);
            EXPECT_EQ(r.Bytes, layout.length);
            EXPECT_NE(static_cast<unsigned>(r.Method) & mask, 0U) << "finished by an allowed method";
            if (mask == static_cast<unsigned>(CopyMethod::ReadWrite)) {
                EXPECT_EQ(r.Method, CopyMethod::ReadWrite);
            }
            EXPECT_EQ(ReadAll(tmp / name), bytes);
            EXPECT_LE(Blocks(tmp / name), Blocks(src) + 8) << "holes stay holes";
        }
        EXPECT_EQ(ReadAll(src), bytes) << "the source is only read";
    }
}

// A target name taken by a dangling link stays as it was, and nothing is
// made where the link leads.
TEST_F(CopyTest, ALinkAsTargetIsNeverFollowed) {
    WriteNew(tmp / "src", Pattern(5000));
    fs::create_symlink(tmp / "elsewhere", tmp / "link");
    ExpectHas(ErrorOf([&] { Folder::Open(tmp).CopyFrom(File::OpenRead(tmp / "src"), "link"); }),
              {(tmp / "src").string(), (tmp / "link").string(), "already exists"});
    EXPECT_TRUE(fs::is_symlink(tmp / "link"));
    EXPECT_FALSE(fs::exists(tmp / "elsewhere"));
}

// Cloning on a file system that offers it: the copy is a clone and takes
// (almost) no space, whatever the file's size; where clones are refused
// (two file systems) the copy still happens.
TEST_F(CopyTest, CloneSharesBlocksOnXfs) {
    const XfsMount xfs(tmp);
    if (!xfs.Why().empty()) GTEST_SKIP() << "cannot run here: " << xfs.Why();
    const fs::path src = xfs.Path() / "src";
    WriteNew(src, Pattern(64 * kMiB));
    const Folder folder = Folder::Open(xfs.Path());
    ::sync();
    const std::uint64_t before = xfs.Free();
    const os::CopyResult r = folder.CopyFrom(File::OpenRead(src), "clone");
    ::sync();
    EXPECT_EQ(r.Method, CopyMethod::Clone);
    EXPECT_LT(before - xfs.Free(), 1 * kMiB) << "the clone shares the source's 64 MiB";
    EXPECT_EQ(ReadAll(xfs.Path() / "clone"), ReadAll(src));
    // Read/write only: a real copy, taking the space.
    folder.CopyFrom(File::OpenRead(src), "copied", static_cast<unsigned>(CopyMethod::ReadWrite));
    ::sync();
    EXPECT_GT(before - xfs.Free(), 60 * kMiB);
    // From another file system: no clone, a copy all the same.
    WriteNew(tmp / "outside", Pattern(100'000));
    EXPECT_NE(folder.CopyFrom(File::OpenRead(tmp / "outside"), "across").Method, CopyMethod::Clone);
    EXPECT_EQ(ReadAll(xfs.Path() / "across"), Pattern(100'000));
}

}  // namespace
}  // namespace jw
