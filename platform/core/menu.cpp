// Menus: the menu objects and their items as USER32 keeps them, built from
// the program's resources or item by item, and where a window's menu bar and
// its pop-ups lie on the screen. Menu mode itself is menu_loop.cpp's.
#include <algorithm>
#include <cstring>

#include "platform/core/internal.h"
#include "platform/core/menu_layout.h"
#include "platform/font.h"

namespace {

using namespace plat;
using namespace plat::core::detail;

HMENU NewMenu(bool bar) {
  auto menu = std::make_unique<MenuObject>();
  menu->bar = bar;
  HMENU h = menu.get();
  Windows().menus.push_back(std::move(menu));
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

}  // namespace

namespace plat::core::detail {

MenuObject* PopupOf(const WindowObject& w, int32_t barItem) {
  MenuObject* bar = LiveMenu(w.menu);
  if (!bar || barItem < 0 || static_cast<size_t>(barItem) >= bar->items.size()) return nullptr;
  const MenuItem& item = bar->items[static_cast<size_t>(barItem)];
  return item.state & MF_POPUP ? LiveMenu(item.popup) : nullptr;
}

std::vector<RECT> BarLayoutOf(const WindowObject& w) {
  MenuObject* bar = LiveMenu(w.menu);
  if (!bar) return {};
  const RECT c = ClientRect(w);
  std::vector<int32_t> widths;
  for (const MenuItem& item : bar->items)
    widths.push_back(font::TextWidth(core::ParseMenuText(item.text).label));
  return core::LayoutBar({c.left, c.top - kMenuBar, c.right, c.top}, widths);
}

core::PopupLayout PopupLayoutOf(const WindowObject& w, int32_t barItem, int32_t first) {
  MenuObject* popup = PopupOf(w, barItem);
  const std::vector<RECT> titles = BarLayoutOf(w);
  if (!popup || barItem < 0 || static_cast<size_t>(barItem) >= titles.size()) return {};
  std::vector<core::ItemWidths> widths;
  for (const MenuItem& item : popup->items) {
    const core::MenuText text = core::ParseMenuText(item.text);
    widths.push_back({font::TextWidth(text.label), font::TextWidth(text.shortcut)});
  }
  const core::Mode screen = ScreenMode();
  const RECT& title = titles[static_cast<size_t>(barItem)];
  return core::LayoutPopup(title.left, title.bottom, static_cast<int32_t>(screen.width),
                           static_cast<int32_t>(screen.height), widths, first);
}

int32_t BarItemAt(const WindowObject& w, POINT pt) { return core::ItemAtPoint(BarLayoutOf(w), pt); }

}  // namespace plat::core::detail

namespace plat {

HMENU LoadMenuA(HINSTANCE instance, const char* name) {
  if (!ModuleInstance(instance)) return nullptr;
  const ResourceModule& r = Resources();
  const MenuResource* menu = FindNamedResource(r.menus, r.menuCount, name);
  return menu ? BuildMenu(menu->items, menu->count, true) : nullptr;
}

HMENU GetMenu(HWND window) { return Live(window) ? LiveMenu(window->menu) : nullptr; }

HMENU GetSubMenu(HMENU menu, int32_t position) {
  MenuItem* item = position < 0 ? nullptr : FindItem(menu, static_cast<UINT>(position), true);
  return item && (item->state & MF_POPUP) ? LiveMenu(item->popup) : nullptr;
}

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
  PaintScreen();
  return 1;
}

}  // namespace plat
