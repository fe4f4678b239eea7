// How a monitor shows the emulated screen: the fit, the way back for the
// mouse, the colours of each depth, and shrinking a screen larger than the
// output.
#include "platform/core/present.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/threads.h"

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
  // Red 16, green 1, blue 30: the top bits repeated below (132, 8, 247).
  const uint8_t levels[2] = {0x3E, 0x40};
  ToArgb({levels, 1, 1, 16, nullptr}, out, 1);
  EXPECT_EQ(out[0], 0xFF8408F7u);

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

TEST(Expand5, ReachesBothEndsAndKeepsTheOrderOfLevels) {
  EXPECT_EQ(Expand5(0), 0);
  EXPECT_EQ(Expand5(31), 255);
  for (uint32_t v = 1; v < 32; ++v) {
    EXPECT_GT(Expand5(v), Expand5(v - 1));
    // Back to the same level when the display's 8 bits are cut to 5.
    EXPECT_EQ(Expand5(v) >> 3, v);
  }
  // Only the five low bits count.
  EXPECT_EQ(Expand5(32 + 3), Expand5(3));
  EXPECT_EQ(
      Argb555(0x8000u | (3u << 10) | (17u << 5) | 29u),
      0xFF000000u | (uint32_t{Expand5(3)} << 16) | (uint32_t{Expand5(17)} << 8) | Expand5(29));
}

TEST(ToRgb, GivesTheSameColoursAsTheMonitor) {
  const uint8_t sixteen[6] = {0x3E, 0x40, 0x00, 0x7C, 0x1F, 0x00};
  const std::vector<uint8_t> rgb = ToRgb({sixteen, 3, 1, 16, nullptr});
  uint32_t argb[3] = {};
  ToArgb({sixteen, 3, 1, 16, nullptr}, argb, 3);
  ASSERT_EQ(rgb.size(), 9u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(rgb[3 * i], static_cast<uint8_t>(argb[i] >> 16));
    EXPECT_EQ(rgb[3 * i + 1], static_cast<uint8_t>(argb[i] >> 8));
    EXPECT_EQ(rgb[3 * i + 2], static_cast<uint8_t>(argb[i]));
  }
  EXPECT_EQ(rgb[0], 132);
  EXPECT_TRUE(ToRgb({nullptr, 3, 1, 16, nullptr}).empty());
  EXPECT_TRUE(ToRgb({sixteen, 0, 1, 16, nullptr}).empty());
}

// ---- Shrinking ----

uint32_t Red(uint32_t p) { return (p >> 16) & 0xFF; }
uint32_t Green(uint32_t p) { return (p >> 8) & 0xFF; }
uint32_t Blue(uint32_t p) { return p & 0xFF; }

// A 32-bit screen (blue, green, red, unused) from pixels given as 0xRRGGBB.
struct Screen32 {
  Screen32(int32_t w, int32_t h) : width(w), height(h), bytes(size_t(w) * size_t(h) * 4) {}
  void Set(int32_t x, int32_t y, uint32_t rgb) {
    uint8_t* p = &bytes[(size_t(y) * size_t(width) + size_t(x)) * 4];
    p[0] = static_cast<uint8_t>(rgb);
    p[1] = static_cast<uint8_t>(rgb >> 8);
    p[2] = static_cast<uint8_t>(rgb >> 16);
  }
  uint32_t Get(int32_t x, int32_t y) const {
    const uint8_t* p = &bytes[(size_t(y) * size_t(width) + size_t(x)) * 4];
    return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
  }
  ScreenView View() const { return {bytes.data(), width, height, 32, nullptr}; }
  int32_t width, height;
  std::vector<uint8_t> bytes;
};

