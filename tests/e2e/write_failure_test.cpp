// Failures while a merge is being written that also happen as root: the
// program run under a file size limit (RLIMIT_FSIZE, SIGXFSZ ignored, so the
// writes fail with EFBIG instead of killing it) that a data file copy or the
// master file runs into, and a copy strategy that fails with something other
// than the engine's own error.  Each: a failure, never the success text, no
// master file under its final (or temporary) name, inputs unchanged.
#include <ostream>
#include <stdexcept>

#include "E2eSupport.h"
#include "engine/TrendTools.h"
#include "time/Errors.h"

namespace e2e {
namespace {

struct LimitCase {
    const char* name;
    std::int32_t samples;         // per data file (8 bytes each, version 6)
    const char* files;            // --files
    rlim_t limit;                 // bytes
    std::vector<std::string> reason;
    bool copiesStay;              // data files copied before the failure are still there
};

void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }

class FileSizeLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(FileSizeLimit, MergeFailsWithoutAMasterAndSaysWhy) {
    const LimitCase& c = GetParam();
    TempRoot root;
    Scenario s(root.path(), 6, c.samples);
    const Tree before = Snapshot(root.path());
    const Result r = RunCli(s.MergeArgs(c.files), {s.work, c.limit});

    ASSERT_EQ(r.signal, 0) << "killed by signal " << r.signal << " (SIGXFSZ must be ignored)\n" << r.err;
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_EQ(r.out.find(kMerged), std::string::npos) << r.out;
    const auto lines = r.ErrLines();
    ASSERT_EQ(lines.size(), 1U) << r.err;
    EXPECT_EQ(lines[0].rfind("joinwright-cli: error: ", 0), 0U) << lines[0];
    // The write really ran into the limit (EFBIG), on the path named.
    EXPECT_NE(lines[0].find("File too large"), std::string::npos) << lines[0];
    for (const auto& part : c.reason) EXPECT_NE(lines[0].find(part), std::string::npos) << part << " in " << lines[0];

    EXPECT_FALSE(fs::exists(s.out / "TREND.HST"));
    EXPECT_FALSE(fs::exists(s.out / "TREND.HST.partial"));
    const Tree after = Snapshot(root.path());
    Tree outside = Outside(after, "work/out");
    outside.erase("work/out");
    EXPECT_EQ(outside, before) << Differences(before, outside);
    if (c.copiesStay) {
        EXPECT_EQ(ReadFile(s.out / "TREND.000"), ReadFile(s.existingFiles.at(1)));
    } else {
        // Nothing whole was copied: no copy, and the folder, empty, goes.
        EXPECT_FALSE(fs::exists(s.out / "TREND.000"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, FileSizeLimit,
    ::testing::Values(
        // Data files of 32 KB against a limit of 16 KB: the first copy fails half-way.
        LimitCase{"first_copy", 4000, "9", 16 * 1024, {"copying file 000", "TREND.001"}, false},
        // Small data files, but 300 records (134 KB) of master against 48 KB.
        LimitCase{"master_file", 2, "300", 48 * 1024, {"TREND.HST"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A copy strategy that fails with an exception of its own (not jw::Error):
// the unfinished master must still go.
class ForeignFault final : public jw::FileCopier {
public:
    explicit ForeignFault(int good) : good_(good) {}
    void Copy(const fs::path& from, const fs::path& to) override {
        if (calls_++ >= good_) throw std::runtime_error("the copy strategy gave up");
        jw::DefaultFileCopier().Copy(from, to);
    }

private:
    int good_;
    int calls_ = 0;
};

TEST(InjectedCopyFault, ForeignExceptionLeavesNoMasterBehind) {
    TempRoot root;
    Scenario s(root.path());
    fs::create_directory(s.out);
    jw::MergeRequest req;
    req.BrakeDate = "09-15-2004";
    req.OutputFolder = s.out.string();
    req.BackupFile = s.backup.string();
    req.ExistingFile = s.existing.string();
    req.NumberOfFiles = 9;
    req.EmptyDataFile = s.templ.string();
    const Tree before = Snapshot(root.path());

    ForeignFault fault(3);
    jw::MergeOptions options;
    options.Copier = &fault;
    std::string result;
    EXPECT_ANY_THROW(result = jw::MergeTrendSets(req, options));
    EXPECT_NE(result, kMerged);
    EXPECT_FALSE(fs::exists(s.out / "TREND.HST"));
    EXPECT_FALSE(fs::exists(s.out / "TREND.HST.partial")) << "the unfinished master is removed";
    for (const char* copied : {"TREND.000", "TREND.001", "TREND.002"}) EXPECT_TRUE(fs::exists(s.out / copied)) << copied;
    Tree outside = Outside(Snapshot(root.path()), "work/out");
    EXPECT_EQ(outside, before) << Differences(before, outside);
}

}  // namespace
}  // namespace e2e
