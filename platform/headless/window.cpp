// USER32 over memory: window classes and windows, one thread's message queue,
// accelerators, menus, the modal dialog loop, the cursor and the scripted
// user whose steps run when the program looks for messages.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <vector>

#include "platform/dinput.h"
#include "platform/font.h"
#include "platform/headless/internal.h"
#include "platform/resource.h"

namespace plat {

struct InstanceObject {
  int unused = 0;
};

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
  HICON icon = nullptr;  // of an SS_ICON control
};

const char* const IDC_ARROW = "IDC_ARROW";

}  // namespace plat

namespace {

using namespace plat;
using headless::Call;
using headless::detail::Note;
using headless::detail::ShouldFail;

constexpr int32_t kCaption = 19;
constexpr int32_t kMenuBar = 19;
constexpr int32_t kFrame = 3;
constexpr uint32_t kDefaultIdleLimit = 10000;

struct WindowClass {
  std::string name;
  WNDCLASSA wc{};
  std::string menuName;
  bool hasMenuName = false;
};

struct Step {
  uint32_t idleTurns;
  std::function<void()> action;
};

struct MenuRequest {
  enum Kind { kOpen, kChoose, kClose } kind;
  int32_t popup;
  int32_t item;
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
  bool appForeground = true;
  bool appActive = false;
  HWND foreground = nullptr;
  std::vector<HWND> dialogs;  // open modal dialogs, innermost last
  std::string dataDir = ".";
  // Scripted user.
  std::deque<Step> steps;
  uint32_t idleTurns = 0;
  uint32_t idleLimit = kDefaultIdleLimit;
  bool stalled = false;
  std::deque<MenuRequest> menuRequests;
  bool menuOpen = false;
  HWND menuWindow = nullptr;
  int32_t menuPopup = -1;
  int32_t menuChoice = -1;
  bool menuDone = false;
  bool keys[256] = {};
};

WindowState& State() {
  static WindowState state;
  return state;
}

WindowObject* Live(HWND w) {
  if (!w) return nullptr;
  for (auto& o : State().windows)
    if (o.get() == w) return o->alive ? w : nullptr;
  return nullptr;
}

MenuObject* LiveMenu(HMENU m) {
  if (!m) return nullptr;
  for (auto& o : State().menus)
    if (o.get() == m) return o->alive ? m : nullptr;
  return nullptr;
}

bool ModuleInstance(HINSTANCE instance) { return instance == &State().module; }

HMENU NewMenu(bool bar) {
  auto menu = std::make_unique<MenuObject>();
  menu->bar = bar;
  HMENU h = menu.get();
  State().menus.push_back(std::move(menu));
  return h;
}

HMENU BuildMenu(const MenuItemTemplate* items, uint32_t count, bool bar) {
  HMENU menu = NewMenu(bar);
  for (uint32_t i = 0; i < count; ++i) {
    const MenuItemTemplate& t = items[i];
    MenuItem item;
    item.text = t.text ? t.text : "";
    item.state = t.flags & (MF_CHECKED | MF_GRAYED | MF_DISABLED | MF_SEPARATOR);
    if (t.flags & MF_POPUP) {
      item.state |= MF_POPUP;
      item.popup = BuildMenu(t.popup, t.popupCount, false);
    } else {
      item.id = t.id;
    }
    menu->items.push_back(std::move(item));
  }
  return menu;
}

// By command the search goes into pop-ups too, as on Windows.
MenuItem* FindItem(HMENU menu, UINT item, bool byPosition) {
  MenuObject* m = LiveMenu(menu);
  if (!m) return nullptr;
  if (byPosition) return item < m->items.size() ? &m->items[item] : nullptr;
  for (MenuItem& i : m->items) {
    if (i.state & MF_POPUP) {
      if (MenuItem* found = FindItem(i.popup, item, false)) return found;
    } else if (!(i.state & MF_SEPARATOR) && i.id == item) {
      return &i;
    }
  }
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

void SendMoveAndSize(HWND w) {
  const RECT c = ClientRect(*w);
  SendMessageA(w, WM_SIZE, SIZE_RESTORED, MakeLParam(c.right - c.left, c.bottom - c.top));
  SendMessageA(w, WM_MOVE, 0, MakeLParam(c.left, c.top));
}

void SetAppActive(bool active) {
  WindowState& s = State();
  if (s.appActive == active) return;
  s.appActive = active;
  Note(active ? "WM_ACTIVATEAPP 1" : "WM_ACTIVATEAPP 0");
  headless::detail::Broadcast(WM_ACTIVATEAPP, active ? 1 : 0, 0);
}

void SetForegroundWindow(HWND w) {
  WindowState& s = State();
  s.foreground = w;
  headless::detail::KeyboardForegroundChanged(w);
  headless::detail::ForegroundChanged(w != nullptr);
  SetAppActive(w != nullptr);
}

// The virtual key Windows gives each scan code (NumLock on); 0 for none.
uint16_t VirtualKey(uint8_t scan) {
  static const char kMainRow[] = "1234567890";
  if (scan >= DIK_1 && scan <= DIK_0) return static_cast<uint16_t>(kMainRow[scan - DIK_1]);
  if (scan >= DIK_F1 && scan <= DIK_F10) return static_cast<uint16_t>(VK_F1 + (scan - DIK_F1));
  static const struct {
    uint8_t scan;
    uint16_t vk;
  } kTable[] = {
      {DIK_ESCAPE, VK_ESCAPE}, {DIK_RETURN, VK_RETURN}, {DIK_NUMPADENTER, VK_RETURN},
      {DIK_TAB, 0x09},         {DIK_BACK, 0x08},        {DIK_SPACE, 0x20},
      {DIK_LSHIFT, 0x10},      {DIK_RSHIFT, 0x10},      {DIK_LCONTROL, 0x11},
      {DIK_RCONTROL, 0x11},    {DIK_LMENU, 0x12},       {DIK_RMENU, 0x12},
      {DIK_F11, 0x7A},         {DIK_F12, VK_F12},       {DIK_NUMPAD0, VK_NUMPAD0},
      {DIK_NUMPAD1, 0x61},     {DIK_NUMPAD2, 0x62},     {DIK_NUMPAD3, 0x63},
      {DIK_NUMPAD4, 0x64},     {DIK_NUMPAD5, 0x65},     {DIK_NUMPAD6, 0x66},
      {DIK_NUMPAD7, 0x67},     {DIK_NUMPAD8, 0x68},     {DIK_NUMPAD9, 0x69},
      {DIK_MULTIPLY, 0x6A},    {DIK_ADD, 0x6B},         {DIK_SUBTRACT, 0x6D},
      {DIK_DECIMAL, 0x6E},     {DIK_DIVIDE, 0x6F},      {DIK_HOME, VK_HOME},
      {DIK_UP, VK_UP},         {DIK_PRIOR, VK_PRIOR},   {DIK_LEFT, VK_LEFT},
      {DIK_RIGHT, VK_RIGHT},   {DIK_END, VK_END},       {DIK_DOWN, VK_DOWN},
      {DIK_NEXT, VK_NEXT},     {DIK_INSERT, VK_INSERT}, {DIK_DELETE, VK_DELETE},
  };
  for (const auto& k : kTable)
    if (k.scan == scan) return k.vk;
  static const char kLetters[] = "QWERTYUIOP\0\0\0\0ASDFGHJKL\0\0\0\0\0ZXCVBNM";
  if (scan >= DIK_Q && scan <= DIK_M && kLetters[scan - DIK_Q])
    return static_cast<uint16_t>(kLetters[scan - DIK_Q]);
  return 0;
}

void PostKey(uint8_t scan, bool down) {
  WindowState& s = State();
  s.keys[scan] = down;
  headless::detail::KeyboardEvent(scan, down);
  const uint16_t vk = VirtualKey(scan);
  HWND focus = headless::detail::FocusWindow();
  if (!vk || !focus) return;
  const bool alt = s.keys[DIK_LMENU] || s.keys[DIK_RMENU] || vk == 0x12 || vk == VK_F10;
  const UINT message = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
  uint32_t lp = 1u | (static_cast<uint32_t>(scan & 0x7F) << 16) | ((scan & 0x80) ? 1u << 24 : 0u);
  if (!down) lp |= (1u << 30) | (1u << 31);
  PostMessageA(focus, message, vk, static_cast<LPARAM>(static_cast<int32_t>(lp)));
}

bool IsMouseMessage(UINT m) { return m >= WM_MOUSEMOVE && m <= 0x020E; }

bool Matches(const MSG& m, HWND window, UINT first, UINT last) {
  if (window && m.hwnd != window) return false;
  if (first == 0 && last == 0) return true;
  return m.message >= first && m.message <= last;
}

// Reads the first image of an .ico file: 32-bit or 1-, 4-, 8-bit paletted
// with an AND mask. Null with a reason for anything else.
std::unique_ptr<IconObject> ReadIcon(const std::string& path, std::string* why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *why = "cannot open " + path;
    return nullptr;
  }
  const std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto u16 = [&](size_t o) { return o + 2 <= b.size() ? uint32_t(b[o] | b[o + 1] << 8) : 0u; };
  auto u32 = [&](size_t o) {
    return o + 4 <= b.size() ? uint32_t(b[o] | b[o + 1] << 8 | b[o + 2] << 16) | uint32_t(b[o + 3]) << 24
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

// Modal loops (dialog, menu) take messages like this until done says stop.
// False when WM_QUIT arrived; it is posted again for the outer loop.
template <typename Done, typename Handle>
bool RunModalLoop(Done done, Handle handle) {
  MSG m{};
  while (!done()) {
    if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      // A step run by the look into the queue may have ended the loop.
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

// Menu mode, as DefWindowProc runs it for a click on the menu bar.
void RunMenuLoop(HWND window) {
  WindowState& s = State();
  if (s.menuRequests.empty() || s.menuOpen) return;
  const MenuRequest request = s.menuRequests.front();
  s.menuRequests.pop_front();
  MenuObject* bar = LiveMenu(window->menu);
  if (!bar || request.popup < 0 || static_cast<size_t>(request.popup) >= bar->items.size() ||
      !(bar->items[static_cast<size_t>(request.popup)].state & MF_POPUP))
    return;
  HMENU popup = bar->items[static_cast<size_t>(request.popup)].popup;
  s.menuOpen = true;
  s.menuWindow = window;
  s.menuPopup = request.popup;
  s.menuChoice = request.kind == MenuRequest::kChoose ? request.item : -1;
  s.menuDone = request.kind != MenuRequest::kOpen;
  Note("menu open " + std::to_string(request.popup));
  SendMessageA(window, WM_ENTERMENULOOP, 0, 0);
  SendMessageA(window, WM_INITMENU, reinterpret_cast<WPARAM>(window->menu), 0);
  SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup),
               static_cast<LPARAM>(request.popup));
  headless::detail::PaintScreen();
  RunModalLoop([&] { return s.menuDone || !Live(window); }, [](const MSG&) { return false; });
  s.menuOpen = false;
  UINT command = 0;
  MenuObject* p = LiveMenu(popup);
  if (p && s.menuChoice >= 0 && static_cast<size_t>(s.menuChoice) < p->items.size()) {
    const MenuItem& item = p->items[static_cast<size_t>(s.menuChoice)];
    if (!(item.state & (MF_POPUP | MF_SEPARATOR | MF_GRAYED | MF_DISABLED))) command = item.id;
  }
  s.menuWindow = nullptr;
  s.menuPopup = -1;
  Note("menu closed" + (command ? " with command " + std::to_string(command) : std::string()));
  if (Live(window)) {
    SendMessageA(window, WM_EXITMENULOOP, 0, 0);
    if (command) PostMessageA(window, WM_COMMAND, MakeWParam(command, 0), 0);
  }
}

// What the dialog manager does around the dialog procedure.
LRESULT DialogWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (dialog->dialogProc && dialog->dialogProc(dialog, message, wParam, lParam)) return 1;
  if (message == WM_CLOSE) SendMessageA(dialog, WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED), 0);
  return 0;
}

int32_t DefaultButton(const WindowObject& dialog) {
  if (!dialog.dialogTemplate) return IDOK;
  for (uint32_t i = 0; i < dialog.dialogTemplate->count; ++i) {
    const DialogItemTemplate& item = dialog.dialogTemplate->items[i];
    if (std::strcmp(item.windowClass, "BUTTON") == 0 && (item.style & 0xF) == BS_DEFPUSHBUTTON)
      return item.id;
  }
  return IDOK;
}

// Enter clicks the default button, Escape asks to cancel: the keyboard
// interface of every dialog box.
bool DialogKey(HWND dialog, const MSG& m) {
  if (m.hwnd != dialog || m.message != WM_KEYDOWN) return false;
  if (m.wParam == VK_RETURN) {
    SendMessageA(dialog, WM_COMMAND, MakeWParam(static_cast<uint32_t>(DefaultButton(*dialog)),
                                                BN_CLICKED), 0);
    return true;
  }
  if (m.wParam == VK_ESCAPE) {
    SendMessageA(dialog, WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED), 0);
    return true;
  }
  return false;
}

}  // namespace

