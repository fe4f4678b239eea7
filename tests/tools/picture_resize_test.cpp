// The square scaling of users' own textures: area averages when shrinking,
// smooth blends when enlarging, the middle square or the whole picture.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "tools/picture.h"

namespace {

struct Rgb {
  int r, g, b;
};

Picture Painted(int width, int height, const std::function<Rgb(int, int)>& colour) {
  Picture p{width, height, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = colour(x, y);
      p.rgb.insert(p.rgb.end(), {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)});
    }
  }
  return p;
}

TEST(ResizeSquare, AFlatColourStaysExactlyFlat) {
  for (const auto& [w, h] : {std::pair{300, 200}, {10, 10}, {1, 1}, {128, 128}, {1000, 3}}) {
    for (Fit fit : {Fit::kCrop, Fit::kStretch}) {
      const std::vector<double> out = ResizeSquare(Painted(w, h,
                                                           [](int, int) {
                                                             return Rgb{200, 17, 90};
                                                           }),
                                                   128, fit);
      ASSERT_EQ(out.size(), 128u * 128u * 3u);
      for (size_t i = 0; i < out.size(); i += 3) {
        ASSERT_NEAR(out[i], 200, 1e-9) << w << "x" << h;
        ASSERT_NEAR(out[i + 1], 17, 1e-9);
        ASSERT_NEAR(out[i + 2], 90, 1e-9);
      }
    }
  }
}

TEST(ResizeSquare, CropKeepsTheMiddleSquareAndStretchTheWhole) {
  // Red, green and blue bands of 64, 128 and 64 columns.
  const Picture p = Painted(256, 128, [](int x, int) {
    return x < 64 ? Rgb{255, 0, 0} : x < 192 ? Rgb{0, 255, 0} : Rgb{0, 0, 255};
  });
  const std::vector<double> crop = ResizeSquare(p, 128, Fit::kCrop);
  for (size_t i = 0; i < crop.size(); i += 3) {
    ASSERT_NEAR(crop[i + 1], 255, 1e-9) << i / 3;
    ASSERT_NEAR(crop[i] + crop[i + 2], 0, 1e-9) << i / 3;
  }
  const std::vector<double> stretch = ResizeSquare(p, 128, Fit::kStretch);
  for (int x = 0; x < 128; ++x) {
    const double* c = &stretch[static_cast<size_t>(70 * 128 + x) * 3];
    const int band = x < 32 ? 0 : x < 96 ? 1 : 2;
    EXPECT_NEAR(c[band], 255, 1e-9) << x;
  }
}

TEST(ResizeSquare, ShrinkingAveragesWhatEachPixelCovers) {
  // Single-pixel checks, a third of the size: each output averages 3 x 3
  // pixels, four or five of them white. Point sampling would give 0 or 255.
  const std::vector<double> out =
      ResizeSquare(Painted(384, 384,
                           [](int x, int y) {
                             return (x + y) % 2 ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
                           }),
                   128, Fit::kCrop);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const double v = out[static_cast<size_t>(y * 128 + x) * 3];
      const double want = (x + y) % 2 ? 255.0 * 5 / 9 : 255.0 * 4 / 9;
      ASSERT_NEAR(v, want, 1e-9) << x << "," << y;
    }
  }
}

TEST(ResizeSquare, EnlargingBlendsNeighbours) {
  // Black beside white, 64 times larger: a smooth ramp in the middle, flat
  // at the ends, never a step of more than a few levels.
  const std::vector<double> out =
      ResizeSquare(Painted(2, 2,
                           [](int x, int) {
                             return x == 0 ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
                           }),
                   128, Fit::kCrop);
  double previous = 0;
  for (int x = 0; x < 128; ++x) {
    const double v = out[static_cast<size_t>(5 * 128 + x) * 3];
    if (x < 32) {
      EXPECT_NEAR(v, 0, 1e-9) << x;
    } else if (x >= 96) {
      EXPECT_NEAR(v, 255, 1e-9) << x;
    }
    EXPECT_GE(v, previous) << x;
    EXPECT_LE(v - previous, 255.0 / 64 + 1e-9) << x;
    previous = v;
  }
}

}  // namespace
