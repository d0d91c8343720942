#include "cli/TestHook.h"

#include <cstdlib>
#include <string>

#include "base/Errors.h"
#include "os/Process.h"

namespace jw::cli {

StepObserver TestHookFromEnvironment() {
    const char* command = std::getenv("JOINWRIGHT_TEST_HOOK");
    if (!command || !*command) return {};
    return [hook = std::string(command)](WriteStep step, const PlanEntry* entry) {
        std::string name;
        switch (step) {
            case WriteStep::Stage: name = "stage"; break;
            case WriteStep::Copy: name = "copy " + NumberText(entry ? entry->Number : std::int16_t{0}); break;
            case WriteStep::Flush: name = "flush"; break;
            case WriteStep::Rename: name = "rename"; break;
        }
        if (os::RunCommand(hook + " " + name) != 0)
            Fail(ErrorKind::InputOutput, "the test hook failed before the step \"" + name + "\"");
    };
}

}  // namespace jw::cli
