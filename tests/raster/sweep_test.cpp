// Odd display modes, flat, tall, tiny and huge: every frame, shading mode and
// depth draws without touching anything outside the frame and the buffers.
// Run alone with --gtest_filter='Sweep.*'.
#include <gtest/gtest.h>

#include "raster/raster.h"
#include "raster/raster_fixture.h"
#include "scene/cube_model.h"
#include "scene/tables.h"

namespace {

using rastertest::TestScreen;

struct SweepSize {
  int32_t width, height, frames;
};

// frames turns of the cube by the program's own speeds plus a few random
// orientations; every mode and depth at each. exact: no guard regions, for
// AddressSanitizer to see reads past the end too.
void Sweep(const SweepSize& size, bool exact) {
  rastertest::SyntheticScene scene(size.width * 7919u + static_cast<uint32_t>(size.height));
  std::mt19937 turns(static_cast<uint32_t>(size.width + size.height));
  for (int32_t depth = 0; depth < 4; ++depth) {
    TestScreen screen(size.width, size.height, depth, exact);
    rastertest::StartCube();
    uint64_t drawn = 0;
    for (int32_t frame = 0; frame < size.frames; ++frame) {
      for (int32_t mode = 0; mode < 6; ++mode) {
        shadingMode = mode;
        screen.Clear(0);
        screen.state().drawnPixelCount = 0;
        screen.DrawCube();
        drawn += screen.state().drawnPixelCount;
      }
      if (frame % 4 == 3) {
        rastertest::RandomTurn(turns);
      } else {
        for (int i = 0; i < 7; ++i) rastertest::FrameTurn();
      }
    }
    ASSERT_EQ(screen.DamagedGuards(), "") << size.width << "x" << size.height << " depth " << depth;
    // Something is drawn in every size: the cube's centre is on screen.
    EXPECT_GT(drawn, 0u) << size.width << "x" << size.height << " depth " << depth;
  }
}

TEST(Sweep, OddDisplayModesStayInsideFrameAndBuffers) {
  for (const SweepSize size :
       {SweepSize{16, 16, 24}, SweepSize{17, 400, 24}, SweepSize{400, 17, 24},
        SweepSize{4095, 16, 12}, SweepSize{16, 4095, 12}, SweepSize{301, 1000, 12},
        SweepSize{1000, 301, 12}, SweepSize{640, 480, 8}, SweepSize{33, 31, 24}}) {
    Sweep(size, false);
  }
}

TEST(Sweep, OddDisplayModesWithExactBlocks) {
  for (const SweepSize size :
       {SweepSize{16, 16, 12}, SweepSize{17, 400, 12}, SweepSize{400, 17, 12},
        SweepSize{4095, 16, 6}, SweepSize{16, 4095, 6}, SweepSize{301, 1000, 6},
        SweepSize{1000, 301, 6}}) {
    Sweep(size, true);
  }
}

TEST(Sweep, LargestModeForAFewFrames) { Sweep({4095, 4095, 2}, false); }

}  // namespace
