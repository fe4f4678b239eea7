// The cube lives in view space: the eye at the origin looking along +y, z up.
// Its corners are rotated in place every frame and never re-normalised.
#pragma once
#include <cstdint>

#include "raster/geometry.h"

extern CubeVertex cubeVertices[8];
extern CubeFace cubeFaces[6];
extern int32_t projectionScale;

void InitCubeModel();
void RotateX(double angle);
void RotateY(double angle);
void RotateZ(double angle);
// Screen positions around the screen's centre (centreX, centreY), scaled by
// projectionScale, and light-map angles of the eight corners.
void ProjectVertices(int32_t centreX, int32_t centreY);