namespace headless::detail {

HWND FocusWindow() {
  WindowState& s = State();
  if (!s.appForeground) return nullptr;
  if (!s.dialogs.empty()) return s.dialogs.back();
  return Live(s.foreground);
}

HWND ForegroundWindow() { return State().appForeground ? Live(State().foreground) : nullptr; }
bool AppInForeground() { return State().appForeground; }

bool IsTopLevel(HWND w) { return Live(w) && !(w->style & WS_CHILD); }

void Broadcast(UINT message, WPARAM wParam, LPARAM lParam) {
  std::vector<HWND> targets;
  for (auto& w : State().windows)
    if (w->alive && !(w->style & WS_CHILD)) targets.push_back(w.get());
  for (HWND w : targets) SendMessageA(w, message, wParam, lParam);
}

void CountIdleTurn() { ++State().idleTurns; }

bool RunNextStep(bool waiting) {
  WindowState& s = State();
  if (s.steps.empty()) {
    if (waiting || s.idleTurns >= s.idleLimit) {
      if (!s.stalled)
        std::fprintf(stderr, "headless: %s and no scripted step is left; ending the run\n",
                     waiting ? "the program waits for input" : "the program runs on");
      s.stalled = true;
      PostQuitMessage(0);
      return true;
    }
    return false;
  }
  if (!waiting && s.idleTurns < s.steps.front().idleTurns) return false;
  Step step = std::move(s.steps.front());
  s.steps.pop_front();
  s.idleTurns = 0;
  if (step.action) step.action();
  return true;
}

void ResetWindows() { State() = WindowState{}; }

}  // namespace headless::detail

