#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "formats/BinaryFile.h"
#include "time/Errors.h"

namespace jw {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A fresh folder per test, removed afterwards.
class BinaryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) /
               ("jw_binaryfile_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Put(const std::string& name, const Bytes& content) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(content.data()),
                                                  static_cast<std::streamsize>(content.size()));
        return p;
    }
    static Bytes Contents(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir_;
};

// The error an action raises; fails the test when it raises none.
template <class F>
Error ErrorOf(F&& action) {
    try {
        action();
    } catch (const Error& e) {
        return e;
    }
    ADD_FAILURE() << "no error raised";
    return Error(ErrorKind::Refused, "");
}

TEST_F(BinaryFileTest, OpenFailuresNameThePathAndTellTheKind) {
    Put("exists.bin", {1, 2, 3});
    fs::create_directories(dir_ / "folder");
    ASSERT_EQ(::mkfifo((dir_ / "pipe").c_str(), 0600), 0);
    const struct { fs::path path; BinaryFile::Mode mode; ErrorKind kind; } cases[] = {
        {dir_ / "missing.bin", BinaryFile::Mode::ReadOnly, ErrorKind::FileNotFound},
        {dir_ / "missing.bin", BinaryFile::Mode::ReadWrite, ErrorKind::FileNotFound},
        {dir_ / "nofolder" / "x.bin", BinaryFile::Mode::ReadOnly, ErrorKind::PathNotFound},
        {dir_ / "nofolder" / "x.bin", BinaryFile::Mode::CreateNew, ErrorKind::PathNotFound},
        {dir_ / "exists.bin" / "x.bin", BinaryFile::Mode::ReadOnly, ErrorKind::PathNotFound},
        {dir_ / "folder", BinaryFile::Mode::ReadOnly, ErrorKind::InvalidArgument},
        {dir_ / "folder", BinaryFile::Mode::ReadWrite, ErrorKind::InvalidArgument},
        {dir_ / "pipe", BinaryFile::Mode::ReadOnly, ErrorKind::InvalidArgument},  // must not hang
        {dir_ / "exists.bin", BinaryFile::Mode::CreateNew, ErrorKind::InputOutput},
    };
    for (const auto& c : cases) {
        const Error e = ErrorOf([&] { BinaryFile f(c.path, c.mode); });
        EXPECT_EQ(e.kind(), c.kind) << c.path << ": " << e.what();
        EXPECT_NE(std::string(e.what()).find(c.path.string()), std::string::npos) << e.what();
    }
    EXPECT_EQ(Contents(dir_ / "exists.bin"), (Bytes{1, 2, 3}));  // CreateNew left it alone
}

TEST_F(BinaryFileTest, ReadPastTheEndReportsTheBytesThere) {
    const fs::path p = Put("data.bin", {10, 11, 12, 13, 14});
    BinaryFile f(p, BinaryFile::Mode::ReadOnly);
    EXPECT_EQ(f.Length(), 5u);
    Bytes buf(4, 0xEE);
    EXPECT_EQ(f.Read(buf), 4u);
    EXPECT_EQ(buf, (Bytes{10, 11, 12, 13}));
    EXPECT_EQ(f.Read(buf), 1u);  // short: one byte left
    EXPECT_EQ(buf[0], 14);
    EXPECT_EQ(f.Position(), 5u);
    EXPECT_EQ(f.Read(buf), 0u);
    EXPECT_EQ(f.ReadAt(1000, buf), 0u);
    Bytes big(200000);  // larger than any buffer: the direct path
    EXPECT_EQ(f.ReadAt(2, big), 3u);
    EXPECT_EQ(f.Position(), 5u);
}

TEST_F(BinaryFileTest, ReadOnlyHandleNeverWrites) {
    const fs::path p = Put("input.bin", {1, 2, 3, 4});
    BinaryFile f(p, BinaryFile::Mode::ReadOnly);
    EXPECT_FALSE(f.Writable());
    const Error e = ErrorOf([&] { f.Write(Bytes{9}); });
    EXPECT_EQ(e.kind(), ErrorKind::InputOutput);
    EXPECT_NE(std::string(e.what()).find(p.string()), std::string::npos);
    EXPECT_EQ(f.Position(), 0u);
    f.Close();
    EXPECT_EQ(Contents(p), (Bytes{1, 2, 3, 4}));
}

