// The user as the window system sees one: keys with the virtual keys and
// key messages Windows makes of them, the mouse with its hit tests (caption,
// menu bar, client area, an open menu, a dialog), and the application coming
// to the front or going behind. Backends and tests call these.
#include <algorithm>
#include <iterator>

#include "platform/core/internal.h"
#include "platform/dinput.h"

namespace {

using namespace plat;
using namespace plat::core::detail;

// The topmost visible top-level window under a screen point.
HWND WindowAt(POINT pt) {
  auto& windows = Windows().windows;
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    WindowObject* w = it->get();
    if (w->alive && w->visible && !w->iconic && !(w->style & WS_CHILD) && core::Inside(w->rect, pt))
      return w;
  }
  return nullptr;
}

LPARAM HitTest(const WindowObject& w, POINT pt) {
  const RECT c = ClientRect(w);
  if (core::Inside(c, pt)) return HTCLIENT;
  if (w.menu && pt.y >= c.top - kMenuBar && pt.y < c.top && pt.x >= c.left && pt.x < c.right)
    return HTMENU;
  if ((w.style & WS_CAPTION) == WS_CAPTION) return HTCAPTION;
  return HTNOWHERE;
}

// Mouse input goes to an open menu, else to the modal dialog, else to the
// window under the pointer: its client area or its frame.
void PostMouse(POINT pt, UINT client, UINT nonClient, WPARAM wParam) {
  WindowState& s = Windows();
  if (!s.appForeground) return;
  if (s.menuOpen) {
    PostInput(s.menu.window, client, wParam, MakeLParam(pt.x, pt.y), pt);
    return;
  }
  HWND target = s.dialogs.empty() ? WindowAt(pt) : s.dialogs.back();
  if (!Live(target) || !target->enabled) return;
  const LPARAM hit = target->dialog ? HTCLIENT : HitTest(*target, pt);
  if (hit == HTCLIENT) {
    const RECT c = target->dialog ? DialogLayout(*target).client : ClientRect(*target);
    PostInput(target, client, wParam, MakeLParam(pt.x - c.left, pt.y - c.top), pt);
  } else if (hit != HTNOWHERE && nonClient) {
    PostInput(target, nonClient, static_cast<WPARAM>(hit), MakeLParam(pt.x, pt.y), pt);
  }
}

}  // namespace

