// USER32 over memory: window classes and windows, one thread's message queue,
// keyboard and mouse input as Windows delivers it, accelerators, icons, the
// cursor and the system metrics.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/core/internal.h"
#include "platform/core/menu_layout.h"
#include "platform/dinput.h"

namespace plat {
const char* const IDC_ARROW = "IDC_ARROW";
}  // namespace plat

namespace plat::core::detail {

WindowState& Windows() {
  static WindowState state;
  return state;
}

WindowObject* Live(HWND w) {
  if (!w) return nullptr;
  for (auto& o : Windows().windows)
    if (o.get() == w) return o->alive ? w : nullptr;
  return nullptr;
}

MenuObject* LiveMenu(HMENU m) {
  if (!m) return nullptr;
  for (auto& o : Windows().menus)
    if (o.get() == m) return o->alive ? m : nullptr;
  return nullptr;
}

RECT ClientRect(const WindowObject& w) {
  RECT r = w.rect;
  if ((w.style & WS_CAPTION) == WS_CAPTION) {
    r.left += kFrame;
    r.right -= kFrame;
    r.top += kFrame + kCaption;
    r.bottom -= kFrame;
  }
  if (w.menu) r.top += kMenuBar;
  return r;
}

void PostInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam, POINT pt) {
  if (!Live(window)) return;
  Windows().queue.push_back({window, message, wParam, lParam, Now(), pt});
}

}  // namespace plat::core::detail

namespace {

using namespace plat;
using namespace plat::core::detail;
using plat::core::Call;

// A bit Windows leaves unused in a key message: this release of Alt or F10
// enters menu mode.
constexpr uint32_t kEntersMenu = 1u << 28;

bool ModuleInstance(HINSTANCE instance) { return instance == &Windows().module; }

void SendMoveAndSize(HWND w) {
  const RECT c = ClientRect(*w);
  SendMessageA(w, WM_SIZE, SIZE_RESTORED, MakeLParam(c.right - c.left, c.bottom - c.top));
  SendMessageA(w, WM_MOVE, 0, MakeLParam(c.left, c.top));
}

void SetAppActive(bool active) {
  WindowState& s = Windows();
  if (s.appActive == active) return;
  s.appActive = active;
  Note(active ? "WM_ACTIVATEAPP 1" : "WM_ACTIVATEAPP 0");
  Broadcast(WM_ACTIVATEAPP, active ? 1 : 0, 0);
}

void SetForegroundWindow(HWND w) {
  WindowState& s = Windows();
  s.foreground = w;
  KeyboardForegroundChanged(w);
  ForegroundChanged(w != nullptr);
  SetAppActive(w != nullptr);
}

bool IsMouseMessage(UINT m) {
  return (m >= WM_MOUSEMOVE && m <= 0x020E) || (m >= WM_NCMOUSEMOVE && m <= 0x00A9);
}

bool Matches(const MSG& m, HWND window, UINT first, UINT last) {
  if (window && m.hwnd != window) return false;
  if (first == 0 && last == 0) return true;
  return m.message >= first && m.message <= last;
}

// The character a key gives, for WM_CHAR; 0 for none.
char CharacterOf(uint16_t vk, bool shift) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<char>(shift ? vk : std::tolower(vk));
  if (vk >= '0' && vk <= '9') return static_cast<char>(vk);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return static_cast<char>('0' + (vk - VK_NUMPAD0));
  switch (vk) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_ESCAPE: return 0x1B;
    case VK_BACK: return 0x08;
    case VK_TAB: return 0x09;
    default: return 0;
  }
}

// Modifiers count as they were when the key message being handled was
// made, as GetKeyState has it, not as they are now.
void TookKeyMessage(const MSG& m) {
  if (m.message < WM_KEYDOWN || m.message > WM_SYSKEYUP || m.message == WM_CHAR) return;
  const auto lp = static_cast<uint32_t>(m.lParam);
  const auto scan = static_cast<uint8_t>(((lp >> 16) & 0x7F) | ((lp >> 24) & 1 ? 0x80 : 0));
  Windows().messageKeys[scan] = !(lp & (1u << 31));
}

