// The running program: removal of unfinished files on an interrupt,
// checked writes to standard output, commands.
#include <iostream>

#include "OsTest.h"
#include "os/Process.h"

namespace jw {
namespace {

using namespace ostest;
using os::Folder;
using os::RemoveOnInterrupt;

using ProcessTest = TempFolder;

// A child makes files "a" and "b" in a folder, guards them, and is then
// interrupted: each guarded file goes with one line on standard error, the
// child ends by the signal as it would have without the guards, and a
// dismissed or ended guard or an unguarded file leaves its file alone.
TEST_F(ProcessTest, InterruptRemovesGuardedFilesAndSaysSo) {
    struct Case {
        int signal;
        bool guardA, dismissA, guardB, goneA;  // goneA: a guard of a that ended before the signal
        bool aLeft, bLeft;
    };
    const Case cases[] = {
        {SIGINT, true, false, true, false, false, false}, {SIGTERM, false, false, true, false, true, false},
        {SIGINT, true, true, true, false, true, false},   {SIGTERM, false, false, false, true, true, true},
        {SIGINT, false, false, false, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.signal == SIGINT ? "SIGINT" : "SIGTERM") + (c.guardA ? " a" : "") +
                     (c.dismissA ? " dismissed" : "") + (c.guardB ? " b" : "") + (c.goneA ? " a gone" : ""));
        fs::remove_all(tmp / "out"), fs::create_directory(tmp / "out");
        const ChildEnd end = InChild(tmp / "err", "/dev/null", [&] {
            const Folder folder = Folder::Open(tmp / "out");
            folder.CreateFile("a").Close(), folder.CreateFile("b").Close();
            std::unique_ptr<RemoveOnInterrupt> a, b;
            if (c.guardA || c.goneA) a = std::make_unique<RemoveOnInterrupt>(folder, "a", "removed a");
            if (c.guardB) b = std::make_unique<RemoveOnInterrupt>(folder, "b", "removed b");
            if (c.dismissA) a->Dismiss();
            if (c.goneA) a.reset();
            ::raise(c.signal);
            return 0;  // not reached
        });
        EXPECT_EQ(end.signal, c.signal) << "ended by the signal";
        EXPECT_EQ(fs::exists(tmp / "out" / "a"), c.aLeft);
        EXPECT_EQ(fs::exists(tmp / "out" / "b"), c.bLeft);
        std::string said = (c.aLeft ? "" : "removed a\n");
        said = (c.bLeft ? "" : "removed b\n") + said;  // the newest guard first
        EXPECT_EQ(end.err, said);
    }
}

// Standard output that cannot take the bytes: every way of writing to it
// reports the failure; a file that can take them gets them all.
TEST_F(ProcessTest, StandardOutputFailuresAreReported) {
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"direct", [] { os::WriteStandardOutput("row\n"); }},
        {"stream", [] { std::cout << "report\n", os::FlushStandardOutput(); }},
        {"large stream", [] { std::cout << std::string(1 << 20, 'x'), os::FlushStandardOutput(); }},
    };
    for (const auto& [name, write] : ways) {
        SCOPED_TRACE(name);
        const ChildEnd full = InChild(tmp / "err", "/dev/full", [&] {
            const std::string said = ErrorOf(write);
            std::cerr << said;
            return said.empty() ? 0 : 1;
        });
        EXPECT_EQ(full.code, 1);
        ExpectHas(full.err, {"Cannot write to standard output"});
        const ChildEnd file = InChild(tmp / "err", (tmp / "out.txt").string(), [&] { return write(), 0; });
        EXPECT_EQ(file.code, 0) << file.err;
        EXPECT_GE(fs::file_size(tmp / "out.txt"), 4U);
    }
    const ChildEnd full = InChild(tmp / "err", "/dev/full", [] { return ErrorOf([] { os::WriteStandardOutput("x"); }).find("No space left") == std::string::npos; });
    EXPECT_EQ(full.code, 0) << "the system's reason is given";
}

TEST_F(ProcessTest, TerminalsAndCommands) {
    const ChildEnd notTerminal = InChild(tmp / "err", "/dev/null", [] { return os::IsTerminal(os::Stream::Output) ? 1 : 0; });
    EXPECT_EQ(notTerminal.code, 0);
    EXPECT_EQ(os::RunCommand("exit 0"), 0);
    EXPECT_EQ(os::RunCommand("exit 3"), 3);
    EXPECT_EQ(os::RunCommand("kill -9 $$"), -1);
    EXPECT_EQ(os::RunCommand("echo made > '" + (tmp / "made").string() + "'"), 0);
    EXPECT_EQ(ReadAll(tmp / "made"), "made\n");
}

}  // namespace
}  // namespace jw
