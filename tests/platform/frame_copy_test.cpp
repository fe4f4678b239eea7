// The frame's pixels on displays of another layout or row pitch: the
// conversion of every 16-bit colour, the other layouts a driver may report,
// and what the frame's copy hands the device and when.
#include "platform/frame_copy.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/pixels.h"

namespace {

using plat::FrameCopy;
using plat::LayoutConversion;
using plat::PixelLayout;

constexpr PixelLayout k565{16, 0xF800, 0x07E0, 0x001F};

// A level of `bits` bits as 8, its top bits repeated, as a display shows it.
uint32_t Shown(uint32_t level, uint32_t bits) {
  uint32_t out = 0;
  for (int shift = 8 - static_cast<int>(bits); shift > -static_cast<int>(bits);
       shift -= static_cast<int>(bits))
    out |= shift >= 0 ? level << shift : level >> -shift;
  return out & 0xFF;
}

// A pixel of a layout as the 8-bit levels a display shows.
void Levels(uint32_t pixel, const PixelLayout& l, uint32_t rgb[3]) {
  const uint32_t masks[3] = {l.red, l.green, l.blue};
  for (int c = 0; c < 3; ++c) {
    uint32_t shift = 0, bits = 0;
    while (!(masks[c] >> shift & 1)) ++shift;
    while (masks[c] >> (shift + bits) & 1) ++bits;
    rgb[c] = Shown((pixel & masks[c]) >> shift, bits);
  }
}

TEST(LayoutConversion, EveryFrameColourShowsTheSameOnA565Display) {
  const LayoutConversion to565(k565);
  ASSERT_FALSE(to565.None());
  // Both halves of the word: bit 15 of a 5-5-5 pixel means nothing.
  std::vector<uint16_t> row(1u << 16), out(row.size() + 1, 0xBEEF);
  for (uint32_t p = 0; p < row.size(); ++p) row[p] = static_cast<uint16_t>(p);
  // From an odd start and of an odd length: the vector loop and its tail.
  to565.Row(reinterpret_cast<const uint8_t*>(row.data() + 1),
            reinterpret_cast<uint8_t*>(out.data() + 1), row.size() - 1);
  EXPECT_EQ(out[0], 0xBEEF);
  for (uint32_t p = 1; p < row.size(); ++p) {
    ASSERT_EQ(out[p], to565.Pixel(p)) << p;
    uint32_t shown[3];
    Levels(out[p], k565, shown);
    const uint32_t frame = plat::Argb555(p);
    // Red and blue exactly; green within one step of the display's six bits.
    EXPECT_EQ(shown[0], (frame >> 16) & 0xFF) << p;
    EXPECT_EQ(shown[2], frame & 0xFF) << p;
    EXPECT_LE(std::abs(static_cast<int>(shown[1]) - static_cast<int>((frame >> 8) & 0xFF)), 3) << p;
  }
  // The ends of the range stay where they are: black and full white.
  EXPECT_EQ(to565.Pixel(0), 0u);
  EXPECT_EQ(to565.Pixel(0x7FFF), 0xFFFFu);
}

TEST(LayoutConversion, OtherLayoutsKeepEachColourInItsOwnBits) {
  struct Case {
    PixelLayout layout;
    uint32_t framePixel;
  };
  const Case cases[] = {
      {{16, 0x001F, 0x07E0, 0xF800}, 0x7C00},          // blue-green-red 5-6-5, pure red
      {{16, 0x0F00, 0x00F0, 0x000F}, 0x4210},          // 4-4-4
      {{24, 0x0000FF, 0x00FF00, 0xFF0000}, 0x123456},  // red-green-blue bytes
      {{32, 0x000000FF, 0x0000FF00, 0x00FF0000}, 0xA1B2C3},
      {{32, 0x3FF00000, 0x000FFC00, 0x000003FF}, 0x80FF01},  // ten bits a colour
  };
  for (const Case& c : cases) {
    const PixelLayout frame = plat::FrameLayout(c.layout.bitsPerPixel);
    ASSERT_TRUE(plat::LayoutProblem(c.layout).empty()) << plat::LayoutText(c.layout);
    const LayoutConversion conversion(c.layout);
    ASSERT_FALSE(conversion.None());
    const uint32_t pixel = conversion.Pixel(c.framePixel);
    uint32_t want[3], got[3];
    Levels(c.framePixel, frame, want);
    Levels(pixel, c.layout, got);
    const uint32_t bits = c.layout.bitsPerPixel == 16 ? 4 : 8;  // the narrowest here
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(got[i] >> (8 - bits), want[i] >> (8 - bits)) << plat::LayoutText(c.layout);
    EXPECT_EQ(pixel & ~(c.layout.red | c.layout.green | c.layout.blue), 0u);
    // Row stores exactly the pixel's bytes and no more.
    const uint32_t bytes = c.layout.bitsPerPixel / 8;
    uint8_t source[8] = {}, dest[8];
    std::memset(dest, 0x5A, sizeof dest);
    std::memcpy(source, &c.framePixel, bytes);
    conversion.Row(source, dest, 1);
    uint32_t stored = 0;
    std::memcpy(&stored, dest, bytes);
    EXPECT_EQ(stored, pixel);
    EXPECT_EQ(dest[bytes], 0x5A);
  }
}

TEST(LayoutConversion, OnlyLayoutsThatHoldAColourPixelAreTaken) {
  EXPECT_TRUE(plat::LayoutProblem(plat::FrameLayout(16)).empty());
  EXPECT_TRUE(plat::LayoutProblem(k565).empty());
  EXPECT_TRUE(plat::LayoutProblem(plat::FrameLayout(8)).empty());
  EXPECT_TRUE(LayoutConversion(plat::FrameLayout(16)).None());
  EXPECT_TRUE(LayoutConversion(plat::FrameLayout(32)).None());
  const PixelLayout refused[] = {
      {16, 0, 0x03E0, 0x001F},         // no red
      {16, 0x7C00, 0x03F0, 0x001F},    // green overlaps blue
      {16, 0x7C00, 0x0360, 0x001F},    // a gap in green
      {16, 0x1F0000, 0x03E0, 0x001F},  // red beyond the pixel
      {12, 0xF00, 0x0F0, 0x00F},       // not a depth the frame draws
  };
  for (const PixelLayout& l : refused) {
    EXPECT_FALSE(plat::LayoutProblem(l).empty()) << plat::LayoutText(l);
    EXPECT_TRUE(LayoutConversion(l).None()) << plat::LayoutText(l);
  }
  testing::internal::CaptureStderr();
  EXPECT_FALSE(plat::FrameCanShow(refused[1], 800, 600));
  EXPECT_TRUE(plat::FrameCanShow(k565, 800, 600));
  EXPECT_TRUE(plat::FrameCanShow({4, 0, 0, 0}, 640, 480));  // the frame's own rule
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("800x600x16 is left out of Modes"), std::string::npos) << said;
  EXPECT_EQ(said.find("640x480"), std::string::npos) << said;
}