bool Held(const bool* keys, uint8_t left, uint8_t right) { return keys[left] || keys[right]; }

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

// Reads the first image of an .ico file: 32-bit or 1-, 4-, 8-bit paletted
// with an AND mask. Null with a reason for anything else.
std::unique_ptr<IconObject> ReadIcon(const std::string& path, std::string* why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *why = "cannot open " + path;
    return nullptr;
  }
  const std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
  auto u16 = [&](size_t o) { return o + 2 <= b.size() ? uint32_t(b[o] | b[o + 1] << 8) : 0u; };
  auto u32 = [&](size_t o) {
    return o + 4 <= b.size()
               ? uint32_t(b[o] | b[o + 1] << 8 | b[o + 2] << 16) | uint32_t(b[o + 3]) << 24
               : 0u;
  };
  if (b.size() < 22 || u16(0) != 0 || u16(2) != 1 || u16(4) == 0) {
    *why = path + " is not an icon file";
    return nullptr;
  }
  const size_t offset = u32(18), size = u32(14);
  if (offset >= b.size() || size > b.size() - offset || size < 40 || u32(offset) < 40) {
    *why = path + ": the image lies outside the file";
    return nullptr;
  }
  const size_t header = u32(offset);
  const int32_t width = static_cast<int32_t>(u32(offset + 4));
  const int32_t height = static_cast<int32_t>(u32(offset + 8)) / 2;
  const uint32_t bits = u16(offset + 14);
  if (width <= 0 || height <= 0 || width > 256 || height > 256 ||
      (bits != 1 && bits != 4 && bits != 8 && bits != 32) || u32(offset + 16) != 0) {
    *why = path + ": an icon image of a kind not read here";
    return nullptr;
  }
  const uint32_t colours = bits <= 8 ? (u32(offset + 32) ? u32(offset + 32) : 1u << bits) : 0;
  const size_t paletteAt = offset + header;
  const size_t xorAt = paletteAt + size_t{colours} * 4;
  const size_t xorStride = ((size_t(width) * bits + 31) / 32) * 4;
  const size_t andStride = ((size_t(width) + 31) / 32) * 4;
  const size_t andAt = xorAt + xorStride * size_t(height);
  if (colours > 256 || andAt + andStride * size_t(height) > offset + size) {
    *why = path + ": the icon image is cut short";
    return nullptr;
  }
  auto icon = std::make_unique<IconObject>();
  icon->width = width;
  icon->height = height;
  icon->rgba.resize(size_t(width) * size_t(height) * 4);
  for (int32_t y = 0; y < height; ++y) {
    // Rows are stored bottom-up.
    const size_t row = xorAt + xorStride * size_t(height - 1 - y);
    const size_t maskRow = andAt + andStride * size_t(height - 1 - y);
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* o = &icon->rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
      if (bits == 32) {
        const size_t p = row + size_t(x) * 4;
        o[0] = b[p + 2];
        o[1] = b[p + 1];
        o[2] = b[p];
        o[3] = b[p + 3];
        continue;
      }
      const size_t bit = size_t(x) * bits;
      const uint32_t index = (b[row + bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
      if (index >= colours) {
        *why = path + ": a colour index past the icon's palette";
        return nullptr;
      }
      const size_t p = paletteAt + size_t{index} * 4;
      const bool transparent = (b[maskRow + size_t(x) / 8] >> (7 - x % 8)) & 1;
      o[0] = b[p + 2];
      o[1] = b[p + 1];
      o[2] = b[p];
      o[3] = transparent ? 0 : 255;
    }
  }
  return icon;
}

const WindowClass* ClassOf(const WindowObject& w) {
  for (const WindowClass& c : Windows().classes)
    if (c.name == w.className) return &c;
  return nullptr;
}

}  // namespace

