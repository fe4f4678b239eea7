// USER32's windows over memory: window classes and windows, their frames and
// client areas, messages sent to their procedures and what DefWindowProc does
// with them, the foreground window, the cursor and the system metrics.
#include <algorithm>
#include <cstring>

#include "platform/core/internal.h"

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

const WindowClass* ClassOf(const WindowObject& w) {
  for (const WindowClass& c : Windows().classes)
    if (c.name == w.className) return &c;
  return nullptr;
}

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

void SetForegroundWindow(HWND w) {
  WindowState& s = Windows();
  s.foreground = w;
  KeyboardForegroundChanged(w);
  ForegroundChanged(w != nullptr);
  if (s.appActive == (w != nullptr)) return;
  s.appActive = w != nullptr;
  Note(s.appActive ? "WM_ACTIVATEAPP 1" : "WM_ACTIVATEAPP 0");
  Broadcast(WM_ACTIVATEAPP, s.appActive ? 1 : 0, 0);
}

}  // namespace plat::core::detail

namespace {

using namespace plat;
using namespace plat::core::detail;
using plat::core::Call;

void SendMoveAndSize(HWND w) {
  const RECT c = ClientRect(*w);
  SendMessageA(w, WM_SIZE, SIZE_RESTORED, MakeLParam(c.right - c.left, c.bottom - c.top));
  SendMessageA(w, WM_MOVE, 0, MakeLParam(c.left, c.top));
}

}  // namespace

namespace plat::core {

HWND MainWindow() {
  for (auto& w : Windows().windows)
    if (w->alive && w->visible && !(w->style & WS_CHILD) && !w->owner && !w->dialog) return w.get();
  return nullptr;
}

std::string WindowTitle(HWND window) { return Live(window) ? window->title : std::string(); }

}  // namespace plat::core

namespace plat {

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

BOOL RedrawWindow(HWND window, const RECT*, void*, UINT flags) {
  if (window && !Live(window)) return 0;
  Note("RedrawWindow " + std::to_string(flags));
  PaintScreen();
  return 1;
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

}  // namespace plat