namespace headless {

void KeyDown(uint8_t scanCode) { PostKey(scanCode, true); }
void KeyUp(uint8_t scanCode) { PostKey(scanCode, false); }
void KeyPress(uint8_t scanCode) {
  PostKey(scanCode, true);
  PostKey(scanCode, false);
}

void Click(int32_t x, int32_t y) {
  HWND focus = detail::FocusWindow();
  if (!focus) return;
  PostMessageA(focus, WM_LBUTTONDOWN, 1, MakeLParam(x, y));
  PostMessageA(focus, WM_LBUTTONUP, 0, MakeLParam(x, y));
}

void OpenMenu(int32_t popup) {
  HWND focus = detail::FocusWindow();
  if (!focus || State().menuOpen) return;
  State().menuRequests.push_back({MenuRequest::kOpen, popup, -1});
  PostMessageA(focus, WM_SYSCOMMAND, SC_MOUSEMENU, 0);
}

void ChooseMenuItem(int32_t popup, int32_t item) {
  WindowState& s = State();
  if (s.menuOpen) {
    if (popup != s.menuPopup) return;
    s.menuChoice = item;
    s.menuDone = true;
    return;
  }
  HWND focus = detail::FocusWindow();
  if (!focus) return;
  s.menuRequests.push_back({MenuRequest::kChoose, popup, item});
  PostMessageA(focus, WM_SYSCOMMAND, SC_MOUSEMENU, 0);
}

void CloseMenu() {
  WindowState& s = State();
  if (!s.menuOpen) return;
  s.menuChoice = -1;
  s.menuDone = true;
}

bool MenuOpen() { return State().menuOpen; }

void PressButton(int32_t id) {
  WindowState& s = State();
  if (s.dialogs.empty()) return;
  PostMessageA(s.dialogs.back(), WM_COMMAND, MakeWParam(static_cast<uint32_t>(id), BN_CLICKED), 0);
}

void SetForeground(bool foreground) {
  WindowState& s = State();
  if (s.appForeground == foreground) return;
  s.appForeground = foreground;
  Note(foreground ? "application in front" : "application behind");
  HWND target = nullptr;
  if (foreground) {
    for (auto& w : s.windows)
      if (w->alive && w->visible && !(w->style & WS_CHILD) && !w->owner) target = w.get();
    if (!s.dialogs.empty()) target = s.dialogs.back();
  }
  SetForegroundWindow(target);
}

HWND OpenDialog() { return State().dialogs.empty() ? nullptr : State().dialogs.back(); }

std::string OpenDialogTemplate() {
  HWND d = OpenDialog();
  return d && d->dialogTemplate ? d->dialogTemplate->name : "";
}

void SetDataDirectory(const std::string& dir) { State().dataDir = dir; }

void AddStep(uint32_t idleTurns, std::function<void()> step) {
  State().steps.push_back({idleTurns, std::move(step)});
}
size_t PendingSteps() { return State().steps.size(); }
void SetIdleLimit(uint32_t idleTurns) { State().idleLimit = idleTurns; }
bool Stalled() { return State().stalled; }

}  // namespace headless

