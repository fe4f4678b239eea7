// The "Modes" menu, DDApp::SetMode with its failures and retries, the palette,
// the frame step and the Mode X pause.
#include <cstring>

#include "app/frame_view.h"
#include "frame_fixture.h"
#include "platform/dinput.h"
#include "res/resource_ids.h"

namespace frame_test {
namespace {

using headless::Call;
using namespace plat;

struct Item {
  UINT id;
  std::string label;
  uint32_t data;
};

std::vector<Item> ModeItems() {
  std::vector<Item> items;
  HMENU modes = GetSubMenu(GetMenu(mainWindow), 2);
  for (int32_t i = 0; i < GetMenuItemCount(modes); ++i) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_DATA;
    EXPECT_TRUE(GetMenuItemInfoA(modes, static_cast<UINT>(i), 1, &info));
    char text[64] = {};
    GetMenuStringA(modes, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    items.push_back({info.wID, text, static_cast<uint32_t>(info.dwItemData)});
  }
  return items;
}

TEST_F(FrameTest, ModesMenuListsUsableModesInDriverOrder) {
  headless::SetModeList({{640, 480, 16},
                         {320, 200, 4},
                         {1024, 768, 8},
                         {800, 600, 15},
                         {4096, 2160, 32},
                         {640, 4096, 8},
                         {320, 240, 8},
                         {4095, 4095, 32},
                         {1280, 1024, 24}});
  StartUp();
  const std::vector<Item> items = ModeItems();
  ASSERT_EQ(items.size(), 5u);
  const char* labels[] = {"640x480x16", "1024x768x8", "320x240x8", "4095x4095x32", "1280x1024x24"};
  const uint32_t data[] = {(16u << 24) | (480u << 12) | 640u, (8u << 24) | (768u << 12) | 1024u,
                           (8u << 24) | (240u << 12) | 320u, (32u << 24) | (4095u << 12) | 4095u,
                           (24u << 24) | (1024u << 12) | 1280u};
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].id, 100 + i);
    EXPECT_EQ(items[i].label, labels[i]);
    EXPECT_EQ(items[i].data, data[i]) << labels[i];
  }
}

TEST_F(FrameTest, TheDesktopsOwnModesAreListedOnlyWhereAModeItemCanHoldThem) {
  headless::SetModeList(headless::ModesWithDesktop(1920, 1080));
  StartUp();
  std::vector<Item> items = ModeItems();
  ASSERT_EQ(items.size(), 36u);
  EXPECT_EQ(items[35].label, "1920x1080x32");
  EXPECT_EQ(UnpackModeData(items[35].data).width, 1920);

  // 5120 pixels need 13 bits: the driver offers the mode, the menu leaves it out.
  ReleaseDevices();
  headless::Reset();
  ResetFrameState();
  headless::SetDataDirectory(KELVO_DATA_DIR);
  headless::SetModeList(headless::ModesWithDesktop(5120, 2880));
  StartUp();
  items = ModeItems();
  ASSERT_EQ(items.size(), 32u);
  for (const Item& item : items)
    EXPECT_EQ(item.label.find("5120"), std::string::npos) << item.label;
}

TEST_F(FrameTest, ChoosingAModeSwitchesToExactlyThatMode) {
  headless::SetModeList({{640, 480, 8}, {401, 300, 24}, {800, 600, 16}});
  headless::AddStep(2, [] { headless::ChooseMenuItem(2, 2); });
  headless::AddStep(2, [&] {
    EXPECT_TRUE(app.Called("SetMode 800x600x16"));
    EXPECT_EQ(screenWidth, 800);
    EXPECT_EQ(screenHeight, 600);
    EXPECT_EQ(centerX, 400);
    EXPECT_EQ(centerY, 300);
    EXPECT_EQ(palette, nullptr);
    PALETTEENTRY entries[256];
    EXPECT_FALSE(headless::FrontPalette(entries));
    headless::ChooseMenuItem(2, 1);
  });
  headless::AddStep(2, [&] {
    EXPECT_TRUE(app.Called("SetMode 401x300x24"));
    EXPECT_EQ(centerX, 200);
    headless::KeyPress(DIK_ESCAPE);
  });
  EXPECT_EQ(Run(), 1);
  // Mode commands end in the frame; only Exit reached the application.
  EXPECT_EQ(app.commands, std::vector<uint32_t>{2});
}

