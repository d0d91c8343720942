// Failures while a merge is being written, in ways that work for any user
// (root included): a file size limit, a file standing where a copy must go,
// a copy that breaks.  Each must end in an error, never in the success text,
// with no master file under its final name and the inputs unchanged.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "MergeFixture.h"

namespace jw {
namespace {

using namespace enginetest;

// Copies the first `good` files, then fails like a device that went away.
class FaultyCopier final : public FileCopier {
public:
    explicit FaultyCopier(int good) : good_(good) {}
    void Copy(const fs::path& from, const fs::path& to) override {
        if (calls_++ >= good_) Fail(ErrorKind::InputOutput, "injected fault: the device went away");
        DefaultFileCopier().Copy(from, to);
    }

private:
    int good_;
    int calls_ = 0;
};

struct WriteFailureTest : MergeFixture {
    void SetUp() override {
        // Backup: 09-01, 09-02 (taken); existing: 09-20 (taken); plus template copies.
        auto b = SetOf(6, "C:\\B", {At(6, 2004, 9, 1), At(6, 2004, 9, 2)});
        auto e = SetOf(6, "C:\\E", {At(6, 2004, 9, 20)});
        for (auto& f : e.Files) f.Samples = 40'000;  // 320 KB of samples: larger than the limit below
        Make(b, e);
    }
    MergeRequest Req() const { return Request("09-10-2004", 5); }
};

struct SabotageCase {
    std::string what;
    // Runs between planning and writing; may plant files in the output folder.
    std::function<void(const MergePlan&)> plant;
    int goodCopies = -1;  // >= 0: an injected copier that fails after that many copies
    std::vector<std::string> parts;
    ErrorKind kind = ErrorKind::InputOutput;
};

class Sabotage : public WriteFailureTest, public ::testing::WithParamInterface<SabotageCase> {};

TEST_P(Sabotage, EndsInAnErrorWithoutAMaster) {
    const SabotageCase& c = GetParam();
    const MergeRequest r = Req();
    const auto before = Inputs();
    const MergePlan plan = PlanMerge(r);
    if (c.plant) c.plant(plan);
    const auto planted = Fingerprint({out});

    FaultyCopier faulty(c.goodCopies);
    MergeOptions options;
    if (c.goodCopies >= 0) options.Copier = &faulty;
    int progressed = 0;
    options.Progress = [&](int done, int total) {
        progressed = done;
        EXPECT_LT(done, total);  // never the last step
    };
    try {
        WriteMerge(r, plan, options);
        ADD_FAILURE() << "the merge did not fail";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), c.kind) << e.what();
        for (const auto& p : c.parts) EXPECT_NE(std::string(e.what()).find(p), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("No master file TREND.HST was written"), std::string::npos) << e.what();
    }
    EXPECT_EQ(before, Inputs());
    // Whatever was planted is untouched; neither the master nor its
    // unfinished form is there, unless planted.
    const auto after = Fingerprint({out});
    for (const auto& [path, hash] : planted) {
        ASSERT_TRUE(after.count(path)) << path;
        EXPECT_EQ(after.at(path), hash) << path;
    }
    for (const fs::path& p : {plan.MasterTarget, PartialMasterPath(plan)}) {
        if (!planted.count(p.string())) {
            EXPECT_FALSE(fs::exists(p)) << p;
        }
    }
    // The copies made before the failure stay.
    for (int i = 0; i < progressed; ++i) {
        EXPECT_TRUE(fs::exists(plan.Entries[static_cast<std::size_t>(i)].Target));
    }
}

const SabotageCase kSabotage[] = {
    {"file where a copy must go",
     [](const MergePlan& p) { WriteAll(p.Entries.at(2).Target, Bytes{'x'}); }, -1,
     {"copying file 002", "already exists", "TREND.002"}},
    {"folder where a copy must go",
     [](const MergePlan& p) { fs::create_directory(p.Entries.at(0).Target); }, -1,
     {"copying file 000", "already exists"}},
    {"file where the master must go",
     [](const MergePlan& p) { WriteAll(p.MasterTarget, Bytes{'m'}); }, -1,
     {"giving the master file its name", "already exists"}},
    {"file where the unfinished master must go",
     [](const MergePlan& p) { WriteAll(PartialMasterPath(p), Bytes{'p'}); }, -1,
     {"creating the master file"}},
    {"copy fault at the first file", {}, 0, {"copying file 000", "injected fault"}},
    {"copy fault at a template copy", {}, 3, {"copying file 003 (template copy)", "injected fault"}},
};

INSTANTIATE_TEST_SUITE_P(Write, Sabotage, ::testing::ValuesIn(kSabotage),
                         [](const ::testing::TestParamInfo<SabotageCase>& info) {
                             std::string name;
                             for (const char ch : info.param.what)
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

// A child process with a file size limit below the size of the first data
// file runs the whole merge; the copy hits the limit (EFBIG, SIGXFSZ ignored).
TEST_F(WriteFailureTest, FileSizeLimitStopsACopyHalfWay) {
    constexpr rlim_t kLimit = 64 * 1024;
    ASSERT_GT(fs::file_size(existing.DataFiles.at(0)), kLimit);
    const auto before = Inputs();
    const MergeRequest r = Req();

    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(fds[0]);
        std::string report;
        int code = 3;
        const rlimit lim{kLimit, kLimit};
        if (::setrlimit(RLIMIT_FSIZE, &lim) == 0 && ::signal(SIGXFSZ, SIG_IGN) != SIG_ERR) {
            try {
                report = MergeTrendSets(r);
                code = 0;
            } catch (const Error& e) {
                report = e.what();
                code = 1;
            } catch (...) {
                code = 2;
            }
        }
        const char* p = report.data();
        std::size_t left = report.size();
        while (left > 0) {
            const ssize_t w = ::write(fds[1], p, left);
            if (w <= 0) break;
            p += w;
            left -= static_cast<std::size_t>(w);
        }
        ::close(fds[1]);
        ::_exit(code);
    }
    ::close(fds[1]);
    std::string report;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) report.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 1) << report;
    EXPECT_NE(report, kMergedText);
    EXPECT_NE(report.find("copying file 000"), std::string::npos) << report;
    EXPECT_NE(report.find("File too large"), std::string::npos) << report;
    EXPECT_FALSE(fs::exists(out / "TREND.HST"));
    EXPECT_FALSE(fs::exists(out / "TREND.HST.partial"));
    EXPECT_FALSE(fs::exists(out / "TREND.000"));  // the partial copy is removed
    EXPECT_EQ(before, Inputs());
}

}  // namespace
}  // namespace jw
