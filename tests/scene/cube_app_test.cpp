#include "scene/cube_app.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/display.h"
#include "platform/headless/headless.h"
#include "platform/winuser.h"
#include "res/resources.h"
#include "scene/cube_model.h"
#include "scene/scene.h"
#include "scene/tables.h"
#include "support/test_support.h"

namespace {

class CubeAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    headless::SetModuleResources(&ProgramResources());
    ASSERT_TRUE(CreateDisplayDevice(nullptr));
    SetAssetDirectory(testing_support::DataDir().c_str());
    shadingMode = 0;
  }
  void TearDown() override {
    EXPECT_EQ(headless::UnlockedWrites(), 0u) << "written through a lock's address after Unlock";
    ReleaseDisplayDevice();
    app.Shutdown();
    SetAssetDirectory("");
  }
  CubeApp app;
};

TEST_F(CubeAppTest, InitEntersTheFirstModeWithItsTables) {
  ASSERT_EQ(app.Init(), 1) << LastAssetError();
  EXPECT_EQ(app.appName, std::string("Kelvo Textured Cube"));
  EXPECT_EQ(theApp, &app);
  EXPECT_EQ(app.paletteSource, cubePalette);
  EXPECT_EQ(screenWidth, 640);
  EXPECT_EQ(screenHeight, 480);
  EXPECT_EQ(centerX, 320);
  EXPECT_EQ(centerY, 240);
  // The scene's screen is the frame's.
  EXPECT_EQ(sceneRaster.screenWidth, 640);
  EXPECT_EQ(sceneRaster.screenHeight, 480);
  EXPECT_EQ(sceneRaster.centerX, 320);
  EXPECT_EQ(sceneRaster.centerY, 240);
  EXPECT_EQ(sceneRaster.bandTop, 0);
  EXPECT_EQ(sceneRaster.bandBottom, 480);
  EXPECT_EQ(projectionScale, 64);
  EXPECT_EQ(sceneRaster.pixelFormat, kPixel8);
  EXPECT_EQ(sceneRaster.scanlineEntries, 640);
  EXPECT_EQ(rotationSpeedX, 0.03);
  EXPECT_EQ(rotationSpeedY, 0.01);
  EXPECT_EQ(rotationSpeedZ, 0.03);
  EXPECT_EQ(cubeVertices[6].y, 4.0);
  for (uint8_t* t : textures) EXPECT_NE(t, nullptr);
  EXPECT_EQ(lightMap[73 * 256 + 127], 245);
  EXPECT_EQ(palette32[20],
            uint32_t(cubePalette[60] << 16 | cubePalette[61] << 8 | cubePalette[62]));
}

TEST_F(CubeAppTest, InitFailsOnAMissingFile) {
  testing_support::ScratchDir dir;
  for (const char* name :
       {"CUBE.PAL", "PALTBL1.DAT", "T1.BMP", "T2.BMP", "T3.BMP", "T4.BMP", "T5.BMP", "T6.BMP"})
    dir.CopyData(name);
  SetAssetDirectory(dir.path().c_str());
  EXPECT_EQ(app.Init(), 0);
  ASSERT_NE(app.initError, nullptr);
  EXPECT_NE(std::string(app.initError).find("PALTBL2.DAT"), std::string::npos);
  EXPECT_EQ(headless::CurrentMode().width, 0u);  // no display mode was set
}

TEST_F(CubeAppTest, ModeSwitchesSetScaleFormatAndBuffers) {
  ASSERT_EQ(app.Init(), 1);
  ASSERT_EQ(app.SetMode(800, 600, 16), 1);
  EXPECT_EQ(projectionScale, 80);
  EXPECT_EQ(sceneRaster.pixelFormat, kPixel16);
  EXPECT_EQ(sceneRaster.scanlineEntries, 800);
  EXPECT_EQ(centerX, 400);
  EXPECT_EQ(centerY, 300);
  EXPECT_EQ(palette16[20], PackRGB555(cubePalette[60], cubePalette[61], cubePalette[62]));

  ASSERT_EQ(app.SetMode(401, 300, 24), 1);
  EXPECT_EQ(centerX, 200);
  EXPECT_EQ(sceneRaster.centerX, 200);
  EXPECT_EQ(sceneRaster.centerY, 150);
  EXPECT_EQ(projectionScale, 40);
  EXPECT_EQ(sceneRaster.pixelFormat, kPixel24);

  // Higher than wide: the buffers follow the height.
  ASSERT_EQ(app.SetMode(240, 320, 32), 1);
  EXPECT_EQ(sceneRaster.pixelFormat, kPixel32);
  EXPECT_EQ(sceneRaster.scanlineEntries, 320);
}