TEST_F(FrameTest, OnlyIdsOneHundredToOneNinetyNineAreModes) {
  std::vector<headless::Mode> many;
  for (uint32_t i = 0; i < 105; ++i) many.push_back({320 + 8 * i, 200, 16});
  headless::SetModeList(many);
  StartUp();
  const std::vector<Item> items = ModeItems();
  ASSERT_EQ(items.size(), 105u);
  EXPECT_EQ(items[100].id, 200u);
  const size_t calls = app.calls.size();
  SendMessageA(mainWindow, WM_COMMAND, 200, 0);
  SendMessageA(mainWindow, WM_COMMAND, 99, 0);
  EXPECT_EQ(app.calls.size(), calls);  // no SetMode
  EXPECT_EQ(app.commands, (std::vector<uint32_t>{200, 99}));
  SendMessageA(mainWindow, WM_COMMAND, 199, 0);
  EXPECT_TRUE(app.Called("SetMode " + std::to_string(320 + 8 * 99) + "x200x16"));
  EXPECT_EQ(app.commands.size(), 2u);
}

TEST_F(FrameTest, SetModeRecordsTheScreenAndBuildsTheChain) {
  StartUp();
  EXPECT_EQ(screenWidth, 640);
  EXPECT_EQ(screenHeight, 480);
  EXPECT_EQ(centerX, 320);
  EXPECT_EQ(centerY, 240);
  ASSERT_NE(primarySurface, nullptr);
  ASSERT_NE(backBuffer, nullptr);
  EXPECT_NE(palette, nullptr);
  const long create = TraceIndex("CreateSurface");
  EXPECT_EQ(headless::Trace()[static_cast<size_t>(create)], "CreateSurface backs=2 caps=0x4218");
  // A second switch replaces everything, in order.
  headless::ClearTrace();
  ASSERT_EQ(app.SetMode(800, 600, 32), 1);
  EXPECT_LT(TraceIndex("SetDisplayMode 800x600x32"), TraceIndex("Release back buffer"));
  EXPECT_LT(TraceIndex("Release back buffer"), TraceIndex("Release primary surface"));
  EXPECT_LT(TraceIndex("Release primary surface"), TraceIndex("Release palette"));
  EXPECT_LT(TraceIndex("Release palette"), TraceIndex("CreateSurface"));
  EXPECT_EQ(palette, nullptr);
  EXPECT_FALSE(TraceHas("CreatePalette"));
}

TEST_F(FrameTest, ARefusedDisplaySwitchKeepsEverything) {
  StartUp();
  IDirectDrawSurface* front = primarySurface;
  IDirectDrawSurface* back = backBuffer;
  IDirectDrawPalette* pal = palette;
  headless::Fail(Call::SetDisplayMode);
  EXPECT_EQ(app.SetMode(800, 600, 16), 0);
  EXPECT_EQ(screenWidth, 640);
  EXPECT_EQ(centerY, 240);
  EXPECT_EQ(primarySurface, front);
  EXPECT_EQ(backBuffer, back);
  EXPECT_EQ(palette, pal);
  EXPECT_EQ(headless::CurrentMode().width, 640u);
}

TEST_F(FrameTest, TheChainIsRetriedWithOneBackBufferThenWithoutVideoMemory) {
  StartUp();
  headless::ClearTrace();
  headless::Fail(Call::CreateSurface, 1);
  ASSERT_EQ(app.SetMode(800, 600, 8), 1);
  std::vector<std::string> attempts;
  for (const std::string& line : headless::Trace())
    if (line.rfind("CreateSurface", 0) == 0) attempts.push_back(line);
  EXPECT_EQ(attempts, (std::vector<std::string>{"CreateSurface backs=2 caps=0x4218",
                                                "CreateSurface backs=1 caps=0x4218"}));

  headless::ClearTrace();
  headless::Fail(Call::CreateSurface, 2);
  ASSERT_EQ(app.SetMode(800, 600, 8), 1);
  EXPECT_TRUE(TraceHas("CreateSurface backs=1 caps=0x218"));
  DDSCAPS caps{};
  ASSERT_EQ(primarySurface->GetCaps(&caps), DD_OK);
  EXPECT_EQ(caps.dwCaps & DDSCAPS_VIDEOMEMORY, 0u);

  // A card too small for two back buffers takes the second attempt itself.
  headless::ClearTrace();
  headless::SetVideoMemory(2 * 1024 * 768);
  ASSERT_EQ(app.SetMode(1024, 768, 8), 1);
  EXPECT_TRUE(TraceHas("CreateSurface backs=1 caps=0x4218"));
  EXPECT_FALSE(TraceHas("CreateSurface backs=1 caps=0x218"));
}

