#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "EngineTestSupport.h"
#include "engine/TrendTools.h"
#include "time/Errors.h"

namespace jw {
namespace {

using namespace enginetest;

Bytes Pattern(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>((i * 131 + i / 977) & 0xFF);
    return b;
}

// Copies a few bytes itself, then says the kernel refused it.
class PartlyThenRefuses final : public CopyMethod {
public:
    const char* Name() const override { return "partial"; }
    Outcome Copy(CopyJob& job) override {
        ++calls;
        Bytes head(std::min<std::uint64_t>(job.Size, 1000));
        const auto got = ::pread(job.Source, head.data(), head.size(), 0);
        EXPECT_EQ(::pwrite(job.Target, head.data(), static_cast<std::size_t>(got), 0), got);
        job.Done = static_cast<std::uint64_t>(got);
        return Outcome::NotSupported;
    }
    int calls = 0;
};

class Refuses final : public CopyMethod {
public:
    const char* Name() const override { return "refuses"; }
    Outcome Copy(CopyJob&) override {
        ++calls;
        return Outcome::NotSupported;
    }
    int calls = 0;
};

class Breaks final : public CopyMethod {
public:
    const char* Name() const override { return "breaks"; }
    Outcome Copy(CopyJob& job) override {
        EXPECT_EQ(::write(job.Target, "partial", 7), 7);
        Fail(ErrorKind::InputOutput, "device gone");
    }
};

// Passes a job on to a method and notes what became of it.
class Recorder final : public CopyMethod {
public:
    explicit Recorder(std::unique_ptr<CopyMethod> inner) : inner_(std::move(inner)) {}
    const char* Name() const override { return inner_->Name(); }
    Outcome Copy(CopyJob& job) override {
        ++calls;
        doneBefore = job.Done;
        outcome = inner_->Copy(job);
        return outcome;
    }
    int calls = 0;
    std::uint64_t doneBefore = 0;
    Outcome outcome = Outcome::NotSupported;

private:
    std::unique_ptr<CopyMethod> inner_;
};

// A source and a freshly created target, opened as ChainedFileCopier opens
// them, for calling one method directly.
struct OpenJob {
    OpenJob(const fs::path& from, const fs::path& to, int targetFlags = O_WRONLY | O_CREAT | O_EXCL)
        : from_(from), to_(to) {
        job.Source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
        job.Target = ::open(to.c_str(), targetFlags | O_CLOEXEC, 0666);
        EXPECT_GE(job.Source, 0);
        EXPECT_GE(job.Target, 0);
        job.Size = fs::file_size(from);
        job.From = &from_;
        job.To = &to_;
    }
    ~OpenJob() {
        ::close(job.Source);
        ::close(job.Target);
    }
    CopyJob job;

private:
    fs::path from_, to_;
};

TEST(CopyTest, DefaultOrderIsCloneThenKernelCopyThenReadWrite) {
    const auto methods = DefaultCopyMethods();
    ASSERT_EQ(methods.size(), 3u);
    EXPECT_NE(dynamic_cast<ReflinkClone*>(methods[0].get()), nullptr);
    EXPECT_NE(dynamic_cast<KernelRangeCopy*>(methods[1].get()), nullptr);
    EXPECT_NE(dynamic_cast<ReadWriteCopy*>(methods[2].get()), nullptr);
}

// A clone either gives the whole file or, where the file system has no
// clones (ext4, tmpfs), refuses with nothing written.
TEST(CopyTest, ReflinkCloneGivesTheWholeFileOrRefusesCleanly) {
    TempFolder tmp;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4096}, std::size_t{1'000'003}}) {
        SCOPED_TRACE(size);
        const fs::path from = tmp / ("src" + std::to_string(size));
        const fs::path to = tmp / ("dst" + std::to_string(size));
        WriteAll(from, Pattern(size));
        OpenJob open(from, to);
        ReflinkClone clone;
        if (clone.Copy(open.job) == CopyMethod::Outcome::Done) {
            EXPECT_EQ(open.job.Done, size);
            EXPECT_EQ(ReadAll(to), Pattern(size));
        } else {
            EXPECT_EQ(open.job.Done, 0u);
            EXPECT_EQ(fs::file_size(to), 0u);
        }
        EXPECT_EQ(ReadAll(from), Pattern(size));
    }
}

TEST(CopyTest, ReflinkCloneLeavesAPartlyDoneJobAlone) {
    TempFolder tmp;
    WriteAll(tmp / "src", Pattern(9000));
    OpenJob open(tmp / "src", tmp / "dst");
    const Bytes all = Pattern(9000);
    const Bytes head(all.begin(), all.begin() + 100);
    ASSERT_EQ(::pwrite(open.job.Target, head.data(), head.size(), 0), 100);
    open.job.Done = 100;
    ReflinkClone clone;
    EXPECT_EQ(clone.Copy(open.job), CopyMethod::Outcome::NotSupported);
    EXPECT_EQ(open.job.Done, 100u);
    EXPECT_EQ(ReadAll(tmp / "dst"), head);
}