TEST_F(CubeAppTest, RefusedModesChangeNothing) {
  ASSERT_EQ(app.Init(), 1);
  ASSERT_EQ(app.SetMode(800, 600, 16), 1);
  EXPECT_EQ(app.SetMode(640, 480, 4), 0);
  EXPECT_EQ(app.SetMode(640, 480, 15), 0);
  EXPECT_EQ(app.SetMode(0, 480, 8), 0);
  EXPECT_EQ(app.SetMode(-640, 480, 8), 0);
  EXPECT_EQ(app.SetMode(5000, 480, 8), 0);  // the display refuses it
  EXPECT_EQ(screenWidth, 800);
  EXPECT_EQ(sceneRaster.pixelFormat, kPixel16);
  EXPECT_EQ(projectionScale, 80);
  EXPECT_EQ(sceneRaster.scanlineEntries, 800);
}

TEST_F(CubeAppTest, SixteenBitTablesComeBackIdenticalAfterEightBits) {
  ASSERT_EQ(app.Init(), 1);
  ASSERT_EQ(app.SetMode(640, 480, 16), 1);
  static uint16_t ramp[256 * 256], high[256 * 256];
  static uint8_t low[256 * 256];
  std::memcpy(ramp, shadeRamp16, sizeof ramp);
  std::memcpy(high, blendHigh16, sizeof high);
  std::memcpy(low, blendLow16, sizeof low);
  ASSERT_EQ(app.SetMode(640, 480, 8), 1);
  ASSERT_EQ(app.SetMode(640, 480, 16), 1);
  EXPECT_EQ(std::memcmp(ramp, shadeRamp16, sizeof ramp), 0);
  EXPECT_EQ(std::memcmp(high, blendHigh16, sizeof high), 0);
  EXPECT_EQ(std::memcmp(low, blendLow16, sizeof low), 0);
}

KeyEvent Key(int32_t scanCode, bool down) {
  return KeyEvent{1, 0, (down ? 0x80 : 0) | ((scanCode & 0x80) << 1) | (scanCode & 0x7F)};
}

void Press(CubeApp& app, int32_t scanCode, int times = 1) {
  for (int i = 0; i < times; ++i) {
    KeyEvent down = Key(scanCode, true), up = Key(scanCode, false);
    app.OnKeyEvent(&down);
    app.OnKeyEvent(&up);
  }
}

TEST_F(CubeAppTest, DigitKeysChooseTheShadingMode) {
  for (int32_t mode = 0; mode < 6; ++mode) {
    Press(app, 2 + mode);
    EXPECT_EQ(shadingMode, mode);
  }
  KeyEvent release = Key(3, false);
  app.OnKeyEvent(&release);
  EXPECT_EQ(shadingMode, 5);
  KeyEvent notAKey{2, 0, 0x80 | 3};
  app.OnKeyEvent(&notAKey);
  EXPECT_EQ(shadingMode, 5);
  Press(app, 0x0B);  // digit 0: not ours
  Press(app, 0x3B);  // F1 as a key event
  EXPECT_EQ(shadingMode, 5);
}

TEST_F(CubeAppTest, KeypadSpeedsStopJustPastTheLimit) {
  rotationSpeedX = rotationSpeedY = rotationSpeedZ = 0.0;
  Press(app, 72, 11);
  EXPECT_EQ(rotationSpeedX, 0.10999999999999999);
  Press(app, 72, 5);
  EXPECT_EQ(rotationSpeedX, 0.10999999999999999);

  rotationSpeedY = 0.0;
  Press(app, 73, 20);
  EXPECT_EQ(rotationSpeedY, -0.10999999999999999);

  rotationSpeedZ = 0.03;
  Press(app, 75, 7);
  EXPECT_LT(rotationSpeedZ, 0.1);
  Press(app, 75, 1);
  EXPECT_EQ(rotationSpeedZ, 0.10999999999999999);
  Press(app, 77, 1);
  EXPECT_NEAR(rotationSpeedZ, 0.1, 1e-12);

  Press(app, 76);
  EXPECT_EQ(rotationSpeedX, 0.0);
  EXPECT_EQ(rotationSpeedY, 0.0);
  EXPECT_EQ(rotationSpeedZ, 0.0);
  Press(app, 71);
  EXPECT_EQ(rotationSpeedY, 0.01);
  Press(app, 80);
  EXPECT_EQ(rotationSpeedX, -0.01);
}

TEST_F(CubeAppTest, CursorKeysActAsTheKeypad) {
  rotationSpeedX = rotationSpeedY = rotationSpeedZ = 0.0;
  Press(app, 0xC8);  // Up: keypad 8
  Press(app, 0xCB);  // Left: keypad 4
  Press(app, 0xC9);  // Page Up: keypad 9
  EXPECT_EQ(rotationSpeedX, 0.01);
  EXPECT_EQ(rotationSpeedZ, 0.01);
  EXPECT_EQ(rotationSpeedY, -0.01);
}

