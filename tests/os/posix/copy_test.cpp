// Whole-file copies on POSIX: every method keeps holes as holes (allocated
// blocks compared, not only bytes).
#include "OsTest.h"
#include "support/TestSupport.h"

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

// Files with and without holes: empty, dense across buffer sizes,
// holes between, before and after the data, nothing but a hole.
const Layout kLayouts[] = {
    {"empty", 0, {}},
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
            EXPECT_TRUE(testsupport::SameBytes(ReadAll(tmp / name), bytes));
            EXPECT_LE(Blocks(tmp / name), Blocks(src) + 8) << "holes stay holes";
        }
        EXPECT_TRUE(testsupport::SameBytes(ReadAll(src), bytes)) << "the source is only read";
    }
}

}  // namespace
}  // namespace jw