namespace plat {

HINSTANCE GetModuleHandleA(const char* moduleName) {
  return moduleName ? nullptr : &State().module;
}

BOOL RegisterClassA(const WNDCLASSA* wc) {
  if (ShouldFail(Call::RegisterClass)) return 0;
  if (!wc || !wc->lpfnWndProc || !wc->lpszClassName || !*wc->lpszClassName) return 0;
  WindowState& s = State();
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
  WindowState& s = State();
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
  if (!w->iconic && !(w->style & WS_CHILD) && State().appForeground) SetForegroundWindow(w);
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
  WindowState& s = State();
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
      headless::detail::KeyboardForegroundChanged(nullptr);
      s.appActive = false;
    } else {
      headless::detail::KeyboardForegroundChanged(next);
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
  const bool sized =
      r.right - r.left != w->rect.right - w->rect.left || r.bottom - r.top != w->rect.bottom - w->rect.top;
  w->rect = r;
  Note("SetWindowPos " + std::to_string(r.left) + "," + std::to_string(r.top) + " " +
       std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
  const RECT c = ClientRect(*w);
  if (sized) SendMessageA(w, WM_SIZE, SIZE_RESTORED, MakeLParam(c.right - c.left, c.bottom - c.top));
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
  const headless::Mode m = headless::detail::ScreenMode();
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

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM) {
  WindowObject* w = Live(window);
  if (!w) return 0;
  switch (message) {
    case WM_CLOSE: DestroyWindow(w); return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_MOUSEMENU || (wParam & 0xFFF0) == SC_KEYMENU) RunMenuLoop(w);
      else if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(w, WM_CLOSE, 0, 0);
      return 0;
    case WM_SETCURSOR: {
      // Over the client area the class cursor is shown.
      for (const WindowClass& c : State().classes)
        if (c.name == w->className) SetCursor(c.wc.hCursor);
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
  WindowState& s = State();
  for (int attempt = 0; attempt < 2; ++attempt) {
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
      if (!Matches(*it, window, first, last)) continue;
      *msg = *it;
      if (remove & PM_REMOVE) {
        s.queue.erase(it);
        // Windows asks which cursor to show as mouse input is taken.
        if (IsMouseMessage(msg->message) && Live(msg->hwnd))
          SendMessageA(msg->hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(msg->hwnd),
                       MakeLParam(static_cast<int32_t>(HTCLIENT), static_cast<int32_t>(msg->message)));
      }
      return 1;
    }
    // WM_QUIT comes once nothing else is waiting.
    if (s.quitPosted && !window && (first == 0 || (first <= WM_QUIT && WM_QUIT <= last))) {
      *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0, headless::detail::Now(), {0, 0}};
      if (remove & PM_REMOVE) s.quitPosted = false;
      return 1;
    }
    if (attempt == 0 && !headless::detail::RunNextStep(false)) break;
  }
  headless::detail::CountIdleTurn();
  return 0;
}

BOOL WaitMessage() {
  WindowState& s = State();
  // Nothing comes by itself here: the script is the user, and each of its
  // steps is something happening.
  if (s.queue.empty() && !s.quitPosted) headless::detail::RunNextStep(true);
  return 1;
}

BOOL TranslateMessage(const MSG* msg) {
  return msg && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) ? 1 : 0;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !Live(msg->hwnd)) return 0;
  return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !Live(window)) return 0;
  State().queue.push_back({window, message, wParam, lParam, headless::detail::Now(), {0, 0}});
  return 1;
}

