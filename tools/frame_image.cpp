#include "tools/frame_image.h"

#include <cstddef>

#include "platform/pixels.h"

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
        // As the monitor shows it.
        const uint32_t argb = plat::Argb555(pixels[2 * i] | (uint32_t{pixels[2 * i + 1]} << 8));
        out[0] = static_cast<uint8_t>(argb >> 16);
        out[1] = static_cast<uint8_t>(argb >> 8);
        out[2] = static_cast<uint8_t>(argb);
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