// A device of 5 x 3 pixels at 16 bits whose rows are 16 bytes apart.
struct Device {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(3 * 16, 0xEE);
  uint16_t At(int x, int y) const {
    uint16_t v;
    std::memcpy(&v, bytes.data() + y * 16 + 2 * x, 2);
    return v;
  }
};

void DrawAll(FrameCopy& copy, uint16_t value) {
  for (uint32_t y = 0; y < copy.Height(); ++y)
    for (uint32_t x = 0; x < copy.Width(); ++x)
      std::memcpy(copy.Pixels() + y * copy.Pitch() + 2 * x, &value, 2);
}

TEST(FrameCopy, TakesOverOnlyWhereTheDeviceCannotBeDrawnStraight) {
  FrameCopy same(plat::FrameLayout(16));
  EXPECT_FALSE(same.Lock(5, 3, 10, false));  // rows of the width, the frame's layout
  EXPECT_FALSE(same.InUse());
  EXPECT_TRUE(same.Lock(5, 3, 10, true));   // forced
  EXPECT_TRUE(same.Lock(5, 3, 16, false));  // longer rows
  FrameCopy other(k565);
  EXPECT_TRUE(other.Lock(5, 3, 10, false));  // another layout
  EXPECT_EQ(other.Pitch(), 10u);
  uint8_t* first = other.Pixels();
  EXPECT_TRUE(other.Lock(5, 3, 10, false));
  EXPECT_EQ(other.Pixels(), first);  // the same memory from lock to lock
  EXPECT_EQ(other.DisplayPixel(0x7FFF), 0xFFFFu);
}

TEST(FrameCopy, DeliversAfterAFillOnlyWhatTheFrameSaidItDrew) {
  FrameCopy copy(k565);
  Device device;
  ASSERT_TRUE(copy.Lock(5, 3, 16, false));
  DrawAll(copy, 0x7C00);  // red
  EXPECT_TRUE(copy.Pending());
  copy.Deliver(device.bytes.data(), 16);  // nothing known of the device: all of it
  EXPECT_FALSE(copy.Pending());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(device.At(x, y), 0xF800) << x << "," << y;
  EXPECT_EQ(device.bytes[10], 0xEE);  // the bytes past a row's pixels are the device's

  // The frame's frame: a fill (the device filled alike), a lock, its word.
  copy.Filled(0);
  std::fill(device.bytes.begin(), device.bytes.end(), uint8_t{0});
  EXPECT_FALSE(copy.Pending());
  ASSERT_TRUE(copy.Lock(5, 3, 16, false));
  DrawAll(copy, 0x03E0);  // green everywhere, though it says it drew one pixel
  copy.Drew(2, 1, 3, 2);
  copy.Deliver(device.bytes.data(), 16);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(device.At(x, y), x == 2 && y == 1 ? 0x07E0 : 0) << x << "," << y;
  // Once delivered, nothing goes again until the frame locks.
  device.bytes.assign(device.bytes.size(), 0);
  copy.Deliver(device.bytes.data(), 16);
  EXPECT_EQ(device.At(2, 1), 0);

  // A word beyond the surface is cut to it.
  ASSERT_TRUE(copy.Lock(5, 3, 16, false));
  copy.Drew(-10, -10, 100, 100);
  copy.Deliver(device.bytes.data(), 16);
  EXPECT_EQ(device.At(4, 2), 0x07E0);
}

}  // namespace