namespace plat::core {

uint16_t VirtualKeyOf(uint8_t scan) {
  static const char kMainRow[] = "1234567890";
  if (scan >= DIK_1 && scan <= DIK_0) return static_cast<uint16_t>(kMainRow[scan - DIK_1]);
  if (scan >= DIK_F1 && scan <= DIK_F10) return static_cast<uint16_t>(VK_F1 + (scan - DIK_F1));
  static const struct {
    uint8_t scan;
    uint16_t vk;
  } kTable[] = {
      {DIK_ESCAPE, VK_ESCAPE},
      {DIK_RETURN, VK_RETURN},
      {DIK_NUMPADENTER, VK_RETURN},
      {DIK_TAB, VK_TAB},
      {DIK_BACK, VK_BACK},
      {DIK_SPACE, VK_SPACE},
      {DIK_LSHIFT, VK_SHIFT},
      {DIK_RSHIFT, VK_SHIFT},
      {DIK_LCONTROL, VK_CONTROL},
      {DIK_RCONTROL, VK_CONTROL},
      {DIK_LMENU, VK_MENU},
      {DIK_RMENU, VK_MENU},
      {DIK_F11, VK_F11},
      {DIK_F12, VK_F12},
      {DIK_NUMPAD0, VK_NUMPAD0},
      {DIK_NUMPAD1, 0x61},
      {DIK_NUMPAD2, 0x62},
      {DIK_NUMPAD3, 0x63},
      {DIK_NUMPAD4, 0x64},
      {DIK_NUMPAD5, 0x65},
      {DIK_NUMPAD6, 0x66},
      {DIK_NUMPAD7, 0x67},
      {DIK_NUMPAD8, 0x68},
      {DIK_NUMPAD9, VK_NUMPAD9},
      {DIK_MULTIPLY, VK_MULTIPLY},
      {DIK_ADD, VK_ADD},
      {DIK_SUBTRACT, VK_SUBTRACT},
      {DIK_DECIMAL, VK_DECIMAL},
      {DIK_DIVIDE, VK_DIVIDE},
      {DIK_HOME, VK_HOME},
      {DIK_UP, VK_UP},
      {DIK_PRIOR, VK_PRIOR},
      {DIK_LEFT, VK_LEFT},
      {DIK_RIGHT, VK_RIGHT},
      {DIK_END, VK_END},
      {DIK_DOWN, VK_DOWN},
      {DIK_NEXT, VK_NEXT},
      {DIK_INSERT, VK_INSERT},
      {DIK_DELETE, VK_DELETE},
      {DIK_CAPITAL, VK_CAPITAL},
      {DIK_NUMLOCK, VK_NUMLOCK},
      {DIK_SCROLL, VK_SCROLL},
      {DIK_SYSRQ, VK_SNAPSHOT},
      {DIK_PAUSE, VK_PAUSE},
      {DIK_LWIN, VK_LWIN},
      {DIK_RWIN, VK_RWIN},
      {DIK_APPS, VK_APPS},
      {DIK_MINUS, VK_OEM_MINUS},
      {DIK_EQUALS, VK_OEM_PLUS},
      {DIK_LBRACKET, VK_OEM_4},
      {DIK_RBRACKET, VK_OEM_6},
      {DIK_SEMICOLON, VK_OEM_1},
      {DIK_APOSTROPHE, VK_OEM_7},
      {DIK_GRAVE, VK_OEM_3},
      {DIK_BACKSLASH, VK_OEM_5},
      {DIK_COMMA, VK_OEM_COMMA},
      {DIK_PERIOD, VK_OEM_PERIOD},
      {DIK_SLASH, VK_OEM_2},
      {DIK_OEM_102, VK_OEM_102},
  };
  for (const auto& k : kTable)
    if (k.scan == scan) return k.vk;
  static const char kLetters[] = "QWERTYUIOP\0\0\0\0ASDFGHJKL\0\0\0\0\0ZXCVBNM";
  if (scan >= DIK_Q && scan <= DIK_M && kLetters[scan - DIK_Q])
    return static_cast<uint16_t>(kLetters[scan - DIK_Q]);
  return 0;
}

void Key(uint8_t scan, uint16_t vk, bool down, bool post) {
  WindowState& s = Windows();
  const bool repeat = down && s.keys[scan];
  s.keys[scan] = down;
  // Alt or F10 pressed and released with no other key between: menu mode.
  if (down && !repeat) s.menuKeyArmed = vk == VK_MENU || vk == VK_F10;
  // The release decides now whether it enters menu mode, whatever comes
  // before the program takes the message.
  const bool entersMenu = !down && (vk == VK_MENU || vk == VK_F10) && s.menuKeyArmed;
  if (!down) s.menuKeyArmed = false;
  // The keyboard device reports changes only, not the typematic repeat.
  if (!repeat && scan != 0) KeyboardEvent(scan, down);
  HWND focus = FocusWindow();
  if (!post || !vk || !focus) return;
  const bool alt = s.keys[DIK_LMENU] || s.keys[DIK_RMENU] || vk == VK_MENU || vk == VK_F10;
  const UINT message = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
  uint32_t lp = 1u | (static_cast<uint32_t>(scan & 0x7F) << 16) | ((scan & 0x80) ? 1u << 24 : 0u);
  if (s.keys[DIK_LMENU] || s.keys[DIK_RMENU]) lp |= 1u << 29;
  if (repeat) lp |= 1u << 30;
  if (!down) lp |= (1u << 30) | (1u << 31);
  if (entersMenu) lp |= kEntersMenu;
  PostInput(focus, message, vk, static_cast<LPARAM>(static_cast<int32_t>(lp)), s.mouse);
}

void KeyDown(uint8_t scanCode) { Key(scanCode, VirtualKeyOf(scanCode), true); }
void KeyUp(uint8_t scanCode) { Key(scanCode, VirtualKeyOf(scanCode), false); }
void KeyPress(uint8_t scanCode) {
  KeyDown(scanCode);
  KeyUp(scanCode);
}

void Click(int32_t x, int32_t y) {
  HWND focus = FocusWindow();
  if (!focus) return;
  PostMessageA(focus, WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(x, y));
  PostMessageA(focus, WM_LBUTTONUP, 0, MakeLParam(x, y));
}

void MouseMove(int32_t x, int32_t y) {
  WindowState& s = Windows();
  s.mouse = {x, y};
  // Windows keeps one move at most in the queue.
  for (auto it = s.queue.begin(); it != s.queue.end(); ++it)
    if (it->message == WM_MOUSEMOVE || it->message == WM_NCMOUSEMOVE) {
      s.queue.erase(it);
      break;
    }
  PostMouse(s.mouse, WM_MOUSEMOVE, WM_NCMOUSEMOVE, s.buttonDown ? MK_LBUTTON : 0);
}

void MouseButton(int32_t x, int32_t y, bool down) {
  WindowState& s = Windows();
  s.mouse = {x, y};
  s.buttonDown = down;
  PostMouse(s.mouse, down ? WM_LBUTTONDOWN : WM_LBUTTONUP, down ? WM_NCLBUTTONDOWN : WM_NCLBUTTONUP,
            down ? MK_LBUTTON : 0);
}

void MouseWheel(int32_t x, int32_t y, int32_t notches) {
  WindowState& s = Windows();
  s.mouse = {x, y};
  HWND target = s.menuOpen ? s.menu.window : FocusWindow();
  if (!target || notches == 0) return;
  const auto delta = static_cast<uint32_t>(static_cast<int32_t>(notches * WHEEL_DELTA));
  PostInput(target, WM_MOUSEWHEEL, MakeWParam(0, delta), MakeLParam(x, y), s.mouse);
}

void PressButton(int32_t id) {
  WindowState& s = Windows();
  if (s.dialogs.empty()) return;
  PostMessageA(s.dialogs.back(), WM_COMMAND, MakeWParam(static_cast<uint32_t>(id), BN_CLICKED), 0);
}

void SetForeground(bool foreground) {
  WindowState& s = Windows();
  if (s.appForeground == foreground) return;
  s.appForeground = foreground;
  Note(foreground ? "application in front" : "application behind");
  HWND target = nullptr;
  if (foreground) {
    for (auto& w : s.windows)
      if (w->alive && w->visible && !(w->style & WS_CHILD) && !w->owner) target = w.get();
    if (!s.dialogs.empty()) target = s.dialogs.back();
  }
  // Keys held while the application goes behind are not seen released.
  if (!foreground) {
    std::fill(std::begin(s.keys), std::end(s.keys), false);
    std::fill(std::begin(s.messageKeys), std::end(s.messageKeys), false);
  }
  SetForegroundWindow(target);
}

bool InForeground() { return Windows().appForeground; }

}  // namespace plat::core
