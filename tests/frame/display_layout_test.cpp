// The back buffer's lock while the frame draws, and displays that keep their
// pixels in another layout than the frame's (16 bits as 5-6-5).
#include <cstring>
#include <string>
#include <vector>

#include "frame_fixture.h"
#include "platform/frame_copy.h"

namespace frame_test {
namespace {

using namespace plat;

constexpr PixelLayout k565{16, 0xF800, 0x07E0, 0x001F};

// The trace lines from `from` on that start with one of the prefixes.
std::vector<std::string> TraceOf(size_t from, std::initializer_list<const char*> prefixes) {
  std::vector<std::string> out;
  const auto& t = headless::Trace();
  for (size_t i = from; i < t.size(); ++i)
    for (const char* p : prefixes)
      if (t[i].rfind(p, 0) == 0) out.push_back(t[i]);
  return out;
}

TEST_F(FrameTest, TheBackBufferStaysLockedWhileTheFacesAreDrawn) {
  StartUp();
  active = 1;
  size_t from = 0;
  std::vector<std::string> beforeText;
  app.onRender = [&] {
    beforeText = TraceOf(from, {"Lock", "Unlock"});
    static_cast<uint8_t*>(app.frameBuffer)[0] = 1;
    app.DrawString(0, 10, "12 FPS");
  };
  from = headless::Trace().size();
  OnIdle();
  EXPECT_EQ(beforeText, std::vector<std::string>{"Lock"});
  EXPECT_EQ(TraceOf(from, {"Lock", "Unlock", "Flip"}),
            (std::vector<std::string>{"Lock", "Unlock", "Flip"}));
  EXPECT_FALSE(frameLocked);
  EXPECT_EQ(headless::FrontPixels()[0], 1);

  // Without text the lock ends before the flip all the same.
  app.onRender = [&] { static_cast<uint8_t*>(app.frameBuffer)[1] = 2; };
  from = headless::Trace().size();
  OnIdle();
  EXPECT_EQ(TraceOf(from, {"Lock", "Unlock", "Flip"}),
            (std::vector<std::string>{"Lock", "Unlock", "Flip"}));
  EXPECT_EQ(headless::FrontPixels()[1], 2);
  EXPECT_EQ(headless::UnlockedWrites(), 0u);
}

TEST_F(FrameTest, AWriteThroughTheAddressAfterTheTextIsCaught) {
  StartUp();
  active = 1;
  void* kept = nullptr;
  app.onRender = [&] {
    app.DrawString(0, 10, "text");
    kept = app.frameBuffer;
    static_cast<uint8_t*>(kept)[640 * 300] = 9;  // too late: unlocked
  };
  OnIdle();
  EXPECT_EQ(headless::UnlockedWrites(), 1u);
  // It never reached the screen, and the next lock hands out other memory.
  EXPECT_EQ(headless::FrontPixels()[640 * 300], 0);
  app.onRender = [&] { EXPECT_NE(app.frameBuffer, kept); };
  OnIdle();
  EXPECT_EQ(headless::UnlockedWrites(), 1u);
  headless::Reset();  // counted: the fixture expects none
}

// One frame of every 5-5-5 colour with text on top, then the paused screen
// with its menu bar, as the display keeps them.
std::vector<std::vector<uint8_t>> Screens(FakeApp& app) {
  app.onRender = [&] {
    auto* px = static_cast<uint16_t*>(app.frameBuffer);
    for (uint32_t i = 0; i < 640 * 480; ++i) px[i] = static_cast<uint16_t>(i * 7 % 32768);
    app.DrawString(0, 10, "60 FPS");
  };
  active = 1;
  OnIdle();
  std::vector<std::vector<uint8_t>> screens{headless::FrontPixels()};
  SetPaused(1);
  screens.push_back(headless::FrontPixels());
  return screens;
}

TEST_F(FrameTest, A565DisplayShowsWhatTheFrameDrewInItsOwnLayout) {
  headless::SetModeList({{640, 480, 16}});
  app.firstMode = false;
  StartUp();
  ASSERT_EQ(app.SetMode(640, 480, 16), 1);
  const std::vector<std::vector<uint8_t>> frameLayout = Screens(app);

  TearDown();
  SetUp();
  theApp = &app;
  headless::SetModeList({{640, 480, 16}});
  headless::SetPixelLayout(k565);
  StartUp();
  ASSERT_EQ(app.SetMode(640, 480, 16), 1);
  const std::vector<std::vector<uint8_t>> shown = Screens(app);

  const LayoutConversion to565(k565);
  for (size_t s = 0; s < shown.size(); ++s) {
    ASSERT_EQ(shown[s].size(), frameLayout[s].size());
    size_t wrong = 0, white = 0;
    for (size_t i = 0; i + 1 < shown[s].size(); i += 2) {
      uint16_t want, got;
      std::memcpy(&want, &frameLayout[s][i], 2);
      std::memcpy(&got, &shown[s][i], 2);
      wrong += got != to565.Pixel(want);
      white += got == 0xFFFF;
    }
    EXPECT_EQ(wrong, 0u) << "screen " << s;
    EXPECT_GT(white, 20u) << "screen " << s << ": text and menu in the display's white";
  }
}

TEST_F(FrameTest, ModesOfALayoutTheFrameCannotShowAreLeftOut) {
  headless::SetModeList({{640, 480, 8}, {640, 480, 16}, {800, 600, 16}, {640, 480, 32}});
  headless::SetPixelLayout({16, 0x7C00, 0x03F0, 0x001F});  // green over blue
  testing::internal::CaptureStderr();
  StartUp();
  const std::string said = testing::internal::GetCapturedStderr();
  HMENU modes = GetSubMenu(GetMenu(mainWindow), 2);
  std::vector<std::string> labels;
  for (int32_t i = 0; i < GetMenuItemCount(modes); ++i) {
    char text[64] = {};
    GetMenuStringA(modes, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    labels.push_back(text);
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"640x480x8", "640x480x32"}));
  EXPECT_NE(said.find("640x480x16 is left out of Modes"), std::string::npos) << said;
  EXPECT_NE(said.find("800x600x16 is left out of Modes"), std::string::npos) << said;
}

}  // namespace
}  // namespace frame_test
