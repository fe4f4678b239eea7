// The glyphs built into the programs against FreeType's own rendering of the
// font file, for every Windows-1252 byte: a stale table or a wrong generator
// shows here. Native builds only, where FreeType and the font are.
#include <gtest/gtest.h>

#ifdef _WIN32

TEST(FontFile, EveryGlyphIsFreeTypesMonochromeRendering) {
  GTEST_SKIP() << "FreeType and the font file are the build machine's (the native suite compares)";
}

#else
#include <ft2build.h>
#include FT_FREETYPE_H
#include <iconv.h>

#include <cstdint>
#include <vector>

#include "platform/font.h"

namespace {

namespace font = plat::font;

// The code point of a byte as the C library's own Windows-1252 table has it;
// U+FFFD for the five bytes the code page leaves out.
uint32_t CodePoint(uint8_t byte) {
  iconv_t cd = iconv_open("UTF-32LE", "CP1252");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  char in = static_cast<char>(byte);
  unsigned char out[4] = {};
  char* from = &in;
  char* to = reinterpret_cast<char*>(out);
  size_t inLeft = 1, outLeft = 4;
  const size_t done = iconv(cd, &from, &inLeft, &to, &outLeft);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1)) return 0xFFFD;
  return out[0] | out[1] << 8 | out[2] << 16 | static_cast<uint32_t>(out[3]) << 24;
}

class FontFile : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(FT_Init_FreeType(&library_), 0);
    ASSERT_EQ(FT_New_Face(library_, KELVO_FONT_FILE, 0, &face_), 0) << KELVO_FONT_FILE;
    FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_CELL, 0, 13 * 64, 0, 0};
    ASSERT_EQ(FT_Request_Size(face_, &request), 0);
  }
  void TearDown() override {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

TEST_F(FontFile, EveryGlyphIsFreeTypesMonochromeRendering) {
  const FT_Size_Metrics& m = face_->size->metrics;
  EXPECT_EQ(font::Ascent(), (m.ascender + 63) >> 6);
  EXPECT_EQ(font::CellHeight(), (m.ascender - m.descender + 63) >> 6);

  constexpr int32_t kWidth = 64, kHeight = 48, kX = 20, kY = 12;
  size_t inked = 0;
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE("byte " + std::to_string(b));
    const char c = static_cast<char>(b);
    std::vector<uint8_t> drawn(kWidth * kHeight, 0), want(kWidth * kHeight, 0);
    font::DrawText({drawn.data(), kWidth, kHeight, 1}, kX, kY, &c, 1, 1);
    ASSERT_EQ(FT_Load_Char(face_, CodePoint(static_cast<uint8_t>(b)),
                           FT_LOAD_RENDER | FT_LOAD_TARGET_MONO),
              0);
    const FT_GlyphSlot slot = face_->glyph;
    EXPECT_EQ(font::TextWidth(&c, 1), (slot->advance.x + 32) >> 6);
    const FT_Bitmap& bm = slot->bitmap;
    ASSERT_EQ(bm.pixel_mode, FT_PIXEL_MODE_MONO);
    for (unsigned r = 0; r < bm.rows; ++r)
      for (unsigned x = 0; x < bm.width; ++x) {
        if (!((bm.buffer[r * bm.pitch + x / 8] >> (7 - x % 8)) & 1)) continue;
        const int32_t px = kX + slot->bitmap_left + static_cast<int32_t>(x);
        const int32_t py = kY + font::Ascent() - slot->bitmap_top + static_cast<int32_t>(r);
        ASSERT_TRUE(px >= 0 && px < kWidth && py >= 0 && py < kHeight) << px << "," << py;
        want[static_cast<size_t>(py * kWidth + px)] = 1;
        ++inked;
      }
    EXPECT_EQ(drawn, want);
  }
  EXPECT_GT(inked, 190u * 10);  // some 190 visible characters, none of them blank
}

}  // namespace

#endif  // _WIN32
