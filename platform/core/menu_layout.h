// Where menus put things: item texts with their mnemonics, the menu bar, and
// pop-ups that fit the screen (in columns, or scrolling when even columns do
// not fit). Pure arithmetic on text widths, shared by painting and hit tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"
#include "platform/winuser.h"

namespace plat::core {

constexpr int32_t kMenuItemHeight = 18;
constexpr int32_t kPopupBorder = 2;
constexpr int32_t kScrollArrowHeight = 12;
constexpr int32_t kBarItemPadding = 6;  // each side of a bar title
constexpr int32_t kPopupTextLeft = 20;  // check mark column before the text
constexpr int32_t kPopupTextRight = 16;
constexpr int32_t kShortcutGap = 24;

// A menu item's text: '&' underlines the next character ("&&" is one '&'),
// a tab puts the rest (an accelerator's name) at the right.
struct MenuText {
  std::string label;      // without the marks, up to the tab
  std::string shortcut;   // after the tab
  int32_t mnemonic = -1;  // index into label of the underlined character
};
MenuText ParseMenuText(const std::string& text);
// The mnemonic as a lower-case character, 0 for none.
char MnemonicKey(const MenuText& text);

// The underline of the mnemonic, in pixels from the label's left edge: the
// advance of its character, one row under the baseline.
struct Underline {
  bool present = false;
  int32_t left = 0;
  int32_t right = 0;
  int32_t row = 0;  // from the top of the text's cell
};
// advanceOf gives each character's advance; ascent is the font's.
template <typename Advance>
Underline MnemonicUnderline(const MenuText& text, Advance advanceOf, int32_t ascent) {
  Underline u;
  if (text.mnemonic < 0 || static_cast<size_t>(text.mnemonic) >= text.label.size()) return u;
  int32_t x = 0;
  for (int32_t i = 0; i < text.mnemonic; ++i) x += advanceOf(text.label[static_cast<size_t>(i)]);
  const int32_t width = advanceOf(text.label[static_cast<size_t>(text.mnemonic)]);
  u.present = width > 0;
  u.left = x;
  // The advance includes the gap to the next letter.
  u.right = x + (width > 1 ? width - 1 : width);
  u.row = ascent + 1;
  return u;
}

// The menu bar: each title's rectangle, side by side from the left.
std::vector<RECT> LayoutBar(const RECT& bar, const std::vector<int32_t>& titleWidths);
int32_t ItemAtPoint(const std::vector<RECT>& items, POINT pt);

// One pop-up item's text widths.
struct ItemWidths {
  int32_t label = 0;
  int32_t shortcut = 0;
};

struct PopupLayout {
  RECT box{};  // the pop-up with its border
  int32_t columns = 1;
  int32_t perColumn = 0;  // items a column holds
  int32_t columnWidth = 0;
  bool scrolls = false;  // one column with arrows above and below
  int32_t first = 0;     // first item shown
  int32_t shown = 0;     // items shown
  RECT up{};             // the arrows of a scrolling pop-up
  RECT down{};
  std::vector<RECT> items;  // one per item; empty when not shown
};

// A pop-up whose top-left corner wants to be at (left, top) on a screen of
// the given size. As many rows as fit below `top`; more items go into further
// columns when those fit the width, else the pop-up scrolls, showing items
// from `first` on. It moves left to stay on the screen.
PopupLayout LayoutPopup(int32_t left, int32_t top, int32_t screenWidth, int32_t screenHeight,
                        const std::vector<ItemWidths>& items, int32_t first);
// The `first` that shows item `item` with the least movement from layout's.
int32_t ScrollToShow(const PopupLayout& layout, int32_t item);
// Item under a point, -1 for none (arrows and border included).
int32_t PopupItemAt(const PopupLayout& layout, POINT pt);
bool Inside(const RECT& r, POINT pt);

}  // namespace plat::core
