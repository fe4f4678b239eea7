// The font's glyphs as kelvo-gen-glyphs (tools/gen_glyphs.cpp) renders them
// at build time; the table itself is a generated source of the build.
#pragma once
#include <cstdint>

namespace plat::font::glyphs {

struct Glyph {
  int16_t left;     // from the pen to the bitmap's left column
  int16_t top;      // from the baseline up to the bitmap's top row
  uint8_t advance;  // pixels the pen moves on
  uint8_t width;    // bitmap columns
  uint8_t rows;     // bitmap rows
  uint32_t ink;     // where its rows start in kInk: (width + 7) / 8 bytes a row,
                    // the leftmost pixel in the top bit
};

extern const int32_t kAscent;
extern const int32_t kCellHeight;
// One glyph for each Windows-1252 byte.
extern const Glyph kGlyphs[256];
extern const uint8_t kInk[];

}  // namespace plat::font::glyphs