// A failure that is not "this file system cannot" is an error, not a reason
// to try the next method: here a target opened without write access.
TEST(CopyTest, AMethodThatFailsForRealRaisesInsteadOfFallingBack) {
    TempFolder tmp;
    WriteAll(tmp / "src", Pattern(5000));
    WriteAll(tmp / "readonly", Bytes{});
    std::vector<std::unique_ptr<CopyMethod>> methods = DefaultCopyMethods();
    for (const auto& method : methods) {
        SCOPED_TRACE(method->Name());
        OpenJob open(tmp / "src", tmp / "readonly", O_RDONLY);
        try {
            method->Copy(open.job);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find((tmp / "src").string()), std::string::npos) << text;
            EXPECT_NE(text.find((tmp / "readonly").string()), std::string::npos) << text;
        }
    }
    EXPECT_EQ(ReadAll(tmp / "src"), Pattern(5000));
}

// Chains of real and injected methods: the first method that finishes does
// the job, those after it are never asked, and the bytes come out whole.
TEST(CopyTest, EachMethodTakesOverFromTheOneBefore) {
    enum Kind { kRefuse, kPartly, kClone, kRange, kReadWrite };
    struct Case {
        std::string what;
        std::vector<Kind> chain;
        int finisher;  // index of the method that must finish; -1: whichever the file system allows
    };
    const Case cases[] = {
        {"refused clone, kernel copy", {kRefuse, kRange, kReadWrite}, 1},
        {"refused clone and kernel copy, read/write", {kRefuse, kRefuse, kReadWrite}, 2},
        {"kernel copy after a partial one", {kPartly, kRange}, 1},
        {"read/write after a partial one", {kPartly, kReadWrite}, 1},
        {"the default order", {kClone, kRange, kReadWrite}, -1},
    };
    TempFolder tmp;
    int n = 0;
    for (const std::size_t size : {std::size_t{0}, std::size_t{70'000}, std::size_t{3'000'001}}) {
        const fs::path from = tmp / ("src" + std::to_string(size));
        WriteAll(from, Pattern(size));
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what + ", " + std::to_string(size) + " bytes");
            std::vector<Recorder*> seen;
            std::vector<std::unique_ptr<CopyMethod>> methods;
            for (const Kind k : c.chain) {
                std::unique_ptr<CopyMethod> m;
                switch (k) {
                    case kRefuse: m = std::make_unique<Refuses>(); break;
                    case kPartly: m = std::make_unique<PartlyThenRefuses>(); break;
                    case kClone: m = std::make_unique<ReflinkClone>(); break;
                    case kRange: m = std::make_unique<KernelRangeCopy>(); break;
                    case kReadWrite: m = std::make_unique<ReadWriteCopy>(); break;
                }
                auto r = std::make_unique<Recorder>(std::move(m));
                seen.push_back(r.get());
                methods.push_back(std::move(r));
            }
            ChainedFileCopier copier(std::move(methods));
            const fs::path to = tmp / ("dst" + std::to_string(n++));
            copier.Copy(from, to);
            EXPECT_EQ(ReadAll(to), Pattern(size));

            int finished = -1;
            for (std::size_t i = 0; i < seen.size(); ++i) {
                if (finished >= 0) {
                    EXPECT_EQ(seen[i]->calls, 0) << seen[i]->Name() << " was asked after the job was done";
                    continue;
                }
                EXPECT_EQ(seen[i]->calls, 1) << seen[i]->Name();
                if (seen[i]->outcome == CopyMethod::Outcome::Done) finished = static_cast<int>(i);
            }
            if (c.finisher >= 0) {
                EXPECT_EQ(finished, c.finisher);
            } else {
                EXPECT_GE(finished, 0);
            }
            // A method after a partial one starts where it stopped.
            if (c.chain.front() == kPartly && finished == 1) {
                EXPECT_EQ(seen[1]->doneBefore, std::min<std::uint64_t>(size, 1000));
            }
        }
    }
}

