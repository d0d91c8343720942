// A seam for tests of the whole program: when the environment variable
// JOINWRIGHT_TEST_HOOK names a command, the merge runs it before each step
// of its writing (through the system's shell, with the step as its
// argument: "stage", "copy 000", "copy 001", ..., "flush", "rename") and
// waits for it.  A test uses it to change the world at a known point (swap
// the output folder, a source) and, by exiting non-zero, to make that step
// fail.  Not an operator setting.
#pragma once

#include "engine/TrendTools.h"

namespace jw::cli {

// The hook of the environment, or none.
StepObserver TestHookFromEnvironment();

}  // namespace jw::cli
