#include "cli/TestHook.h"

#include <cstdlib>

#include "base/Errors.h"
#include "os/Process.h"

namespace jw::cli {

namespace {

const char* Hook() {
    const char* command = std::getenv("JOINWRIGHT_TEST_HOOK");
    return command && *command ? command : nullptr;
}

}  // namespace

void RunTestHook(const std::string& point) {
    const char* hook = Hook();
    if (hook && os::RunCommand(std::string(hook) + " " + point) != 0)
        Fail(ErrorKind::InputOutput, "the test hook failed at \"" + point + "\"");
}

StepObserver TestHookFromEnvironment() {
    if (!Hook()) return {};
    return [](WriteStep step, const PlanEntry* entry) {
        switch (step) {
            case WriteStep::Plan: return RunTestHook("plan");
            case WriteStep::Stage: return RunTestHook("stage");
            case WriteStep::Copy: return RunTestHook("copy " + NumberText(entry ? entry->Number : std::int16_t{0}));
            case WriteStep::Flush: return RunTestHook("flush");
            case WriteStep::Rename: return RunTestHook("rename");
        }
    };
}

}  // namespace jw::cli
