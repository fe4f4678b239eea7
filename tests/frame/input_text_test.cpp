// The buffered keyboard, the frame-rate arithmetic and the overlay text.
#include <cstring>

#include "app/frame_view.h"
#include "frame_fixture.h"
#include "platform/dinput.h"
#include "platform/font.h"

namespace frame_test {
namespace {

using headless::Call;
using namespace plat;

class KeyboardTest : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    StartUp();
  }
};

TEST_F(KeyboardTest, KeyCodesCarryDownAndExtendedBits) {
  headless::SetTime(4321);
  headless::KeyPress(DIK_2);
  headless::KeyDown(DIK_UP);
  headless::KeyUp(DIK_UP);
  headless::KeyPress(DIK_NUMPAD8);
  PollKeyboard();
  ASSERT_EQ(app.keys.size(), 6u);
  const int32_t codes[] = {0x83, 0x03, 0x1C8, 0x148, 0xC8, 0x48};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(app.keys[i].kind, 1);
    EXPECT_EQ(app.keys[i].code, codes[i]) << i;
    EXPECT_EQ(app.keys[i].time, 4321);
  }
  // Up differs from keypad 8 only in bit 8.
  EXPECT_EQ(app.keys[2].code & 0xFF, app.keys[4].code & 0xFF);
}

TEST_F(KeyboardTest, TenEventsArriveAndAnOverflowingBatchIsDroppedWhole) {
  for (int i = 0; i < 5; ++i) headless::KeyPress(DIK_4);
  PollKeyboard();
  EXPECT_EQ(app.keys.size(), 10u);

  app.keys.clear();
  for (int i = 0; i < 5; ++i) headless::KeyPress(DIK_4);
  headless::KeyDown(DIK_5);
  PollKeyboard();
  EXPECT_TRUE(app.keys.empty());
  // The batch is gone, not waiting.
  PollKeyboard();
  EXPECT_TRUE(app.keys.empty());
  headless::KeyUp(DIK_5);
  PollKeyboard();
  ASSERT_EQ(app.keys.size(), 1u);
  EXPECT_EQ(app.keys[0].code, DIK_5);
}

TEST_F(KeyboardTest, ALostKeyboardIsTakenBackAtTheNextRead) {
  headless::SetForeground(false);
  headless::KeyPress(DIK_3);  // goes elsewhere
  headless::SetForeground(true);
  headless::KeyPress(DIK_6);  // not acquired yet: not buffered
  EXPECT_EQ(headless::CallCount(Call::Acquire), 1u);
  PollKeyboard();
  EXPECT_EQ(headless::CallCount(Call::Acquire), 2u);
  EXPECT_TRUE(app.keys.empty());
  headless::KeyPress(DIK_6);
  PollKeyboard();
  EXPECT_EQ(app.keys.size(), 2u);

  // When taking it back fails, no events this turn and no further attempts
  // while it merely reports not being acquired.
  headless::SetForeground(false);
  headless::SetForeground(true);
  headless::Fail(Call::Acquire);
  PollKeyboard();
  EXPECT_EQ(headless::CallCount(Call::Acquire), 3u);
  PollKeyboard();
  EXPECT_EQ(headless::CallCount(Call::Acquire), 3u);
  EXPECT_EQ(app.keys.size(), 2u);
}

TEST_F(KeyboardTest, ReleaseUnacquiresThenReleasesBoth) {
  headless::ClearTrace();
  ReleaseKeyboard();
  EXPECT_EQ(keyboard, nullptr);
  EXPECT_EQ(dinput, nullptr);
  EXPECT_EQ(headless::Trace(), (std::vector<std::string>{"Unacquire keyboard", "Release keyboard",
                                                         "Release DirectInput"}));
  PollKeyboard();  // nothing to read, nothing happens
  ReleaseKeyboard();
  EXPECT_EQ(headless::Trace().size(), 3u);
}

TEST(FrameRate, ThirtySevenFramesOverOneThousandTwentyMillisecondsGiveThirtySix) {
  frameCount = fpsTime = fpsFrames = fps = 0;
  headless::Reset();
  // The first frame measures from the clock's start.
  headless::SetTime(5000);
  CountFrame();
  EXPECT_EQ(fps, 0u);
  EXPECT_EQ(fpsTime, 5000u);
  for (int i = 1; i <= 36; ++i) {
    headless::SetTime(5000 + static_cast<uint32_t>(i) * 27);
    CountFrame();
    EXPECT_EQ(fps, 0u);
  }
  headless::SetTime(6020);
  CountFrame();
  EXPECT_EQ(fps, 36u);
  EXPECT_EQ(fpsFrames, 38u);
  EXPECT_EQ(fpsTime, 6020u);
}

