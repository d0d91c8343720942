#include <gtest/gtest.h>

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
