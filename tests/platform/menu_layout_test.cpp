// Menu texts, mnemonic underlines and where menus put their items.
#include "platform/core/menu_layout.h"

#include <gtest/gtest.h>

#include "platform/font.h"

namespace {

using namespace plat;
using namespace plat::core;

TEST(MenuText, MarksTheMnemonicAndSplitsAtTheTab) {
  const MenuText options = ParseMenuText("&Options");
  EXPECT_EQ(options.label, "Options");
  EXPECT_EQ(options.mnemonic, 0);
  EXPECT_EQ(MnemonicKey(options), 'o');

  const MenuText exit = ParseMenuText("E&xit\tF12");
  EXPECT_EQ(exit.label, "Exit");
  EXPECT_EQ(exit.shortcut, "F12");
  EXPECT_EQ(exit.mnemonic, 1);
  EXPECT_EQ(MnemonicKey(exit), 'x');

  // "&&" is one ampersand and no mnemonic; a later single '&' still marks one.
  const MenuText both = ParseMenuText("Fish && &Chips");
  EXPECT_EQ(both.label, "Fish & Chips");
  EXPECT_EQ(both.mnemonic, 7);

  const MenuText plain = ParseMenuText("Modes");
  EXPECT_EQ(plain.mnemonic, -1);
  EXPECT_EQ(MnemonicKey(plain), 0);
  // A trailing '&' marks nothing and is kept.
  EXPECT_EQ(ParseMenuText("A&").label, "A&");
  EXPECT_EQ(ParseMenuText("A&").mnemonic, -1);
  // A mark in the shortcut part is no mnemonic of the label.
  EXPECT_EQ(ParseMenuText("About\t&F1").mnemonic, -1);
}

TEST(MnemonicUnderline, LiesUnderItsCharacterOneRowBelowTheBaseline) {
  // Every character 7 pixels wide, 'i' 3.
  auto advance = [](char c) { return c == 'i' ? 3 : 7; };
  const Underline x = MnemonicUnderline(ParseMenuText("E&xit"), advance, 10);
  ASSERT_TRUE(x.present);
  EXPECT_EQ(x.left, 7);
  EXPECT_EQ(x.right, 13);
  EXPECT_EQ(x.row, 11);
  const Underline t = MnemonicUnderline(ParseMenuText("Exi&t"), advance, 10);
  EXPECT_EQ(t.left, 7 + 7 + 3);
  EXPECT_FALSE(MnemonicUnderline(ParseMenuText("Modes"), advance, 10).present);
}

TEST(MnemonicUnderline, FollowsTheRealFontsAdvances) {
  auto advance = [](char c) { return font::TextWidth(&c, 1); };
  const Underline p =
      MnemonicUnderline(ParseMenuText("&Phong shading\t4"), advance, font::Ascent());
  EXPECT_EQ(p.left, 0);
  EXPECT_EQ(p.right, font::TextWidth("P", 1) - 1);
  EXPECT_LT(p.row, font::CellHeight());
  const Underline x = MnemonicUnderline(ParseMenuText("E&xit\tF12"), advance, font::Ascent());
  EXPECT_EQ(x.left, font::TextWidth("E", 1));
  EXPECT_GT(x.right, x.left);
}

TEST(MenuBar, TitlesSitSideBySideWithTheirPadding) {
  const std::vector<RECT> titles = LayoutBar({3, 22, 637, 41}, {30, 45, 36});
  ASSERT_EQ(titles.size(), 3u);
  EXPECT_EQ(titles[0].left, 3 + kBarItemPadding);
  EXPECT_EQ(titles[0].right, titles[1].left);
  EXPECT_EQ(titles[1].right - titles[1].left, 45 + 2 * kBarItemPadding);
  EXPECT_EQ(titles[2].top, 22);
  EXPECT_EQ(titles[2].bottom, 41);
  EXPECT_EQ(ItemAtPoint(titles, {titles[1].left, 30}), 1);
  EXPECT_EQ(ItemAtPoint(titles, {titles[2].right, 30}), -1);
  EXPECT_EQ(ItemAtPoint(titles, {titles[0].left + 2, 41}), -1);
}

std::vector<ItemWidths> Items(int count) { return std::vector<ItemWidths>(count, {70, 0}); }

TEST(PopupLayout, AShortPopupIsOneColumnUnderItsTitle) {
  const PopupLayout l = LayoutPopup(50, 38, 640, 480, {{80, 8}, {60, 20}}, 0);
  EXPECT_EQ(l.columns, 1);
  EXPECT_FALSE(l.scrolls);
  EXPECT_EQ(l.box.left, 50);
  EXPECT_EQ(l.box.top, 38);
  EXPECT_EQ(l.box.bottom, 38 + 2 * kPopupBorder + 2 * kMenuItemHeight);
  // Wide enough for the longest label and the longest shortcut.
  EXPECT_EQ(l.columnWidth, kPopupTextLeft + 80 + kShortcutGap + 20 + kPopupTextRight);
  EXPECT_EQ(l.items[1].top, l.items[0].bottom);
  EXPECT_EQ(PopupItemAt(l, {60, l.items[1].top}), 1);
  EXPECT_EQ(PopupItemAt(l, {60, l.box.bottom}), -1);
}

TEST(PopupLayout, ALongListGoesIntoColumnsOnA640By480Screen) {
  const PopupLayout l = LayoutPopup(120, 38, 640, 480, Items(36), 0);
  EXPECT_FALSE(l.scrolls);
  EXPECT_EQ(l.perColumn, (480 - 38 - 2 * kPopupBorder) / kMenuItemHeight);
  EXPECT_EQ(l.columns, 2);
  EXPECT_LE(l.box.bottom, 480);
  EXPECT_LE(l.box.right, 640);
  // Every item can be reached, the first of the second column beside the first.
  for (size_t k = 0; k < 36; ++k) EXPECT_GT(l.items[k].right, l.items[k].left) << k;
  const auto second = static_cast<size_t>(l.perColumn);
  EXPECT_EQ(l.items[second].top, l.items[0].top);
  EXPECT_EQ(l.items[second].left, l.items[0].right);
  EXPECT_EQ(PopupItemAt(l, {l.items[35].left + 1, l.items[35].top + 1}), 35);
}

TEST(PopupLayout, MovesLeftToStayOnTheScreen) {
  const PopupLayout l = LayoutPopup(600, 38, 640, 480, Items(3), 0);
  EXPECT_EQ(l.box.right, 640);
  EXPECT_LT(l.box.left, 600);
}

TEST(PopupLayout, ScrollsWhenColumnsDoNotFitEither) {
  // 320 x 200: eight rows, and two columns of this width are too wide.
  const PopupLayout l = LayoutPopup(100, 38, 320, 200, std::vector<ItemWidths>(36, {120, 0}), 0);
  ASSERT_TRUE(l.scrolls);
  EXPECT_EQ(l.columns, 1);
  EXPECT_LE(l.box.bottom, 200);
  EXPECT_GE(l.shown, 1);
  EXPECT_EQ(l.first, 0);
  EXPECT_GT(l.items[0].right, l.items[0].left);
  const auto hidden = static_cast<size_t>(l.shown);
  EXPECT_EQ(l.items[hidden].right, l.items[hidden].left);  // below the arrow
  EXPECT_EQ(l.up.bottom, l.items[0].top);
  EXPECT_EQ(l.down.top, l.items[hidden - 1].bottom);

  // The last item shown at the bottom; scrolling cannot go past the end.
  const int32_t first = ScrollToShow(l, 35);
  EXPECT_EQ(first, 36 - l.shown);
  const PopupLayout end =
      LayoutPopup(100, 38, 320, 200, std::vector<ItemWidths>(36, {120, 0}), 100);
  EXPECT_EQ(end.first, 36 - end.shown);
  EXPECT_EQ(PopupItemAt(end, {end.items[35].left + 1, end.items[35].top + 1}), 35);
  EXPECT_EQ(PopupItemAt(end, {end.up.left + 1, end.up.top + 1}), -1);
  EXPECT_EQ(ScrollToShow(end, 0), 0);
  EXPECT_EQ(ScrollToShow(end, 35), end.first);
}

TEST(PopupLayout, SurvivesAScreenTooSmallForAnyRow) {
  const PopupLayout l = LayoutPopup(0, 38, 100, 40, Items(5), 0);
  EXPECT_GE(l.perColumn, 1);
  EXPECT_GE(l.shown, 1);
  const PopupLayout none = LayoutPopup(0, 38, 640, 480, {}, 0);
  EXPECT_TRUE(none.items.empty());
  EXPECT_EQ(PopupItemAt(none, {5, 45}), -1);
}

}  // namespace