namespace plat::core::detail {

HWND FocusWindow() {
  WindowState& s = Windows();
  if (!s.appForeground) return nullptr;
  if (!s.dialogs.empty()) return s.dialogs.back();
  return Live(s.foreground);
}

HWND ForegroundWindow() { return Windows().appForeground ? Live(Windows().foreground) : nullptr; }
bool AppInForeground() { return Windows().appForeground; }

bool IsTopLevel(HWND w) { return Live(w) && !(w->style & WS_CHILD); }

void Broadcast(UINT message, WPARAM wParam, LPARAM lParam) {
  std::vector<HWND> targets;
  for (auto& w : Windows().windows)
    if (w->alive && !(w->style & WS_CHILD)) targets.push_back(w.get());
  for (HWND w : targets) SendMessageA(w, message, wParam, lParam);
}

void ResetWindows() { Windows() = WindowState{}; }

}  // namespace plat::core::detail

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

HWND OpenDialog() { return Windows().dialogs.empty() ? nullptr : Windows().dialogs.back(); }

std::string OpenDialogTemplate() {
  HWND d = OpenDialog();
  return d && d->dialogTemplate ? d->dialogTemplate->name : "";
}

void SetDataDirectory(const std::string& dir) { Windows().dataDir = dir; }

HWND MainWindow() {
  for (auto& w : Windows().windows)
    if (w->alive && w->visible && !(w->style & WS_CHILD) && !w->owner && !w->dialog) return w.get();
  return nullptr;
}

std::string WindowTitle(HWND window) { return Live(window) ? window->title : std::string(); }

bool WindowIcon(HWND window, int32_t* width, int32_t* height, std::vector<uint8_t>* rgba) {
  WindowObject* w = Live(window);
  const WindowClass* c = w ? ClassOf(*w) : nullptr;
  if (!c || !c->wc.hIcon || !width || !height || !rgba) return false;
  const IconObject* icon = c->wc.hIcon;
  *width = icon->width;
  *height = icon->height;
  *rgba = icon->rgba;
  return true;
}

}  // namespace plat::core

