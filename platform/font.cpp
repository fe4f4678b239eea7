#include "platform/font.h"

#include <algorithm>

#include "platform/font_glyphs.h"

namespace plat::font {

using glyphs::kGlyphs;

int32_t Ascent() { return glyphs::kAscent; }
int32_t CellHeight() { return glyphs::kCellHeight; }

int32_t TextWidth(const char* text, size_t length) {
  if (!text) return 0;
  int32_t width = 0;
  for (size_t i = 0; i < length; ++i) width += kGlyphs[static_cast<uint8_t>(text[i])].advance;
  return width;
}

bool DrawText(const Target& t, int32_t x, int32_t y, const char* text, size_t length,
              uint32_t pixel, Inked* inked) {
  if (inked) *inked = {};
  if (!text || !t.pixels || t.width <= 0 || t.height <= 0 || t.bytesPerPixel < 1 ||
      t.bytesPerPixel > 4)
    return false;
  // 64-bit positions: far-off coordinates and long strings cannot overflow.
  int64_t pen = x;
  const int64_t baseline = static_cast<int64_t>(y) + glyphs::kAscent;
  const size_t bpp = static_cast<size_t>(t.bytesPerPixel);
  int64_t left = t.width, top = t.height, right = 0, bottom = 0;
  for (size_t i = 0; i < length && pen < t.width; ++i) {
    const glyphs::Glyph& g = kGlyphs[static_cast<uint8_t>(text[i])];
    const uint8_t* ink = glyphs::kInk + g.ink;
    const size_t stride = (g.width + 7u) / 8u;
    for (int32_t r = 0; r < g.rows; ++r, ink += stride) {
      const int64_t py = baseline - g.top + r;
      if (py < 0 || py >= t.height) continue;
      for (int32_t c = 0; c < g.width; ++c) {
        const int64_t px = pen + g.left + c;
        if (px < 0 || px >= t.width || !((ink[c >> 3] >> (7 - (c & 7))) & 1)) continue;
        uint8_t* p = t.pixels + (static_cast<size_t>(py) * static_cast<size_t>(t.width) +
                                 static_cast<size_t>(px)) *
                                    bpp;
        for (size_t b = 0; b < bpp; ++b) p[b] = static_cast<uint8_t>(pixel >> (8 * b));
        left = std::min(left, px);
        right = std::max(right, px + 1);
        top = std::min(top, py);
        bottom = std::max(bottom, py + 1);
      }
    }
    pen += g.advance;
  }
  // Inside the target, so they fit 32 bits.
  if (inked && left < right)
    *inked = {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
              static_cast<int32_t>(bottom)};
  return true;
}

}  // namespace plat::font