void PostQuitMessage(int32_t exitCode) {
  State().quitPosted = true;
  State().quitCode = exitCode;
  Note("PostQuitMessage " + std::to_string(exitCode));
}

HICON LoadIconA(HINSTANCE instance, const char* name) {
  if (!ModuleInstance(instance)) return nullptr;
  const ResourceModule& r = ModuleResources();
  const IconResource* icon = FindNamedResource(r.icons, r.iconCount, name);
  if (!icon) return nullptr;
  WindowState& s = State();
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
  return &State().arrow;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = State().cursor;
  State().cursor = cursor;
  return old;
}

HCURSOR GetCursor() { return State().cursor; }

HBRUSH GetStockObject(int32_t object) {
  return object == BLACK_BRUSH ? &State().blackBrush : nullptr;
}

HACCEL LoadAcceleratorsA(HINSTANCE instance, const char* name) {
  if (!ModuleInstance(instance)) return nullptr;
  const ResourceModule& r = ModuleResources();
  const AccelResource* table = FindNamedResource(r.accelerators, r.accelCount, name);
  if (!table) return nullptr;
  auto object = std::make_unique<AccelObject>();
  object->entries.assign(table->entries, table->entries + table->count);
  HACCEL h = object.get();
  State().accels.push_back(std::move(object));
  return h;
}

