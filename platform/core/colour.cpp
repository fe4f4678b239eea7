// Colours as pixels of the screen: the default system palette, and a GDI
// colour as the pixel of a given depth (8 bits: the nearest entry of what
// the screen shows).
#include <cstdint>

#include "platform/core/internal.h"
#include "platform/static_colours.h"

namespace {

using namespace plat;

// The entry nearest a colour: among the static colours of the system palette,
// or among all entries of the palette the application put on the screen
// (it may have overwritten statics, so those show its own colours).
size_t NearestShown(COLORREF colour) {
  const PALETTEENTRY* attached = core::detail::AttachedPalette();
  const bool own = attached != nullptr;
  const PALETTEENTRY* palette = own ? attached : core::SystemPalette();
  const int r = static_cast<int>(colour & 0xFF), g = static_cast<int>((colour >> 8) & 0xFF),
            b = static_cast<int>((colour >> 16) & 0xFF);
  size_t best = 0;
  int bestDistance = INT32_MAX;
  for (size_t i = 0; i < 256; ++i) {
    if (i == 10 && !own) i = 246;
    const int dr = palette[i].peRed - r, dg = palette[i].peGreen - g, db = palette[i].peBlue - b;
    const int d = dr * dr + dg * dg + db * db;
    if (d <= bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

}  // namespace

namespace plat::core::detail {

PALETTEENTRY DefaultSystemColour(int i) {
  if (i < 10 || i >= 246) {
    const uint8_t* c = i < 10 ? kStaticColoursLow[i] : kStaticColoursHigh[i - 246];
    return {c[0], c[1], c[2], 0};
  }
  // A grey ramp between, as a desktop's palette might hold.
  const auto v = static_cast<uint8_t>(i);
  return {v, v, v, 0};
}

uint32_t PixelFor(COLORREF colour, int32_t bitsPerPixel) {
  const uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
  switch (bitsPerPixel) {
    case 8: return static_cast<uint32_t>(NearestShown(colour));
    case 16: return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    default: return (r << 16) | (g << 8) | b;
  }
}

}  // namespace plat::core::detail