namespace plat {

HINSTANCE GetModuleHandleA(const char* moduleName) {
  return moduleName ? nullptr : &Windows().module;
}

BOOL RegisterClassA(const WNDCLASSA* wc) {
  if (ShouldFail(Call::RegisterClass)) return 0;
  if (!wc || !wc->lpfnWndProc || !wc->lpszClassName || !*wc->lpszClassName) return 0;
  WindowState& s = Windows();
  for (const WindowClass& c : s.classes)
    if (c.name == wc->lpszClassName) return 0;
  WindowClass c;
  c.name = wc->lpszClassName;
  c.wc = *wc;
  c.hasMenuName = wc->lpszMenuName != nullptr;
  if (c.hasMenuName) c.menuName = wc->lpszMenuName;
  s.classes.push_back(std::move(c));
  Note("RegisterClass " + s.classes.back().name);
  return static_cast<BOOL>(s.classes.size());
}

HWND CreateWindowExA(uint32_t exStyle, const char* className, const char* title, uint32_t style,
                     int32_t x, int32_t y, int32_t width, int32_t height, HWND parent, HMENU menu,
                     HINSTANCE, void*) {
  if (ShouldFail(Call::CreateWindow) || !className) return nullptr;
  WindowState& s = Windows();
  const WindowClass* cls = nullptr;
  for (const WindowClass& c : s.classes)
    if (c.name == className) cls = &c;
  if (!cls || (parent && !Live(parent))) return nullptr;
  auto window = std::make_unique<WindowObject>();
  window->className = cls->name;
  window->title = title ? title : "";
  window->style = style;
  window->exStyle = exStyle;
  window->rect = {x, y, x + width, y + height};
  window->proc = cls->wc.lpfnWndProc;
  window->owner = parent;
  window->menu = menu;
  if (!menu && cls->hasMenuName) window->menu = LoadMenuA(cls->wc.hInstance, cls->menuName.c_str());
  HWND w = window.get();
  s.windows.push_back(std::move(window));
  Note("CreateWindow " + w->title);
  // The first top-level window brings the monitor up; a window without one
  // still exists, and DirectDraw reports the missing display.
  if (!(style & WS_CHILD)) core::TheDriver().OpenDisplay();
  if (SendMessageA(w, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(w);
    return nullptr;
  }
  SendMoveAndSize(w);
  if (style & WS_VISIBLE) ShowWindow(w, SW_SHOW);
  return w;
}

BOOL ShowWindow(HWND window, int32_t command) {
  WindowObject* w = Live(window);
  if (!w) return 0;
  const BOOL wasVisible = w->visible ? 1 : 0;
  Note("ShowWindow " + std::to_string(command));
  if (command == SW_HIDE) {
    w->visible = false;
    return wasVisible;
  }
  w->visible = true;
  w->iconic = command == SW_MINIMIZE || command == SW_SHOWMINIMIZED;
  if (!wasVisible) SendMessageA(w, WM_SHOWWINDOW, 1, 0);
  // A top-level window shown normally comes to the front.
  if (!w->iconic && !(w->style & WS_CHILD) && Windows().appForeground) SetForegroundWindow(w);
  return wasVisible;
}

BOOL UpdateWindow(HWND window) {
  if (!Live(window)) return 0;
  Note("UpdateWindow");
  return 1;
}

BOOL DestroyWindow(HWND window) {
  WindowObject* w = Live(window);
  if (!w) return 0;
  WindowState& s = Windows();
  // Owned windows go first.
  for (auto& o : s.windows)
    if (o->alive && o->owner == w) DestroyWindow(o.get());
  Note("DestroyWindow " + w->title);
  SendMessageA(w, WM_DESTROY, 0, 0);
  SendMessageA(w, WM_NCDESTROY, 0, 0);
  w->alive = false;
  if (MenuObject* m = LiveMenu(w->menu)) DestroyMenu(m);
  s.dialogs.erase(std::remove(s.dialogs.begin(), s.dialogs.end(), w), s.dialogs.end());
  if (s.foreground == w) {
    HWND next = nullptr;
    if (w->owner && Live(w->owner)) next = w->owner;
    s.foreground = next;
    if (!next) {
      KeyboardForegroundChanged(nullptr);
      s.appActive = false;
    } else {
      KeyboardForegroundChanged(next);
    }
  }
  return 1;
}

BOOL IsWindow(HWND window) { return Live(window) ? 1 : 0; }
BOOL IsIconic(HWND window) { return Live(window) && window->iconic ? 1 : 0; }
BOOL IsWindowEnabled(HWND window) { return Live(window) && window->enabled ? 1 : 0; }

BOOL EnableWindow(HWND window, BOOL enable) {
  WindowObject* w = Live(window);
  if (!w) return 0;
  const BOOL wasDisabled = w->enabled ? 0 : 1;
  w->enabled = enable != 0;
  return wasDisabled;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  if (!Live(window) || !rect) return 0;
  *rect = window->rect;
  return 1;
}

BOOL SetWindowPos(HWND window, HWND, int32_t x, int32_t y, int32_t cx, int32_t cy, UINT flags) {
  WindowObject* w = Live(window);
  if (!w) return 0;
  RECT r = w->rect;
  if (!(flags & SWP_NOMOVE)) {
    r.right += x - r.left;
    r.bottom += y - r.top;
    r.left = x;
    r.top = y;
  }
  if (!(flags & SWP_NOSIZE)) {
    r.right = r.left + std::max(cx, 0);
    r.bottom = r.top + std::max(cy, 0);
  }
  const bool moved = r.left != w->rect.left || r.top != w->rect.top;
  const bool sized = r.right - r.left != w->rect.right - w->rect.left ||
                     r.bottom - r.top != w->rect.bottom - w->rect.top;
  w->rect = r;
  Note("SetWindowPos " + std::to_string(r.left) + "," + std::to_string(r.top) + " " +
       std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
  const RECT c = ClientRect(*w);
  if (sized)
    SendMessageA(w, WM_SIZE, SIZE_RESTORED, MakeLParam(c.right - c.left, c.bottom - c.top));
  if (moved) SendMessageA(w, WM_MOVE, 0, MakeLParam(c.left, c.top));
  return 1;
}

BOOL AdjustWindowRectEx(RECT* rect, uint32_t style, BOOL menu, uint32_t) {
  if (!rect) return 0;
  if ((style & WS_CAPTION) == WS_CAPTION) {
    rect->left -= kFrame;
    rect->right += kFrame;
    rect->top -= kFrame + kCaption;
    rect->bottom += kFrame;
  }
  if (menu) rect->top -= kMenuBar;
  return 1;
}

int32_t GetSystemMetrics(int32_t index) {
  const core::Mode m = ScreenMode();
  switch (index) {
    case SM_CXSCREEN: return static_cast<int32_t>(m.width);
    case SM_CYSCREEN: return static_cast<int32_t>(m.height);
    case SM_CYCAPTION: return kCaption;
    case SM_CYMENU: return kMenuBar;
    case SM_CXFIXEDFRAME:
    case SM_CYFIXEDFRAME: return kFrame;
    default: return 0;
  }
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowObject* w = Live(window);
  if (!w) return 0;
  switch (message) {
    case WM_CLOSE: DestroyWindow(w); return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_MOUSEMENU || (wParam & 0xFFF0) == SC_KEYMENU)
        RunMenuLoop(w, wParam, lParam);
      else if ((wParam & 0xFFF0) == SC_CLOSE)
        SendMessageA(w, WM_CLOSE, 0, 0);
      return 0;
    case WM_NCLBUTTONDOWN:
      if (wParam == static_cast<WPARAM>(HTMENU))
        SendMessageA(w, WM_SYSCOMMAND, SC_MOUSEMENU, lParam);
      return 0;
    case WM_SYSKEYUP:
      if ((wParam == VK_MENU || wParam == VK_F10) && (static_cast<uint32_t>(lParam) & kEntersMenu))
        SendMessageA(w, WM_SYSCOMMAND, SC_KEYMENU, 0);
      return 0;
    case WM_SYSCHAR:
      // Alt with a letter opens the pop-up that has it as its mnemonic.
      if (wParam != ' ') SendMessageA(w, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(wParam));
      return 0;
    case WM_SETCURSOR: {
      // Over the client area the class cursor is shown, elsewhere the arrow.
      const WindowClass* c = ClassOf(*w);
      SetCursor(c && LowWord(static_cast<WPARAM>(lParam)) == HTCLIENT ? c->wc.hCursor
                                                                      : &Windows().arrow);
      return 0;
    }
    default: return 0;
  }
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowObject* w = Live(window);
  if (!w) return 0;
  if (w->dialog) return DialogWindowProc(w, message, wParam, lParam);
  return w->proc ? w->proc(w, message, wParam, lParam) : 0;
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
  if (!msg) return 0;
  WindowState& s = Windows();
  for (int attempt = 0; attempt < 2; ++attempt) {
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
      if (!Matches(*it, window, first, last)) continue;
      *msg = *it;
      if (remove & PM_REMOVE) {
        s.queue.erase(it);
        TookKeyMessage(*msg);
        // Windows asks which cursor to show as mouse input is taken.
        if (IsMouseMessage(msg->message) && Live(msg->hwnd)) {
          const bool nonClient = msg->message >= WM_NCMOUSEMOVE && msg->message <= 0x00A9;
          const LPARAM hit = nonClient ? static_cast<LPARAM>(msg->wParam) : HTCLIENT;
          SendMessageA(msg->hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(msg->hwnd),
                       MakeLParam(static_cast<int32_t>(hit), static_cast<int32_t>(msg->message)));
        }
      }
      return 1;
    }
    // WM_QUIT comes once nothing else is waiting.
    if (s.quitPosted && !window && (first == 0 || (first <= WM_QUIT && WM_QUIT <= last))) {
      *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0, Now(), s.mouse};
      if (remove & PM_REMOVE) s.quitPosted = false;
      return 1;
    }
    if (attempt == 0 && !core::TheDriver().Poll()) break;
  }
  core::TheDriver().EmptyTurn();
  return 0;
}