// Across file systems there are no clones; a later method copies.
TEST(CopyTest, ACopyFromAnotherFileSystemFallsBackFromTheClone) {
    TempFolder tmp;
    const fs::path shm = "/dev/shm";
    struct stat a {}, b {};
    if (::stat(shm.c_str(), &a) != 0 || ::stat(tmp.path().c_str(), &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second file system at " << shm;
    const fs::path from = shm / ("jw-copy-test-" + std::to_string(::getpid()));
    WriteAll(from, Pattern(200'000));
    std::vector<Recorder*> seen;
    std::vector<std::unique_ptr<CopyMethod>> methods;
    for (auto& m : DefaultCopyMethods()) {
        auto r = std::make_unique<Recorder>(std::move(m));
        seen.push_back(r.get());
        methods.push_back(std::move(r));
    }
    ChainedFileCopier copier(std::move(methods));
    copier.Copy(from, tmp / "dst");
    const Bytes copied = ReadAll(tmp / "dst");
    fs::remove(from);
    EXPECT_EQ(copied, Pattern(200'000));
    EXPECT_EQ(seen[0]->calls, 1);
    EXPECT_EQ(seen[0]->outcome, CopyMethod::Outcome::NotSupported);
    // copy_file_range between file systems depends on the kernel; either it
    // or read/write finishes.
    const bool kernelCopied = seen[1]->outcome == CopyMethod::Outcome::Done;
    EXPECT_EQ(seen[2]->calls, kernelCopied ? 0 : 1);
    if (!kernelCopied) {
        EXPECT_EQ(seen[2]->outcome, CopyMethod::Outcome::Done);
    }
}

TEST(CopyTest, EveryMethodCopiesWholeFilesOfAnySize) {
    TempFolder tmp;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4096}, std::size_t{3'000'001}}) {
        const fs::path from = tmp / ("src" + std::to_string(size));
        WriteAll(from, Pattern(size));
        std::vector<std::pair<std::string, std::unique_ptr<FileCopier>>> copiers;
        auto only = [](std::unique_ptr<CopyMethod> m) {
            std::vector<std::unique_ptr<CopyMethod>> v;
            v.push_back(std::move(m));
            return std::make_unique<ChainedFileCopier>(std::move(v));
        };
        copiers.emplace_back("range", only(std::make_unique<KernelRangeCopy>()));
        copiers.emplace_back("readwrite", only(std::make_unique<ReadWriteCopy>()));
        for (auto& [name, copier] : copiers) {
            const fs::path to = tmp / (name + std::to_string(size));
            copier->Copy(from, to);
            EXPECT_EQ(ReadAll(to), Pattern(size)) << name << " " << size;
        }
        const fs::path to = tmp / ("default" + std::to_string(size));
        DefaultFileCopier().Copy(from, to);
        EXPECT_EQ(ReadAll(to), Pattern(size));
        EXPECT_EQ(ReadAll(from), Pattern(size));
    }
}

TEST(CopyTest, NextMethodCarriesOnWhereARefusedOneStopped) {
    TempFolder tmp;
    WriteAll(tmp / "src", Pattern(70'000));
    std::vector<std::unique_ptr<CopyMethod>> methods;
    auto partial = std::make_unique<PartlyThenRefuses>();
    auto refuses = std::make_unique<Refuses>();
    auto* p = partial.get();
    auto* r = refuses.get();
    methods.push_back(std::move(partial));
    methods.push_back(std::move(refuses));
    methods.push_back(std::make_unique<ReadWriteCopy>());
    ChainedFileCopier copier(std::move(methods));
    copier.Copy(tmp / "src", tmp / "dst");
    EXPECT_EQ(ReadAll(tmp / "dst"), Pattern(70'000));
    EXPECT_EQ(p->calls, 1);
    EXPECT_EQ(r->calls, 1);
}

TEST(CopyTest, FailuresNameBothFilesAndLeaveNoPartialTarget) {
    TempFolder tmp;
    WriteAll(tmp / "src", Pattern(5000));
    WriteAll(tmp / "taken", Pattern(10));
    fs::create_directory(tmp / "folder");

    std::vector<std::unique_ptr<CopyMethod>> breaking;
    breaking.push_back(std::make_unique<Breaks>());
    ChainedFileCopier breaks(std::move(breaking));
    std::vector<std::unique_ptr<CopyMethod>> none;
    none.push_back(std::make_unique<Refuses>());
    ChainedFileCopier nothingWorks(std::move(none));

    struct Case {
        std::string what;
        FileCopier* copier;
        fs::path from, to;
        std::string expect;
    };
    const Case cases[] = {
        {"missing source", &DefaultFileCopier(), tmp / "nothere", tmp / "a", "nothere"},
        {"source is a folder", &DefaultFileCopier(), tmp / "folder", tmp / "b", "not a regular file"},
        {"target exists", &DefaultFileCopier(), tmp / "src", tmp / "taken", "already exists"},
        {"target folder missing", &DefaultFileCopier(), tmp / "src", tmp / "no" / "c", "cannot be created"},
        {"method fails", &breaks, tmp / "src", tmp / "d", "device gone"},
        {"no method works", &nothingWorks, tmp / "src", tmp / "e", "no copy method"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            c.copier->Copy(c.from, c.to);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find(c.from.string()), std::string::npos) << text;
            EXPECT_NE(text.find(c.to.string()), std::string::npos) << text;
            EXPECT_NE(text.find(c.expect), std::string::npos) << text;
        }
        if (c.what != "target exists") {
            EXPECT_FALSE(fs::exists(fs::symlink_status(c.to)));
        }
    }
    // Never replaced, never touched.
    EXPECT_EQ(ReadAll(tmp / "taken"), Pattern(10));
    EXPECT_EQ(ReadAll(tmp / "src"), Pattern(5000));
}

TEST(CopyTest, ASymlinkAtTheTargetIsNotFollowed) {
    TempFolder tmp;
    WriteAll(tmp / "src", Pattern(100));
    WriteAll(tmp / "victim", Pattern(3));
    fs::create_symlink(tmp / "victim", tmp / "link");
    EXPECT_THROW(DefaultFileCopier().Copy(tmp / "src", tmp / "link"), Error);
    EXPECT_EQ(ReadAll(tmp / "victim"), Pattern(3));
    EXPECT_TRUE(fs::is_symlink(tmp / "link"));
}

}  // namespace
}  // namespace jw
