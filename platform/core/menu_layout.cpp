#include "platform/core/menu_layout.h"

#include <algorithm>
#include <cctype>

namespace plat::core {

MenuText ParseMenuText(const std::string& text) {
  MenuText out;
  std::string plain;
  int32_t mnemonic = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) {
      ++i;
      // "&&" is a literal ampersand; the first single '&' marks the mnemonic.
      if (text[i] != '&' && mnemonic < 0) mnemonic = static_cast<int32_t>(plain.size());
    }
    plain += text[i];
  }
  const size_t tab = plain.find('\t');
  out.label = plain.substr(0, tab);
  if (tab != std::string::npos) out.shortcut = plain.substr(tab + 1);
  if (mnemonic >= 0 && static_cast<size_t>(mnemonic) < out.label.size()) out.mnemonic = mnemonic;
  return out;
}

char MnemonicKey(const MenuText& text) {
  if (text.mnemonic < 0) return 0;
  const auto c = static_cast<unsigned char>(text.label[static_cast<size_t>(text.mnemonic)]);
  return static_cast<char>(std::tolower(c));
}

bool Inside(const RECT& r, POINT pt) {
  return pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom;
}

std::vector<RECT> LayoutBar(const RECT& bar, const std::vector<int32_t>& titleWidths) {
  std::vector<RECT> items;
  int32_t x = bar.left + kBarItemPadding;
  for (int32_t width : titleWidths) {
    const int32_t w = std::max(width, 0) + 2 * kBarItemPadding;
    items.push_back({x, bar.top, x + w, bar.bottom});
    x += w;
  }
  return items;
}

int32_t ItemAtPoint(const std::vector<RECT>& items, POINT pt) {
  for (size_t i = 0; i < items.size(); ++i)
    if (Inside(items[i], pt)) return static_cast<int32_t>(i);
  return -1;
}

PopupLayout LayoutPopup(int32_t left, int32_t top, int32_t screenWidth, int32_t screenHeight,
                        const std::vector<ItemWidths>& items, int32_t first) {
  PopupLayout l;
  const auto count = static_cast<int32_t>(items.size());
  int32_t label = 0, shortcut = 0;
  for (const ItemWidths& w : items) {
    label = std::max(label, w.label);
    shortcut = std::max(shortcut, w.shortcut);
  }
  l.columnWidth =
      kPopupTextLeft + label + (shortcut ? kShortcutGap + shortcut : 0) + kPopupTextRight;
  const int32_t room = std::max(screenHeight - top - 2 * kPopupBorder, kMenuItemHeight);
  l.perColumn = std::max(room / kMenuItemHeight, 1);
  l.items.assign(items.size(), RECT{0, 0, 0, 0});
  if (count <= l.perColumn) {
    l.perColumn = std::max(count, 1);
  } else {
    l.columns = (count + l.perColumn - 1) / l.perColumn;
    if (l.columns * l.columnWidth + 2 * kPopupBorder > screenWidth) {
      l.columns = 1;
      l.scrolls = true;
    }
  }
  const int32_t width = l.columns * l.columnWidth + 2 * kPopupBorder;
  int32_t height = 0;
  if (l.scrolls) {
    l.shown = std::max((room - 2 * kScrollArrowHeight) / kMenuItemHeight, 1);
    l.first = std::clamp(first, 0, std::max(count - l.shown, 0));
    height = 2 * kPopupBorder + 2 * kScrollArrowHeight + l.shown * kMenuItemHeight;
  } else {
    l.shown = count;
    height = 2 * kPopupBorder + l.perColumn * kMenuItemHeight;
  }
  // Keep it on the screen where it can be.
  if (left + width > screenWidth) left = screenWidth - width;
  left = std::max(left, 0);
  l.box = {left, top, left + width, top + height};
  const int32_t inner = left + kPopupBorder;
  if (l.scrolls) {
    l.up = {inner, top + kPopupBorder, inner + l.columnWidth,
            top + kPopupBorder + kScrollArrowHeight};
    const int32_t itemsTop = l.up.bottom;
    for (int32_t k = 0; k < l.shown && l.first + k < count; ++k) {
      const int32_t y = itemsTop + k * kMenuItemHeight;
      l.items[static_cast<size_t>(l.first + k)] = {inner, y, inner + l.columnWidth,
                                                   y + kMenuItemHeight};
    }
    const int32_t bottom = itemsTop + l.shown * kMenuItemHeight;
    l.down = {inner, bottom, inner + l.columnWidth, bottom + kScrollArrowHeight};
  } else {
    for (int32_t k = 0; k < count; ++k) {
      const int32_t x = inner + (k / l.perColumn) * l.columnWidth;
      const int32_t y = top + kPopupBorder + (k % l.perColumn) * kMenuItemHeight;
      l.items[static_cast<size_t>(k)] = {x, y, x + l.columnWidth, y + kMenuItemHeight};
    }
  }
  return l;
}

int32_t ScrollToShow(const PopupLayout& layout, int32_t item) {
  if (!layout.scrolls || item < 0) return layout.first;
  if (item < layout.first) return item;
  if (item >= layout.first + layout.shown) return item - layout.shown + 1;
  return layout.first;
}

int32_t PopupItemAt(const PopupLayout& layout, POINT pt) {
  if (!Inside(layout.box, pt)) return -1;
  for (size_t k = 0; k < layout.items.size(); ++k) {
    const RECT& r = layout.items[k];
    if (r.right > r.left && Inside(r, pt)) return static_cast<int32_t>(k);
  }
  return -1;
}

}  // namespace plat::core
