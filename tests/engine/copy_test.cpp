// Whole-file copies: each method, the fall-back from one to the next, never
// an overwrite.
#include "EngineTest.h"

namespace jw {
namespace {

using namespace enginetest;

std::string Pattern(std::size_t n) {
    std::string b(n, '\0');
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<char>((i * 131 + i / 977) & 0xFF);
    return b;
}

using CopyTest = Folder;

// The first method that finishes does the job, carrying on from where the
// one before it stopped; none after it is asked; the bytes come out whole.
// A clone after a partial copy refuses (it would replace the whole file).
TEST_F(CopyTest, EachMethodTakesOverFromTheOneBefore) {
    const std::pair<std::string, int> cases[] = {{"K", 0},  {"W", 0},   {"RK", 1},  {"RRW", 2},
                                                 {"PK", 1}, {"PW", 1}, {"PRW", 2}, {"PCW", 2}, {"CKW", -1}};  // -1: as the file system allows
    int n = 0;
    for (const std::size_t size : {0, 1, 70'000, 3'000'001}) {
        WriteAll(tmp / "src", Pattern(size));
        for (const auto& [letters, finisher] : cases) {
            SCOPED_TRACE(letters + ", " + std::to_string(size) + " bytes");
            std::vector<Probe*> p;
            const auto copier = Chain(letters, &p);  // owns the probes
            copier->Copy(tmp / "src", tmp / std::to_string(n));
            EXPECT_EQ(ReadAll(tmp / std::to_string(n++)), Pattern(size));
            const auto done = std::find_if(p.begin(), p.end(), [](Probe* q) { return q->outcome == CopyMethod::Outcome::Done; }) - p.begin();
            for (std::ptrdiff_t i = 0; i < std::ssize(p); ++i) EXPECT_EQ(p[i]->calls, i <= done ? 1 : 0) << i;
            ASSERT_EQ(done, finisher < 0 ? std::min(done, std::ssize(p) - 1) : finisher);
            EXPECT_EQ(p[done]->doneBefore, letters[0] == 'P' ? std::min<std::size_t>(size, 1000) : 0);
        }
        EXPECT_EQ(ReadAll(tmp / "src"), Pattern(size));
    }
}

// Copies never replace, follow a link at the target or touch the source;
// failures name both files and leave no target behind.  The default order
// is fastest first.
TEST_F(CopyTest, FailuresNameBothFilesAndLeaveNoTarget) {
    WriteAll(tmp / "src", Pattern(5000)), WriteAll(tmp / "taken", "taken"), fs::create_directory(tmp / "folder");
    fs::create_symlink(tmp / "taken", tmp / "link");
    const auto breaks = Chain("X"), refuses = Chain("R");
    const std::tuple<FileCopier*, std::string, std::string, std::string> cases[] = {
        {&DefaultFileCopier(), "nothere", "a", "cannot be opened"}, {&DefaultFileCopier(), "folder", "b", "not a regular file"},
        {&DefaultFileCopier(), "src", "taken", "already exists"},   {&DefaultFileCopier(), "src", "link", "already exists"},
        {&DefaultFileCopier(), "src", "no/c", "cannot be created"}, {breaks.get(), "src", "d", "injected fault"},
        {refuses.get(), "src", "e", "no copy method"}};
    for (const auto& [copier, from, to, expect] : cases) {
        ExpectHas(ErrorOf([&] { copier->Copy(tmp / from, tmp / to); }), {(tmp / from).string(), (tmp / to).string(), expect});
        EXPECT_EQ(fs::exists(fs::symlink_status(tmp / to)), to == "taken" || to == "link") << to;
    }
    EXPECT_EQ(ReadAll(tmp / "taken") + ReadAll(tmp / "src"), "taken" + Pattern(5000));
    EXPECT_TRUE(fs::is_symlink(tmp / "link"));
    const auto methods = DefaultCopyMethods();
    EXPECT_EQ(std::string(methods.at(0)->Name()) + " " + methods.at(1)->Name() + " " + methods.at(2)->Name(), "FICLONE copy_file_range read/write");
}

}  // namespace
}  // namespace jw
