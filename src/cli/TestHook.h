// A seam for tests of the whole program: when the environment variable
// JOINWRIGHT_TEST_HOOK names a command, it is run at known points (through
// the system's shell, with the point as its argument) and waited for:
//   merge, merge-folder: "plan" (the output folder made under its working
//           name, before planning), then per trend "stage", "copy 000",
//           "copy 001", ..., then "flush", "rename" (before the output folder
//           gets its name);
//   export: "export" (all rows written to the temporary file, before it
//           takes the target's name).
// A test uses it to change the world at that point (swap the output
// folder, a source; interrupt the program) and, by exiting non-zero, to make
// that step fail.  Not an operator setting.
#pragma once

#include <string>

#include "engine/TrendTools.h"

namespace jw::cli {

// Runs the hook for point, when there is one; a hook that fails is an error.
void RunTestHook(const std::string& point);

// The merge's steps given to the hook, or none without a hook.
StepObserver TestHookFromEnvironment();

}  // namespace jw::cli
