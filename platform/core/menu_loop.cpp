// Menu mode: the loop Windows runs while a menu is open, driven by the mouse,
// by the keyboard (arrows, Enter, Escape, mnemonics) or by the scripted user,
// and ended by a choice, a click elsewhere or Escape.
#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/core/internal.h"
#include "platform/core/menu_layout.h"

namespace {

using namespace plat;
using namespace plat::core::detail;

bool Selectable(const MenuItem& item) {
  return !(item.state & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED));
}

// The next selectable item from `from` in direction step, wrapping; -1 when
// there is none.
int32_t NextSelectable(const MenuObject& popup, int32_t from, int32_t step) {
  const auto count = static_cast<int32_t>(popup.items.size());
  if (count == 0) return -1;
  int32_t k = from;
  for (int32_t tries = 0; tries < count; ++tries) {
    k = ((k + step) % count + count) % count;
    if (Selectable(popup.items[static_cast<size_t>(k)])) return k;
  }
  return -1;
}

int32_t BarItemByMnemonic(const MenuObject& bar, char key) {
  for (size_t i = 0; i < bar.items.size(); ++i)
    if (core::MnemonicKey(core::ParseMenuText(bar.items[i].text)) == key)
      return static_cast<int32_t>(i);
  return -1;
}

// A letter or digit key as the character mnemonics are compared with.
char KeyCharacter(WPARAM vk) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<char>(std::tolower(static_cast<int>(vk)));
  if (vk >= '0' && vk <= '9') return static_cast<char>(vk);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return static_cast<char>('0' + (vk - VK_NUMPAD0));
  return 0;
}

class MenuMode {
 public:
  explicit MenuMode(MenuTrack& t) : t_(t) {}

  // True when the message was menu input and is used up.
  bool Handle(const MSG& m) {
    switch (m.message) {
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN: Key(m.wParam); return true;
      case WM_KEYUP:
      case WM_SYSKEYUP:
      case WM_CHAR:
      case WM_SYSCHAR: return true;
      case WM_LBUTTONDOWN:
      case WM_NCLBUTTONDOWN: Press(m.pt); return true;
      case WM_LBUTTONUP:
      case WM_NCLBUTTONUP: Release(m.pt); return true;
      case WM_MOUSEMOVE:
      case WM_NCMOUSEMOVE: Move(m.pt); return true;
      case WM_MOUSEWHEEL: {
        const auto delta = static_cast<int16_t>(HighWord(m.wParam));
        Scroll(-delta / WHEEL_DELTA * 3);
        return true;
      }
      default: return false;
    }
  }

 private:
  MenuObject* Bar() const { return LiveMenu(t_.window->menu); }
  MenuObject* Popup() const { return t_.popupOpen ? PopupOf(*t_.window, t_.bar) : nullptr; }

  void Changed() {
    if (MenuObject* p = Popup(); p && t_.item >= 0)
      t_.first = core::ScrollToShow(PopupLayoutOf(*t_.window, t_.bar, t_.first), t_.item);
    PaintScreen();
  }

  void Open(int32_t barItem, int32_t item) {
    t_.bar = barItem;
    t_.popupOpen = true;
    t_.item = item;
    t_.first = 0;
    MenuObject* bar = Bar();
    const MenuItem& title = bar->items[static_cast<size_t>(barItem)];
    if (title.state & MF_POPUP)
      SendMessageA(t_.window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(title.popup),
                   static_cast<LPARAM>(barItem));
    else
      t_.popupOpen = false;
  }

  void Choose(int32_t item) {
    t_.choice = item;
    t_.done = true;
  }

