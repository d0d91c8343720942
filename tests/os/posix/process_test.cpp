// Removal of unfinished files on an interrupt.  Checked writes to standard
// output and commands (the cli's test hook) are shown by the cli's attack
// rows, which write to /dev/full and run a hook at every step.
#include <tuple>

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
    const struct { int signal; char a; bool guardB; std::string said; } cases[] = {  // a: guarded, dismissed, ended, or -
        {SIGINT, 'g', true, "removed b\nremoved a\n"}, {SIGTERM, '-', true, "removed b\n"},  // the newest guard first
        {SIGINT, 'd', true, "removed b\n"}, {SIGTERM, 'e', false, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.a) + (c.guardB ? " b" : ""));
        fs::remove_all(tmp / "out"), fs::create_directory(tmp / "out");
        const ChildEnd end = InChild(tmp / "err", [&] {
            const Folder folder = Folder::Open(tmp / "out");
            folder.CreateFile("a").Close(), folder.CreateFile("b").Close();
            std::unique_ptr<RemoveOnInterrupt> a, b;
            if (c.a != '-') a = std::make_unique<RemoveOnInterrupt>(folder, "a", "removed a");
            if (c.guardB) b = std::make_unique<RemoveOnInterrupt>(folder, "b", "removed b");
            if (c.a == 'd') a->Dismiss();
            if (c.a == 'e') a.reset();
            ::raise(c.signal);
            return 0;  // not reached
        });
        EXPECT_EQ(std::tuple(end.signal, end.err, fs::exists(tmp / "out" / "a"), fs::exists(tmp / "out" / "b")),
                  std::tuple(c.signal, c.said, c.said.find("removed a") == std::string::npos,
                             c.said.find("removed b") == std::string::npos));
    }
}

}  // namespace
}  // namespace jw
