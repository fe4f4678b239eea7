// How a monitor shows the emulated screen in a window or on a real screen of
// another size: scaled with its aspect ratio kept and black bars beside it,
// by a whole number where twice the size or more fits (sharp pixels), and the pixels of each
// depth as the display hardware would turn them into colours.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/core/core.h"

namespace plat::core {

struct Placement {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// Where a screen of screenWidth x screenHeight goes in an output of
// outWidth x outHeight, centred: the largest whole-number scale when 2 or
// more fits; else the largest fraction that keeps the aspect ratio.
// Empty for empty sizes.
Placement FitScreen(int32_t screenWidth, int32_t screenHeight, int32_t outWidth, int32_t outHeight);
// An output pixel back onto the screen's pixel grid; false when it lies on
// the bars beside the picture.
bool OutputToScreen(const Placement& placement, int32_t screenWidth, int32_t screenHeight,
                    int32_t outX, int32_t outY, int32_t* x, int32_t* y);
// The view's pixels as 0xFFRRGGBB, rows `pitch` pixels apart: 8 bits through
// the palette, 16 bits as 5-5-5, 24 bits as blue, green, red bytes, 32 bits
// as blue, green, red, unused.
void ToArgb(const ScreenView& view, uint32_t* out, size_t pitch);

}  // namespace plat::core