BOOL WaitMessage() {
  WindowState& s = Windows();
  if (s.queue.empty() && !s.quitPosted) core::TheDriver().Wait();
  return 1;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return 0;
  WindowState& s = Windows();
  const bool shift = Held(s.messageKeys, DIK_LSHIFT, DIK_RSHIFT);
  const bool control = Held(s.messageKeys, DIK_LCONTROL, DIK_RCONTROL);
  const char c = CharacterOf(static_cast<uint16_t>(msg->wParam), shift);
  // The character comes next, before anything queued after the key.
  if (c && !control && Live(msg->hwnd))
    s.queue.push_front({msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR,
                        static_cast<WPARAM>(static_cast<unsigned char>(c)), msg->lParam, msg->time,
                        msg->pt});
  return 1;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !Live(msg->hwnd)) return 0;
  return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !Live(window)) return 0;
  Windows().queue.push_back({window, message, wParam, lParam, Now(), Windows().mouse});
  return 1;
}

void PostQuitMessage(int32_t exitCode) {
  Windows().quitPosted = true;
  Windows().quitCode = exitCode;
  Note("PostQuitMessage " + std::to_string(exitCode));
}

HICON LoadIconA(HINSTANCE instance, const char* name) {
  if (!ModuleInstance(instance)) return nullptr;
  const ResourceModule& r = ModuleResources();
  const IconResource* icon = FindNamedResource(r.icons, r.iconCount, name);
  if (!icon) return nullptr;
  WindowState& s = Windows();
  std::string why;
  std::unique_ptr<IconObject> object = ReadIcon(s.dataDir + "/" + icon->fileName, &why);
  if (!object) {
    // A program without its icon still runs; say so once.
    if (s.missingIconsReported.insert(icon->name).second)
      std::fprintf(stderr, "kelvo: no icon %s (%s)\n", icon->name, why.c_str());
    return nullptr;
  }
  HICON h = object.get();
  s.icons.push_back(std::move(object));
  return h;
}

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
  if (instance || !name || std::strcmp(name, IDC_ARROW) != 0) return nullptr;
  return &Windows().arrow;
}

