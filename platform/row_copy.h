// A picture whose rows lie exactly one row length apart, moved into a surface
// whose rows may lie further apart; and a contiguous picture filled with one
// pixel value. What a display layer needs when the device's row pitch is not
// the row length the renderer draws with.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace plat {

// rows rows of rowBytes bytes from a contiguous source into a destination
// whose rows start destPitch bytes apart; the destination's bytes between
// rows are left as they are.
inline void CopyRowsToPitch(uint8_t* dest, ptrdiff_t destPitch, const uint8_t* source,
                            size_t rowBytes, size_t rows) {
  for (size_t y = 0; y < rows; ++y)
    std::memcpy(dest + static_cast<ptrdiff_t>(y) * destPitch, source + y * rowBytes, rowBytes);
}

// count pixels of bytesPerPixel bytes (1 to 4), each the low bytes of value
// in little-endian order, as a colour-fill blit writes them.
inline void FillPixels(uint8_t* pixels, size_t count, uint32_t bytesPerPixel, uint32_t value) {
  if (bytesPerPixel == 1) {
    std::memset(pixels, static_cast<int>(value & 0xFF), count);
    return;
  }
  if (bytesPerPixel < 1 || bytesPerPixel > 4) return;
  uint8_t pixel[4];
  bool sameBytes = true;
  for (uint32_t i = 0; i < 4; ++i) {
    pixel[i] = static_cast<uint8_t>(value >> (8 * i));
    sameBytes = sameBytes && (i >= bytesPerPixel || pixel[i] == pixel[0]);
  }
  // Black or white, say: one byte over and over.
  if (sameBytes) {
    std::memset(pixels, pixel[0], count * bytesPerPixel);
    return;
  }
  for (size_t i = 0; i < count; ++i) std::memcpy(pixels + i * bytesPerPixel, pixel, bytesPerPixel);
}

}  // namespace plat
