#include "platform/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

namespace plat::font {
namespace {

struct Glyph {
  bool loaded = false;
  int32_t width = 0;
  int32_t rows = 0;
  int32_t left = 0;
  int32_t top = 0;
  int32_t advance = 0;
  std::vector<uint8_t> ink;  // rows x width, 1 where inked
};

struct FontState {
  std::string file = kDefaultFontFile;
  bool tried = false;
  bool reported = false;
  std::string error;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  int32_t ascent = 0;
  int32_t cell = 0;
  std::array<Glyph, 256> glyphs;

  ~FontState() { Drop(); }
  void Drop() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
    face = nullptr;
    library = nullptr;
    tried = false;
    reported = false;
    error.clear();
    glyphs = {};
  }
};

FontState& State() {
  static FontState state;
  return state;
}

// Code points of Windows-1252 bytes 0x80 to 0x9F; the rest equal their byte.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

uint32_t CodePoint(uint8_t byte) {
  if (byte >= 0x80 && byte < 0xA0) return kCp1252High[byte - 0x80];
  return byte;
}

std::string FreeTypeError(FT_Error code) {
  const char* text = FT_Error_String(code);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "FreeType error %d", code);
  return text ? std::string(text) : std::string(buffer);
}

bool Load(FontState& s) {
  if (s.tried) return s.face != nullptr;
  s.tried = true;
  FT_Error err = FT_Init_FreeType(&s.library);
  if (err) {
    s.library = nullptr;
    s.error = "cannot start FreeType: " + FreeTypeError(err);
  } else if ((err = FT_New_Face(s.library, s.file.c_str(), 0, &s.face)) != 0) {
    s.face = nullptr;
    s.error = "cannot load the font " + s.file + ": " + FreeTypeError(err) +
              " (the fonts-dejavu-core package provides it)";
  } else {
    // Cell height, the way a positive font height was meant on Windows.
    FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_CELL, 0, kCellHeight * 64, 0, 0};
    if ((err = FT_Request_Size(s.face, &request)) != 0) {
      s.error = "cannot size the font " + s.file + ": " + FreeTypeError(err);
      FT_Done_Face(s.face);
      s.face = nullptr;
    } else {
      s.ascent = static_cast<int32_t>((s.face->size->metrics.ascender + 63) >> 6);
      s.cell = static_cast<int32_t>(
          (s.face->size->metrics.ascender - s.face->size->metrics.descender + 63) >> 6);
    }
  }
  if (!s.face && !s.reported) {
    s.reported = true;
    std::fprintf(stderr, "kelvo: %s; text is not drawn\n", s.error.c_str());
  }
  return s.face != nullptr;
}

const Glyph& GlyphOf(FontState& s, uint8_t byte) {
  Glyph& g = s.glyphs[byte];
  if (g.loaded) return g;
  g.loaded = true;
  if (FT_Load_Char(s.face, CodePoint(byte), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) return g;
  const FT_GlyphSlot slot = s.face->glyph;
  const FT_Bitmap& bm = slot->bitmap;
  g.advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  if (bm.pixel_mode != FT_PIXEL_MODE_MONO || bm.width == 0 || bm.rows == 0) return g;
  g.width = static_cast<int32_t>(bm.width);
  g.rows = static_cast<int32_t>(bm.rows);
  g.ink.assign(static_cast<size_t>(g.width) * static_cast<size_t>(g.rows), 0);
  for (int32_t r = 0; r < g.rows; ++r) {
    const uint8_t* row = bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch;
    for (int32_t c = 0; c < g.width; ++c)
      g.ink[static_cast<size_t>(r) * g.width + c] = (row[c >> 3] >> (7 - (c & 7))) & 1;
  }
  return g;
}

}  // namespace

bool Available() { return Load(State()); }

const std::string& Error() {
  Load(State());
  return State().error;
}

void SetFontFile(const char* path) {
  FontState& s = State();
  s.Drop();
  s.file = path ? path : kDefaultFontFile;
}

int32_t Ascent() { return Available() ? State().ascent : 0; }
int32_t CellHeight() { return Available() ? State().cell : 0; }

int32_t TextWidth(const char* text, size_t length) {
  if (!text || !Available()) return 0;
  int32_t width = 0;
  for (size_t i = 0; i < length; ++i)
    width += GlyphOf(State(), static_cast<uint8_t>(text[i])).advance;
  return width;
}

bool DrawText(const Target& t, int32_t x, int32_t y, const char* text, size_t length,
              uint32_t pixel, Inked* inked) {
  if (inked) *inked = {};
  if (!Available()) return false;
  if (!text || !t.pixels || t.width <= 0 || t.height <= 0 || t.bytesPerPixel < 1 ||
      t.bytesPerPixel > 4)
    return true;
  FontState& s = State();
  // 64-bit positions: far-off coordinates and long strings cannot overflow.
  int64_t pen = x;
  const int64_t baseline = static_cast<int64_t>(y) + s.ascent;
  const size_t bpp = static_cast<size_t>(t.bytesPerPixel);
  int64_t left = t.width, top = t.height, right = 0, bottom = 0;
  for (size_t i = 0; i < length && pen < t.width; ++i) {
    const Glyph& g = GlyphOf(s, static_cast<uint8_t>(text[i]));
    for (int32_t r = 0; r < g.rows; ++r) {
      const int64_t py = baseline - g.top + r;
      if (py < 0 || py >= t.height) continue;
      for (int32_t c = 0; c < g.width; ++c) {
        const int64_t px = pen + g.left + c;
        if (px < 0 || px >= t.width || !g.ink[static_cast<size_t>(r) * g.width + c]) continue;
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
