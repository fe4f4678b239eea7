// The rasteriser on the generated palette, tables and textures, frame after
// frame of the program's own turn: pixel for pixel the reference's, and the
// shade rows the real cube produces stay inside the tables unmasked.
#include <gtest/gtest.h>

#include <algorithm>

#include "raster/raster.h"
#include "raster/raster_fixture.h"
#include "raster/reference_raster.h"
#include "scene/cube_model.h"
#include "scene/scene.h"
#include "scene/tables.h"
#include "support/test_support.h"

namespace {

// The generated palette, tables and textures with every derived table, and
// the cube at its start, without any display.
void LoadGeneratedScene() {
  using testing_support::DataDir;
  SetAssetDirectory(DataDir().c_str());
  ASSERT_TRUE(LoadPalette()) << LastAssetError();
  ASSERT_TRUE(LoadShadeTable()) << LastAssetError();
  ASSERT_TRUE(LoadBlendTable()) << LastAssetError();
  ASSERT_TRUE(LoadTextures()) << LastAssetError();
  BuildLightMap();
  BuildTrueColourTables();
  Build16BitTables();
  InitCubeModel();
  SetAssetDirectory("");
}

using rastertest::TestScreen;

class GeneratedData : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadGeneratedScene();
    for (uint8_t* t : textures) ASSERT_NE(t, nullptr);
  }
  void TearDown() override { FreeSceneMemory(); }
};

TEST_F(GeneratedData, FramesMatchTheReferenceInEveryModeAndDepth) {
  for (int32_t depth = 0; depth < 4; ++depth) {
    TestScreen screen(640, 480, depth);
    reference::State state;
    state.SetScreen(screen.state(), 0, 640);
    reference::Canvas canvas;
    rastertest::StartCube();
    for (int32_t frame = 0; frame < 300; ++frame) {
      if (frame % 23 == 0) {
        for (int32_t mode = 0; mode < 6; ++mode) {
          shadingMode = mode;
          screen.Clear(0);
          canvas.Reset(0, 0, 640, 480, screen.bytesPerPixel(), 0);
          screen.DrawCube();
          try {
            for (int32_t f = 0; f < 6; ++f) reference::DrawFace(state, canvas, depth, f);
          } catch (const std::exception& e) {
            FAIL() << "frame " << frame << " mode " << mode << ": " << e.what();
          }
          ASSERT_TRUE(screen.Pixels() == canvas.bytes)
              << "frame " << frame << " depth " << depth << " mode " << mode;
        }
      }
      rastertest::FrameTurn();
    }
    EXPECT_EQ(screen.DamagedGuards(), "");
  }
}

TEST_F(GeneratedData, SixteenBitBlendOverTheClearedBufferIsThePlainTexture) {
  TestScreen screen(640, 480, 1);
  rastertest::StartCube();
  for (int32_t frame = 0; frame < 200; frame += 1) {
    rastertest::FrameTurn();
    if (frame % 40 != 0) continue;
    screen.Project();
    for (int32_t f = 0; f < 6; ++f) {
      shadingMode = kNoShading;
      screen.Clear(0);
      DrawFace16(screen.Context(), f);
      const auto plain = screen.Pixels();
      if (std::count(plain.begin(), plain.end(), 0) == static_cast<long>(plain.size())) continue;
      shadingMode = kTransparency;
      screen.Clear(0);
      DrawFace16(screen.Context(), f);
      EXPECT_TRUE(screen.Pixels() == plain) << "face " << f << " frame " << frame;
    }
  }
}

}  // namespace
