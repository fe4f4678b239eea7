// Span fillers on hand-made rows: run lengths around the 8-pixel run, spans
// reaching past the frame, per-row interpolation, and the inclined walkers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "raster/raster.h"
#include "raster/raster_fixture.h"
#include "raster/reference_raster.h"
#include "scene/cube_model.h"
#include "scene/tables.h"

namespace {

using rastertest::SyntheticScene;
using rastertest::TestScreen;

const SpanFiller* FillersOf(int32_t depth) {
  static const SpanFiller* const tables[4] = {SpanFillers8, SpanFillers16, SpanFillers24,
                                              SpanFillers32};
  return tables[depth];
}

// A steep perspective: W changes by a few percent per run of 8 pixels.
void SetSteepVectors(RasterContext& c) {
  c.uVector = {30.0, 1000.0, 5.0};
  c.vVector = {-12.5, 700.0, 40.0};
  c.wVector = {0.05, 0.4, 0.01};
}

// Runs the real filler and the reference on the same rows and compares the
// screen; the reference's canvas reaches 400 pixels past every side.
void CompareFiller(TestScreen& screen, int32_t depth, int32_t mode, int32_t rowsFrom,
                   int32_t rowsTo, const char* what) {
  std::mt19937 rng(static_cast<uint32_t>(depth * 10 + mode));
  screen.FillRandom(rng);
  const RasterContext& c = screen.state();
  const int32_t screenWidth = c.screenWidth, screenHeight = c.screenHeight;
  reference::State state;
  state.CopyFromRaster(c, rowsFrom, rowsTo);
  reference::Canvas canvas;
  canvas.Reset(-400, -400, screenWidth + 800, screenHeight + 800, screen.bytesPerPixel(), 0);
  const auto before = screen.Pixels();
  for (int32_t y = 0; y < screenHeight; ++y) {
    std::memcpy(canvas.Pixel(0, y),
                &before[static_cast<size_t>(y) * screenWidth * screen.bytesPerPixel()],
                static_cast<size_t>(screenWidth) * screen.bytesPerPixel());
  }
  FillersOf(depth)[mode](screen.Context(), 2);
  reference::FillSpans(state, canvas, depth, mode, 2);
  EXPECT_TRUE(screen.Pixels() == canvas.Screen(screenWidth, screenHeight))
      << what << ": depth " << depth << " mode " << mode;
  EXPECT_EQ(screen.DamagedGuards(), "");
}

class SpanFill : public ::testing::Test {
 protected:
  SyntheticScene scene_{41};
  static void SetRows(RasterContext& c, int32_t top, int32_t bottom) {
    c.spanTop = top;
    c.spanBottom = bottom;
  }
};

TEST_F(SpanFill, SpansOfOneToNinePixelsTakeOneStepPerRunOfEight) {
  for (int32_t depth = 0; depth < 4; ++depth) {
    TestScreen screen(320, 240, depth);
    RasterContext& c = screen.state();
    SetSteepVectors(c);
    c.flatLevel = 93;
    for (int32_t n = 1; n <= 9; ++n) {
      const int32_t row = 100 + n;
      c.leftX[row] = 40 + 3 * n;
      c.rightX[row] = c.leftX[row] + n;
      c.leftShade[row] = -20 - n;
      c.rightShade[row] = 60 + n;
      c.leftAzimuth[row] = static_cast<int8_t>(-70 + n);
      c.rightAzimuth[row] = static_cast<int8_t>(-40 - n);
      c.leftPolar[row] = static_cast<int8_t>(30 - 5 * n);
      c.rightPolar[row] = static_cast<int8_t>(-20 + 2 * n);
    }
    SetRows(c, 101, 110);
    for (int32_t mode = 0; mode < (depth < 2 ? 5 : 4); ++mode) {
      CompareFiller(screen, depth, mode, 0, 320, "spans of 1 to 9");
    }
  }
  // The ninth pixel's step differs from the first run's: a filler that kept
  // one step for the whole span would be caught above (a 320 x 240 screen:
  // centre (160, 120), f = 3 * 32).
  RasterContext steep;
  SetSteepVectors(steep);
  const Vector3 uVector = steep.uVector, wVector = steep.wVector;
  const double dx = 67 - 160, dy = 120 - 109, f = 96;
  const double w0 = wVector.x * dx + wVector.z * dy + wVector.y * f;
  const double u0 = uVector.x * dx + uVector.z * dy + uVector.y * f;
  const double ku = w0 * uVector.x - u0 * wVector.x;
  const double dW8 = 8.0 * wVector.x;
  EXPECT_NE(std::nearbyint(65536.0 / ((w0 + dW8) * w0) * ku),
            std::nearbyint(65536.0 / ((w0 + 2 * dW8) * (w0 + dW8)) * ku));
}

TEST_F(SpanFill, SpansPastTheFrameShowTheUnclippedWalkOnScreen) {
  for (int32_t depth = 0; depth < 4; ++depth) {
    TestScreen screen(160, 120, depth);
    RasterContext& c = screen.state();
    SetSteepVectors(c);
    c.flatLevel = 200;
    std::mt19937 rng(7);
    for (int32_t row = 0; row < 160; ++row) {
      // Starts from far left of the frame to inside it, ends inside or past it.
      c.leftX[row] = static_cast<int32_t>(rng() % 400) - 300;
      c.rightX[row] = c.leftX[row] + static_cast<int32_t>(rng() % 500);
      c.leftShade[row] = static_cast<int32_t>(rng() % 200) - 100;
      c.rightShade[row] = static_cast<int32_t>(rng() % 200) - 100;
      c.leftAzimuth[row] = static_cast<int8_t>(rng());
      c.rightAzimuth[row] = static_cast<int8_t>(rng());
      c.leftPolar[row] = static_cast<int8_t>(rng());
      c.rightPolar[row] = static_cast<int8_t>(rng());
    }
    // Rows above and below the frame are skipped without reading the buffers.
    SetRows(c, -60, 180);
    for (int32_t mode = 0; mode < (depth < 2 ? 5 : 4); ++mode) {
      CompareFiller(screen, depth, mode, -60, 180, "clipped spans");
    }
  }
}

TEST_F(SpanFill, GouraudLevelStopsShortOfTheRightEnd) {
  TestScreen screen(64, 48, 0);
  // Row L of the table maps every texel to L, so pixels show their level.
  for (int level = 0; level < 256; ++level) std::memset(shadeTable8 + level * 256, level, 256);
  RasterContext& c = screen.state();
  SetSteepVectors(c);
  c.leftX[20] = 10;
  c.rightX[20] = 14;
  c.leftShade[20] = 0;
  c.rightShade[20] = 100;
  SetRows(c, 20, 21);
  FillGouraud8(screen.Context(), 0);
  // Level 128 + k * 100 / 4 for k = 0..3: never 228 itself.
  EXPECT_EQ(*screen.pixel(10, 20), 128);
  EXPECT_EQ(*screen.pixel(11, 20), 153);
  EXPECT_EQ(*screen.pixel(12, 20), 178);
  EXPECT_EQ(*screen.pixel(13, 20), 203);
  EXPECT_EQ(*screen.pixel(14, 20), 0);
  EXPECT_EQ(*screen.pixel(9, 20), 0);
}

TEST_F(SpanFill, EmptyRowsDrawNothing) {
  TestScreen screen(64, 48, 1);
  RasterContext& c = screen.state();
  SetSteepVectors(c);
  for (int32_t row = 0; row < 48; ++row) {
    c.leftX[row] = 30;
    c.rightX[row] = 30 - row % 3;  // empty or reversed
  }
  SetRows(c, 0, 48);
  for (int32_t mode = 0; mode < 5; ++mode) SpanFillers16[mode](screen.Context(), 0);
  const auto pixels = screen.Pixels();
  EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0), static_cast<long>(pixels.size()));
}

