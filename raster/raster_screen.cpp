// Setting up the screen a context draws into: its size, depth, band and
// scanline buffers, and the frame of each draw.
#include <algorithm>
#include <cstdlib>

#include "raster/raster.h"

namespace {

template <typename T>
void FreeBlock(T*& block) {
  std::free(block);
  block = nullptr;
}

template <typename T>
bool AllocateBlock(T*& block, size_t entries) {
  FreeBlock(block);
  block = static_cast<T*>(std::calloc(entries, sizeof(T)));
  return block != nullptr;
}

int32_t PixelFormatOf(int32_t bitsPerPixel) {
  switch (bitsPerPixel) {
    case 8: return kPixel8;
    case 16: return kPixel16;
    case 24: return kPixel24;
    case 32: return kPixel32;
    default: return -1;
  }
}

}  // namespace

int32_t SetRasterScreen(RasterContext& ctx, int32_t width, int32_t height, int32_t bitsPerPixel) {
  // Any other depth would leave the drawers writing pixels of the wrong size.
  const int32_t format = PixelFormatOf(bitsPerPixel);
  if (format < 0) return 0;
  ctx.screenWidth = width;
  ctx.screenHeight = height;
  ctx.centerX = width / 2;
  ctx.centerY = height / 2;
  ctx.pixelFormat = format;
  ctx.bandTop = 0;
  ctx.bandBottom = height;
  SetRasterFrame(ctx, nullptr);

  // Indexed by row as well as by column: a screen higher than wide fits too.
  const size_t n = static_cast<size_t>(std::max({width, height, 0}));
  FreeRasterScreen(ctx);
  bool ok = width > 0 && height > 0;
  ok = AllocateBlock(ctx.leftX, n) && ok;
  ok = AllocateBlock(ctx.rightX, n) && ok;
  ok = AllocateBlock(ctx.leftShade, n) && ok;
  ok = AllocateBlock(ctx.rightShade, n) && ok;
  ok = AllocateBlock(ctx.leftAzimuth, n) && ok;
  ok = AllocateBlock(ctx.rightAzimuth, n) && ok;
  ok = AllocateBlock(ctx.leftPolar, n) && ok;
  ok = AllocateBlock(ctx.rightPolar, n) && ok;
  ok = AllocateBlock(ctx.inclineStep, n) && ok;
  ok = AllocateBlock(ctx.inclineOffset, n) && ok;
  ctx.scanlineEntries = ok ? static_cast<int32_t>(n) : 0;
  return ok ? 1 : 0;
}

void SetRasterFrame(RasterContext& ctx, void* frameBuffer) {
  ctx.frame8 = static_cast<uint8_t*>(frameBuffer);
  ctx.frame16 = static_cast<uint16_t*>(frameBuffer);
  ctx.frame24 = static_cast<uint8_t*>(frameBuffer);
  ctx.frame32 = static_cast<uint32_t*>(frameBuffer);
}

void FreeRasterScreen(RasterContext& ctx) {
  FreeBlock(ctx.leftX);
  FreeBlock(ctx.rightX);
  FreeBlock(ctx.leftShade);
  FreeBlock(ctx.rightShade);
  FreeBlock(ctx.leftAzimuth);
  FreeBlock(ctx.rightAzimuth);
  FreeBlock(ctx.leftPolar);
  FreeBlock(ctx.rightPolar);
  FreeBlock(ctx.inclineStep);
  FreeBlock(ctx.inclineOffset);
  ctx.scanlineEntries = 0;
}
