// What the parts of the core share with each other; not for programs or tests
// (they use core.h), nor for drivers (driver.h).
#pragma once
#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/core/core.h"
#include "platform/core/driver.h"
#include "platform/core/menu_layout.h"
#include "platform/core/written.h"
#include "platform/ddraw.h"
#include "platform/frame_copy.h"
#include "platform/hex.h"
#include "platform/resource.h"
#include "platform/winuser.h"

namespace plat {

struct InstanceObject {};

struct IconObject {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgba;
};

struct CursorObject {
  const char* name;
};

struct AccelObject {
  std::vector<ACCEL> entries;
};

struct MenuItem {
  UINT state = 0;  // MF_CHECKED, MF_GRAYED, MF_DISABLED, MF_POPUP, MF_SEPARATOR
  UINT id = 0;
  std::string text;
  HMENU popup = nullptr;
  uintptr_t data = 0;
};

struct MenuObject {
  bool alive = true;
  bool bar = false;
  std::vector<MenuItem> items;
};

struct WindowObject {
  bool alive = true;
  std::string className;
  std::string title;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  RECT rect{};
  HMENU menu = nullptr;
  WNDPROC proc = nullptr;
  HWND owner = nullptr;
  bool visible = false;
  bool enabled = true;
  bool iconic = false;
  // A modal dialog.
  bool dialog = false;
  DLGPROC dialogProc = nullptr;
  const DialogResource* dialogTemplate = nullptr;
  bool ended = false;
  intptr_t result = 0;
  HICON icon = nullptr;       // of an SS_ICON control
  int32_t pressedButton = 0;  // a button held down by the mouse
};

}  // namespace plat

namespace plat::core::detail {

// Drops the objects of a list that nobody holds any more: released objects
// go at the next creation of their kind.
template <typename T, typename Gone>
void Prune(std::vector<std::unique_ptr<T>>& list, Gone gone) {
  list.erase(std::remove_if(list.begin(), list.end(), [&](auto& o) { return gone(*o); }),
             list.end());
}

// ---- Control (control.cpp) ----
// Counts the call and says whether the failure plan wants it to fail.
bool ShouldFail(Call call);
void Note(const std::string& entry);
uint32_t Now();

// ---- The program's module (module.cpp) ----
bool ModuleInstance(HINSTANCE instance);
// What the program handed over; a module without resources when nothing was.
const ResourceModule& Resources();

// ---- Window system (window.cpp, queue.cpp, user_input.cpp) ----
constexpr int32_t kCaption = 19;
constexpr int32_t kMenuBar = 19;
constexpr int32_t kFrame = 3;
// A bit Windows leaves unused in a key message: this release of Alt or F10
// enters menu mode (the user's key decides it, DefWindowProc acts on it).
constexpr uint32_t kEntersMenu = 1u << 28;

struct WindowClass {
  std::string name;
  WNDCLASSA wc{};
  std::string menuName;
  bool hasMenuName = false;
};

// Requests of the scripted user for the menu loop.
struct MenuRequest {
  enum Kind { kOpen, kChoose, kClose } kind;
  int32_t popup;
  int32_t item;
};

// The menu mode of one window, as the menu loop tracks it.
struct MenuTrack {
  HWND window = nullptr;
  int32_t bar = 0;         // highlighted bar item
  bool popupOpen = false;  // its pop-up shown
  int32_t item = -1;       // selected pop-up item
  int32_t first = 0;       // first item shown of a scrolling pop-up
  bool done = false;
  int32_t choice = -1;  // pop-up item chosen
  UINT barCommand = 0;  // a command item on the bar itself, chosen
};

struct WindowState {
  InstanceObject module;
  CursorObject arrow{"IDC_ARROW"};
  int blackBrush = 0;
  std::vector<WindowClass> classes;
  std::vector<std::unique_ptr<WindowObject>> windows;
  std::vector<std::unique_ptr<MenuObject>> menus;
  std::vector<std::unique_ptr<AccelObject>> accels;
  std::vector<std::unique_ptr<IconObject>> icons;
  std::set<std::string> missingIconsReported;
  std::deque<MSG> queue;
  bool quitPosted = false;
  int32_t quitCode = 0;
  HCURSOR cursor = nullptr;
  bool cursorSet = false;
  bool appForeground = true;
  bool appActive = false;
  HWND foreground = nullptr;
  std::vector<HWND> dialogs;  // open modal dialogs, innermost last
  std::string dataDir = ".";
  std::deque<MenuRequest> menuRequests;
  bool menuOpen = false;
  MenuTrack menu;
  bool keys[256] = {};         // as the keys are now
  bool messageKeys[256] = {};  // as of the key message the program took last
  // Alt or F10 went down and no other key since: its release enters menu mode.
  bool menuKeyArmed = false;
  POINT mouse{0, 0};
  bool buttonDown = false;
};

WindowState& Windows();
WindowObject* Live(HWND w);
MenuObject* LiveMenu(HMENU m);
RECT ClientRect(const WindowObject& w);
const WindowClass* ClassOf(const WindowObject& w);
// Posts with the pointer's screen position, as input messages carry it.
void PostInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam, POINT pt);