int32_t TranslateAcceleratorA(HWND window, HACCEL table, MSG* msg) {
  if (!Live(window) || !table || !msg) return 0;
  WindowState& s = State();
  bool known = false;
  for (auto& a : s.accels) known = known || a.get() == table;
  if (!known || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return 0;
  const bool shift = s.keys[DIK_LSHIFT] || s.keys[DIK_RSHIFT];
  const bool control = s.keys[DIK_LCONTROL] || s.keys[DIK_RCONTROL];
  const bool alt = s.keys[DIK_LMENU] || s.keys[DIK_RMENU];
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

HMENU LoadMenuA(HINSTANCE instance, const char* name) {
  if (!ModuleInstance(instance)) return nullptr;
  const ResourceModule& r = ModuleResources();
  const MenuResource* menu = FindNamedResource(r.menus, r.menuCount, name);
  return menu ? BuildMenu(menu->items, menu->count, true) : nullptr;
}

HMENU GetMenu(HWND window) { return Live(window) ? LiveMenu(window->menu) : nullptr; }

HMENU GetSubMenu(HMENU menu, int32_t position) {
  MenuItem* item = position < 0 ? nullptr : FindItem(menu, static_cast<UINT>(position), true);
  return item && (item->state & MF_POPUP) ? LiveMenu(item->popup) : nullptr;
}

HMENU CreateMenu() { return NewMenu(true); }
HMENU CreatePopupMenu() { return NewMenu(false); }

BOOL DestroyMenu(HMENU menu) {
  MenuObject* m = LiveMenu(menu);
  if (!m) return 0;
  m->alive = false;
  for (MenuItem& i : m->items)
    if (i.state & MF_POPUP) DestroyMenu(i.popup);
  return 1;
}

BOOL AppendMenuA(HMENU menu, UINT flags, uintptr_t idOrPopup, const char* text) {
  MenuObject* m = LiveMenu(menu);
  if (!m) return 0;
  MenuItem item;
  item.state = flags & (MF_CHECKED | MF_GRAYED | MF_DISABLED | MF_SEPARATOR | MF_POPUP);
  if (flags & MF_POPUP) {
    item.popup = LiveMenu(reinterpret_cast<HMENU>(idOrPopup));
    if (!item.popup || item.popup == m) return 0;
  } else {
    item.id = static_cast<UINT>(idOrPopup & 0xFFFF);
  }
  if (!(flags & MF_SEPARATOR)) item.text = text ? text : "";
  m->items.push_back(std::move(item));
  return 1;
}

int32_t GetMenuItemCount(HMENU menu) {
  MenuObject* m = LiveMenu(menu);
  return m ? static_cast<int32_t>(m->items.size()) : -1;
}

uint32_t CheckMenuItem(HMENU menu, UINT item, UINT flags) {
  MenuItem* i = FindItem(menu, item, (flags & MF_BYPOSITION) != 0);
  if (!i) return ~0u;
  const uint32_t old = i->state & MF_CHECKED;
  i->state = (i->state & ~MF_CHECKED) | (flags & MF_CHECKED);
  return old;
}

uint32_t GetMenuState(HMENU menu, UINT item, UINT flags) {
  MenuItem* i = FindItem(menu, item, (flags & MF_BYPOSITION) != 0);
  if (!i) return ~0u;
  if (i->state & MF_POPUP) {
    MenuObject* p = LiveMenu(i->popup);
    return (static_cast<uint32_t>(p ? p->items.size() : 0) << 8) | (i->state & 0xFF) | MF_POPUP;
  }
  return i->state;
}

int32_t GetMenuStringA(HMENU menu, UINT item, char* text, int32_t size, UINT flags) {
  MenuItem* i = FindItem(menu, item, (flags & MF_BYPOSITION) != 0);
  if (!i) return 0;
  const auto length = static_cast<int32_t>(i->text.size());
  if (!text || size <= 0) return length;
  const int32_t copied = std::min(length, size - 1);
  std::memcpy(text, i->text.data(), static_cast<size_t>(copied));
  text[copied] = '\0';
  return copied;
}

BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info) {
  if (!info || info->cbSize != sizeof(MENUITEMINFOA)) return 0;
  MenuItem* i = FindItem(menu, item, byPosition != 0);
  if (!i) return 0;
  if (info->fMask & MIIM_DATA) i->data = info->dwItemData;
  if ((info->fMask & MIIM_ID) && !(i->state & MF_POPUP)) i->id = info->wID & 0xFFFF;
  if (info->fMask & MIIM_STATE)
    i->state = (i->state & (MF_POPUP | MF_SEPARATOR)) | (info->fState & (MF_CHECKED | MF_GRAYED));
  if ((info->fMask & MIIM_TYPE) && info->dwTypeData && !(info->fType & MF_SEPARATOR))
    i->text = info->dwTypeData;
  return 1;
}

BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOA* info) {
  if (!info || info->cbSize != sizeof(MENUITEMINFOA)) return 0;
  MenuItem* i = FindItem(menu, item, byPosition != 0);
  if (!i) return 0;
  if (info->fMask & MIIM_DATA) info->dwItemData = i->data;
  if (info->fMask & MIIM_ID) info->wID = i->id;
  if (info->fMask & MIIM_STATE) info->fState = i->state & (MF_CHECKED | MF_GRAYED);
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = i->popup;
  if (info->fMask & MIIM_TYPE) {
    info->fType = i->state & MF_SEPARATOR;
    if (info->dwTypeData && info->cch > 0) {
      const size_t n = std::min<size_t>(i->text.size(), info->cch - 1);
      std::memcpy(info->dwTypeData, i->text.data(), n);
      info->dwTypeData[n] = '\0';
    }
    info->cch = static_cast<UINT>(i->text.size());
  }
  return 1;
}

BOOL DrawMenuBar(HWND window) {
  if (!Live(window)) return 0;
  Note("DrawMenuBar");
  headless::detail::PaintScreen();
  return 1;
}

BOOL RedrawWindow(HWND window, const RECT*, void*, UINT flags) {
  if (window && !Live(window)) return 0;
  Note("RedrawWindow " + std::to_string(flags));
  headless::detail::PaintScreen();
  return 1;
}

intptr_t DialogBoxParamA(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc,
                         LPARAM param) {
  if (ShouldFail(Call::DialogBox) || !ModuleInstance(instance) || !proc) return -1;
  const ResourceModule& r = ModuleResources();
  const DialogResource* t = FindNamedResource(r.dialogs, r.dialogCount, templateName);
  if (!t || (owner && !Live(owner))) return -1;
  WindowState& s = State();
  auto object = std::make_unique<WindowObject>();
  object->title = t->caption ? t->caption : "";
  object->style = t->style;
  object->owner = owner;
  object->dialog = true;
  object->dialogProc = proc;
  object->dialogTemplate = t;
  HWND dialog = object.get();
  s.windows.push_back(std::move(object));
  for (uint32_t i = 0; i < t->count; ++i)
    if ((t->items[i].style & 0xF) == SS_ICON && std::strcmp(t->items[i].windowClass, "STATIC") == 0)
      dialog->icon = LoadIconA(instance, t->items[i].text);
  Note(std::string("DialogBox ") + t->name);
  if (owner) EnableWindow(owner, 0);
  s.dialogs.push_back(dialog);
  SendMessageA(dialog, WM_INITDIALOG, 0, param);
  if (Live(dialog)) {
    dialog->visible = true;
    if (s.appForeground) SetForegroundWindow(dialog);
  }
  headless::detail::PaintScreen();
  RunModalLoop([&] { return !Live(dialog) || dialog->ended; },
               [&](const MSG& m) { return DialogKey(dialog, m); });
  const intptr_t result = Live(dialog) && dialog->ended ? dialog->result : 0;
  if (owner && Live(owner)) {
    EnableWindow(owner, 1);
    if (s.appForeground && s.foreground == dialog) SetForegroundWindow(owner);
  }
  if (Live(dialog)) DestroyWindow(dialog);
  Note("DialogBox ended " + std::to_string(result));
  return result;
}

