// What the emulated machine is set up with before a program runs: the
// resources the program hands over for its module, and the driver's list of
// display modes on a desktop of any size.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/ddraw.h"
#include "platform/headless/headless.h"
#include "platform/resource.h"
#include "platform/winuser.h"
#include "res/resources.h"

namespace {

using namespace plat;

INT_PTR QuitAtOnce(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) EndDialog(dialog, 5);
  return 0;
}

class Machine : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    headless::SetModuleResources(nullptr);
    headless::SetDataDirectory(KELVO_DATA_DIR);
  }
  void TearDown() override {
    headless::SetModuleResources(nullptr);
    headless::Reset();
  }

  // Each kind of resource the program names, looked up through the module.
  void ExpectResourcesFound(bool found) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    EXPECT_EQ(LoadMenuA(module, "AppMenu") != nullptr, found);
    EXPECT_EQ(LoadAcceleratorsA(module, "AppAccel") != nullptr, found);
    EXPECT_EQ(LoadIconA(module, "AppIcon") != nullptr, found);
    EXPECT_EQ(DialogBoxParamA(module, "AppAbout", nullptr, QuitAtOnce, 0), found ? 5 : -1);
  }
};

TEST_F(Machine, TheModuleHasTheResourcesTheProgramHandsOverAndKeepsThemOverAReset) {
  ExpectResourcesFound(false);
  headless::SetModuleResources(&ProgramResources());
  ExpectResourcesFound(true);
  // Only the program's own module has them, and only by their names.
  EXPECT_EQ(LoadMenuA(nullptr, "AppMenu"), nullptr);
  EXPECT_EQ(LoadMenuA(GetModuleHandleA(nullptr), "NoSuchMenu"), nullptr);
  headless::Reset();
  headless::SetDataDirectory(KELVO_DATA_DIR);
  ExpectResourcesFound(true);
  headless::SetModuleResources(nullptr);
  ExpectResourcesFound(false);
}

TEST_F(Machine, ADesktopOfAnySizeJoinsTheClassicModesAtEveryDepth) {
  const std::vector<headless::Mode> classic = headless::ClassicModes();
  ASSERT_EQ(classic.size(), 32u);
  auto same = [](const std::vector<headless::Mode>& a, const std::vector<headless::Mode>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
      return x.width == y.width && x.height == y.height && x.bitsPerPixel == y.bitsPerPixel;
    });
  };
  // A size already listed adds nothing.
  EXPECT_TRUE(same(headless::ModesWithDesktop(1024, 768), classic));
  for (const auto& [width, height] : {std::pair{1920u, 1080u}, std::pair{5120u, 2880u}}) {
    const std::vector<headless::Mode> modes = headless::ModesWithDesktop(width, height);
    ASSERT_EQ(modes.size(), 36u) << width;
    EXPECT_TRUE(same({modes.begin(), modes.begin() + 32}, classic));
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(modes[32 + i].width, width);
      EXPECT_EQ(modes[32 + i].height, height);
      EXPECT_EQ(modes[32 + i].bitsPerPixel, 8 * (i + 1));
    }
  }
}

TEST_F(Machine, AListedModeIsSetWhateverItsSizeAndAnUnlistedOneUpTo4095ASide) {
  headless::SetModeList(headless::ModesWithDesktop(5120, 2880));
  IDirectDraw* ddraw = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &ddraw, nullptr), DD_OK);
  ASSERT_EQ(ddraw->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
  EXPECT_EQ(ddraw->SetDisplayMode(5120, 2880, 32), DD_OK);
  EXPECT_EQ(ddraw->SetDisplayMode(4095, 4095, 16), DD_OK);
  EXPECT_EQ(ddraw->SetDisplayMode(5120, 2000, 32), DDERR_INVALIDMODE);
  EXPECT_EQ(ddraw->SetDisplayMode(4096, 100, 8), DDERR_INVALIDMODE);
  EXPECT_EQ(ddraw->SetDisplayMode(5120, 2880, 15), DDERR_INVALIDMODE);
  EXPECT_EQ(headless::CurrentMode().width, 4095u);
  ddraw->Release();
}

}  // namespace