// The plain definition: each output pixel is the mean of the screen area it
// covers, in doubles, pixel by pixel.
std::vector<uint32_t> ReferenceShrink(const Screen32& s, int32_t w, int32_t h) {
  std::vector<uint32_t> out(size_t(w) * size_t(h));
  const double sx = double(s.width) / w, sy = double(s.height) / h;
  for (int32_t oy = 0; oy < h; ++oy)
    for (int32_t ox = 0; ox < w; ++ox) {
      const double x0 = ox * sx, x1 = (ox + 1) * sx, y0 = oy * sy, y1 = (oy + 1) * sy;
      double sum[3] = {0, 0, 0};
      for (int32_t y = int32_t(y0); y < s.height && y < y1; ++y)
        for (int32_t x = int32_t(x0); x < s.width && x < x1; ++x) {
          const double cover = (std::min<double>(x + 1, x1) - std::max<double>(x, x0)) *
                               (std::min<double>(y + 1, y1) - std::max<double>(y, y0));
          const uint32_t p = s.Get(x, y);
          sum[0] += cover * Red(p);
          sum[1] += cover * Green(p);
          sum[2] += cover * Blue(p);
        }
      const double area = sx * sy;
      uint32_t c[3];
      for (int i = 0; i < 3; ++i) c[i] = uint32_t(std::lround(sum[i] / area));
      out[size_t(oy) * size_t(w) + size_t(ox)] = 0xFF000000u | (c[0] << 16) | (c[1] << 8) | c[2];
    }
  return out;
}

TEST(Shrinks, OnlyWhenThePictureIsSmallerThanTheScreen) {
  EXPECT_TRUE(Shrinks(FitScreen(1600, 1200, 1024, 768), 1600, 1200));
  EXPECT_TRUE(Shrinks(FitScreen(1280, 1024, 1024, 640), 1280, 1024));
  EXPECT_FALSE(Shrinks(FitScreen(640, 480, 1024, 768), 640, 480));
  EXPECT_FALSE(Shrinks(FitScreen(800, 600, 800, 600), 800, 600));
  EXPECT_FALSE(Shrinks(FitScreen(320, 200, 1920, 1080), 320, 200));
  EXPECT_FALSE(Shrinks(Placement{}, 640, 480));
}

TEST(AreaShrinker, AveragesTheAreaEachOutputPixelCovers) {
  std::mt19937 random(7);
  const struct {
    int32_t fromW, fromH, toW, toH;
  } cases[] = {{8, 6, 4, 3},    {400, 300, 256, 192},   {37, 23, 5, 3},       {9, 7, 9, 2},
               {10, 10, 3, 10}, {1280, 1024, 960, 768}, {640, 480, 639, 479}, {5, 1, 1, 1}};
  for (const auto& c : cases) {
    Screen32 s(c.fromW, c.fromH);
    for (int32_t y = 0; y < s.height; ++y)
      for (int32_t x = 0; x < s.width; ++x) s.Set(x, y, random() & 0xFFFFFF);
    std::vector<uint32_t> out(size_t(c.toW) * size_t(c.toH));
    AreaShrinker shrinker;
    ASSERT_TRUE(shrinker.Shrink(s.View(), c.toW, c.toH, out.data(), size_t(c.toW)));
    const std::vector<uint32_t> want = ReferenceShrink(s, c.toW, c.toH);
    int worst = 0;
    for (size_t i = 0; i < out.size(); ++i) {
      EXPECT_EQ(out[i] >> 24, 0xFFu);
      for (uint32_t (*channel)(uint32_t) : {Red, Green, Blue})
        worst = std::max(worst, std::abs(int(channel(out[i])) - int(channel(want[i]))));
    }
    // Fixed point against doubles: a level at most.
    EXPECT_LE(worst, 1) << c.fromW << "x" << c.fromH << " to " << c.toW << "x" << c.toH;
  }
}

