// How a monitor shows the emulated screen: the fit, the way back for the
// mouse, and the colours of each depth.
#include "platform/core/present.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace plat;
using namespace plat::core;

TEST(FitScreen, UsesTheLargestWholeNumberScaleCentred) {
  const Placement twice = FitScreen(640, 480, 1280, 960);
  EXPECT_EQ(twice.x, 0);
  EXPECT_EQ(twice.y, 0);
  EXPECT_EQ(twice.width, 1280);
  EXPECT_EQ(twice.height, 960);

  // 2.5 fits, so 2: bars all round.
  const Placement two = FitScreen(640, 480, 1600, 1200);
  EXPECT_EQ(two.width, 1280);
  EXPECT_EQ(two.height, 960);
  EXPECT_EQ(two.x, 160);
  EXPECT_EQ(two.y, 120);

  // A wide screen: bars left and right, whole pixels still.
  const Placement wide = FitScreen(320, 200, 1920, 1080);
  EXPECT_EQ(wide.width, 1600);
  EXPECT_EQ(wide.height, 1000);
  EXPECT_EQ(wide.x, 160);
  EXPECT_EQ(wide.y, 40);
}

TEST(FitScreen, StretchesToFillWhenTwiceTheSizeDoesNotFit) {
  // 640x480 on a 1024x768 desktop fills it rather than sit small in the middle.
  const Placement filled = FitScreen(640, 480, 1024, 768);
  EXPECT_EQ(filled.width, 1024);
  EXPECT_EQ(filled.height, 768);
  EXPECT_EQ(filled.x, 0);
  const Placement wide = FitScreen(1024, 768, 1920, 1080);
  EXPECT_EQ(wide.width, 1440);
  EXPECT_EQ(wide.height, 1080);
  EXPECT_EQ(wide.x, 240);
  const Placement same = FitScreen(800, 600, 800, 600);
  EXPECT_EQ(same.width, 800);
  EXPECT_EQ(same.x, 0);
}

TEST(FitScreen, ShrinksKeepingTheAspectRatioWhenNoWholeScaleFits) {
  const Placement p = FitScreen(1600, 1200, 1024, 768);
  EXPECT_EQ(p.width, 1024);
  EXPECT_EQ(p.height, 768);
  const Placement tall = FitScreen(1600, 1200, 800, 1000);
  EXPECT_EQ(tall.width, 800);
  EXPECT_EQ(tall.height, 600);
  EXPECT_EQ(tall.y, 200);
  const Placement narrow = FitScreen(1280, 1024, 1000, 400);
  EXPECT_EQ(narrow.height, 400);
  EXPECT_EQ(narrow.width, 500);
  EXPECT_EQ(narrow.x, 250);
}

TEST(FitScreen, EmptySizesGiveNothing) {
  EXPECT_EQ(FitScreen(0, 480, 800, 600).width, 0);
  EXPECT_EQ(FitScreen(640, 480, 0, 600).width, 0);
  EXPECT_EQ(FitScreen(640, 480, 800, -1).height, 0);
  // Far more pixels than the output: at least one pixel, no overflow.
  const Placement p = FitScreen(4095, 1, 10, 10);
  EXPECT_EQ(p.width, 10);
  EXPECT_EQ(p.height, 1);
}

TEST(OutputToScreen, TakesPointsOfThePictureBackAndRefusesTheBars) {
  const Placement p = FitScreen(640, 480, 1600, 1200);
  int32_t x = -1, y = -1;
  ASSERT_TRUE(OutputToScreen(p, 640, 480, 160, 120, &x, &y));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  ASSERT_TRUE(OutputToScreen(p, 640, 480, 1439, 1079, &x, &y));
  EXPECT_EQ(x, 639);
  EXPECT_EQ(y, 479);
  EXPECT_FALSE(OutputToScreen(p, 640, 480, 159, 300, &x, &y));
  EXPECT_FALSE(OutputToScreen(p, 640, 480, 1440, 300, &x, &y));
  EXPECT_FALSE(OutputToScreen(p, 640, 480, 400, 1080, &x, &y));

  // Stretched by 1.6: the last output pixel is still the last screen pixel.
  const Placement stretched = FitScreen(640, 480, 1024, 768);
  ASSERT_TRUE(OutputToScreen(stretched, 640, 480, 8, 8, &x, &y));
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 5);
  ASSERT_TRUE(OutputToScreen(stretched, 640, 480, 1023, 767, &x, &y));
  EXPECT_EQ(x, 639);
  EXPECT_EQ(y, 479);

  const Placement thrice = FitScreen(320, 240, 960, 720);
  ASSERT_TRUE(OutputToScreen(thrice, 320, 240, 5, 8, &x, &y));
  EXPECT_EQ(x, 1);
  EXPECT_EQ(y, 2);
  EXPECT_FALSE(OutputToScreen(Placement{}, 320, 240, 0, 0, &x, &y));
}

TEST(ToArgb, ShowsEachDepthAsTheHardwareWould) {
  PALETTEENTRY palette[256] = {};
  palette[7] = {10, 20, 30, 0};
  const uint8_t eight[2] = {7, 0};
  uint32_t out[4] = {};
  ToArgb({eight, 2, 1, 8, palette}, out, 2);
  EXPECT_EQ(out[0], 0xFF0A141Eu);
  EXPECT_EQ(out[1], 0xFF000000u);

  // 5-5-5: red in bits 10-14; bit 15 means nothing.
  const uint8_t sixteen[4] = {0x00, 0x7C, 0xFF, 0xFF};
  ToArgb({sixteen, 2, 1, 16, nullptr}, out, 2);
  EXPECT_EQ(out[0], 0xFFFF0000u);
  EXPECT_EQ(out[1], 0xFFFFFFFFu);

  const uint8_t bgr[6] = {1, 2, 3, 4, 5, 6};
  ToArgb({bgr, 2, 1, 24, nullptr}, out, 2);
  EXPECT_EQ(out[0], 0xFF030201u);
  EXPECT_EQ(out[1], 0xFF060504u);

  const uint8_t bgrx[8] = {1, 2, 3, 99, 4, 5, 6, 99};
  ToArgb({bgrx, 2, 1, 32, nullptr}, out, 2);
  EXPECT_EQ(out[0], 0xFF030201u);
  EXPECT_EQ(out[1], 0xFF060504u);
}

TEST(ToArgb, KeepsToThePitchAndAllowsAMissingPalette) {
  const uint8_t pixels[4] = {1, 2, 3, 4};
  std::vector<uint32_t> out(6, 0x12345678u);
  ToArgb({pixels, 2, 2, 8, nullptr}, out.data(), 3);
  EXPECT_EQ(out[0], 0xFF000000u);
  EXPECT_EQ(out[2], 0x12345678u);  // the padding of each row stays
  EXPECT_EQ(out[3], 0xFF000000u);
  EXPECT_EQ(out[5], 0x12345678u);
}

}  // namespace
