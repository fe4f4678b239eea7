// The backend-independent part of the platform: window system, message queue,
// menus and their own loop, the modal dialog, display surfaces and palettes,
// the buffered keyboard, and what Windows paints on the GDI surface. A backend
// is this core plus a driver (driver.h); this header is how backends and tests
// steer and inspect it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/frame_copy.h"
#include "platform/gdi.h"
#include "platform/types.h"

namespace plat {
struct ResourceModule;
}  // namespace plat

namespace plat::core {

struct Mode {
  uint32_t width;
  uint32_t height;
  uint32_t bitsPerPixel;
};

// Back to a fresh machine: no windows, classes, menus, messages or devices;
// the default mode list and desktop; no failures, an empty trace; the
// application in the foreground. The driver is reset too.
void Reset();

// ---- Display ----
// A classic driver's list: 320x200 and 320x240 (Mode X at 8 bits), 640x400,
// 640x480, 800x600, 1024x768, 1280x1024 and 1600x1200, each at 8, 16, 24 and
// 32 bits, in that order.
std::vector<Mode> ClassicModes();
// The classic list and, at each of its depths, the desktop's own size where
// the list lacks it: what a driver offers on that desktop, whatever its size.
std::vector<Mode> ModesWithDesktop(uint32_t width, uint32_t height);
// The modes EnumDisplayModes reports, in this order. SetDisplayMode accepts
// the sizes listed and any other of 1 to 4095 pixels a side, at 8, 16, 24 or
// 32 bits.
void SetModeList(const std::vector<Mode>& modes);
// The mode DirectDraw set; zeros before the first switch and after the
// DirectDraw object is released (the desktop is back then).
Mode CurrentMode();
// The desktop's own mode: the screen's while DirectDraw has set none.
void SetDesktopMode(Mode mode);
// Video memory for chains that ask for it; a bigger chain is refused with
// DDERR_OUTOFVIDEOMEMORY. 8 MiB at start.
void SetVideoMemory(uint64_t bytes);
// How the display keeps pixels of layout.bitsPerPixel bits from the next
// chain on (a display of today keeps 16 bits as 5-6-5); the frame's own
// layout at start. The display converts what the frame draws, as the Windows
// layer does; the monitor reads every screen in the frame's layout.
void SetPixelLayout(const plat::PixelLayout& layout);
// Each lock hands out memory of its own, taken back at Unlock and then filled
// with a pattern: a write through the address after Unlock is counted. On in
// the headless backend.
void GuardUnlockedPixels(bool on);
uint32_t UnlockedWrites();
// The picture on screen: the front surface's bytes, rows exactly width pixels
// apart. Empty when there is no flipping chain.
std::vector<uint8_t> FrontPixels();
// The same picture as 8-bit RGB triples (8-bit modes through the attached
// palette, else the system palette; 16 bits as 5-5-5).
std::vector<uint8_t> FrontImageRgb();
// What the display knows of a screen's pixels without reading them: since
// it was last filled whole with `fill` (its low bytes), everything written
// into it went inside `area` (left and top in, right and bottom out; empty
// when nothing was). Not known after anything it cannot bound.
struct KnownPixels {
  bool known = false;
  uint32_t fill = 0;
  plat::RECT area = {0, 0, 0, 0};
};
// What a monitor shows, without copying: valid until the program runs again.
struct ScreenView {
  const uint8_t* pixels = nullptr;  // null: nothing to show (black)
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitsPerPixel = 0;
  const plat::PALETTEENTRY* palette = nullptr;  // 8 bits: 256 entries
};
ScreenView FrontView();
// What is known of the front surface's pixels, for FrontView's picture.
KnownPixels FrontWritten();
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
// Calls made since Reset, failed ones included.
uint32_t CallCount(Call call);

// ---- Trace ----
// One line per call of interest, in order ("SetDisplayMode 640x480x8",
// "Release back buffer", ...); the oldest lines go past 20000. A driver that
// keeps no trace leaves it empty.
const std::vector<std::string>& Trace();
void ClearTrace();

// ---- The user ----
// A key by its DirectInput scan code: a buffered record for every acquired
// keyboard, and WM_KEYDOWN / WM_KEYUP (WM_SYSKEY... with Alt or F10) with
// the virtual key Windows gives that scan code, posted to the focus window.
void KeyDown(uint8_t scanCode);
void KeyUp(uint8_t scanCode);
void KeyPress(uint8_t scanCode);
// The same with the virtual key given (a keyboard layout or NumLock decides
// it); virtualKey 0 posts no message. post false: the keyboard device sees
// the key but no message is posted (a key the backend keeps for itself).
void Key(uint8_t scanCode, uint16_t virtualKey, bool down, bool post = true);
// The virtual key Windows gives a scan code with NumLock on; 0 for none.
uint16_t VirtualKeyOf(uint8_t scanCode);
// Left button pressed and released at a client position of the focus window.
void Click(int32_t x, int32_t y);
// The pointer at a point of the screen, as a mouse reports it: the window
// system decides what it hits (caption, menu bar, client area, an open menu,
// a dialog's button) and posts what Windows would.
void MouseMove(int32_t x, int32_t y);
void MouseButton(int32_t x, int32_t y, bool down);
// Wheel notches, positive away from the user.
void MouseWheel(int32_t x, int32_t y, int32_t notches);
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
// The open menu: the bar item highlighted and whether its pop-up is open,
// the pop-up item selected (-1 none). False with no menu open.
struct MenuState {
  int32_t barItem = -1;
  bool popupOpen = false;
  int32_t item = -1;
  int32_t firstShown = 0;
};
bool OpenMenuState(MenuState* state);
// The open dialog's button with this id is clicked.
void PressButton(int32_t id);
// The application gains or loses the foreground (another program in front).
void SetForeground(bool foreground);
bool InForeground();

// ---- The program ----
// The resources of the program's module (GetModuleHandleA(nullptr)): the
// menus, accelerator tables, dialogs and icons LoadMenuA and the like find
// by name. The program hands them over before it starts, as Windows finds
// them in an executable; until then every lookup fails. Reset keeps them.
void SetModuleResources(const plat::ResourceModule* resources);

// ---- Windows ----
// The open modal dialog, or null; its template's name.
plat::HWND OpenDialog();
std::string OpenDialogTemplate();
// Where LoadIconA looks for icon files; "." at start.
void SetDataDirectory(const std::string& dir);
// The first image of an .ico file as LoadIconA reads it: 32-bit, or 1-, 4- or
// 8-bit with a palette and an AND mask, into RGBA rows. False with a one-line
// reason naming `name` for anything else.
bool DecodeIcon(const std::vector<uint8_t>& bytes, const std::string& name, int32_t* width,
                int32_t* height, std::vector<uint8_t>* rgba, std::string* why);
// The first visible top-level window that owns nothing: the application's
// main window, or null.
plat::HWND MainWindow();
std::string WindowTitle(plat::HWND window);
// Its class icon as RGBA rows; false without one.
bool WindowIcon(plat::HWND window, int32_t* width, int32_t* height, std::vector<uint8_t>* rgba);

}  // namespace plat::core
