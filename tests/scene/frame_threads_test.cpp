// A frame drawn by a team of threads is the frame one thread draws, byte for
// byte: in every depth and shading mode, over many orientations, at 4:3 and
// odd sizes, down to screens with fewer rows than threads.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/threads.h"
#include "scene/cube_model.h"
#include "scene/frame_bands.h"
#include "scene/scene.h"
#include "scene/tables.h"
#include "scene_suite.h"

namespace {

// A build without threads (the web build's) draws with a team of one, whatever
// the count asked for.
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
constexpr bool kTeams = false;
#else
constexpr bool kTeams = true;
#endif

struct Size {
  int32_t width, height;
};

class FrameThreads : public SceneSuite {
 protected:
  // The frame at the cube's present orientation over a screen that is not
  // blank, so that a blend reading the wrong pixel shows.
  static std::vector<uint8_t> Draw(int32_t threads, const Size& s, int32_t bpp) {
    plat::SetThreadCount(threads);
    EXPECT_EQ(plat::ThreadCount(), threads);
    EXPECT_EQ(EnterMode(s.width, s.height, bpp), 1);
    std::vector<uint8_t> frame(size_t(s.width) * size_t(s.height) * size_t(bpp / 8));
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 37 + (i >> 9));
    DrawCube(frame.data());
    return frame;
  }

  // Every orientation, depth, shading mode and thread count of the list, each
  // compared with one thread. Returns the first difference, empty if none.
  static std::string Compare(const std::vector<Size>& sizes, int32_t orientations, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> angle(-3.2, 3.2);
    InitCubeModel();
    for (int32_t o = 0; o < orientations; ++o) {
      RotateX(angle(random));
      RotateY(angle(random));
      RotateZ(angle(random));
      for (const Size& s : sizes) {
        for (const int32_t bpp : {8, 16, 24, 32}) {
          for (int32_t mode = 0; mode < 6; ++mode) {
            shadingMode = mode;
            const std::vector<uint8_t> one = Draw(1, s, bpp);
            for (int32_t threads = 2; threads <= 4; ++threads) {
              if (Draw(threads, s, bpp) != one) {
                return std::to_string(s.width) + "x" + std::to_string(s.height) + "x" +
                       std::to_string(bpp) + " shading " + std::to_string(mode) + " orientation " +
                       std::to_string(o) + ": " + std::to_string(threads) +
                       " threads differ from one";
              }
            }
          }
        }
      }
    }
    return {};
  }
};

TEST_F(FrameThreads, FourToThreeScreensAreTheSameForAnyThreadCount) {
  if (!kTeams) GTEST_SKIP() << "built without threads: every team is one thread";
  EXPECT_EQ(Compare({{320, 240}, {640, 480}}, 12, 1), "");
}

TEST_F(FrameThreads, OddScreensAreTheSameForAnyThreadCount) {
  if (!kTeams) GTEST_SKIP() << "built without threads: every team is one thread";
  // Fewer rows than threads, a prime width, a row of one pixel, and the
  // longest sides a mode may have.
  EXPECT_EQ(Compare({{97, 61}, {33, 2}, {5, 3}, {1, 1}, {200, 1}, {4095, 16}, {16, 4095}}, 8, 2),
            "");
}

TEST_F(FrameThreads, DrawnPixelsAreCountedOnceWhateverTheTeam) {
  InitCubeModel();
  RotateX(0.4);
  RotateY(1.1);
  for (int32_t mode = 0; mode < 6; ++mode) {
    shadingMode = mode;
    // The count runs on from frame to frame.
    const auto drawn = [](int32_t threads) {
      plat::SetThreadCount(threads);
      // 16 bits: every shading mode draws there.
      EXPECT_EQ(EnterMode(640, 480, 16), 1);
      std::vector<uint8_t> frame(640 * 480 * 2);
      const uint64_t before = sceneRaster.drawnPixelCount;
      DrawCube(frame.data());
      return sceneRaster.drawnPixelCount - before;
    };
    const uint64_t one = drawn(1);
    EXPECT_GT(one, 0u) << "shading " << mode;
    EXPECT_EQ(drawn(3), one) << "shading " << mode;
  }
}

// The bands always tile the screen in order, whatever the corners: on it,
// off it, flat, or far out.
TEST(SplitFrameRows, BandsTileTheScreenInOrder) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> near(-100, 900);
  std::uniform_int_distribution<int32_t> far(-2000000000, 2000000000);
  for (int32_t trial = 0; trial < 2000; ++trial) {
    CubeVertex corners[8] = {};
    const bool flat = trial % 7 == 0;
    for (CubeVertex& c : corners) {
      c.screenX = trial % 5 == 0 ? far(random) : near(random);
      c.screenY = flat ? 300 : (trial % 3 == 0 ? far(random) : near(random));
    }
    const int32_t height = 1 + trial % 801;
    const int32_t count = 1 + trial % 9;
    int32_t starts[10];
    SplitFrameRows(corners, height, int64_t{height} * 3, count, starts);
    ASSERT_EQ(starts[0], 0) << "trial " << trial;
    ASSERT_EQ(starts[count], height) << "trial " << trial;
    for (int32_t k = 0; k < count; ++k) ASSERT_LE(starts[k], starts[k + 1]) << "trial " << trial;
  }
}

// Where the cube is, each thread gets a share of it: no band holds nearly
// all of the outline's rows while another holds none.
TEST(SplitFrameRows, TheCubeIsSharedOut) {
  InitCubeModel();
  projectionScale = 64;
  ProjectVertices(320, 240);
  int32_t top = 480, bottom = 0;
  for (const CubeVertex& c : cubeVertices) {
    top = std::min(top, c.screenY);
    bottom = std::max(bottom, c.screenY);
  }
  ASSERT_GT(bottom - top, 40);
  int32_t starts[3];
  SplitFrameRows(cubeVertices, 480, 640, 2, starts);
  EXPECT_GT(starts[1], top);
  EXPECT_LT(starts[1], bottom);
}

}  // namespace
