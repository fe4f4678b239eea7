// kelvo-gen-glyphs FONT FILE
//
// Renders the 256 Windows-1252 characters of FONT (DejaVu Sans) with FreeType
// as the programs draw them -- a 13-pixel cell, one colour, no smoothing --
// and writes them as a C++ source (platform/font_glyphs.h) to FILE. Run at
// build time, so no program needs FreeType or the font when it runs.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <string>
#include <vector>

#include "tools/arguments.h"
#include "tools/files.h"

namespace {

constexpr const char* kUsage =
    "usage: kelvo-gen-glyphs FONT FILE\n"
    "Writes the glyphs of FONT, sized to a 13-pixel cell and drawn without smoothing, for\n"
    "each Windows-1252 byte as a C++ source (platform/font_glyphs.h) to FILE.\n"
    "Exit status: 0 done, 1 could not read the font or write FILE, 2 bad command line.\n";

// Sized the way a positive font height was meant on Windows: the cell.
constexpr long kCellHeight = 13;

// Code points of Windows-1252 bytes 0x80 to 0x9F; the rest equal their byte.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

uint32_t CodePoint(int byte) {
  if (byte >= 0x80 && byte < 0xA0) return kCp1252High[byte - 0x80];
  return static_cast<uint32_t>(byte);
}

std::string FreeTypeError(FT_Error code) {
  if (code == FT_Err_Cannot_Open_Resource) return "cannot open it";
  if (code == FT_Err_Unknown_File_Format) return "not a font file";
  const char* text = FT_Error_String(code);  // null unless FreeType was built with them
  return text ? std::string(text) : "FreeType error " + std::to_string(code);
}

struct Font {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Font() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

// The table as source text; empty with a reason when the font cannot be used.
std::string Render(const char* file, std::string* error) {
  Font font;
  FT_Error err = FT_Init_FreeType(&font.library);
  if (err) {
    *error = "cannot start FreeType: " + FreeTypeError(err);
    return {};
  }
  if ((err = FT_New_Face(font.library, file, 0, &font.face)) != 0) {
    *error = std::string("cannot load the font ") + file + ": " + FreeTypeError(err);
    return {};
  }
  FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_CELL, 0, kCellHeight * 64, 0, 0};
  if ((err = FT_Request_Size(font.face, &request)) != 0) {
    *error = std::string("cannot size the font ") + file + ": " + FreeTypeError(err);
    return {};
  }
  const FT_Size_Metrics& size = font.face->size->metrics;
  std::string glyphs, ink;
  uint32_t inkBytes = 0;
  for (int byte = 0; byte < 256; ++byte) {
    long advance = 0, width = 0, rows = 0, left = 0, top = 0;
    // A character that fails to load draws nothing and takes no room.
    if (FT_Load_Char(font.face, CodePoint(byte), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
      const FT_GlyphSlot slot = font.face->glyph;
      const FT_Bitmap& bm = slot->bitmap;
      advance = (slot->advance.x + 32) >> 6;
      left = slot->bitmap_left;
      top = slot->bitmap_top;
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO && bm.width > 0 && bm.rows > 0) {
        width = bm.width;
        rows = bm.rows;
        const long stride = (width + 7) / 8;
        for (long r = 0; r < rows; ++r) {
          const unsigned char* row = bm.buffer + r * bm.pitch;
          // Bits past the width are not the glyph's.
          for (long b = 0; b < stride; ++b) {
            const long used = width - 8 * b < 8 ? width - 8 * b : 8;
            const unsigned mask = (0xFF00u >> used) & 0xFFu;
            ink += std::to_string(row[b] & mask) + ",";
          }
          ink += r + 1 < rows ? " " : "\n";
        }
      }
    }
    if (advance < 0 || advance > 255 || width > 255 || rows > 255 || left < -32768 ||
        left > 32767 || top < -32768 || top > 32767) {
      *error = "glyph " + std::to_string(byte) + " is too large for the table";
      return {};
    }
    char line[96];
    std::snprintf(line, sizeof line, "    {%ld, %ld, %ld, %ld, %ld, %lu},  // %d\n", left, top,
                  advance, width, rows, static_cast<unsigned long>(inkBytes), byte);
    glyphs += line;
    inkBytes += static_cast<uint32_t>((width + 7) / 8 * rows);
  }
  if (inkBytes == 0) ink = "0,\n";  // an array may not be empty
  return "// Written by kelvo-gen-glyphs from " + std::string(file) +
         "; do not edit.\n"
         "#include \"platform/font_glyphs.h\"\n\n"
         "namespace plat::font::glyphs {\n\n"
         "const int32_t kAscent = " +
         std::to_string((size.ascender + 63) >> 6) +
         ";\n"
         "const int32_t kCellHeight = " +
         std::to_string((size.ascender - size.descender + 63) >> 6) +
         ";\n\n"
         "const Glyph kGlyphs[256] = {\n" +
         glyphs +
         "};\n\n"
         "const uint8_t kInk[] = {\n" +
         ink + "};\n\n}  // namespace plat::font::glyphs\n";
}

}  // namespace

int main(int argc, char** argv) {
  return GuardedMain("kelvo-gen-glyphs", [&] {
    Arguments args;
    std::string error;
    if (!SplitArguments(argc, argv, {}, 2, &args, &error)) {
      std::fprintf(stderr, "kelvo-gen-glyphs: %s (see --help)\n", error.c_str());
      return 2;
    }
    if (args.help()) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (args.plain().size() != 2) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    const std::string font(args.plain()[0]), file(args.plain()[1]);
    const std::string source = Render(font.c_str(), &error);
    if (source.empty() || !WriteWholeFile(file, source.data(), source.size(), &error)) {
      std::fprintf(stderr, "kelvo-gen-glyphs: %s\n", error.c_str());
      return 1;
    }
    return 0;
  });
}
