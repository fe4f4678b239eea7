#include "platform/core/present.h"

#include <algorithm>

namespace plat::core {

Placement FitScreen(int32_t screenWidth, int32_t screenHeight, int32_t outWidth,
                    int32_t outHeight) {
  if (screenWidth <= 0 || screenHeight <= 0 || outWidth <= 0 || outHeight <= 0) return {};
  const int32_t scale = std::min(outWidth / screenWidth, outHeight / screenHeight);
  Placement p;
  // Whole pixels from twice the size up; below that a picture at its own
  // size would leave most of a full screen black, so it is stretched to fit.
  if (scale >= 2) {
    p.width = screenWidth * scale;
    p.height = screenHeight * scale;
  } else if (int64_t{outWidth} * screenHeight <= int64_t{outHeight} * screenWidth) {
    // The width decides; 64 bits, as the products can pass 2^31.
    p.width = outWidth;
    p.height =
        static_cast<int32_t>(std::max<int64_t>(int64_t{outWidth} * screenHeight / screenWidth, 1));
  } else {
    p.height = outHeight;
    p.width =
        static_cast<int32_t>(std::max<int64_t>(int64_t{outHeight} * screenWidth / screenHeight, 1));
  }
  p.x = (outWidth - p.width) / 2;
  p.y = (outHeight - p.height) / 2;
  return p;
}

bool OutputToScreen(const Placement& p, int32_t screenWidth, int32_t screenHeight, int32_t outX,
                    int32_t outY, int32_t* x, int32_t* y) {
  if (p.width <= 0 || p.height <= 0 || outX < p.x || outY < p.y || outX >= p.x + p.width ||
      outY >= p.y + p.height)
    return false;
  *x = static_cast<int32_t>(int64_t{outX - p.x} * screenWidth / p.width);
  *y = static_cast<int32_t>(int64_t{outY - p.y} * screenHeight / p.height);
  return true;
}

void ToArgb(const ScreenView& view, uint32_t* out, size_t pitch) {
  if (!view.pixels || !out || view.width <= 0 || view.height <= 0) return;
  const auto w = static_cast<size_t>(view.width);
  uint32_t lut[256];
  if (view.bitsPerPixel == 8) {
    for (size_t i = 0; i < 256; ++i) {
      const PALETTEENTRY e = view.palette ? view.palette[i] : PALETTEENTRY{0, 0, 0, 0};
      lut[i] = 0xFF000000u | (uint32_t{e.peRed} << 16) | (uint32_t{e.peGreen} << 8) | e.peBlue;
    }
  }
  for (size_t row = 0; row < static_cast<size_t>(view.height); ++row) {
    uint32_t* o = out + row * pitch;
    switch (view.bitsPerPixel) {
      case 8: {
        const uint8_t* p = view.pixels + row * w;
        for (size_t x = 0; x < w; ++x) o[x] = lut[p[x]];
        break;
      }
      case 16: {
        const uint8_t* p = view.pixels + row * w * 2;
        for (size_t x = 0; x < w; ++x) {
          const uint32_t v = p[2 * x] | (uint32_t{p[2 * x + 1]} << 8);
          const uint32_t r = ((v >> 10) & 31) * 255 / 31, g = ((v >> 5) & 31) * 255 / 31,
                         b = (v & 31) * 255 / 31;
          o[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
        break;
      }
      case 24:
      case 32: {
        const size_t step = static_cast<size_t>(view.bitsPerPixel / 8);
        const uint8_t* p = view.pixels + row * w * step;
        for (size_t x = 0; x < w; ++x) {
          const uint8_t* q = p + x * step;
          o[x] = 0xFF000000u | (uint32_t{q[2]} << 16) | (uint32_t{q[1]} << 8) | q[0];
        }
        break;
      }
      default: std::fill(o, o + w, 0xFF000000u); break;
    }
  }
}

}  // namespace plat::core