TEST(AreaShrinker, KeepsFlatColoursAndHalvesExactly) {
  Screen32 s(1600, 1200);
  for (int32_t y = 0; y < s.height; ++y)
    for (int32_t x = 0; x < s.width; ++x) s.Set(x, y, 0x8040C3);
  std::vector<uint32_t> out(1024 * 768);
  AreaShrinker shrinker;
  ASSERT_TRUE(shrinker.Shrink(s.View(), 1024, 768, out.data(), 1024));
  for (const uint32_t p : out) ASSERT_EQ(p, 0xFF8040C3u);

  // Two by two into one: the mean, halves rounded up.
  Screen32 q(4, 2);
  const uint32_t block[2][4] = {{0x000000, 0x020406, 255, 255}, {0x000000, 0x000000, 0, 1}};
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 4; ++x) q.Set(x, y, block[y][x]);
  uint32_t two[2] = {};
  ASSERT_TRUE(shrinker.Shrink(q.View(), 2, 1, two, 2));
  EXPECT_EQ(two[0], 0xFF010102u);  // 2/4, 4/4, 6/4
  EXPECT_EQ(two[1], 0xFF000080u);  // 511/4 = 127.75
}

TEST(AreaShrinker, EveryThinLineLeavesATrace) {
  // One-pixel lines, as in text and menu borders: dropping pixels loses some
  // of them altogether; averaging keeps each, fainter, with its light.
  for (int32_t column = 0; column < 1600; column += 7) {
    Screen32 s(1600, 4);
    for (int32_t y = 0; y < 4; ++y) s.Set(column, y, 0xFFFFFF);
    std::vector<uint32_t> out(1024 * 2);
    AreaShrinker shrinker;
    ASSERT_TRUE(shrinker.Shrink(s.View(), 1024, 2, out.data(), 1024));
    uint32_t light = 0;
    for (int32_t x = 0; x < 1024; ++x) light += Red(out[size_t(x)]);
    // 255 spread over 1024/1600 of a pixel: 163 give or take the rounding.
    EXPECT_NEAR(light, 163, 2) << "column " << column;
  }
}

TEST(AreaShrinker, ReadsEveryDepthAsTheMonitorShowsIt) {
  // The same picture at 8, 16, 24 bits, shrunk, matches the shrunk ARGB picture.
  PALETTEENTRY palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
  std::vector<uint8_t> eight(30 * 20), sixteen(30 * 20 * 2), bgr(30 * 20 * 3);
  for (size_t i = 0; i < eight.size(); ++i) {
    eight[i] = uint8_t(i * 31 + i / 30);
    sixteen[2 * i] = uint8_t(i * 13);
    sixteen[2 * i + 1] = uint8_t(i * 5);
    for (size_t b = 0; b < 3; ++b) bgr[3 * i + b] = uint8_t(i * (b + 3));
  }
  const ScreenView views[] = {{eight.data(), 30, 20, 8, palette},
                              {sixteen.data(), 30, 20, 16, nullptr},
                              {bgr.data(), 30, 20, 24, nullptr}};
  for (const ScreenView& view : views) {
    Screen32 argb(30, 20);
    std::vector<uint32_t> full(30 * 20);
    ToArgb(view, full.data(), 30);
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 0; x < 30; ++x) argb.Set(x, y, full[size_t(y) * 30 + size_t(x)] & 0xFFFFFF);
    AreaShrinker shrinker;
    std::vector<uint32_t> a(11 * 7), b(11 * 7);
    ASSERT_TRUE(shrinker.Shrink(view, 11, 7, a.data(), 11));
    ASSERT_TRUE(shrinker.Shrink(argb.View(), 11, 7, b.data(), 11));
    EXPECT_EQ(a, b) << view.bitsPerPixel << " bits";
  }
}

TEST(AreaShrinker, KeepsEvery16BitColourAtItsOwnSize) {
  // Every 5-5-5 value, the unused bit set in half: averaged over one pixel
  // each, the colours the monitor shows.
  std::vector<uint8_t> sixteen(256 * 256 * 2);
  for (size_t i = 0; i < 256 * 256; ++i) {
    sixteen[2 * i] = uint8_t(i);
    sixteen[2 * i + 1] = uint8_t(i >> 8);
  }
  const ScreenView view{sixteen.data(), 256, 256, 16, nullptr};
  std::vector<uint32_t> shrunk(256 * 256), shown(256 * 256);
  AreaShrinker shrinker;
  ASSERT_TRUE(shrinker.Shrink(view, 256, 256, shrunk.data(), 256));
  ToArgb(view, shown.data(), 256);
  for (size_t i = 0; i < shown.size(); ++i) ASSERT_EQ(shrunk[i], shown[i]) << "value " << i;
}

