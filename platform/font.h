// The one font every backend draws text with: DejaVu Sans sized like the old
// default GUI font (a 13-pixel cell), drawn in one colour without smoothing so
// it looks the same in a palette mode as in true colour. Its glyphs are
// rendered once at build time (tools/gen_glyphs.cpp), so no program needs
// FreeType or the font file when it runs.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace plat::font {

// A surface of height rows of exactly width pixels, 1 to 4 bytes each.
struct Target {
  uint8_t* pixels;
  int32_t width;
  int32_t height;
  int32_t bytesPerPixel;
};

// From the cell's top to the baseline, and the cell's height.
int32_t Ascent();
int32_t CellHeight();
// Advance width of the text in pixels.
int32_t TextWidth(const char* text, size_t length);
inline int32_t TextWidth(const std::string& text) { return TextWidth(text.data(), text.size()); }

// Where DrawText set pixels: [left, right) x [top, bottom), empty when none.
struct Inked {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Sets each inked pixel of the text to `pixel` (its low bytesPerPixel bytes,
// least significant first); everything else stays. (x, y) is the top-left
// corner of the text's cell; bytes are Windows-1252 characters. Clipped to the
// target. False, drawing nothing, for no text or a target of no pixels.
// inked, where given, gets a rectangle holding every pixel set.
bool DrawText(const Target& target, int32_t x, int32_t y, const char* text, size_t length,
              uint32_t pixel, Inked* inked = nullptr);

}  // namespace plat::font
