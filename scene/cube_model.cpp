#include "scene/cube_model.h"

#include <cmath>

#include "raster/numeric.h"
#include "scene/exact_math.h"

CubeVertex cubeVertices[8];
CubeFace cubeFaces[6];
int32_t projectionScale = 0;

namespace {

constexpr double kCentreDepth = 3.0;
// The nearest double to -1/3.1415: angles become table indices with pi taken
// as 3.1415.
constexpr double kAngleFactor = -0.31831927423205475;

}  // namespace

void InitCubeModel() {
  static const double start[8][3] = {{-1, 2, -1}, {1, 2, -1}, {1, 4, -1}, {-1, 4, -1},
                                     {-1, 2, 1},  {1, 2, 1},  {1, 4, 1},  {-1, 4, 1}};
  static const CubeFace faces[6] = {{{0, 1, 2, 3}}, {{0, 4, 5, 1}}, {{1, 5, 6, 2}},
                                    {{2, 6, 7, 3}}, {{3, 7, 4, 0}}, {{4, 7, 6, 5}}};
  for (int i = 0; i < 8; ++i)
    cubeVertices[i] = CubeVertex{start[i][0], start[i][1], start[i][2], 0, 0, 0, 0};
  for (int f = 0; f < 6; ++f) cubeFaces[f] = faces[f];
}

void RotateX(double angle) {
  const double s = Sin(angle);
  const double c = Cos(angle);
  for (CubeVertex& v : cubeVertices) {
    const double y = v.y - kCentreDepth;
    const double z = v.z;
    v.y = c * y + s * z + kCentreDepth;
    v.z = c * z - s * y;
  }
}

void RotateY(double angle) {
  const double s = Sin(angle);
  const double c = Cos(angle);
  for (CubeVertex& v : cubeVertices) {
    const double x = v.x;
    const double z = v.z;
    v.x = c * x - s * z;
    v.z = c * z + s * x;
  }
}

void RotateZ(double angle) {
  const double s = Sin(angle);
  const double c = Cos(angle);
  for (CubeVertex& v : cubeVertices) {
    const double x = v.x;
    const double y = v.y - kCentreDepth;
    v.x = c * x + s * y;
    v.y = c * y - s * x + kCentreDepth;
  }
}

void ProjectVertices(int32_t centreX, int32_t centreY) {
  const double scale = projectionScale;
  const double cx = centreX;
  const double cy = centreY;
  for (CubeVertex& v : cubeVertices) {
    v.screenX = TruncToInt32(cx + (v.x * scale * 3) / v.y);
    v.screenY = TruncToInt32(cy - (v.z * scale * 3) / v.y);
    const double phi = Atan2(v.y, v.x);
    v.azimuthIndex = static_cast<uint8_t>(TruncToInt32((1 - phi * kAngleFactor) * 128) & 0xFF);
    const double r = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    const double theta = Acos(v.z / r);
    v.polarIndex = static_cast<uint8_t>(TruncToInt32((0.5 - theta * kAngleFactor) * 256) & 0xFF);
  }
}
