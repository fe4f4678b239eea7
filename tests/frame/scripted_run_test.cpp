// The real frame and scene over the headless backend, driven through a whole
// session as a user would; the pictures go to <build>/frames/scripted.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/display.h"
#include "app/frame_view.h"
#include "app/window.h"
#include "platform/dinput.h"
#include "platform/headless/headless.h"
#include "platform/winuser.h"
#include "res/resources.h"
#include "scene/cube_app.h"
#include "scene/tables.h"
#include "support/test_support.h"
#include "tools/png_write.h"

namespace {

using namespace plat;

struct Shot {
  std::string name;
  headless::Mode mode;
  std::vector<uint8_t> rgb;
};

class ScriptedRun : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    ResetFrameState();
    headless::SetModuleResources(&ProgramResources());
    headless::SetDataDirectory(testing_support::DataDir());
    SetAssetDirectory(testing_support::DataDir().c_str());
    headless::SetTime(100000);
    headless::SetTimePerFlip(16);
    outDir = std::string(KELVO_BINARY_DIR) + "/frames/scripted";
    std::filesystem::create_directories(outDir);
    shadingMode = 0;
  }
  void TearDown() override {
    SetAssetDirectory("");
    headless::Reset();
    ResetFrameState();
    theApp = nullptr;
  }

  void Capture(const std::string& name) {
    Shot shot{name, headless::CurrentMode(), headless::FrontImageRgb()};
    ASSERT_FALSE(shot.rgb.empty()) << name;
    std::string error;
    const std::string path = outDir + "/" + name + ".png";
    EXPECT_TRUE(WritePng(path.c_str(), static_cast<int>(shot.mode.width),
                         static_cast<int>(shot.mode.height), shot.rgb.data(), &error))
        << error;
    shots.push_back(std::move(shot));
  }
  const Shot& Find(const std::string& name) const {
    for (const Shot& s : shots)
      if (s.name == name) return s;
    static const Shot none{};
    return none;
  }
  void Step(uint32_t turns, std::function<void()> action) {
    headless::AddStep(turns, std::move(action));
  }

  std::string outDir;
  std::vector<Shot> shots;
};

// Pixels of the centre row that are not black: the cube is there.
int LitPixelsOnMiddleRow(const Shot& s) {
  int lit = 0;
  const size_t row = s.mode.height / 2;
  for (size_t x = 0; x < s.mode.width; ++x) {
    const uint8_t* p = &s.rgb[(row * s.mode.width + x) * 3];
    lit += (p[0] | p[1] | p[2]) != 0;
  }
  return lit;
}

// White pixels in the frame-rate text's rows at the top left.
int WhiteTextPixels(const Shot& s) {
  int white = 0;
  for (size_t y = 10; y < 23 && y < s.mode.height; ++y)
    for (size_t x = 0; x < 80; ++x) {
      const uint8_t* p = &s.rgb[(y * s.mode.width + x) * 3];
      white += p[0] == 255 && p[1] == 255 && p[2] == 255;
    }
  return white;
}

