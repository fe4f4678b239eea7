// The in-memory backend, for tests, benchmarks, the headless renderer and
// scripted runs: the platform core's whole control (platform/core/core.h:
// the machine's modes and screen, a failure plan, the trace, the user, the
// program's resources) under one name, headless::, with what is this
// backend's own: a clock set by hand and the scripted user.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/core/core.h"

namespace headless {

// headless::Reset is the core's Reset, which also sets the clock to 0 and
// drops the script.
using namespace plat::core;

// ---- Clock ----
void SetTime(uint32_t milliseconds);
// The clock moves on by this much at every flip; 0 at start.
void SetTimePerFlip(uint32_t milliseconds);

// ---- Script ----
// Steps run in order. A step runs when the program finds its message queue
// empty after `idleTurns` earlier empty turns (each a frame, when drawing)
// since the previous step; a program in WaitMessage runs the next step at
// once, and WaitMessage returns after it.
void AddStep(uint32_t idleTurns, std::function<void()> step);
size_t PendingSteps();
// When the program waits with no step left, or goes this many empty turns
// with no step left (10000 at start), the backend reports it on standard
// error and posts WM_QUIT, so a run never hangs.
void SetIdleLimit(uint32_t idleTurns);
bool Stalled();

}  // namespace headless