BOOL EndDialog(HWND dialog, intptr_t result) {
  WindowObject* d = Live(dialog);
  if (!d || !d->dialog) return 0;
  d->ended = true;
  d->result = result;
  Note("EndDialog " + std::to_string(result));
  return 1;
}

}  // namespace plat

// ---- What Windows paints on the GDI surface ----

namespace {

constexpr COLORREF kFace = RGB(192, 192, 192);
constexpr COLORREF kShadow = RGB(128, 128, 128);
constexpr COLORREF kHighlight = RGB(255, 255, 255);
constexpr COLORREF kTitle = RGB(0, 0, 128);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int32_t kItemHeight = 18;

struct Painter {
  headless::detail::Canvas c;
  int32_t bits;

  void Fill(int32_t left, int32_t top, int32_t right, int32_t bottom, COLORREF colour) const {
    const uint32_t v = headless::detail::PixelFor(colour, bits);
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, c.width);
    bottom = std::min(bottom, c.height);
    const auto bpp = static_cast<size_t>(c.bytesPerPixel);
    for (int32_t y = top; y < bottom; ++y)
      for (int32_t x = left; x < right; ++x) {
        uint8_t* p = c.pixels + (static_cast<size_t>(y) * static_cast<size_t>(c.width) +
                                 static_cast<size_t>(x)) * bpp;
        for (size_t b = 0; b < bpp; ++b) p[b] = static_cast<uint8_t>(v >> (8 * b));
      }
  }
  // A raised 3-D edge, as buttons and menus have.
  void Raised(int32_t left, int32_t top, int32_t right, int32_t bottom) const {
    Fill(left, top, right, bottom, kFace);
    Fill(left, top, right, top + 1, kHighlight);
    Fill(left, top, left + 1, bottom, kHighlight);
    Fill(left, bottom - 1, right, bottom, kShadow);
    Fill(right - 1, top, right, bottom, kShadow);
  }
  void Text(int32_t x, int32_t y, const std::string& text, COLORREF colour) const {
    plat::font::DrawText({c.pixels, c.width, c.height, c.bytesPerPixel}, x, y, text.data(),
                         text.size(), headless::detail::PixelFor(colour, bits));
  }
  void Check(int32_t x, int32_t y) const {
    for (int32_t i = 0; i < 3; ++i) Fill(x + i, y + 2 + i, x + i + 1, y + 5 + i, kBlack);
    for (int32_t i = 0; i < 4; ++i) Fill(x + 3 + i, y + 3 - i, x + 4 + i, y + 6 - i, kBlack);
  }
  void Icon(int32_t x, int32_t y, const IconObject& icon) const {
    for (int32_t r = 0; r < icon.height; ++r)
      for (int32_t col = 0; col < icon.width; ++col) {
        const uint8_t* p = &icon.rgba[(static_cast<size_t>(r) * static_cast<size_t>(icon.width) +
                                       static_cast<size_t>(col)) * 4];
        if (p[3] >= 128) Fill(x + col, y + r, x + col + 1, y + r + 1, RGB(p[0], p[1], p[2]));
      }
  }
};

int32_t Width(const std::string& text) { return plat::font::TextWidth(text.data(), text.size()); }

// Menu text without its mnemonic marks, split at the tab.
std::pair<std::string, std::string> MenuLabel(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size() && text[i + 1] != '&') continue;
    plain += text[i];
  }
  const size_t tab = plain.find('\t');
  if (tab == std::string::npos) return {plain, ""};
  return {plain.substr(0, tab), plain.substr(tab + 1)};
}

void PaintFrame(const Painter& p, const WindowObject& w) {
  const RECT& r = w.rect;
  // The border only: the client area keeps whatever was drawn there.
  p.Fill(r.left, r.top, r.right, r.top + kFrame, kFace);
  p.Fill(r.left, r.bottom - kFrame, r.right, r.bottom, kFace);
  p.Fill(r.left, r.top, r.left + kFrame, r.bottom, kFace);
  p.Fill(r.right - kFrame, r.top, r.right, r.bottom, kFace);
  p.Fill(r.left, r.top, r.right, r.top + 1, kHighlight);
  p.Fill(r.left, r.top, r.left + 1, r.bottom, kHighlight);
  p.Fill(r.left, r.bottom - 1, r.right, r.bottom, kBlack);
  p.Fill(r.right - 1, r.top, r.right, r.bottom, kBlack);
  const int32_t top = r.top + kFrame;
  p.Fill(r.left + kFrame, top, r.right - kFrame, top + kCaption - 1, kTitle);
  p.Text(r.left + kFrame + 4, top + 3, w.title, kWhite);
}

