// The cube's records as the rasteriser reads them. The scene fills and owns
// them; the rasteriser never writes them.
#pragma once
#include <cstdint>

struct Vector3 {
  double x;
  double y;  // depth
  double z;  // up
};

// A corner in view space (the eye at the origin looking along +y, z up) with
// its projection for the current screen.
struct CubeVertex {
  double x;
  double y;  // depth, always positive for the cube
  double z;
  int32_t screenX;
  int32_t screenY;
  uint8_t azimuthIndex;  // read as a signed byte by the rasteriser
  uint8_t polarIndex;    // read as a signed byte by the rasteriser
};

struct CubeFace {
  int32_t corners[4];  // indices of CubeVertex records
};