TEST(FrameRate, ExactlyOneSecondIsNotEnoughAndTheClockMayWrap) {
  frameCount = 100;
  fpsFrames = 50;
  fps = 7;
  fpsTime = 0xFFFFFE00u;
  headless::Reset();
  headless::SetTime(0xFFFFFE00u + 1000);
  CountFrame();
  EXPECT_EQ(fps, 7u);
  headless::SetTime(0xFFFFFE00u + 1001);  // past the wrap of the clock
  CountFrame();
  EXPECT_EQ(fps, 51u);  // 52 frames x 1000 / 1001, truncated
  EXPECT_EQ(fpsTime, 0xFFFFFE00u + 1001);
  frameCount = fpsTime = fpsFrames = fps = 0;
}

// The text's pixels at every depth: white ink where the glyphs are, the
// background untouched elsewhere, all inside the text's cell.
// The back buffer's bytes are the program's only under a lock.
void FillBackBuffer(uint8_t value, size_t bytes) {
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  ASSERT_EQ(backBuffer->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  std::memset(desc.lpSurface, value, bytes);
  backBuffer->Unlock(nullptr);
}

std::vector<uint8_t> BackBufferBytes(size_t bytes) {
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  if (backBuffer->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return {};
  const auto* p = static_cast<const uint8_t*>(desc.lpSurface);
  std::vector<uint8_t> out(p, p + bytes);
  backBuffer->Unlock(nullptr);
  return out;
}

TEST_F(FrameTest, DrawStringPutsWhiteGlyphsOnTheBackgroundInEveryDepth) {
  StartUp();
  const uint32_t depths[] = {8, 16, 24, 32};
  const uint32_t white[] = {255, 0x7FFF, 0xFFFFFF, 0xFFFFFF};
  size_t inkAt8 = 0;
  for (int d = 0; d < 4; ++d) {
    ASSERT_EQ(app.SetMode(320, 200, static_cast<int32_t>(depths[d])), 1);
    const size_t bpp = depths[d] / 8;
    FillBackBuffer(0x21, 320 * 200 * bpp);
    app.DrawString(5, 10, "37 FPS");
    const std::vector<uint8_t> bytes = BackBufferBytes(320 * 200 * bpp);
    ASSERT_EQ(bytes.size(), 320 * 200 * bpp);
    const uint8_t* px = bytes.data();
    size_t ink = 0, touchedOutside = 0;
    const int32_t width = font::TextWidth("37 FPS", 6);
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 320; ++x) {
        const uint8_t* p = px + (static_cast<size_t>(y) * 320 + static_cast<size_t>(x)) * bpp;
        uint32_t v = 0;
        for (size_t b = 0; b < bpp; ++b) v |= static_cast<uint32_t>(p[b]) << (8 * b);
        const bool background = std::all_of(p, p + bpp, [](uint8_t c) { return c == 0x21; });
        if (background) continue;
        EXPECT_EQ(v, white[d]) << depths[d] << " bits at " << x << "," << y;
        const bool inCell = x >= 5 && x < 5 + width && y >= 10 && y < 10 + font::CellHeight();
        touchedOutside += !inCell;
        ++ink;
      }
    EXPECT_EQ(touchedOutside, 0u) << depths[d];
    EXPECT_GT(ink, 60u) << depths[d];
    if (d == 0) inkAt8 = ink;
    EXPECT_EQ(ink, inkAt8) << "the same glyphs at " << depths[d] << " bits";
  }
}

TEST_F(FrameTest, TextIsClippedAtEveryEdgeAndSkippedWithoutADc) {
  StartUp();
  FillBackBuffer(0, 640 * 480);
  app.DrawString(-7, -5, "Clipped text");
  app.DrawString(630, 470, "Clipped text");
  app.DrawString(INT32_MIN, INT32_MAX, "far away");
  app.DrawString(0, 0, nullptr);
  const std::vector<uint8_t> drawn = BackBufferBytes(640 * 480);
  EXPECT_GT(std::count(drawn.begin(), drawn.end(), uint8_t{255}), 0);

  FillBackBuffer(0, 640 * 480);
  headless::Fail(Call::SurfaceGetDC);
  app.DrawString(10, 10, "not drawn");
  const std::vector<uint8_t> blank = BackBufferBytes(640 * 480);
  EXPECT_EQ(std::count(blank.begin(), blank.end(), uint8_t{0}), 640 * 480);
}

}  // namespace
}  // namespace frame_test