TEST(AreaShrinker, GivesTheSamePictureWithOrWithoutVectorCode) {
  // The plain code, kept for machines without SSE2, against the vector
  // code: every depth, odd widths that leave the vectors a part row, halves
  // and quarters (weights all alike), one size kept, a row or column taken
  // in whole and more screen rows per output row than are unrolled; whole
  // and partial.
  const struct {
    int32_t fromW, fromH, toW, toH;
  } cases[] = {{37, 23, 5, 3},  {61, 17, 30, 8}, {64, 32, 32, 16}, {68, 9, 17, 9}, {33, 9, 33, 4},
               {4095, 3, 7, 2}, {19, 70, 19, 4}, {50, 40, 17, 13}, {5, 5, 1, 1},   {2, 2, 1, 1}};
  PALETTEENTRY palette[256];
  std::mt19937 random(11);
  for (PALETTEENTRY& e : palette) e = {uint8_t(random()), uint8_t(random()), uint8_t(random()), 0};
  for (const int32_t bpp : {8, 16, 24, 32})
    for (const auto& c : cases) {
      SCOPED_TRACE(std::to_string(c.fromW) + "x" + std::to_string(c.fromH) + "x" +
                   std::to_string(bpp) + " to " + std::to_string(c.toW) + "x" +
                   std::to_string(c.toH));
      std::vector<uint8_t> bytes(size_t(c.fromW) * size_t(c.fromH) * size_t(bpp / 8));
      for (uint8_t& b : bytes) b = uint8_t(random());
      const ScreenView view{bytes.data(), c.fromW, c.fromH, bpp, palette};
      AreaShrinker vector, plain;
      plain.UsePlainCode(true);
      std::vector<uint32_t> a(size_t(c.toW) * size_t(c.toH)), b(a.size());
      ASSERT_TRUE(vector.Shrink(view, c.toW, c.toH, a.data(), size_t(c.toW)));
      ASSERT_TRUE(plain.Shrink(view, c.toW, c.toH, b.data(), size_t(c.toW)));
      ASSERT_EQ(a, b);
      // A run in a few rows changed, from an odd column on.
      std::vector<RowChange> changes(size_t(c.fromH));
      for (int32_t y = c.fromH / 3; y < c.fromH; y += 2) {
        const int32_t x = int32_t(random() % uint32_t(c.fromW));
        const int32_t end = x + 1 + int32_t(random() % uint32_t(c.fromW - x));
        for (size_t i = size_t(x) * size_t(bpp / 8); i < size_t(end) * size_t(bpp / 8); ++i)
          bytes[size_t(y) * size_t(c.fromW) * size_t(bpp / 8) + i] = uint8_t(random());
        changes[size_t(y)] = {x, end};
      }
      Rect wroteA, wroteB;
      ASSERT_TRUE(
          vector.Shrink(view, c.toW, c.toH, changes.data(), a.data(), size_t(c.toW), &wroteA));
      ASSERT_TRUE(
          plain.Shrink(view, c.toW, c.toH, changes.data(), b.data(), size_t(c.toW), &wroteB));
      EXPECT_EQ(a, b);
      EXPECT_EQ(wroteA.x, wroteB.x);
      EXPECT_EQ(wroteA.width, wroteB.width);
      // Both the picture shrunk afresh.
      std::vector<uint32_t> fresh(a.size());
      ASSERT_TRUE(AreaShrinker{}.Shrink(view, c.toW, c.toH, fresh.data(), size_t(c.toW)));
      EXPECT_EQ(a, fresh);
    }
}

