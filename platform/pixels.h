// How a 16-bit screen's 5-5-5 pixels become colours, for everything that
// shows one: the monitor, the tools' PNG files and the tests.
#pragma once
#include <cstdint>

namespace plat {

// A 5-bit level over the whole byte range by repeating its top bits, as
// display hardware widens it: 0 is 0, 16 is 132, 31 is 255. Every picture of
// a 16-bit screen (the monitor, PNG files, tests) goes through this.
constexpr uint8_t Expand5(uint32_t level) {
  return static_cast<uint8_t>(((level & 31) << 3) | ((level & 31) >> 2));
}
// A 5-5-5 pixel (red in bits 10-14, bit 15 ignored) as 0xFFRRGGBB.
constexpr uint32_t Argb555(uint32_t pixel) {
  return 0xFF000000u | (uint32_t{Expand5(pixel >> 10)} << 16) |
         (uint32_t{Expand5(pixel >> 5)} << 8) | Expand5(pixel);
}

}  // namespace plat
