// What the parts of the in-memory backend share with each other; not for
// programs or tests (they use headless.h).
#pragma once
#include <cstdint>
#include <string>

#include "platform/ddraw.h"
#include "platform/headless/headless.h"
#include "platform/winuser.h"

namespace headless::detail {

// Counts the call and says whether the failure plan wants it to fail.
bool ShouldFail(Call call);
void Note(const std::string& entry);
uint32_t Now();

// The window that has the keyboard focus: an open dialog, else the
// foreground window; null when another application is in front.
plat::HWND FocusWindow();
plat::HWND ForegroundWindow();
bool AppInForeground();
bool IsTopLevel(plat::HWND window);
// Sends message to every live top-level window.
void Broadcast(plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam);

// Display side.
plat::HWND CooperativeWindow();
bool ExclusiveDisplay();
void OnFlip();
void ForegroundChanged(bool appActive);
// The mode the screen shows: the one DirectDraw set, else the desktop's.
Mode ScreenMode();
// The surface GDI draws on while the display is exclusive; null otherwise.
struct Canvas {
  uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bytesPerPixel = 0;
};
Canvas GdiCanvas();
// A colour as a pixel of the given depth (8 bits: nearest static colour).
uint32_t PixelFor(plat::COLORREF colour, int32_t bitsPerPixel);
void ResetDisplay();

// Keyboard side.
void KeyboardEvent(uint8_t scanCode, bool down);
void KeyboardForegroundChanged(plat::HWND foreground);
void ResetInput();

// Window side.
void ResetWindows();
bool RunNextStep(bool waiting);
void CountIdleTurn();
// Paints window frames, menus and dialogs on the GDI surface, if shown.
void PaintScreen();

}  // namespace headless::detail
