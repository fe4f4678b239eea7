// Control of the in-memory backend, for tests, benchmarks and scripted runs:
// the "driver's" modes, what is on the screen, a settable clock, scripted
// user input, a failure plan for the calls whose failure the program handles,
// and a trace of the calls made. Most of it is the platform core's own
// control (platform/core/core.h); the clock and the script are this
// backend's.
#pragma once
#include <cstdint>
#include <functional>

#include "platform/core/core.h"

namespace headless {

using plat::core::Mode;
// Back to a fresh machine: no windows, classes, menus, messages or devices;
// the default mode list and desktop; clock at 0; no failures, no script, an
// empty trace; the application in the foreground.
using plat::core::Reset;

// ---- Display ----
using plat::core::CurrentMode;
using plat::core::FlipCount;
using plat::core::FrontImageRgb;
using plat::core::FrontPalette;
using plat::core::FrontPixels;
using plat::core::LoseSurfaces;
using plat::core::ModeList;
using plat::core::SetDesktopMode;
using plat::core::SetModeList;
using plat::core::SetSystemPalette;
using plat::core::SetVideoMemory;
using plat::core::ShowingGdiSurface;
using plat::core::SystemPalette;

// ---- Failure plan and trace ----
using plat::core::Call;
using plat::core::CallCount;
using plat::core::ClearFailures;
using plat::core::ClearTrace;
using plat::core::Fail;
using plat::core::FailAlways;
using plat::core::Trace;

// ---- The user ----
using plat::core::ChooseMenuItem;
using plat::core::Click;
using plat::core::CloseMenu;
using plat::core::KeyDown;
using plat::core::KeyPress;
using plat::core::KeyUp;
using plat::core::MenuOpen;
using plat::core::OpenMenu;
using plat::core::PressButton;
using plat::core::SetForeground;

// ---- Windows ----
using plat::core::OpenDialog;
using plat::core::OpenDialogTemplate;
using plat::core::SetDataDirectory;

// ---- Clock ----
void SetTime(uint32_t milliseconds);
void AdvanceTime(uint32_t milliseconds);
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
