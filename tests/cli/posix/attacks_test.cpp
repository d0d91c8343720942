// What a hostile or unlucky environment does to a running joinwright-cli,
// through the real executable.  The races are made exact by the test hook
// of the writing step (JOINWRIGHT_TEST_HOOK): a shell script that logs each
// step and acts at one of them, while the program waits for it.
//   - merge and merge-folder (the one merge job): the output's parent swapped
//     for a link while planning,
//     the working folder swapped for a link while copying; SIGTERM and
//     SIGKILL during the commit: every trend visible, or none (the staging
//     and each step's failure: tests/engine/writer_test.cpp; a source
//     swapped for a link: the platform's FileTest);
//   - export -o onto an existing file, a link, a folder, with a
//     failing input, with success, interrupted;
//   - standard output that cannot be written (/dev/full).
#include <signal.h>
#include <unistd.h>

#include "cli/CliTest.h"

namespace {

using namespace jw::clitest;

// The hidden working folder of work/out, in a hook's shell.
const std::string kWorking = "$(ls -d @/work/.joinwright-partial-*)";

// The hook of one test, beside (not inside) the scenario's root: it logs
// every point to Steps() and at `when` runs `action` ("@" stands for the
// root, "$PID" for the program's id), whose status is the hook's.
struct Hook {
    fs::path script, log;
    std::string command;
    Hook(const Scenario& s, const std::string& when, std::string action)
        : script(s.root.string() + ".hook.sh"), log(s.root.string() + ".steps.log"), command("sh '" + script.string() + "'") {
        for (std::size_t at; (at = action.find('@')) != std::string::npos;) action.replace(at, 1, s.root.string());
        WriteFile(script, "#!/bin/sh\nPID=$(cat '" + s.root.string() + ".pid')\necho \"$*\" >> '" + log.string() +
                              "'\nif [ \"$*\" = '" + when + "' ]; then\n" + action + "\nfi\n");
    }
    ~Hook() { fs::remove(script), fs::remove(log); }
    std::string Steps() const { return ReadFile(log); }
};

struct Attack {
    const char* name, *when;
    std::string action;
    int code, signal;                  // exit status; -1: ended by `signal`
    std::vector<std::string> reason;   // in the one error line (or, after a signal, on standard error)
    std::vector<std::string> left;     // what realFolder holds afterwards (none: no folder or an empty one)
    const char* realFolder = "work/out";
    bool folderRun = false;            // merge-folder instead of merge
};

const std::vector<std::string> kFullSet = {"TREND.000", "TREND.001", "TREND.002", "TREND.003", "TREND.004",
                                           "TREND.005", "TREND.006", "TREND.007", "TREND.008", "TREND.HST"};

const Attack kAttacks[] = {
    // The output's parent moved away and a link to elsewhere put in its
    // place while planning: the merge finishes in the folder it holds,
    // wherever that now is; nothing reaches elsewhere.
    {"output_parent_swapped_while_planning", "plan",
     "mv @/work @/work.real && mkdir @/elsewhere && ln -s @/elsewhere @/work", 0, 0, {}, kFullSet, "work.real/out"},
    // The working folder moved away and a link put in its place between
    // copies: the copies go on into the folder held; the commit sees the
    // swap and refuses; the link is not given the output's name.
    {"working_folder_swapped_between_copies", "copy 003",
     "W=" + kWorking + " && mv \"$W\" @/work/moved && mkdir @/elsewhere && ln -s @/elsewhere \"$W\"", 1, 0,
     {"was moved or replaced", "nothing was merged"}, {}, "work/moved"},
    // Interrupted in the commit: nothing is merged, nothing is left, and the
    // program says so.
    {"folder_run_sigterm_before_rename", "rename", "kill -TERM $PID", -1, SIGTERM, {"Interrupted: nothing was merged"}, {}, "work/out", true},
    // Killed outright: nothing can clean up, but nothing is visible; the
    // hidden working folder is all that remains, and a new run names it.
    {"sigkill_before_rename", "rename", "kill -KILL $PID", -1, SIGKILL, {}, {}},
};

// Hidden working folders below work (not links put in their place).
int WorkingFolders(const fs::path& work) {
    int n = 0;
    if (fs::is_directory(work))
        for (const auto& e : fs::directory_iterator(work))
            n += e.path().filename().string().rfind(".joinwright-partial-", 0) == 0 && fs::is_directory(fs::symlink_status(e.path()));
    return n;
}

// merge-folder over the scenario's sets: the one trend TREND, its template
// as the templates folder's TREND.000.
Args FolderArgs(const Scenario& s) {
    const fs::path templates = s.root / "templates";
    fs::create_directories(templates);
    if (!fs::exists(templates / "TREND.000")) fs::copy_file(s.templ, templates / "TREND.000");
    return {"merge-folder", "--backup", s.backup.parent_path().string(), "--existing", s.existing.parent_path().string(),
            "--templates", templates.string(), "--files", "9", "--break-date", "09-15-2004", "--output", s.out.string()};
}

void PrintTo(const Attack& a, std::ostream* os) { *os << a.name; }
class MergeAttacks : public ::testing::TestWithParam<Attack> {};

TEST_P(MergeAttacks, DoNoHarm) {
    const Attack& a = GetParam();
    Scenario s;
    const Hook hook(s, a.when, a.action);
    const Args args = a.folderRun ? FolderArgs(s) : s.MergeArgs();
    const Result r = RunCli(args, s.work, {.hook = hook.command});
    EXPECT_TRUE(a.code < 0 ? r.signal == a.signal : r.signal == 0 && r.code == a.code) << r.code << r.out << r.err;
    for (const auto& part : a.reason) EXPECT_NE(r.err.find(part), std::string::npos) << part << " in " << r.err;
    EXPECT_EQ(r.out.find(a.folderRun ? "The merged sets are in" : kMerged) != std::string::npos, a.code == 0) << r.out;
    EXPECT_TRUE(a.code != 1 || a.folderRun || r.err == FirstLine(r.err) + "\n") << "one line: " << r.err;

    const fs::path out = s.root / a.realFolder;
    std::vector<std::string> left;
    for (const auto& entry : Snapshot(out)) left.push_back(entry.first);
    EXPECT_EQ(left, a.left);
    EXPECT_TRUE(a.code != 0 || RunCli({"inspect", "--check", out / "TREND.HST"}, s.root).code == 0) << "a sound set";
    // Only a killed run leaves its hidden working folder, and a new run names it.
    EXPECT_EQ(WorkingFolders(s.work), a.signal == SIGKILL ? 1 : 0);
    EXPECT_TRUE(a.signal != SIGKILL || RunCli(args, s.work).err.find("was cut off") != std::string::npos);
    EXPECT_FALSE(fs::exists(s.root / "elsewhere") && !fs::is_empty(s.root / "elsewhere")) << "nothing written elsewhere";
}

INSTANTIATE_TEST_SUITE_P(Attacks, MergeAttacks, ::testing::ValuesIn(kAttacks), [](const auto& info) { return info.param.name; });

// export -o: "keep.csv" holds "precious"; the export reads a missing file
// (fails) or the existing set (succeeds), or is interrupted once its rows
// are written.  Whatever happens, a failure leaves every name as it was and
// no temporary file behind.
struct ExportCase {
    const char* name;
    std::function<std::string(Scenario&)> target;  // the -o argument (made here)
    bool inputOk, interrupt;                       // interrupt: SIGINT once the rows are written
    int code;
    std::vector<std::string> reason;
    std::function<void(Scenario&)> check;
};

fs::path Keep(Scenario& s) { return s.work / "keep.csv"; }
std::string Existing(Scenario& s) { return WriteFile(Keep(s), "precious"), Keep(s).string(); }
std::string Linked(Scenario& s) { return Existing(s), fs::create_symlink("keep.csv", s.work / "link.csv"), (s.work / "link.csv").string(); }
void Untouched(Scenario& s) { EXPECT_EQ(ReadFile(Keep(s)), "precious"); }
void IsCsv(Scenario& s) { EXPECT_EQ(ReadFile(Keep(s)).rfind("time,value\n", 0), 0U); }

const ExportCase kExports[] = {
    {"existing_file_failing_input", Existing, false, false, 1, {"missing.000"}, Untouched},
    {"existing_file_replaced", Existing, true, false, 0, {}, IsCsv},
    {"link_target_written_link_kept", Linked, true, false, 0, {}, [](Scenario& s) { IsCsv(s); EXPECT_EQ(fs::read_symlink(s.work / "link.csv"), "keep.csv"); }},
    {"dangling_link", [](Scenario& s) { return fs::create_symlink("gone.csv", s.work / "link.csv"), (s.work / "link.csv").string(); },
     true, false, 1, {"link.csv", "leads to no file"}, [](Scenario& s) { EXPECT_FALSE(fs::exists(s.work / "gone.csv")); }},
    {"folder", [](Scenario& s) { return fs::create_directory(s.work / "dir"), (s.work / "dir").string(); }, true, false, 1,
     {"is a folder"}, [](Scenario& s) { EXPECT_TRUE(fs::is_empty(s.work / "dir")); }},
    {"sigint_after_rows", Existing, true, true, -1, {"Interrupted: removed the unfinished CSV file", "keep.csv"}, Untouched},
};

void PrintTo(const ExportCase& c, std::ostream* os) { *os << c.name; }
class ExportTargets : public ::testing::TestWithParam<ExportCase> {};

TEST_P(ExportTargets, NeverDestroyWhatWasThere) {
    const ExportCase& c = GetParam();
    Scenario s;
    const std::string target = c.target(s);
    const Tree inputs = Snapshot(s.root, "work");
    const Hook hook(s, "export", c.interrupt ? "kill -INT $PID" : "true");
    const Result r = RunCli({"export", c.inputOk ? s.existingFiles[1].string() : "missing.000", "-o", target}, s.work,
                            {.hook = hook.command});
    EXPECT_EQ(hook.Steps(), c.inputOk && c.code != 1 ? "export\n" : "");
    EXPECT_TRUE(c.interrupt ? r.signal == SIGINT : r.signal == 0 && r.code == c.code) << r.code << r.err;
    for (const auto& part : c.reason) EXPECT_NE(r.err.find(part), std::string::npos) << part << " in " << r.err;
    if (c.check) c.check(s);
    for (const auto& e : fs::directory_iterator(s.work))
        EXPECT_EQ(e.path().extension(), e.path().filename() == "dir" ? "" : ".csv") << "left behind: " << e.path();
    EXPECT_EQ(Snapshot(s.root, "work"), inputs) << "inputs unchanged";
}

INSTANTIATE_TEST_SUITE_P(Attacks, ExportTargets, ::testing::ValuesIn(kExports), [](const auto& info) { return info.param.name; });

// Standard output on a full device: every command that reports there says
// it could not, with exit 1, instead of claiming success.
TEST(StandardOutput, FullDeviceIsAFailure) {
    Scenario s;
    for (const Args& cmd : std::vector<Args>{{"inspect", s.existing.string()}, {"export", s.existingFiles[0].string()}, {"--help"}}) {
        const Result r = RunCli(cmd, s.work, {.stdoutTo = "/dev/full"});
        EXPECT_TRUE(r.signal == 0 && r.code == 1 && r.err.rfind("joinwright-cli: error: ", 0) == 0 &&
                    r.err.find("standard output") != std::string::npos) << cmd[0] << ": " << r.err;
    }
    // The same commands to a file succeed.
    EXPECT_EQ(RunCli({"inspect", s.existing.string()}, s.work).code, 0);
}

// An output folder whose parent takes no new entries (a read-only file
// system; permissions do not stop root): the dry run refuses it as the merge
// does, instead of saying all is well.  The only test of this plan check.
TEST(ReadOnlyParent, DryRunRefusesLikeTheMerge) {
    Scenario s;
    const fs::path ro = s.root / "ro";
    fs::create_directory(ro);
    if (::geteuid() != 0 || std::system(("mount -t tmpfs -o ro,size=1m tmpfs '" + ro.string() + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "cannot run here: mounting a read-only tmpfs needs root and a machine that allows mounts";
    struct Unmount {
        fs::path p;
        ~Unmount() { std::system(("umount '" + p.string() + "'").c_str()); }
    } unmount{ro};
    Args args = s.MergeArgs();
    args.back() = (ro / "out").string();
    for (const auto& [more, said] : {std::pair{Args{"--dry-run"}, "does not let this program create anything"},
                                     std::pair{Args{}, "cannot create the output folder"}}) {
        const Result r = RunCli(Plus(args, more), s.work);
        EXPECT_TRUE(r.code == 1 && r.err.find(said) != std::string::npos && r.err.find(args.back()) != std::string::npos) << r.err;
    }
}

}  // namespace