TEST(AreaShrinker, RefusesWhatItCannotDoAndKeepsToThePitch) {
  Screen32 s(6, 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) s.Set(x, y, 0x102030);
  AreaShrinker shrinker;
  std::vector<uint32_t> out(5 * 4, 0x12345678u);
  EXPECT_FALSE(shrinker.Shrink(s.View(), 7, 2, out.data(), 7));  // wider than the screen
  EXPECT_FALSE(shrinker.Shrink(s.View(), 3, 5, out.data(), 3));  // taller
  EXPECT_FALSE(shrinker.Shrink(s.View(), 0, 2, out.data(), 3));
  EXPECT_FALSE(shrinker.Shrink({nullptr, 6, 4, 32, nullptr}, 3, 2, out.data(), 3));
  EXPECT_FALSE(shrinker.Shrink(s.View(), 3, 2, nullptr, 3));
  for (const uint32_t p : out) EXPECT_EQ(p, 0x12345678u);

  ASSERT_TRUE(shrinker.Shrink(s.View(), 3, 2, out.data(), 5));
  for (size_t row = 0; row < 2; ++row) {
    for (size_t x = 0; x < 3; ++x) EXPECT_EQ(out[row * 5 + x], 0xFF102030u);
    EXPECT_EQ(out[row * 5 + 3], 0x12345678u);
    EXPECT_EQ(out[row * 5 + 4], 0x12345678u);
  }
  EXPECT_EQ(out[10], 0x12345678u);
}

TEST(AreaShrinker, GivesTheSameResultWhenSizesChangeBetweenCalls) {
  std::mt19937 random(3);
  Screen32 big(64, 48), small(20, 10);
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x) big.Set(x, y, random() & 0xFFFFFF);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 20; ++x) small.Set(x, y, random() & 0xFFFFFF);
  // One shrinker through a screen, another size of output, another screen,
  // and back; each result as a fresh shrinker gives it.
  const struct {
    const Screen32* screen;
    int32_t w, h;
  } steps[] = {{&big, 40, 30}, {&big, 33, 20}, {&small, 7, 3}, {&big, 40, 30}, {&small, 20, 9}};
  AreaShrinker kept;
  for (const auto& step : steps) {
    std::vector<uint32_t> a(size_t(step.w) * size_t(step.h)), b(a.size());
    ASSERT_TRUE(kept.Shrink(step.screen->View(), step.w, step.h, a.data(), size_t(step.w)));
    AreaShrinker fresh;
    ASSERT_TRUE(fresh.Shrink(step.screen->View(), step.w, step.h, b.data(), size_t(step.w)));
    EXPECT_EQ(a, b) << step.w << "x" << step.h;
  }
}

