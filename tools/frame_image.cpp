#include "tools/frame_image.h"

#include <cstddef>

namespace {

// A 5-bit component spread over the whole byte range.
uint8_t Expand5(unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }

}  // namespace

std::vector<uint8_t> FrameToRgb(const uint8_t* pixels, int width, int height, int bitsPerPixel,
                                const uint8_t* palette) {
  if (!pixels || width <= 0 || height <= 0) return {};
  if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
    return {};
  if (bitsPerPixel == 8 && !palette) return {};
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> rgb(count * 3);
  for (size_t i = 0; i < count; ++i) {
    uint8_t* out = &rgb[3 * i];
    switch (bitsPerPixel) {
      case 8: {
        const uint8_t* entry = palette + 3 * pixels[i];
        out[0] = entry[0];
        out[1] = entry[1];
        out[2] = entry[2];
        break;
      }
      case 16: {
        const unsigned word = pixels[2 * i] | (pixels[2 * i + 1] << 8);
        out[0] = Expand5((word >> 10) & 31);
        out[1] = Expand5((word >> 5) & 31);
        out[2] = Expand5(word & 31);
        break;
      }
      default: {
        const uint8_t* p = pixels + i * static_cast<size_t>(bitsPerPixel / 8);
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
        break;
      }
    }
  }
  return rgb;
}