HCURSOR SetCursor(HCURSOR cursor) {
  WindowState& s = Windows();
  HCURSOR old = s.cursor;
  s.cursor = cursor;
  if (!s.cursorSet || (old == nullptr) != (cursor == nullptr))
    core::TheDriver().CursorChanged(cursor != nullptr);
  s.cursorSet = true;
  return old;
}

HCURSOR GetCursor() { return Windows().cursor; }

HBRUSH GetStockObject(int32_t object) {
  return object == BLACK_BRUSH ? &Windows().blackBrush : nullptr;
}

HACCEL LoadAcceleratorsA(HINSTANCE instance, const char* name) {
  if (!ModuleInstance(instance)) return nullptr;
  const ResourceModule& r = ModuleResources();
  const AccelResource* table = FindNamedResource(r.accelerators, r.accelCount, name);
  if (!table) return nullptr;
  auto object = std::make_unique<AccelObject>();
  object->entries.assign(table->entries, table->entries + table->count);
  HACCEL h = object.get();
  Windows().accels.push_back(std::move(object));
  return h;
}

int32_t TranslateAcceleratorA(HWND window, HACCEL table, MSG* msg) {
  if (!Live(window) || !table || !msg) return 0;
  WindowState& s = Windows();
  bool known = false;
  for (auto& a : s.accels) known = known || a.get() == table;
  if (!known || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return 0;
  // The modifiers as they were when the key went down, as the queue has
  // them, not as the keyboard is now.
  const bool shift = Held(s.messageKeys, DIK_LSHIFT, DIK_RSHIFT);
  const bool control = Held(s.messageKeys, DIK_LCONTROL, DIK_RCONTROL);
  const bool alt = Held(s.messageKeys, DIK_LMENU, DIK_RMENU);
  for (const ACCEL& a : table->entries) {
    if (!(a.fVirt & FVIRTKEY) || a.key != msg->wParam) continue;
    if (((a.fVirt & FSHIFT) != 0) != shift || ((a.fVirt & FCONTROL) != 0) != control ||
        ((a.fVirt & FALT) != 0) != alt)
      continue;
    Note("accelerator " + std::to_string(a.cmd));
    SendMessageA(window, WM_COMMAND, MakeWParam(a.cmd, 1), 0);
    return 1;
  }
  return 0;
}

}  // namespace plat