  void Key(WPARAM vk) {
    MenuObject* bar = Bar();
    if (!bar || bar->items.empty()) {
      t_.done = true;
      return;
    }
    const auto titles = static_cast<int32_t>(bar->items.size());
    MenuObject* popup = Popup();
    switch (vk) {
      case VK_LEFT:
      case VK_RIGHT: {
        const int32_t next = ((t_.bar + (vk == VK_RIGHT ? 1 : -1)) % titles + titles) % titles;
        if (t_.popupOpen) {
          Open(next, -1);
          if (MenuObject* p = Popup()) t_.item = NextSelectable(*p, -1, 1);
        } else {
          t_.bar = next;
        }
        break;
      }
      case VK_DOWN:
      case VK_UP:
      case VK_HOME:
      case VK_END: {
        const bool forward = vk == VK_DOWN || vk == VK_HOME;
        if (!popup) {
          Open(t_.bar, -1);
          popup = Popup();
          if (!popup) break;
          t_.item = NextSelectable(*popup, forward ? -1 : 0, forward ? 1 : -1);
        } else if (vk == VK_HOME || vk == VK_END) {
          t_.item = NextSelectable(*popup, vk == VK_HOME ? -1 : 0, vk == VK_HOME ? 1 : -1);
        } else {
          t_.item = NextSelectable(*popup, t_.item < 0 && !forward ? 0 : t_.item, forward ? 1 : -1);
        }
        break;
      }
      case VK_RETURN:
        if (!popup) {
          const MenuItem& title = bar->items[static_cast<size_t>(t_.bar)];
          if (!(title.state & MF_POPUP)) {
            Choose(-1);
            t_.barCommand = Selectable(title) ? title.id : 0;
            return;
          }
          Open(t_.bar, -1);
          if (MenuObject* p = Popup()) t_.item = NextSelectable(*p, -1, 1);
        } else if (t_.item >= 0 && Selectable(popup->items[static_cast<size_t>(t_.item)])) {
          Choose(t_.item);
          return;
        }
        break;
      case VK_ESCAPE:
        // The first Escape closes the pop-up, the next leaves menu mode.
        if (t_.popupOpen) {
          t_.popupOpen = false;
          t_.item = -1;
        } else {
          t_.done = true;
          return;
        }
        break;
      case VK_MENU:
      case VK_F10: t_.done = true; return;
      default: {
        const char c = KeyCharacter(vk);
        if (!c) return;
        if (!popup) {
          const int32_t i = BarItemByMnemonic(*bar, c);
          if (i < 0) return;
          Open(i, -1);
          if (MenuObject* p = Popup()) t_.item = NextSelectable(*p, -1, 1);
          break;
        }
        // One item with this mnemonic is chosen; several are gone through.
        std::vector<int32_t> matches;
        for (size_t k = 0; k < popup->items.size(); ++k)
          if (Selectable(popup->items[k]) &&
              core::MnemonicKey(core::ParseMenuText(popup->items[k].text)) == c)
            matches.push_back(static_cast<int32_t>(k));
        if (matches.empty()) return;
        if (matches.size() == 1) {
          Choose(matches[0]);
          return;
        }
        auto next = std::upper_bound(matches.begin(), matches.end(), t_.item);
        t_.item = next == matches.end() ? matches[0] : *next;
        break;
      }
    }
    Changed();
  }

  void Press(POINT pt) {
    const int32_t title = BarItemAt(*t_.window, pt);
    if (title >= 0) {
      // A click on the open pop-up's title closes the menu.
      if (title == t_.bar && t_.popupOpen) {
        t_.done = true;
        return;
      }
      Open(title, -1);
      if (!t_.popupOpen) {
        MenuObject* bar = Bar();
        const MenuItem& item = bar->items[static_cast<size_t>(title)];
        Choose(-1);
        t_.barCommand = Selectable(item) ? item.id : 0;
        return;
      }
      Changed();
      return;
    }
    if (t_.popupOpen) {
      const core::PopupLayout layout = PopupLayoutOf(*t_.window, t_.bar, t_.first);
      if (core::Inside(layout.box, pt)) {
        if (layout.scrolls && core::Inside(layout.up, pt))
          Scroll(-1);
        else if (layout.scrolls && core::Inside(layout.down, pt))
          Scroll(1);
        else if (const int32_t k = core::PopupItemAt(layout, pt); k >= 0)
          t_.item = k;
        Changed();
        return;
      }
    }
    // Anywhere else the click only closes the menu.
    t_.done = true;
  }

  void Release(POINT pt) {
    MenuObject* popup = Popup();
    if (!popup) return;
    const int32_t k = core::PopupItemAt(PopupLayoutOf(*t_.window, t_.bar, t_.first), pt);
    if (k >= 0 && Selectable(popup->items[static_cast<size_t>(k)])) Choose(k);
  }

  void Move(POINT pt) {
    const int32_t title = BarItemAt(*t_.window, pt);
    if (title >= 0 && title != t_.bar) {
      // Sliding along the bar opens the pop-up under the pointer.
      if (t_.popupOpen) {
        Open(title, -1);
        Changed();
      }
      return;
    }
    if (!t_.popupOpen) return;
    const core::PopupLayout layout = PopupLayoutOf(*t_.window, t_.bar, t_.first);
    const int32_t k = core::PopupItemAt(layout, pt);
    if (k >= 0 && k != t_.item) {
      t_.item = k;
      PaintScreen();
    }
  }

  void Scroll(int32_t rows) {
    if (!t_.popupOpen || rows == 0) return;
    const core::PopupLayout layout = PopupLayoutOf(*t_.window, t_.bar, t_.first);
    if (!layout.scrolls) return;
    const core::PopupLayout moved = PopupLayoutOf(*t_.window, t_.bar, t_.first + rows);
    if (moved.first == t_.first) return;
    t_.first = moved.first;
    PaintScreen();
  }

  MenuTrack& t_;
};

}  // namespace