// Random reads, writes and seeks of every size, checked against a plain
// in-memory copy: the two buffers must never disagree with the file.
TEST_F(BinaryFileTest, MixedReadsAndWritesStayCoherent) {
    std::mt19937 rng(1095403530);
    Bytes model(100000);
    for (auto& b : model) b = static_cast<std::uint8_t>(rng());
    const fs::path p = Put("mixed.bin", model);
    BinaryFile f(p, BinaryFile::Mode::ReadWrite);
    std::uint64_t pos = 0;
    auto size = [&] {
        const unsigned r = rng() % 100;
        return r < 80 ? 1 + rng() % 600 : r < 95 ? 1 + rng() % 70000 : 65536 + rng() % 100000;
    };
    for (int step = 0; step < 3000; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        switch (rng() % 5) {
            case 0: {  // seek, sometimes past the end
                pos = rng() % (model.size() + 1000);
                f.Seek(pos);
                break;
            }
            case 1: case 2: {
                Bytes buf(size());
                const std::size_t n = f.Read(buf);
                const std::size_t expect = pos >= model.size() ? 0 : std::min<std::size_t>(buf.size(), model.size() - pos);
                ASSERT_EQ(n, expect);
                ASSERT_TRUE(std::equal(buf.begin(), buf.begin() + n, model.begin() + pos));
                pos += n;
                break;
            }
            default: {
                Bytes data(size());
                for (auto& b : data) b = static_cast<std::uint8_t>(rng());
                f.Write(data);
                if (model.size() < pos + data.size()) model.resize(pos + data.size(), 0);  // a gap reads as zeros
                std::copy(data.begin(), data.end(), model.begin() + pos);
                pos += data.size();
                break;
            }
        }
        ASSERT_EQ(f.Position(), pos);
        if (step % 97 == 0) {
            ASSERT_EQ(f.Length(), model.size());
        }
    }
    f.Close();
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(Contents(p), model);
}

TEST_F(BinaryFileTest, PendingWritesReachTheFileOnCloseDestructionAndMove) {
    const fs::path a = dir_ / "a.bin";
    {
        BinaryFile f(a, BinaryFile::Mode::CreateNew);
        f.Write(Bytes{1, 2});
        BinaryFile g(std::move(f));
        EXPECT_FALSE(f.IsOpen());  // NOLINT: checking the moved-from state on purpose
        g.Write(Bytes{3});
    }
    EXPECT_EQ(Contents(a), (Bytes{1, 2, 3}));

    const fs::path b = dir_ / "b.bin";
    BinaryFile h(b, BinaryFile::Mode::CreateNew);
    h.Write(Bytes{7});
    h = BinaryFile(a, BinaryFile::Mode::ReadWrite);  // flushes and closes b
    EXPECT_EQ(Contents(b), (Bytes{7}));
    h.Seek(3);
    h.Write(Bytes{4});
    h.Flush();
    EXPECT_EQ(Contents(a), (Bytes{1, 2, 3, 4}));
    h.Close();
    h.Close();  // a second close is harmless
    EXPECT_EQ(ErrorOf([&] { h.Write(Bytes{1}); }).kind(), ErrorKind::InputOutput);
}

// A write the system refuses (here: beyond the process's file size limit,
// which holds for root too) must surface as an error naming the file, at the
// latest when the handle is closed.
TEST_F(BinaryFileTest, RefusedWriteIsReported) {
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

    const fs::path p = dir_ / "limited.bin";
    std::string small_write, big_write;
    {
        BinaryFile f(p, BinaryFile::Mode::CreateNew);
        f.Write(Bytes(2000, 1));  // buffered: accepted for now
        try {
            f.Close();
        } catch (const Error& e) {
            small_write = e.what();
            EXPECT_EQ(e.kind(), ErrorKind::InputOutput);
        }
    }
    fs::remove(p);
    {
        BinaryFile f(p, BinaryFile::Mode::CreateNew);
        try {
            f.Write(Bytes(100000, 1));  // larger than the buffer: written at once
        } catch (const Error& e) {
            big_write = e.what();
            EXPECT_EQ(e.kind(), ErrorKind::InputOutput);
        }
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_NE(small_write.find(p.string()), std::string::npos) << small_write;
    EXPECT_NE(big_write.find(p.string()), std::string::npos) << big_write;
}

}  // namespace
}  // namespace jw
