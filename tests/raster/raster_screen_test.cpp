// The one set-up of a screen: size, depth, band and scanline buffers, and
// contexts that each draw one band of a frame.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "raster/raster.h"
#include "raster/raster_fixture.h"
#include "scene/cube_model.h"
#include "scene/scene.h"
#include "scene/tables.h"

namespace {

TEST(RasterScreen, HoldsTheLongerSideOfTheScreenZeroFilled) {
  RasterContext ctx;
  ASSERT_EQ(SetRasterScreen(ctx, 640, 480, 16), 1);
  EXPECT_EQ(ctx.screenWidth, 640);
  EXPECT_EQ(ctx.screenHeight, 480);
  EXPECT_EQ(ctx.centerX, 320);
  EXPECT_EQ(ctx.centerY, 240);
  EXPECT_EQ(ctx.pixelFormat, kPixel16);
  EXPECT_EQ(ctx.bandTop, 0);
  EXPECT_EQ(ctx.bandBottom, 480);
  EXPECT_EQ(ctx.scanlineEntries, 640);
  EXPECT_EQ(ctx.frame8, nullptr);

  // Higher than wide: the buffers follow the height; odd sides round the
  // centre down.
  ASSERT_EQ(SetRasterScreen(ctx, 241, 321, 32), 1);
  EXPECT_EQ(ctx.pixelFormat, kPixel32);
  EXPECT_EQ(ctx.centerX, 120);
  EXPECT_EQ(ctx.centerY, 160);
  EXPECT_EQ(ctx.bandBottom, 321);
  EXPECT_EQ(ctx.scanlineEntries, 321);
  for (int32_t i = 0; i < 321; ++i) {
    ASSERT_EQ(ctx.leftX[i] | ctx.rightX[i] | ctx.leftShade[i] | ctx.rightShade[i] |
                  ctx.leftAzimuth[i] | ctx.rightAzimuth[i] | ctx.leftPolar[i] | ctx.rightPolar[i] |
                  ctx.inclineStep[i] | ctx.inclineOffset[i],
              0)
        << i;
  }
  // The last entry of each buffer is usable.
  ctx.leftX[320] = ctx.rightX[320] = ctx.inclineStep[320] = ctx.inclineOffset[320] = 1;
  ctx.leftAzimuth[320] = ctx.rightPolar[320] = 1;

  uint32_t pixels[4] = {};
  SetRasterFrame(ctx, pixels);
  EXPECT_EQ(static_cast<void*>(ctx.frame8), pixels);
  EXPECT_EQ(static_cast<void*>(ctx.frame16), pixels);
  EXPECT_EQ(static_cast<void*>(ctx.frame24), pixels);
  EXPECT_EQ(ctx.frame32, pixels);
  FreeRasterScreen(ctx);
  EXPECT_EQ(ctx.scanlineEntries, 0);
  EXPECT_EQ(ctx.leftX, nullptr);
  EXPECT_EQ(ctx.inclineOffset, nullptr);
}

TEST(RasterScreen, RefusedScreensDrawNothing) {
  RasterContext ctx;
  ASSERT_EQ(SetRasterScreen(ctx, 320, 240, 8), 1);
  // A depth the drawers have no pixels for changes nothing.
  for (const int32_t bpp : {0, 4, 15, 64}) {
    EXPECT_EQ(SetRasterScreen(ctx, 800, 600, bpp), 0);
    EXPECT_EQ(ctx.screenWidth, 320);
    EXPECT_EQ(ctx.pixelFormat, kPixel8);
    EXPECT_EQ(ctx.scanlineEntries, 320);
  }
  // No pixels at all: no buffers, and a draw stores nothing.
  EXPECT_EQ(SetRasterScreen(ctx, 0, 0, 8), 0);
  EXPECT_EQ(ctx.scanlineEntries, 0);
  EXPECT_EQ(SetRasterScreen(ctx, 16, -1, 8), 0);
  EXPECT_EQ(ctx.scanlineEntries, 0);
  rastertest::SyntheticScene scene(3);
  projectionScale = 1;
  InitCubeModel();
  ProjectVertices(8, 8);
  const RasterScene inputs = SceneInputs();
  ctx.scene = &inputs;
  uint8_t frame[16 * 16] = {};
  SetRasterFrame(ctx, frame);
  for (int32_t mode = 0; mode < 6; ++mode) {
    shadingMode = mode;
    ctx.drawnPixelCount = 0;
    for (int32_t f = 0; f < 6; ++f) DrawFace8(ctx, f);
    EXPECT_EQ(ctx.drawnPixelCount, 0u);
  }
  for (const uint8_t p : frame) ASSERT_EQ(p, 0);

  // A good screen, but a scene without one of its tables.
  ASSERT_EQ(SetRasterScreen(ctx, 16, 16, 8), 1);
  projectionScale = 1;
  ProjectVertices(8, 8);
  RasterScene whole = SceneInputs();
  RasterScene partial = whole;
  partial.lightMap = nullptr;
  ctx.scene = &partial;
  SetRasterFrame(ctx, frame);
  ctx.drawnPixelCount = 0;
  for (int32_t mode = 0; mode < 6; ++mode) {
    partial.shadingMode = mode;
    for (int32_t f = 0; f < 6; ++f) DrawFace8(ctx, f);
  }
  EXPECT_EQ(ctx.drawnPixelCount, 0u);
  // With every table the same screen is drawn on.
  whole.shadingMode = kNoShading;
  ctx.scene = &whole;
  for (int32_t f = 0; f < 6; ++f) DrawFace8(ctx, f);
  EXPECT_GT(ctx.drawnPixelCount, 0u);
  FreeRasterScreen(ctx);
}

// Contexts of their own, each with its band of rows, together draw exactly
// the frame one context draws: every mode and depth, blending in face order
// included, at odd sizes and bands of a single row.
TEST(RasterScreen, BandsDrawnApartMakeTheWholeFrame) {
  rastertest::SyntheticScene scene(19);
  std::mt19937 turns(5);
  const int32_t depths[4] = {8, 16, 24, 32};
  struct Case {
    int32_t width, height;
    std::vector<int32_t> cuts;  // band boundaries inside the screen
  };
  const Case cases[] = {{320, 240, {120}},
                        {333, 251, {1, 2, 100, 101, 250}},
                        {160, 400, {7, 200, 333}},
                        {400, 17, {8}}};
  for (const Case& c : cases) {
    for (int32_t depth = 0; depth < 4; ++depth) {
      const size_t bytes = static_cast<size_t>(c.width) * c.height * (depth + 1);
      std::vector<uint8_t> whole(bytes), banded(bytes);
      RasterContext one;
      ASSERT_EQ(SetRasterScreen(one, c.width, c.height, depths[depth]), 1);
      std::vector<int32_t> edges = {0};
      edges.insert(edges.end(), c.cuts.begin(), c.cuts.end());
      edges.push_back(c.height);
      std::vector<RasterContext> bands(edges.size() - 1);
      for (size_t b = 0; b < bands.size(); ++b) {
        ASSERT_EQ(SetRasterScreen(bands[b], c.width, c.height, depths[depth]), 1);
        bands[b].bandTop = edges[b];
        bands[b].bandBottom = edges[b + 1];
      }
      projectionScale = c.width / 10;
      InitCubeModel();
      for (int32_t o = 0; o < 8; ++o) {
        rastertest::RandomTurn(turns);
        ProjectVertices(one.centerX, one.centerY);
        for (int32_t mode = 0; mode < 6; ++mode) {
          shadingMode = mode;
          const RasterScene inputs = SceneInputs();
          // A background that is not black, so that blending shows.
          for (size_t i = 0; i < bytes; ++i) whole[i] = static_cast<uint8_t>(i * 7 + o);
          if (depth == 3) {
            for (size_t i = 3; i < bytes; i += 4) whole[i] = 0;
          }
          banded = whole;
          one.scene = &inputs;
          SetRasterFrame(one, whole.data());
          one.drawnPixelCount = 0;
          for (int32_t f = 0; f < 6; ++f) FaceDrawers[depth](one, f);
          uint64_t drawn = 0;
          for (RasterContext& band : bands) {
            band.scene = &inputs;
            SetRasterFrame(band, banded.data());
            band.drawnPixelCount = 0;
            for (int32_t f = 0; f < 6; ++f) FaceDrawers[depth](band, f);
            drawn += band.drawnPixelCount;
          }
          ASSERT_TRUE(whole == banded) << c.width << "x" << c.height << " depth " << depth
                                       << " mode " << mode << " orientation " << o;
          EXPECT_EQ(drawn, one.drawnPixelCount);
          if (depth < 2 || mode < 4) {
            EXPECT_GT(drawn, 0u);
          }
        }
      }
      for (RasterContext& band : bands) FreeRasterScreen(band);
      FreeRasterScreen(one);
    }
  }
}

}  // namespace