namespace plat::core::detail {

void RunMenuLoop(HWND window, WPARAM command, LPARAM lParam) {
  WindowState& s = Windows();
  if (s.menuOpen) return;
  MenuObject* bar = LiveMenu(window->menu);
  MenuTrack t;
  t.window = window;
  if (!s.menuRequests.empty()) {
    const MenuRequest request = s.menuRequests.front();
    s.menuRequests.pop_front();
    if (!PopupOf(*window, request.popup)) return;
    t.bar = request.popup;
    t.popupOpen = true;
    if (request.kind == MenuRequest::kChoose) {
      t.choice = request.item;
      t.done = true;
    }
  } else if (!bar || bar->items.empty()) {
    return;
  } else if ((command & 0xFFF0) == SC_MOUSEMENU) {
    const POINT pt{static_cast<int16_t>(LowWord(static_cast<WPARAM>(lParam))),
                   static_cast<int16_t>(HighWord(static_cast<WPARAM>(lParam)))};
    t.bar = BarItemAt(*window, pt);
    if (t.bar < 0) return;
    t.popupOpen = PopupOf(*window, t.bar) != nullptr;
  } else {
    const auto key = static_cast<char>(std::tolower(static_cast<int>(lParam & 0xFF)));
    if (key == 0) {
      // Alt or F10 alone: the first title highlighted, nothing open.
      t.bar = 0;
    } else {
      t.bar = BarItemByMnemonic(*bar, key);
      if (t.bar < 0) return;
      t.popupOpen = PopupOf(*window, t.bar) != nullptr;
      if (MenuObject* p = PopupOf(*window, t.bar)) t.item = NextSelectable(*p, -1, 1);
    }
  }
  HMENU popupHandle = nullptr;
  if (MenuObject* p = PopupOf(*window, t.bar)) popupHandle = p;
  s.menuOpen = true;
  s.menu = t;
  Note("menu open " + std::to_string(t.bar));
  SendMessageA(window, WM_ENTERMENULOOP, 0, 0);
  SendMessageA(window, WM_INITMENU, reinterpret_cast<WPARAM>(window->menu), 0);
  if (t.popupOpen)
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popupHandle),
                 static_cast<LPARAM>(t.bar));
  PaintScreen();
  MenuMode mode(s.menu);
  RunModalLoop([&] { return s.menu.done || !Live(window); },
               [&](const MSG& m) { return Live(window) && mode.Handle(m); });
  UINT chosen = s.menu.barCommand;
  MenuObject* p = PopupOf(*window, s.menu.bar);
  if (p && s.menu.choice >= 0 && static_cast<size_t>(s.menu.choice) < p->items.size()) {
    const MenuItem& item = p->items[static_cast<size_t>(s.menu.choice)];
    if (!(item.state & (MF_POPUP | MF_SEPARATOR | MF_GRAYED | MF_DISABLED))) chosen = item.id;
  }
  s.menuOpen = false;
  s.menu = MenuTrack{};
  PaintScreen();
  Note("menu closed" + (chosen ? " with command " + std::to_string(chosen) : std::string()));
  if (Live(window)) {
    SendMessageA(window, WM_EXITMENULOOP, 0, 0);
    if (chosen) PostMessageA(window, WM_COMMAND, MakeWParam(chosen, 0), 0);
  }
}

}  // namespace plat::core::detail

namespace plat::core {

void OpenMenu(int32_t popup) {
  HWND focus = FocusWindow();
  if (!focus || Windows().menuOpen) return;
  Windows().menuRequests.push_back({MenuRequest::kOpen, popup, -1});
  PostMessageA(focus, WM_SYSCOMMAND, SC_MOUSEMENU, 0);
}

void ChooseMenuItem(int32_t popup, int32_t item) {
  WindowState& s = Windows();
  if (s.menuOpen) {
    if (popup != s.menu.bar || !s.menu.popupOpen) return;
    s.menu.choice = item;
    s.menu.done = true;
    return;
  }
  HWND focus = FocusWindow();
  if (!focus) return;
  s.menuRequests.push_back({MenuRequest::kChoose, popup, item});
  PostMessageA(focus, WM_SYSCOMMAND, SC_MOUSEMENU, 0);
}

void CloseMenu() {
  WindowState& s = Windows();
  if (!s.menuOpen) return;
  s.menu.choice = -1;
  s.menu.done = true;
}

bool MenuOpen() { return Windows().menuOpen; }

bool OpenMenuState(MenuState* state) {
  const WindowState& s = Windows();
  if (!s.menuOpen || !state) return false;
  state->barItem = s.menu.bar;
  state->popupOpen = s.menu.popupOpen;
  state->item = s.menu.item;
  state->firstShown = s.menu.first;
  return true;
}

}  // namespace plat::core