TEST_F(FrameTest, AFailedChainLeavesTheNewScreenAndNoSurfacesToTouch) {
  StartUp();
  headless::Fail(Call::CreateSurface, 3);
  EXPECT_EQ(app.SetMode(800, 600, 16), 0);
  EXPECT_EQ(screenWidth, 800);  // recorded before the surfaces
  EXPECT_EQ(primarySurface, nullptr);
  EXPECT_EQ(backBuffer, nullptr);
  // The frame step, the pause and the text leave the missing chain alone.
  app.UpdateFrame();
  SetPaused(1);
  SetPaused(0);
  app.DrawString(0, 10, "60 FPS");
  EXPECT_EQ(app.frames, 0);

  headless::Fail(Call::GetAttachedSurface);
  EXPECT_EQ(app.SetMode(640, 480, 8), 0);
  EXPECT_NE(primarySurface, nullptr);
  EXPECT_EQ(backBuffer, nullptr);
  app.UpdateFrame();
  EXPECT_EQ(app.frames, 0);
  EXPECT_EQ(headless::FlipCount(), 0u);
}

TEST_F(FrameTest, AFailedSwitchFromTheMenuGoesBackToTheRunningMode) {
  headless::SetModeList({{640, 480, 8}, {800, 600, 16}});
  int framesBefore = 0;
  headless::AddStep(2, [] {
    headless::Fail(Call::CreateSurface, 3);
    headless::ChooseMenuItem(2, 1);
  });
  headless::AddStep(0, [&] { framesBefore = app.frames; });
  headless::AddStep(3, [&] {
    EXPECT_EQ(headless::CurrentMode().width, 640u);
    EXPECT_EQ(screenWidth, 640);
    EXPECT_NE(backBuffer, nullptr);
    EXPECT_EQ(app.frames, framesBefore + 3);
    headless::Fail(Call::SetDisplayMode);
    headless::ChooseMenuItem(2, 1);
  });
  headless::AddStep(3, [] { headless::KeyPress(DIK_ESCAPE); });
  testing::internal::CaptureStderr();
  EXPECT_EQ(Run(), 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("cannot switch to 800x600x16; back to 640x480x8"), std::string::npos) << err;
  std::vector<std::string> modes;
  for (const frame_test::Call& c : app.calls)
    if (c.what.rfind("SetMode", 0) == 0) modes.push_back(c.what);
  EXPECT_EQ(modes, (std::vector<std::string>{"SetMode 640x480x8", "SetMode 800x600x16",
                                             "SetMode 640x480x8", "SetMode 800x600x16",
                                             "SetMode 640x480x8"}));
}

TEST_F(FrameTest, ThePaletteTakesTheSystemColoursAtBothEnds) {
  PALETTEENTRY system[256];
  for (int i = 0; i < 256; ++i)
    system[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                 static_cast<uint8_t>(i * 7), static_cast<uint8_t>(i % 3)};
  headless::SetSystemPalette(system);
  for (int i = 0; i < 768; ++i) app.palette[i] = static_cast<uint8_t>(200 - i % 97);
  StartUp();
  PALETTEENTRY shown[256];
  ASSERT_TRUE(headless::FrontPalette(shown));
  for (int i = 0; i < 256; ++i) {
    const bool own = i >= 10 && i <= 254;
    EXPECT_EQ(shown[i].peRed, own ? app.palette[3 * i] : system[i].peRed) << i;
    EXPECT_EQ(shown[i].peGreen, own ? app.palette[3 * i + 1] : system[i].peGreen) << i;
    EXPECT_EQ(shown[i].peBlue, own ? app.palette[3 * i + 2] : system[i].peBlue) << i;
    EXPECT_EQ(shown[i].peFlags, system[i].peFlags) << i;
  }
  // Without a source every entry is the system's.
  app.paletteSource = nullptr;
  ASSERT_EQ(app.SetMode(320, 200, 8), 1);
  ASSERT_TRUE(headless::FrontPalette(shown));
  EXPECT_EQ(std::memcmp(shown, system, sizeof shown), 0);
}

TEST_F(FrameTest, AFailedPaletteIsNotAFailedSwitch) {
  StartUp();
  headless::Fail(Call::CreatePalette);
  EXPECT_EQ(app.SetMode(640, 400, 8), 1);
  EXPECT_EQ(palette, nullptr);
  PALETTEENTRY shown[256];
  EXPECT_FALSE(headless::FrontPalette(shown));
}

