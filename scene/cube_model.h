// The cube lives in view space: the eye at the origin looking along +y, z up.
// Its corners are rotated in place every frame and never re-normalised.
#pragma once
#include <cstdint>

struct CubeVertex {
  double x;
  double y;  // depth, always positive for this cube
  double z;
  int32_t screenX;
  int32_t screenY;
  uint8_t azimuthIndex;  // read as a signed byte by the rasteriser
  uint8_t polarIndex;    // read as a signed byte by the rasteriser
};

struct CubeFace {
  int32_t corners[4];
};

extern CubeVertex cubeVertices[8];
extern CubeFace cubeFaces[6];
extern int32_t projectionScale;

void InitCubeModel();
void RotateX(double angle);
void RotateY(double angle);
void RotateZ(double angle);
void ProjectVertices();
