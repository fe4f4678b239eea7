// A contiguous picture copied into surfaces whose rows are longer than the
// picture's, and the colour fill of a contiguous picture, at every depth.
#include "platform/row_copy.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace plat;

constexpr uint8_t kGap = 0xA5;

TEST(CopyRowsToPitch, EachRowLandsAtItsPitchAndTheGapsStay) {
  constexpr size_t kWidth = 7, kHeight = 5;
  for (size_t bytesPerPixel = 1; bytesPerPixel <= 4; ++bytesPerPixel) {
    const size_t rowBytes = kWidth * bytesPerPixel;
    for (size_t padding : {size_t{0}, size_t{1}, size_t{13}}) {
      SCOPED_TRACE(testing::Message()
                   << bytesPerPixel << " bytes a pixel, " << padding << " bytes after each row");
      const size_t pitch = rowBytes + padding;
      std::vector<uint8_t> source(rowBytes * kHeight);
      for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 7 + 1);
      std::vector<uint8_t> surface(pitch * kHeight + 16, kGap);
      CopyRowsToPitch(surface.data(), static_cast<ptrdiff_t>(pitch), source.data(), rowBytes,
                      kHeight);
      for (size_t y = 0; y < kHeight; ++y) {
        for (size_t x = 0; x < rowBytes; ++x)
          ASSERT_EQ(surface[y * pitch + x], source[y * rowBytes + x])
              << "row " << y << " byte " << x;
        for (size_t x = rowBytes; x < pitch; ++x)
          ASSERT_EQ(surface[y * pitch + x], kGap) << "row " << y << " gap byte " << x;
      }
      for (size_t i = pitch * kHeight; i < surface.size(); ++i)
        ASSERT_EQ(surface[i], kGap) << "written past the last row at " << i;
    }
  }
}

TEST(FillPixels, WritesTheLowBytesOfTheValueInEachPixel) {
  constexpr uint32_t kValue = 0x44332211;
  constexpr size_t kCount = 9;
  for (uint32_t bytesPerPixel = 1; bytesPerPixel <= 4; ++bytesPerPixel) {
    SCOPED_TRACE(testing::Message() << bytesPerPixel << " bytes a pixel");
    std::vector<uint8_t> pixels(kCount * bytesPerPixel + 4, kGap);
    FillPixels(pixels.data(), kCount, bytesPerPixel, kValue);
    for (size_t i = 0; i < kCount * bytesPerPixel; ++i)
      ASSERT_EQ(pixels[i], static_cast<uint8_t>(kValue >> (8 * (i % bytesPerPixel)))) << i;
    for (size_t i = kCount * bytesPerPixel; i < pixels.size(); ++i) ASSERT_EQ(pixels[i], kGap) << i;
  }
  // A depth of no whole bytes is left alone.
  std::vector<uint8_t> odd(8, kGap);
  FillPixels(odd.data(), 2, 5, kValue);
  FillPixels(odd.data(), 2, 0, kValue);
  for (uint8_t b : odd) EXPECT_EQ(b, kGap);
}

}  // namespace