void PaintMenuBar(const Painter& p, const WindowObject& w) {
  MenuObject* bar = LiveMenu(w.menu);
  if (!bar) return;
  const RECT c = ClientRect(w);
  const int32_t top = c.top - kMenuBar;
  p.Fill(c.left, top, c.right, c.top, kFace);
  int32_t x = c.left + 6;
  const WindowState& s = State();
  for (size_t i = 0; i < bar->items.size(); ++i) {
    const std::string title = MenuLabel(bar->items[i].text).first;
    const int32_t width = Width(title) + 12;
    const bool open = s.menuOpen && s.menuWindow == &w && s.menuPopup == static_cast<int32_t>(i);
    if (open) p.Fill(x, top + 1, x + width, c.top - 1, kTitle);
    p.Text(x + 6, top + 3, title, open ? kWhite : kBlack);
    MenuObject* popup = open ? LiveMenu(bar->items[i].popup) : nullptr;
    if (popup) {
      int32_t left = 0, right = 0;
      for (const MenuItem& item : popup->items) {
        const auto label = MenuLabel(item.text);
        left = std::max(left, Width(label.first));
        right = std::max(right, Width(label.second));
      }
      const int32_t boxWidth = 20 + left + (right ? 24 + right : 0) + 16;
      const int32_t boxTop = c.top;
      const auto count = static_cast<int32_t>(popup->items.size());
      p.Raised(x, boxTop, x + boxWidth, boxTop + 4 + count * kItemHeight);
      for (int32_t k = 0; k < count; ++k) {
        const MenuItem& item = popup->items[static_cast<size_t>(k)];
        const auto label = MenuLabel(item.text);
        const int32_t y = boxTop + 2 + k * kItemHeight;
        if (item.state & MF_CHECKED) p.Check(x + 6, y + 5);
        p.Text(x + 20, y + 3, label.first, kBlack);
        if (!label.second.empty()) p.Text(x + boxWidth - 16 - Width(label.second), y + 3, label.second, kBlack);
      }
    }
    x += width;
  }
}

void PaintDialog(const Painter& p, const WindowObject& d) {
  const DialogResource* t = d.dialogTemplate;
  if (!t) return;
  // Dialog units of an 8-point "MS Sans Serif": 6 x 13 pixels a character.
  auto px = [](int32_t units) { return units * 6 / 4; };
  auto py = [](int32_t units) { return units * 13 / 8; };
  RECT origin{0, 0, 0, 0};
  if (d.owner && Live(d.owner)) origin = ClientRect(*d.owner);
  const int32_t clientLeft = origin.left + px(t->x) + kFrame;
  const int32_t clientTop = origin.top + py(t->y) + kFrame + kCaption;
  WindowObject frame = d;
  frame.rect = {clientLeft - kFrame, clientTop - kFrame - kCaption, clientLeft + px(t->cx) + kFrame,
                clientTop + py(t->cy) + kFrame};
  PaintFrame(p, frame);
  p.Fill(clientLeft, clientTop - 1, frame.rect.right - kFrame, frame.rect.bottom - kFrame, kFace);
  for (uint32_t i = 0; i < t->count; ++i) {
    const DialogItemTemplate& item = t->items[i];
    const int32_t left = clientLeft + px(item.x), top = clientTop + py(item.y);
    const int32_t right = left + px(item.cx), bottom = top + py(item.cy);
    const std::string text = item.text ? item.text : "";
    if (std::strcmp(item.windowClass, "BUTTON") == 0) {
      const bool isDefault = (item.style & 0xF) == BS_DEFPUSHBUTTON;
      p.Fill(left, top, right, bottom, kBlack);
      const int32_t inset = isDefault ? 2 : 1;
      p.Raised(left + inset, top + inset, right - inset, bottom - inset);
      p.Text((left + right - Width(text)) / 2, (top + bottom - plat::font::CellHeight()) / 2, text,
             kBlack);
    } else if ((item.style & 0xF) == SS_ICON) {
      if (d.icon) p.Icon(left, top, *d.icon);
    } else {
      const int32_t x = (item.style & 0xF) == SS_CENTER ? (left + right - Width(text)) / 2 : left;
      p.Text(x, top, text, kBlack);
    }
  }
}

}  // namespace

namespace headless::detail {

void PaintScreen() {
  const Canvas canvas = GdiCanvas();
  if (!canvas.pixels) return;
  const Painter p{canvas, canvas.bytesPerPixel * 8};
  for (auto& w : State().windows) {
    if (!w->alive || !w->visible || w->dialog || (w->style & WS_CHILD)) continue;
    if ((w->style & WS_CAPTION) == WS_CAPTION) PaintFrame(p, *w);
    PaintMenuBar(p, *w);
  }
  for (HWND d : State().dialogs)
    if (Live(d)) PaintDialog(p, *d);
}

}  // namespace headless::detail
