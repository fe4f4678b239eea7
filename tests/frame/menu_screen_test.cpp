// What the user sees of the menus over the paused picture: a pop-up that
// closes, or gives way to another, leaves the screen under it as it was,
// whether the menu was opened with the mouse or the keyboard.
#include <cstring>

#include "app/frame_view.h"
#include "frame_fixture.h"
#include "platform/core/menu_layout.h"
#include "platform/dinput.h"
#include "platform/font.h"

namespace frame_test {
namespace {

using namespace plat;

class MenuScreen : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    // A picture that differs at every pixel nearby, so that only the exact
    // bytes put back can match it.
    app.onRender = [this] {
      auto* p = static_cast<uint8_t*>(app.frameBuffer);
      if (!p) return;
      const size_t bytes = static_cast<size_t>(screenWidth) * static_cast<size_t>(screenHeight) *
                           static_cast<size_t>(currentMode.bitsPerPixel / 8);
      for (size_t i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(i * 7 + i / 997);
    };
  }

  // The client area of the main window, the menu bar above it.
  static RECT Client() {
    RECT r{};
    EXPECT_TRUE(GetWindowRect(mainWindow, &r));
    const int32_t fx = GetSystemMetrics(SM_CXFIXEDFRAME), fy = GetSystemMetrics(SM_CYFIXEDFRAME);
    return {r.left + fx, r.top + fy + GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYMENU),
            r.right - fx, r.bottom - fy};
  }
  static std::vector<RECT> Titles() {
    const RECT c = Client();
    HMENU bar = GetMenu(mainWindow);
    std::vector<int32_t> widths;
    for (int32_t i = 0; i < GetMenuItemCount(bar); ++i) {
      char text[64] = {};
      GetMenuStringA(bar, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
      const std::string label = core::ParseMenuText(text).label;
      widths.push_back(font::TextWidth(label.data(), label.size()));
    }
    return core::LayoutBar({c.left, c.top - GetSystemMetrics(SM_CYMENU), c.right, c.top}, widths);
  }
  static POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
  // Where pop-up `index` of the bar lies on the screen.
  static RECT PopupBox(int32_t index) {
    HMENU popup = GetSubMenu(GetMenu(mainWindow), index);
    std::vector<core::ItemWidths> widths;
    for (int32_t i = 0; i < GetMenuItemCount(popup); ++i) {
      char text[64] = {};
      GetMenuStringA(popup, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
      const core::MenuText t = core::ParseMenuText(text);
      widths.push_back({font::TextWidth(t.label.data(), t.label.size()),
                        font::TextWidth(t.shortcut.data(), t.shortcut.size())});
    }
    const RECT title = Titles()[static_cast<size_t>(index)];
    return core::LayoutPopup(title.left, title.bottom, GetSystemMetrics(SM_CXSCREEN),
                             GetSystemMetrics(SM_CYSCREEN), widths, 0)
        .box;
  }

  // Pixels below the menu bar that differ between two screens, leaving out
  // those inside `skip` (or only those, with inside).
  static int Differences(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                         const RECT& skip = {}, bool inside = false) {
    const headless::Mode m = headless::CurrentMode();
    const auto bpp = static_cast<size_t>(m.bitsPerPixel / 8);
    const auto width = static_cast<int32_t>(m.width), height = static_cast<int32_t>(m.height);
    EXPECT_EQ(a.size(), static_cast<size_t>(width) * static_cast<size_t>(height) * bpp);
    EXPECT_EQ(a.size(), b.size());
    if (a.size() != b.size()) return -1;
    int n = 0;
    for (int32_t y = std::max<int32_t>(Client().top, 0); y < height; ++y)
      for (int32_t x = 0; x < width; ++x) {
        if (core::Inside(skip, {x, y}) != inside) continue;
        const size_t at =
            (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * bpp;
        n += std::memcmp(&a[at], &b[at], bpp) != 0;
      }
    return n;
  }
  static void ClickAt(POINT p) {
    core::MouseButton(p.x, p.y, true);
    core::MouseButton(p.x, p.y, false);
  }
  static core::MenuState Menu() {
    core::MenuState s;
    EXPECT_TRUE(core::OpenMenuState(&s));
    return s;
  }
  // Draws a few frames, pauses with a click and keeps what the paused
  // screen shows.
  void PauseAndKeep(std::vector<uint8_t>* before) {
    headless::AddStep(3, [] { headless::Click(100, 200); });
    headless::AddStep(0, [before] {
      ASSERT_EQ(paused, 1);
      ASSERT_TRUE(headless::ShowingGdiSurface());
      *before = headless::FrontPixels();
    });
  }
  void Quit() {
    headless::AddStep(0, [] { PostQuitMessage(0); });
    EXPECT_EQ(Run(), 1);
    EXPECT_FALSE(headless::Stalled());
    EXPECT_EQ(headless::PendingSteps(), 0u);
  }
};

TEST_F(MenuScreen, EscapeClosesAPopupOpenedWithTheMouseAndPutsBackWhatItCovered) {
  std::vector<uint8_t> before;
  PauseAndKeep(&before);
  headless::AddStep(0, [] { ClickAt(Centre(Titles()[1])); });
  headless::AddStep(0, [&] {
    const core::MenuState s = Menu();
    EXPECT_EQ(s.barItem, 1);
    EXPECT_TRUE(s.popupOpen);
    // The "&Options" pop-up is drawn, and nothing else.
    EXPECT_GT(Differences(before, headless::FrontPixels(), PopupBox(1), true), 0);
    EXPECT_EQ(Differences(before, headless::FrontPixels(), PopupBox(1)), 0);
    headless::KeyPress(DIK_ESCAPE);
  });
  headless::AddStep(0, [&] {
    // Still in the menu, its pop-up closed and gone from the screen.
    const core::MenuState s = Menu();
    EXPECT_EQ(s.barItem, 1);
    EXPECT_FALSE(s.popupOpen);
    EXPECT_EQ(Differences(before, headless::FrontPixels()), 0);
    headless::KeyPress(DIK_ESCAPE);
  });
  headless::AddStep(0, [] { EXPECT_FALSE(headless::MenuOpen()); });
  Quit();
  EXPECT_TRUE(app.commands.empty());
}

TEST_F(MenuScreen, SlidingToAnotherTitlePutsBackWhatThePreviousPopupCovered) {
  std::vector<uint8_t> before;
  PauseAndKeep(&before);
  headless::AddStep(0, [] { ClickAt(Centre(Titles()[2])); });
  headless::AddStep(0, [&] {
    EXPECT_EQ(Menu().barItem, 2);
    EXPECT_GT(Differences(before, headless::FrontPixels(), PopupBox(2), true), 0);
    const POINT cube = Centre(Titles()[0]);
    core::MouseMove(cube.x, cube.y);
  });
  headless::AddStep(0, [&] {
    const core::MenuState s = Menu();
    EXPECT_EQ(s.barItem, 0);
    EXPECT_TRUE(s.popupOpen);
    // The "Modes" list is gone; only the "&Cube" pop-up is on the picture.
    EXPECT_EQ(Differences(before, headless::FrontPixels(), PopupBox(0)), 0);
    EXPECT_GT(Differences(before, headless::FrontPixels(), PopupBox(0), true), 0);
    const POINT options = Centre(Titles()[1]);
    core::MouseMove(options.x, options.y);
  });
  headless::AddStep(0, [&] {
    EXPECT_EQ(Menu().barItem, 1);
    EXPECT_EQ(Differences(before, headless::FrontPixels(), PopupBox(1)), 0);
    headless::KeyPress(DIK_ESCAPE);
  });
  headless::AddStep(0, [&] {
    EXPECT_EQ(Differences(before, headless::FrontPixels()), 0);
    headless::KeyPress(DIK_ESCAPE);
  });
  Quit();
  EXPECT_TRUE(app.commands.empty());
}

TEST_F(MenuScreen, PopupsOpenedWithTheKeyboardPutBackWhatTheyCovered) {
  std::vector<uint8_t> before;
  PauseAndKeep(&before);
  headless::AddStep(0, [] { headless::KeyPress(DIK_F10); });
  headless::AddStep(0, [] {
    headless::KeyPress(DIK_RIGHT);
    headless::KeyPress(DIK_RIGHT);
    headless::KeyPress(DIK_DOWN);
  });
  headless::AddStep(0, [&] {
    EXPECT_EQ(Menu().barItem, 2);
    EXPECT_EQ(Differences(before, headless::FrontPixels(), PopupBox(2)), 0);
    headless::KeyPress(DIK_LEFT);
  });
  headless::AddStep(0, [&] {
    EXPECT_EQ(Menu().barItem, 1);
    EXPECT_EQ(Differences(before, headless::FrontPixels(), PopupBox(1)), 0);
    headless::KeyPress(DIK_ESCAPE);
  });
  headless::AddStep(0, [&] {
    EXPECT_FALSE(Menu().popupOpen);
    EXPECT_EQ(Differences(before, headless::FrontPixels()), 0);
    // Alt with a mnemonic opens a pop-up straight away.
    headless::KeyPress(DIK_ESCAPE);
    headless::KeyDown(DIK_LMENU);
    headless::KeyPress(DIK_C);
    headless::KeyUp(DIK_LMENU);
  });
  headless::AddStep(0, [&] {
    const core::MenuState s = Menu();
    EXPECT_EQ(s.barItem, 0);
    EXPECT_TRUE(s.popupOpen);
    EXPECT_EQ(Differences(before, headless::FrontPixels(), PopupBox(0)), 0);
    headless::KeyPress(DIK_ESCAPE);
  });
  headless::AddStep(0, [&] {
    EXPECT_EQ(Differences(before, headless::FrontPixels()), 0);
    headless::KeyPress(DIK_ESCAPE);
  });
  Quit();
}

TEST_F(MenuScreen, AScrolledLongPopupPutsBackWhatItCovered) {
  // On 320 x 200 the "Modes" list fits neither in one column nor in several.
  headless::AddStep(2, [&] { ASSERT_EQ(app.SetMode(320, 200, 16), 1); });
  std::vector<uint8_t> before;
  PauseAndKeep(&before);
  headless::AddStep(0, [] { ClickAt(Centre(Titles()[2])); });
  headless::AddStep(0, [&] {
    EXPECT_EQ(Menu().barItem, 2);
    const POINT p = Centre(PopupBox(2));
    core::MouseWheel(p.x, p.y, -3);
  });
  headless::AddStep(0, [&] {
    EXPECT_GT(Menu().firstShown, 0);
    EXPECT_EQ(Differences(before, headless::FrontPixels(), PopupBox(2)), 0);
    const POINT options = Centre(Titles()[1]);
    core::MouseMove(options.x, options.y);
  });
  headless::AddStep(0, [&] {
    EXPECT_EQ(Menu().barItem, 1);
    EXPECT_EQ(Differences(before, headless::FrontPixels(), PopupBox(1)), 0);
    headless::KeyPress(DIK_ESCAPE);
  });
  headless::AddStep(0, [&] {
    EXPECT_EQ(Differences(before, headless::FrontPixels()), 0);
    headless::KeyPress(DIK_ESCAPE);
  });
  Quit();
}

}  // namespace
}  // namespace frame_test
