// The area DrawCube reports holds every pixel it stored, and no more than the
// cube's outline and a small margin: the desktop converts only that area of
// the screen, so a pixel outside it would stay stale on the monitor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/threads.h"
#include "scene/cube_model.h"
#include "scene/scene.h"
#include "scene/tables.h"
#include "scene_suite.h"

namespace {

class DrawnAreaTest : public SceneSuite {};

struct Box {
  int32_t left, top, right, bottom;
  bool empty() const { return left >= right || top >= bottom; }
};

// Where frame differs from the background it was drawn over.
Box Changed(const std::vector<uint8_t>& frame, const std::vector<uint8_t>& background,
            int32_t width, int32_t height, int32_t bytes) {
  Box b{width, height, 0, 0};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const size_t at = (size_t(y) * size_t(width) + size_t(x)) * size_t(bytes);
      if (std::equal(frame.begin() + at, frame.begin() + at + bytes, background.begin() + at))
        continue;
      b.left = std::min(b.left, x);
      b.right = std::max(b.right, x + 1);
      b.top = std::min(b.top, y);
      b.bottom = std::max(b.bottom, y + 1);
    }
  return b;
}

std::ostream& operator<<(std::ostream& out, const Box& b) {
  return out << "[" << b.left << "," << b.right << ")x[" << b.top << "," << b.bottom << ")";
}

TEST_F(DrawnAreaTest, HoldsEveryStoredPixelAndLittleElse) {
  struct Size {
    int32_t width, height;
  };
  const Size sizes[] = {{640, 480}, {97, 61}, {33, 2}, {5, 3}, {200, 1}, {16, 900}, {900, 16}};
  std::mt19937 random(7);
  std::uniform_real_distribution<double> angle(-3.2, 3.2);
  InitCubeModel();
  int32_t narrowed = 0, empty = 0;
  for (int32_t orientation = 0; orientation < 10; ++orientation) {
    RotateX(angle(random));
    RotateY(angle(random));
    RotateZ(angle(random));
    for (const Size& s : sizes) {
      for (const int32_t bpp : {8, 16, 24, 32}) {
        const int32_t bytes = bpp / 8;
        // Not blank, so that a blend with what is under it shows too.
        std::vector<uint8_t> background(size_t(s.width) * size_t(s.height) * size_t(bytes));
        for (size_t i = 0; i < background.size(); ++i)
          background[i] = static_cast<uint8_t>(i * 37 + (i >> 9));
        for (int32_t mode = 0; mode < 6; ++mode) {
          shadingMode = mode;
          for (const int32_t threads : {1, 2}) {
            plat::SetThreadCount(threads);
            ASSERT_EQ(EnterMode(s.width, s.height, bpp), 1);
            std::vector<uint8_t> frame = background;
            DrawCube(frame.data());
            const DrawnArea a = LastDrawnArea();
            const Box area{a.left, a.top, a.right, a.bottom};
            const Box changed = Changed(frame, background, s.width, s.height, bytes);
            std::ostringstream text;
            text << s.width << "x" << s.height << "x" << bpp << " shading " << mode << " threads "
                 << threads << " orientation " << orientation << ": area " << area << ", changed "
                 << changed;
            const std::string where = text.str();
            ASSERT_GE(area.left, 0) << where;
            ASSERT_GE(area.top, 0) << where;
            ASSERT_LE(area.right, s.width) << where;
            ASSERT_LE(area.bottom, s.height) << where;
            if (area.empty()) {
              ASSERT_EQ(a.left | a.top | a.right | a.bottom, 0) << where;
              ASSERT_TRUE(changed.empty()) << where;
              ++empty;
              continue;
            }
            ASSERT_FALSE(changed.empty()) << where;
            ASSERT_LE(area.left, changed.left) << where;
            ASSERT_LE(area.top, changed.top) << where;
            ASSERT_GE(area.right, changed.right) << where;
            ASSERT_GE(area.bottom, changed.bottom) << where;
            // With the whole cube on the screen its outline is what was
            // drawn: the margin is a few pixels, not a guess at the screen.
            if (area.left > 0 && area.top > 0 && area.right < s.width && area.bottom < s.height) {
              ASSERT_LE(changed.left - area.left, 4) << where;
              ASSERT_LE(changed.top - area.top, 4) << where;
              ASSERT_LE(area.right - changed.right, 4) << where;
              ASSERT_LE(area.bottom - changed.bottom, 4) << where;
              ++narrowed;
            }
          }
        }
      }
    }
  }
  // Both kinds were seen: modes that store nothing at 24 and 32 bits, and
  // whole cubes on their screens.
  EXPECT_GT(empty, 0);
  EXPECT_GT(narrowed, 0);
}

TEST_F(DrawnAreaTest, NothingStoredWithoutAFrame) {
  ASSERT_EQ(EnterMode(64, 48, 8), 1);
  std::vector<uint8_t> frame(64 * 48);
  DrawCube(frame.data());
  ASSERT_FALSE(LastDrawnArea().right == 0);
  DrawCube(nullptr);
  const DrawnArea a = LastDrawnArea();
  EXPECT_EQ(a.left | a.top | a.right | a.bottom, 0);
}

}  // namespace
