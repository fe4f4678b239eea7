// Control of the in-memory backend, for tests, benchmarks and scripted runs:
// the "driver's" modes, what is on the screen, a settable clock, scripted
// user input, a failure plan for the calls whose failure the program handles,
// and a trace of the calls made.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "platform/types.h"

namespace headless {

struct Mode {
  uint32_t width;
  uint32_t height;
  uint32_t bitsPerPixel;
};

// Back to a fresh machine: no windows, classes, menus, messages or devices;
// the default mode list and desktop; clock at 0; no failures, no script, an
// empty trace; the application in the foreground.
void Reset();

// ---- Display ----
// The modes EnumDisplayModes reports, in this order. SetDisplayMode accepts
// these and any other of 1 to 4095 pixels a side at 8, 16, 24 or 32 bits.
void SetModeList(const std::vector<Mode>& modes);
const std::vector<Mode>& ModeList();
// The mode DirectDraw set; zeros before the first switch and after the
// DirectDraw object is released (the desktop is back then).
Mode CurrentMode();
void SetDesktopMode(Mode mode);
// Video memory for chains that ask for it; a bigger chain is refused with
// DDERR_OUTOFVIDEOMEMORY. 8 MiB at start.
void SetVideoMemory(uint64_t bytes);
// The picture on screen: the front surface's bytes, rows exactly width pixels
// apart. Empty when there is no flipping chain.
std::vector<uint8_t> FrontPixels();
// The same picture as 8-bit RGB triples (8-bit modes through the attached
// palette, else the system palette; 16 bits as 5-5-5).
std::vector<uint8_t> FrontImageRgb();
// The palette attached to the primary surface; false when there is none.
bool FrontPalette(plat::PALETTEENTRY out[256]);
// The system palette every 8-bit mode starts from; settable for tests.
const plat::PALETTEENTRY* SystemPalette();
void SetSystemPalette(const plat::PALETTEENTRY entries[256]);
// True while the surface GDI draws on is the one shown.
bool ShowingGdiSurface();
// Flips of primary surfaces since Reset.
uint32_t FlipCount();
// Every surface is lost, as when another program took the display.
void LoseSurfaces();

// ---- Failure plan ----
enum class Call {
  RegisterClass,
  CreateWindow,
  DirectDrawCreate,
  SetCooperativeLevel,
  SetDisplayMode,
  CreateSurface,
  GetAttachedSurface,
  Lock,
  SurfaceGetDC,
  CreatePalette,
  Restore,
  DirectInputCreate,
  CreateDevice,
  SetDataFormat,
  KeyboardCooperativeLevel,
  SetProperty,
  Acquire,
  DialogBox,
  kCount,
};
// The next `times` calls of `call`, after `after` calls that go through,
// fail with the error the real service would give.
void Fail(Call call, uint32_t times = 1, uint32_t after = 0);
void FailAlways(Call call);
void ClearFailures();
// Calls made since Reset, failed ones included.
uint32_t CallCount(Call call);

// ---- Trace ----
// One line per call of interest, in order ("SetDisplayMode 640x480x8",
// "Release back buffer", ...); the oldest lines go past 20000.
const std::vector<std::string>& Trace();
void ClearTrace();

// ---- Clock ----
void SetTime(uint32_t milliseconds);
void AdvanceTime(uint32_t milliseconds);
// The clock moves on by this much at every flip; 0 at start.
void SetTimePerFlip(uint32_t milliseconds);

// ---- The user ----
// A key by its DirectInput scan code: a buffered record for every acquired
// keyboard, and WM_KEYDOWN / WM_KEYUP with the matching virtual key posted to
// the focus window.
void KeyDown(uint8_t scanCode);
void KeyUp(uint8_t scanCode);
void KeyPress(uint8_t scanCode);
// Left button pressed and released at a client position of the focus window.
void Click(int32_t x, int32_t y);
// Opens pop-up `popup` of the focus window's menu bar, as a click on its
// title does; the menu stays open (its own message loop runs) until
// ChooseMenuItem or CloseMenu. Both post; nothing happens before the program
// takes its messages.
void OpenMenu(int32_t popup);
// In the open menu, chooses item `item` of the open pop-up; with no menu open,
// opens pop-up `popup` first. Chosen commands arrive as WM_COMMAND.
void ChooseMenuItem(int32_t popup, int32_t item);
void CloseMenu();
bool MenuOpen();
// The open dialog's button with this id is clicked.
void PressButton(int32_t id);
// The application gains or loses the foreground (another program in front).
void SetForeground(bool foreground);

// ---- Windows ----
// The open modal dialog, or null; its template's name.
plat::HWND OpenDialog();
std::string OpenDialogTemplate();
// Where LoadIconA looks for icon files; "." at start.
void SetDataDirectory(const std::string& dir);

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