// Inclined mapping on faces set up by hand.
class Inclined : public ::testing::Test {
 protected:
  SyntheticScene scene_{43};
  // Face 1 becomes the quadrilateral c0 c1 c2 c3 (3D points).
  static void SetFace(const double c[4][3]) {
    const int32_t corners[4] = {0, 4, 5, 1};
    for (int k = 0; k < 4; ++k) {
      cubeVertices[corners[k]].x = c[k][0];
      cubeVertices[corners[k]].y = c[k][1];
      cubeVertices[corners[k]].z = c[k][2];
    }
  }
};

TEST_F(Inclined, EqualSlopesTakeTheRowVariant) {
  // The plane z - x = 1: W changes as fast across as down, |w.z| == |w.x|.
  const double face[4][3] = {{-1, 2, 0}, {0, 2, 1}, {0, 3, 1}, {-1, 3, 0}};
  rastertest::StartCube();
  SetFace(face);
  for (int32_t depth = 0; depth < 2; ++depth) {
    TestScreen screen(640, 480, depth);
    screen.Project();
    shadingMode = kInclinedMapping;
    reference::State state;
    state.SetScreen(screen.state(), 0, 640);
    reference::Canvas canvas;
    canvas.Reset(0, 0, 640, 480, screen.bytesPerPixel(), 0);
    screen.Clear(0);
    FaceDrawers[depth](screen.Context(), 1);
    reference::DrawFace(state, canvas, depth, 1);
    const RasterContext& c = screen.state();
    ASSERT_EQ(std::fabs(c.wVector.x), std::fabs(c.wVector.z));
    ASSERT_NE(c.wVector.x, 0);
    EXPECT_EQ(std::fabs(c.inclineSlope), 1.0);
    EXPECT_EQ(state.inclineSlope, c.inclineSlope);
    for (int32_t x = 0; x < 640; ++x) {
      ASSERT_EQ(c.inclineOffset[x], x + c.inclineStep[x] * 640) << x;
    }
    EXPECT_TRUE(screen.Pixels() == canvas.bytes);
    const auto pixels = screen.Pixels();
    EXPECT_GT(pixels.size() - static_cast<size_t>(std::count(pixels.begin(), pixels.end(), 0)),
              2000u);
  }
}