TEST_F(CubeAppTest, AFrameShowsTheOrientationBeforeItsRotation) {
  ASSERT_EQ(app.Init(), 1);
  const plat::DDBLTFX black{sizeof(plat::DDBLTFX), 0};
  ASSERT_EQ(
      backBuffer->Blt(nullptr, nullptr, nullptr, plat::DDBLT_COLORFILL | plat::DDBLT_WAIT, &black),
      plat::DD_OK);
  plat::DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  ASSERT_EQ(backBuffer->Lock(nullptr, &desc, plat::DDLOCK_WAIT, nullptr), plat::DD_OK);
  app.frameBuffer = desc.lpSurface;
  frameLocked = true;  // as the frame step leaves it for RenderFrame
  app.RenderFrame();
  EXPECT_FALSE(frameLocked) << "the text gives the lock up";
  // The first frame draws the start orientation: only the front face, which
  // covers columns 224..415 on the middle row.
  plat::DDSURFACEDESC shown{};
  shown.dwSize = sizeof shown;
  ASSERT_EQ(backBuffer->Lock(nullptr, &shown, plat::DDLOCK_WAIT, nullptr), plat::DD_OK);
  const std::vector<uint8_t> bytes(static_cast<const uint8_t*>(shown.lpSurface),
                                   static_cast<const uint8_t*>(shown.lpSurface) + 640 * 480);
  backBuffer->Unlock(nullptr);
  const uint8_t* pixels = bytes.data();
  const int row = 240 * 640;
  EXPECT_EQ(pixels[row + 223], 0);
  EXPECT_NE(pixels[row + 224], 0);
  EXPECT_NE(pixels[row + 415], 0);
  EXPECT_EQ(pixels[row + 416], 0);
  // Then the cube turned by the three start speeds.
  EXPECT_NE(cubeVertices[0].x, -1.0);
  EXPECT_EQ(sceneRaster.frame8, desc.lpSurface);
  EXPECT_EQ(static_cast<void*>(sceneRaster.frame32), desc.lpSurface);
}

// The "&Options" check marks, by position.
std::vector<bool> OptionChecks(plat::HWND window) {
  plat::HMENU options = plat::GetSubMenu(plat::GetMenu(window), 1);
  std::vector<bool> checks;
  for (plat::UINT i = 0; i < 6; ++i)
    checks.push_back(plat::GetMenuState(options, i, plat::MF_BYPOSITION) & plat::MF_CHECKED);
  return checks;
}

TEST_F(CubeAppTest, OptionsCommandsMoveTheCheckMarkFromTheCurrentMode) {
  plat::WNDCLASSA wc{};
  wc.lpfnWndProc = plat::DefWindowProcA;
  wc.hInstance = plat::GetModuleHandleA(nullptr);
  wc.lpszMenuName = "AppMenu";
  wc.lpszClassName = "SceneTest";
  ASSERT_TRUE(plat::RegisterClassA(&wc));
  plat::HWND window = plat::CreateWindowExA(0, "SceneTest", "SceneTest", plat::WS_POPUP, 0, 0, 640,
                                            480, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  using Checks = std::vector<bool>;
  EXPECT_EQ(OptionChecks(window), (Checks{true, false, false, false, false, false}));

  EXPECT_EQ(app.HandleMessage(window, plat::WM_COMMAND, 40004, 0), 0);  // Phong
  EXPECT_EQ(shadingMode, 3);
  EXPECT_EQ(OptionChecks(window), (Checks{false, false, false, true, false, false}));

  // A digit key changes the mode but not the marks; the next command then
  // unchecks the item of the current mode, not the one that is checked.
  Press(app, 4);  // digit 3: Gouraud
  EXPECT_EQ(shadingMode, 2);
  app.HandleMessage(window, plat::WM_COMMAND, 40005, 0);  // Flat
  EXPECT_EQ(shadingMode, 1);
  EXPECT_EQ(OptionChecks(window), (Checks{false, true, false, true, false, false}));

  // Other commands change nothing; the high word of wParam is no part of the id.
  app.HandleMessage(window, plat::WM_COMMAND, 2, 0);
  app.HandleMessage(window, plat::WM_COMMAND, 40002, 0);
  EXPECT_EQ(shadingMode, 1);
  app.HandleMessage(window, plat::WM_COMMAND, 0x10000 | 40007, 0);
  EXPECT_EQ(shadingMode, 5);
  plat::DestroyWindow(window);
}

}  // namespace