TEST_F(FrameTest, EveryFrameIsClearedDrawnFlippedAndCounted) {
  StartUp();
  active = 1;
  bool clean = true;
  app.onRender = [&] {
    auto* px = static_cast<uint8_t*>(app.frameBuffer);
    for (int i = 0; i < 640 * 480; ++i) clean = clean && px[i] == 0;
    std::memset(px, 77, 640 * 480);
  };
  for (int i = 0; i < 4; ++i) OnIdle();
  EXPECT_TRUE(clean);
  EXPECT_EQ(app.frames, 4);
  EXPECT_EQ(frameCount, 4u);
  EXPECT_EQ(headless::FlipCount(), 4u);
  EXPECT_EQ(headless::FrontPixels()[1000], 77);

  // A frame that cannot be locked is not drawn, flipped or counted.
  headless::Fail(Call::Lock);
  OnIdle();
  EXPECT_EQ(app.frames, 4);
  EXPECT_EQ(frameCount, 4u);
  EXPECT_EQ(headless::FlipCount(), 4u);
  OnIdle();
  EXPECT_EQ(frameCount, 5u);
}

TEST_F(FrameTest, TheDisplayLearnsWhereEachFrameDrew) {
  StartUp();
  active = 1;
  // An application that says nothing: the whole screen counts as drawn.
  app.onRender = [&] { static_cast<uint8_t*>(app.frameBuffer)[5] = 9; };
  OnIdle();
  plat::core::KnownPixels known = headless::FrontWritten();
  ASSERT_TRUE(known.known);
  EXPECT_EQ(known.fill, 0u);
  EXPECT_EQ(known.area.right, 640);
  EXPECT_EQ(known.area.bottom, 480);
  // One that narrows it, with text drawn on top: both are known, nothing else.
  app.onRender = [&] {
    static_cast<uint8_t*>(app.frameBuffer)[100 * 640 + 300] = 9;
    EXPECT_EQ(app.drawnArea.right, 640);  // the whole screen until told otherwise
    app.drawnArea = {300, 100, 301, 101};
    app.DrawString(20, 200, "text");
  };
  OnIdle();
  known = headless::FrontWritten();
  ASSERT_TRUE(known.known);
  EXPECT_EQ(known.area.left, 20);
  EXPECT_EQ(known.area.top, 100);
  EXPECT_EQ(known.area.right, 301);
  EXPECT_GT(known.area.bottom, 200);
  EXPECT_LT(known.area.bottom, 220);
}

TEST_F(FrameTest, ALostPrimaryIsRestoredAtTheNextFrame) {
  StartUp();
  active = 1;
  headless::LoseSurfaces();
  OnIdle();
  EXPECT_TRUE(TraceHas("Restore"));
  EXPECT_EQ(app.frames, 1);
  // If it cannot be restored the lock fails and the frame is skipped.
  headless::LoseSurfaces();
  headless::Fail(Call::Restore);
  OnIdle();
  EXPECT_EQ(app.frames, 1);
  OnIdle();
  EXPECT_EQ(app.frames, 2);
}

TEST_F(FrameTest, PausingInModeXGoesBackTo640x480x8AndStaysThere) {
  StartUp();
  ASSERT_EQ(app.SetMode(320, 240, 8), 1);
  SetPaused(1);
  EXPECT_EQ(app.calls.back().what, "SetMode 640x480x8");
  EXPECT_EQ(paused, 1);
  EXPECT_TRUE(headless::ShowingGdiSurface());
  EXPECT_LT(TraceIndex("SetDisplayMode 640x480x8"), TraceIndex("FlipToGDISurface"));
  EXPECT_LT(TraceIndex("FlipToGDISurface"), TraceIndex("DrawMenuBar"));
  EXPECT_LT(TraceIndex("DrawMenuBar"), TraceIndex("RedrawWindow 1024"));
  SetPaused(0);
  EXPECT_EQ(paused, 0);
  EXPECT_EQ(headless::CurrentMode().width, 640u);
  // Other modes pause where they are.
  ASSERT_EQ(app.SetMode(320, 200, 16), 1);
  SetPaused(1);
  EXPECT_EQ(headless::CurrentMode().width, 320u);
}

TEST_F(FrameTest, AFailedSwitchOutOfModeXAtPauseKeepsTheModeXScreen) {
  StartUp();
  ASSERT_EQ(app.SetMode(320, 240, 8), 1);
  headless::Fail(Call::CreateSurface, 3);
  testing::internal::CaptureStderr();
  SetPaused(1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("cannot switch to 640x480x8; back to 320x240x8"), std::string::npos) << err;
  EXPECT_EQ(paused, 1);
  SetPaused(0);
  EXPECT_EQ(headless::CurrentMode().width, 320u);
  EXPECT_EQ(screenWidth, 320);
  ASSERT_NE(backBuffer, nullptr);
  const int before = app.frames;
  OnIdle();
  EXPECT_EQ(app.frames, before + 1);
}

}  // namespace
}  // namespace frame_test