int ModeItemPosition(const char* label) {
  HMENU modes = GetSubMenu(GetMenu(mainWindow), 2);
  for (int i = 0; i < GetMenuItemCount(modes); ++i) {
    char text[64];
    GetMenuStringA(modes, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    if (std::strcmp(text, label) == 0) return i;
  }
  return -1;
}

TEST_F(ScriptedRun, AWholeSessionFromStartToEscape) {
  CubeApp cube;
  Step(40, [&] { Capture("01-start-640x480x8"); });
  for (uint8_t k = 0; k < 6; ++k) {
    Step(0, [k] { headless::KeyPress(static_cast<uint8_t>(DIK_1 + k)); });
    Step(12, [&, k] {
      EXPECT_EQ(shadingMode, k);
      Capture("02-key" + std::to_string(k + 1) + "-shading" + std::to_string(k));
    });
  }
  Step(0, [] {
    headless::KeyPress(DIK_1);
    for (int i = 0; i < 3; ++i) headless::KeyPress(DIK_NUMPAD8);
    headless::KeyPress(DIK_LEFT);  // acts as keypad 4
  });
  Step(25, [&] { Capture("03-keypad-faster"); });
  Step(0, [] { headless::KeyPress(DIK_NUMPAD5); });
  Step(5, [&] {
    EXPECT_EQ(rotationSpeedX, 0.0);
    Capture("04-keypad5-stopped-a");
  });
  Step(5, [&] { Capture("04-keypad5-stopped-b"); });
  // "&Goraud shading\t3" from the Options menu.
  Step(0, [] { headless::ChooseMenuItem(1, 2); });
  Step(12, [&] {
    EXPECT_EQ(shadingMode, 2);
    HMENU options = GetSubMenu(GetMenu(mainWindow), 1);
    EXPECT_EQ(GetMenuState(options, 2, MF_BYPOSITION) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(GetMenuState(options, 0, MF_BYPOSITION) & MF_CHECKED, 0u);
    Capture("05-menu-gouraud");
  });
  Step(0, [] {
    const int position = ModeItemPosition("800x600x16");
    ASSERT_GE(position, 0);
    headless::KeyPress(DIK_NUMPAD8);
    headless::ChooseMenuItem(2, position);
  });
  Step(15, [&] {
    EXPECT_EQ(headless::CurrentMode().width, 800u);
    EXPECT_EQ(headless::CurrentMode().bitsPerPixel, 16u);
    EXPECT_EQ(screenWidth, 800);
    EXPECT_EQ(centerY, 300);
    Capture("06-800x600x16");
  });
  Step(0, [] { headless::Click(200, 200); });
  Step(0, [&] {
    EXPECT_EQ(paused, 1);
    EXPECT_TRUE(headless::ShowingGdiSurface());
    Capture("07-paused");
  });
  Step(0, [] { headless::Click(200, 200); });
  Step(10, [&] {
    EXPECT_EQ(paused, 0);
    Capture("08-resumed");
  });
  Step(0, [] { headless::OpenMenu(1); });
  Step(0, [&] {
    EXPECT_TRUE(headless::MenuOpen());
    EXPECT_EQ(paused, 1);
    Capture("08-options-menu-open");
    headless::CloseMenu();
  });
  Step(5, [&] { EXPECT_EQ(paused, 0); });
  Step(0, [] { headless::KeyPress(DIK_F1); });
  Step(0, [&] {
    EXPECT_EQ(headless::OpenDialogTemplate(), "AppAbout");
    EXPECT_EQ(paused, 1);
    Capture("09-about");
    headless::KeyPress(DIK_ESCAPE);  // the box has no Cancel: it stays
  });
  Step(0, [] {
    EXPECT_EQ(headless::OpenDialogTemplate(), "AppAbout");
    headless::PressButton(IDOK);
  });
  Step(20, [&] {
    EXPECT_EQ(headless::OpenDialog(), nullptr);
    EXPECT_EQ(paused, 0);
    Capture("10-after-about");
  });
  Step(0, [] { headless::KeyPress(DIK_ESCAPE); });

  EXPECT_EQ(RunApplication(), 0) << StartupFailure();
  EXPECT_FALSE(headless::Stalled());
  EXPECT_EQ(headless::PendingSteps(), 0u);
  EXPECT_EQ(mainWindow, nullptr);

  ASSERT_EQ(shots.size(), 17u);
  for (const Shot& s : shots) {
    if (s.name == "07-paused" || s.name == "09-about" || s.name == "08-options-menu-open") continue;
    EXPECT_GT(LitPixelsOnMiddleRow(s), 50) << s.name;
    EXPECT_GT(WhiteTextPixels(s), 20) << s.name;
  }
  // Keypad 5 stopped the cube: below the text, two frames apart, the same.
  const Shot& a = Find("04-keypad5-stopped-a");
  const Shot& b = Find("04-keypad5-stopped-b");
  const size_t skip = size_t{a.mode.width} * 3 * 30;
  ASSERT_EQ(a.rgb.size(), b.rgb.size());
  EXPECT_TRUE(std::equal(a.rgb.begin() + static_cast<long>(skip), a.rgb.end(),
                         b.rgb.begin() + static_cast<long>(skip)));
  // The frames of shading modes 0 and 2 differ.
  EXPECT_NE(Find("02-key1-shading0").rgb, Find("02-key3-shading2").rgb);
}

}  // namespace