TEST(AreaShrinker, AveragesAgainWhatTheChangedPixelsReachAndNoMore) {
  // Small screens changed a pixel at a time, at every pixel, then in a few
  // scattered runs: the partial shrink gives the full one's picture, writes
  // nothing outside the rectangle it reports, and that rectangle holds every
  // output pixel that changed.
  const struct {
    int32_t fromW, fromH, toW, toH;
  } cases[] = {{13, 11, 5, 4},  {13, 11, 7, 6}, {9, 7, 9, 2},
               {10, 10, 3, 10}, {16, 12, 8, 6}, {40, 70, 33, 29}};
  std::mt19937 random(5);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.fromW) + "x" + std::to_string(c.fromH) + " to " +
                 std::to_string(c.toW) + "x" + std::to_string(c.toH));
    Screen32 s(c.fromW, c.fromH);
    for (int32_t y = 0; y < s.height; ++y)
      for (int32_t x = 0; x < s.width; ++x) s.Set(x, y, random() & 0xFFFFFF);
    const size_t pixels = size_t(c.toW) * size_t(c.toH);
    AreaShrinker kept;
    std::vector<uint32_t> out(pixels);
    ASSERT_TRUE(kept.Shrink(s.View(), c.toW, c.toH, out.data(), size_t(c.toW)));
    std::vector<RowChange> changes(size_t(c.fromH));
    const auto check = [&](const std::string& what) {
      SCOPED_TRACE(what);
      std::vector<uint32_t> partial = out;
      Rect written;
      ASSERT_TRUE(kept.Shrink(s.View(), c.toW, c.toH, changes.data(), partial.data(), size_t(c.toW),
                              &written));
      std::vector<uint32_t> want(pixels);
      AreaShrinker fresh;
      ASSERT_TRUE(fresh.Shrink(s.View(), c.toW, c.toH, want.data(), size_t(c.toW)));
      ASSERT_EQ(partial, want);
      // Again over a picture marked outside the rectangle: the marks stay.
      const auto inside = [&](int32_t ox, int32_t oy) {
        return ox >= written.x && ox < written.x + written.width && oy >= written.y &&
               oy < written.y + written.height;
      };
      const uint32_t mark = 0x00ABCDEFu;
      for (int32_t oy = 0; oy < c.toH; ++oy)
        for (int32_t ox = 0; ox < c.toW; ++ox) {
          const size_t i = size_t(oy) * size_t(c.toW) + size_t(ox);
          if (!inside(ox, oy)) {
            ASSERT_EQ(out[i], want[i]) << "changed outside: " << ox << "," << oy;
            partial[i] = mark;
          }
        }
      ASSERT_TRUE(kept.Shrink(s.View(), c.toW, c.toH, changes.data(), partial.data(), size_t(c.toW),
                              &written));
      for (int32_t oy = 0; oy < c.toH; ++oy)
        for (int32_t ox = 0; ox < c.toW; ++ox) {
          if (inside(ox, oy)) continue;
          ASSERT_EQ(partial[size_t(oy) * size_t(c.toW) + size_t(ox)], mark) << ox << "," << oy;
        }
      out = want;
    };
    for (int32_t y = 0; y < s.height; ++y)
      for (int32_t x = 0; x < s.width; ++x) {
        s.Set(x, y, random() & 0xFFFFFF);
        std::fill(changes.begin(), changes.end(), RowChange{});
        changes[size_t(y)] = {x, x + 1};
        check("pixel " + std::to_string(x) + "," + std::to_string(y));
        if (HasFatalFailure()) return;
      }
    for (int round = 0; round < 20; ++round) {
      std::fill(changes.begin(), changes.end(), RowChange{});
      for (int run = 0; run < 3; ++run) {
        const int32_t y = int32_t(random() % uint32_t(s.height));
        const int32_t x = int32_t(random() % uint32_t(s.width));
        const int32_t end = x + 1 + int32_t(random() % uint32_t(s.width - x));
        for (int32_t i = x; i < end; ++i) s.Set(i, y, random() & 0xFFFFFF);
        RowChange& r = changes[size_t(y)];
        r = r.left < r.right ? RowChange{std::min(r.left, x), std::max(r.right, end)}
                             : RowChange{x, end};
      }
      check("round " + std::to_string(round));
      if (HasFatalFailure()) return;
    }
  }
}

TEST(AreaShrinker, APartialShrinkOfNothingWritesNothing) {
  Screen32 s(8, 6);
  AreaShrinker shrinker;
  std::vector<uint32_t> out(4 * 3, 0x12345678u);
  // No row changed, or changes wholly outside the screen's columns.
  std::vector<RowChange> changes(6);
  changes[2] = {8, 12};
  changes[3] = {-5, 0};
  Rect written{1, 1, 1, 1};
  ASSERT_TRUE(shrinker.Shrink(s.View(), 4, 3, changes.data(), out.data(), 4, &written));
  EXPECT_TRUE(written.empty());
  for (const uint32_t p : out) EXPECT_EQ(p, 0x12345678u);
  EXPECT_FALSE(shrinker.Shrink(s.View(), 9, 3, changes.data(), out.data(), 9, &written));
  EXPECT_FALSE(shrinker.Shrink(s.View(), 4, 3, nullptr, out.data(), 4, &written));
}

}  // namespace
