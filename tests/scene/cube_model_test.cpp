#include "scene/cube_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// The projection of a width x height screen, as a mode switch sets it.
struct Screen {
  int32_t width, height;
};
Screen screen;

void SetScreen(int32_t width, int32_t height) {
  screen = {width, height};
  projectionScale = width / 10;
}

void ProjectVertices() { ::ProjectVertices(screen.width / 2, screen.height / 2); }

TEST(CubeModel, ProjectsTheStartPositionAt640x480) {
  SetScreen(640, 480);
  InitCubeModel();
  ProjectVertices();
  struct Expected {
    int32_t x, y;
    uint8_t azimuth, polar;
  };
  const Expected expected[8] = {{224, 336, 210, 34},  {416, 336, 173, 34},  {368, 288, 182, 19},
                                {272, 288, 201, 19},  {224, 144, 210, 221}, {416, 144, 173, 221},
                                {368, 192, 182, 236}, {272, 192, 201, 236}};
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cubeVertices[i].screenX, expected[i].x);
    EXPECT_EQ(cubeVertices[i].screenY, expected[i].y);
    EXPECT_EQ(cubeVertices[i].azimuthIndex, expected[i].azimuth);
    EXPECT_EQ(cubeVertices[i].polarIndex, expected[i].polar);
  }
}

TEST(CubeModel, FacesWindClockwiseAndOnlyTheFrontFaceIsVisibleAtStart) {
  SetScreen(640, 480);
  InitCubeModel();
  ProjectVertices();
  for (int f = 0; f < 6; ++f) {
    const CubeVertex& c0 = cubeVertices[cubeFaces[f].corners[0]];
    const CubeVertex& c1 = cubeVertices[cubeFaces[f].corners[1]];
    const CubeVertex& c3 = cubeVertices[cubeFaces[f].corners[3]];
    const double cross = double(c1.screenX - c0.screenX) * (c3.screenY - c0.screenY) -
                         double(c3.screenX - c0.screenX) * (c1.screenY - c0.screenY);
    EXPECT_EQ(cross > 0, f == 1) << "face " << f;
  }
}

TEST(CubeModel, RotatingByZeroLeavesEveryBitAlone) {
  InitCubeModel();
  RotateX(0.37);
  RotateY(-1.1);
  RotateZ(2.5);
  CubeVertex before[8];
  std::memcpy(before, cubeVertices, sizeof before);
  RotateX(0.0);
  RotateY(0.0);
  RotateZ(0.0);
  EXPECT_EQ(std::memcmp(before, cubeVertices, sizeof before), 0);
}

TEST(CubeModel, RotationsTurnTheStatedWay) {
  InitCubeModel();
  RotateY(3.141592653589793 / 2);
  EXPECT_NEAR(cubeVertices[1].x, 1.0, 1e-12);
  EXPECT_NEAR(cubeVertices[1].y, 2.0, 1e-12);
  EXPECT_NEAR(cubeVertices[1].z, 1.0, 1e-12);

  // About x, from +z towards +y: the top of the cube moves away from the eye.
  InitCubeModel();
  const double topDepth = cubeVertices[4].y;
  RotateX(0.1);
  EXPECT_GT(cubeVertices[4].y, topDepth);
  EXPECT_LT(cubeVertices[0].y, 2.0);  // and the bottom comes nearer

  // About z, from +y towards +x: the near face moves to the left (-x).
  InitCubeModel();
  RotateZ(0.1);
  EXPECT_LT(cubeVertices[0].x + cubeVertices[1].x, 0.0);
}

TEST(CubeModel, CornersStayOnTheSphereAndOnScreenOverALongRun) {
  SetScreen(640, 480);
  InitCubeModel();
  for (int frame = 0; frame < 20000; ++frame) {
    RotateX(0.03);
    RotateY(0.01);
    RotateZ(0.03);
  }
  ProjectVertices();
  for (const CubeVertex& v : cubeVertices) {
    const double distance = std::sqrt(v.x * v.x + (v.y - 3) * (v.y - 3) + v.z * v.z);
    EXPECT_NEAR(distance, std::sqrt(3.0), 1e-9);
    EXPECT_LE(std::abs(v.screenX - screen.width / 2), 0.2122 * screen.width + 1);
    EXPECT_LE(std::abs(v.screenY - screen.height / 2), 0.2122 * screen.width + 1);
    // Read as signed bytes the indices stay in narrow ranges without a jump.
    EXPECT_GE(static_cast<int8_t>(v.azimuthIndex), -90);
    EXPECT_LE(static_cast<int8_t>(v.azimuthIndex), -38);
    EXPECT_GE(static_cast<int8_t>(v.polarIndex), -52);
    EXPECT_LE(static_cast<int8_t>(v.polarIndex), 51);
  }
}

TEST(CubeModel, ProjectionScalesWithTheMode) {
  SetScreen(1600, 1200);
  InitCubeModel();
  ProjectVertices();
  // The front face at depth 2 spans 0.3 of the width.
  EXPECT_EQ(cubeVertices[1].screenX - cubeVertices[0].screenX, 480);
  EXPECT_EQ(cubeVertices[0].screenX, 800 - 240);
}

}  // namespace
