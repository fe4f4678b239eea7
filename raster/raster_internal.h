// Shared by the rasteriser's sources only: clip limits, face set-up and the
// exact conversions the inner loops use.
#pragma once
#include <algorithm>
#include <cstdint>

#include "raster/numeric.h"
#include "raster/raster.h"

namespace raster_detail {

// Round to nearest, ties to even, without a library call (the fallback where
// SSE2 is missing): adding 1.5 * 2^52 leaves an integer in the last place
// under the default rounding mode. Outside the int32 range the one shared
// rule takes over.
inline int32_t RoundStep(double v) {
  if (v > -2147483648.0 && v < 2147483647.0) {
    const double r = (v + 6755399441055744.0) - 6755399441055744.0;
    return static_cast<int32_t>(r);
  }
  return RoundToInt32(v);
}

// True when the scene, the screen, the frame and the scanline buffers are
// there to draw into; a failed set-up leaves some of them missing.
bool CanDraw(const RasterContext& ctx, const void* frame);

// Screen rows and columns that have a scanline buffer entry: the extent of
// the inclined mapping's tables.
inline int32_t ScreenRows(const RasterContext& ctx) {
  return std::min(ctx.screenHeight, ctx.scanlineEntries);
}
inline int32_t ScreenColumns(const RasterContext& ctx) {
  return std::min(ctx.screenWidth, ctx.scanlineEntries);
}

// The screen rows this context may store pixels in.
struct RowBand {
  int32_t top;
  int32_t bottom;
};
inline RowBand PixelRows(const RasterContext& ctx) {
  return {std::max(ctx.bandTop, int32_t{0}), std::min(ctx.bandBottom, ctx.screenHeight)};
}

// Corner fetch, back-face test, mapping vectors. Returns 0 for a face that is
// not drawn; backFacing tells the caller which roles the edges take.
int32_t SetUpFace(RasterContext& ctx, int32_t faceIndex, bool drawBackFaces, CubeVertex corners[4],
                  bool* backFacing);

// Scan conversion into leftX/rightX (and the shade or angle buffers the mode
// needs), then the flat level in mode 1.
void ScanConvert(RasterContext& ctx, const CubeVertex corners[4], bool backFacing, int32_t mode);

// f = 3 * projectionScale as the texture walk uses it.
inline double FocalLength(const RasterScene& scene) {
  return static_cast<double>(3 * static_cast<int64_t>(scene.projectionScale));
}

// The face's texture; null when there is none.
inline const uint8_t* FaceTexture(const RasterScene& scene, int32_t faceIndex) {
  if (faceIndex < 0 || faceIndex > 5) return nullptr;
  return scene.textures[faceIndex];
}

inline uint32_t TexelIndex(uint32_t texU, uint32_t texV) {
  return ((texV >> 9) & 0x3F80u) | ((texU >> 16) & 127u);
}

}  // namespace raster_detail