TEST_F(Inclined, SteepDepthLinesTakeTheColumnVariant) {
  // The plane y + 2x = 3 (W changes across, not down): lines of constant
  // depth run down the screen.
  const double face[4][3] = {{0, 3, -1}, {0, 3, 1}, {0.5, 2, 1}, {0.5, 2, -1}};
  rastertest::StartCube();
  for (int32_t depth = 0; depth < 2; ++depth) {
    TestScreen screen(640, 480, depth);
    SetFace(face);
    screen.Project();
    for (int pass = 0; pass < 2; ++pass) {
      shadingMode = kInclinedMapping;
      reference::State state;
      state.SetScreen(screen.state(), 0, 640);
      reference::Canvas canvas;
      canvas.Reset(0, 0, 640, 480, screen.bytesPerPixel(), 0);
      screen.Clear(0);
      FaceDrawers[depth](screen.Context(), 1);
      reference::DrawFace(state, canvas, depth, 1);
      const RasterContext& c = screen.state();
      ASSERT_LT(std::fabs(c.wVector.z), std::fabs(c.wVector.x));
      for (int32_t y = 0; y < 480; ++y) {
        ASSERT_EQ(c.inclineStep[y], static_cast<int32_t>((y - 240) * c.inclineSlope)) << y;
      }
      EXPECT_TRUE(screen.Pixels() == canvas.bytes) << "depth " << depth << " pass " << pass;
      // Turn the plane a little so the lines are not vertical.
      RotateY(0.2);
      screen.Project();
    }
  }
}

}  // namespace