// The window that has the keyboard focus: an open dialog, else the
// foreground window; null when another application is in front.
HWND FocusWindow();
HWND ForegroundWindow();
bool AppInForeground();
bool IsTopLevel(HWND window);
// The window in front (null: another application), which the keyboard
// follows; WM_ACTIVATEAPP when the application's turn changes.
void SetForegroundWindow(HWND window);
// Sends message to every live top-level window.
void Broadcast(UINT message, WPARAM wParam, LPARAM lParam);
void ResetWindows();

// Modal loops (dialog, menu) take messages like this until done says stop.
// False when WM_QUIT arrived; it is posted again for the outer loop.
template <typename Done, typename Handle>
bool RunModalLoop(Done done, Handle handle) {
  MSG m{};
  while (!done()) {
    if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      // Input brought in by the look into the queue may have ended the loop.
      if (!done()) WaitMessage();
      continue;
    }
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int32_t>(m.wParam));
      return false;
    }
    if (!handle(m)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
  return true;
}

// ---- Menus (menu.cpp, menu_loop.cpp) ----
// The pop-up of a bar item of the window's menu; null for a command item.
MenuObject* PopupOf(const WindowObject& w, int32_t barItem);
// Menu mode, as DefWindowProc runs it for WM_SYSCOMMAND SC_MOUSEMENU (lParam
// the screen point clicked) or SC_KEYMENU (lParam the mnemonic, 0 for Alt or
// F10 alone).
void RunMenuLoop(HWND window, WPARAM command, LPARAM lParam);
// Which bar item of the window lies under a screen point; -1 for none.
int32_t BarItemAt(const WindowObject& w, POINT pt);
// Where the window's bar titles and one of its pop-ups lie on the screen.
std::vector<RECT> BarLayoutOf(const WindowObject& w);
PopupLayout PopupLayoutOf(const WindowObject& w, int32_t barItem, int32_t first);

// ---- Dialogs (dialog.cpp) ----
LRESULT DialogWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
bool DialogKey(HWND dialog, const MSG& m);
// The dialog's place on the screen and its controls' rectangles, as painted.
struct DialogGeometry {
  RECT frame{};
  RECT client{};
  std::vector<RECT> controls;  // one per template item
};
DialogGeometry DialogLayout(const WindowObject& dialog);

// ---- Display modes (modes.cpp) ----
bool ListsSize(const std::vector<Mode>& modes, uint32_t width, uint32_t height);

// ---- Display (display.cpp) ----
void OnFlip();
void ForegroundChanged(bool appActive);
// The mode the screen shows: the one DirectDraw set, else the desktop's.
Mode ScreenMode();
// Pixels to draw on, rows exactly width pixels apart.
// Whoever draws on a canvas with a record notes there what it drew.
struct Canvas {
  uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bytesPerPixel = 0;
  WrittenRecord* written = nullptr;
  // Pixels in another layout than the frame's (a 5-6-5 display); null if not.
  const LayoutConversion* layout = nullptr;
};
// The surface GDI draws on while the display is exclusive; none otherwise.
Canvas GdiCanvas();
// A surface of the core's as it is now; none once its chain is gone.
Canvas SurfaceCanvas(IDirectDrawSurface* surface);
// The palette attached to the primary surface, or null.
const PALETTEENTRY* AttachedPalette();
void ResetDisplay();

// ---- Colours (colour.cpp) ----
// Entry i of the system palette every 8-bit mode starts from.
PALETTEENTRY DefaultSystemColour(int i);
// A colour as a pixel of the given depth (8 bits: the nearest entry of the
// palette on the screen).
uint32_t PixelFor(COLORREF colour, int32_t bitsPerPixel);
// The same in the canvas's own layout.
inline uint32_t PixelFor(COLORREF colour, const Canvas& c) {
  const uint32_t pixel = PixelFor(colour, c.bytesPerPixel * 8);
  return c.layout ? c.layout->Pixel(pixel) : pixel;
}

// ---- Device contexts (gdi.cpp) ----
// A device context on a surface (IDirectDrawSurface::GetDC), until CloseDc.
HDC OpenSurfaceDc(IDirectDrawSurface* surface);
void CloseDc(HDC dc);
void ResetGdi();

// ---- Keyboard device (dinput.cpp) ----
void KeyboardEvent(uint8_t scanCode, bool down);
void KeyboardForegroundChanged(HWND foreground);
void ResetInput();

// ---- Painting (paint.cpp) ----
// Paints window frames, menus and dialogs on the GDI surface, if shown.
// Each pop-up and dialog keeps what it covers from when it is first painted
// and puts it back at the first painting that no longer shows it there, so
// whatever closes or moves one only has to paint the screen again.
void PaintScreen();
void ResetPainting();

}  // namespace plat::core::detail
