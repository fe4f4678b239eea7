#include "scene/tables.h"

#include <gtest/gtest.h>

#include <cstring>

#include "scene/scene.h"
#include "support/test_support.h"

using testing_support::ScratchDir;

namespace {

void SetPaletteEntry(int i, uint8_t r, uint8_t g, uint8_t b) {
  cubePalette[3 * i] = r;
  cubePalette[3 * i + 1] = g;
  cubePalette[3 * i + 2] = b;
}

TEST(ColourPacking, PacksAndUnpacksFiveFiveFive) {
  EXPECT_EQ(PackRGB555(255, 255, 255), 0x7FFF);
  EXPECT_EQ(PackRGB555(8, 16, 24), 0x0443);
  EXPECT_EQ(PackRGB555(0, 0, 0), 0);
  EXPECT_EQ(PackRGB555(7, 7, 7), 0);
  uint8_t r, g, b;
  UnpackRGB555(0x7FFF, &r, &g, &b);
  EXPECT_EQ(r, 248);
  EXPECT_EQ(g, 248);
  EXPECT_EQ(b, 248);
  UnpackRGB555(0x0443, &r, &g, &b);
  EXPECT_EQ(r, 8);
  EXPECT_EQ(g, 16);
  EXPECT_EQ(b, 24);
}

TEST(LightMap, HasTheLitSpotWhereTheLightIs) {
  BuildLightMap();
  EXPECT_EQ(lightMap[128 * 256 + 128], 2);
  EXPECT_EQ(lightMap[73 * 256 + 127], 245);
  EXPECT_EQ(lightMap[0 * 256 + 128], 0);
  EXPECT_EQ(lightMap[64 * 256 + 128], 209);
  uint8_t highest = 0;
  for (uint8_t v : lightMap) highest = std::max(highest, v);
  EXPECT_EQ(highest, 245);
}

class ColourTables : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(cubePalette, 0, sizeof cubePalette);
    SetPaletteEntry(1, 0, 0, 0);
    SetPaletteEntry(2, 128, 128, 128);
    SetPaletteEntry(3, 255, 255, 255);
    SetPaletteEntry(4, 100, 200, 40);
    BuildTrueColourTables();
    Build16BitTables();
  }
};

TEST_F(ColourTables, ShadeRampsKeepLevel200AndClampAbove) {
  EXPECT_EQ(shadeRamp32[200 * 256 + 4], palette32[4]);
  EXPECT_EQ(palette32[4], 0x0064C828u);
  EXPECT_EQ(shadeRamp32[0 * 256 + 4], 0u);
  // 100 * 255 / 200 = 127; 200 and 255 clamp at 255.
  EXPECT_EQ(shadeRamp32[255 * 256 + 4], 0x007FFF33u);
  EXPECT_EQ(shadeRamp32[100 * 256 + 4], 0x00326414u);
  EXPECT_EQ(shadeRamp16[200 * 256 + 4], palette16[4]);
  EXPECT_EQ(shadeRamp16[255 * 256 + 4], PackRGB555(127, 255, 51));
  EXPECT_EQ(shadeRamp16[0 * 256 + 3], 0);
}

TEST_F(ColourTables, BlendOverBlackGivesTheTexelItself) {
  for (int t = 0; t < 256; ++t) {
    EXPECT_EQ(blendLow16[t], 0);
    EXPECT_EQ(blendHigh16[t], palette16[t]);
  }
}

// The 16-bit blend adds a part from each byte of the background pixel.
uint16_t Blend16(uint16_t background, int texel) {
  return static_cast<uint16_t>(blendLow16[(background & 0xFF) * 256 + texel] +
                               blendHigh16[(background >> 8) * 256 + texel]);
}

TEST_F(ColourTables, BlendsHalfWayInSixteenBits) {
  EXPECT_EQ(Blend16(0x4210, 1), 0x2108);  // black over grey: exactly half
  EXPECT_EQ(Blend16(0x4210, 2), 0x4210);  // grey over grey
  // Only part of the background's green reaches the tables; the loss is kept.
  EXPECT_EQ(Blend16(0x7FFF, 3), 0x7F7F);
  EXPECT_EQ(Blend16(0x0000, 4), palette16[4]);
  for (int hi = 1; hi < 256; ++hi) EXPECT_EQ(blendHigh16[hi * 256 + 4] & 0x7F, 0);
}

TEST_F(ColourTables, SixteenBitTablesRebuildIdentically) {
  static uint16_t ramp[256 * 256], high[256 * 256];
  static uint8_t low[256 * 256];
  std::memcpy(ramp, shadeRamp16, sizeof ramp);
  std::memcpy(high, blendHigh16, sizeof high);
  std::memcpy(low, blendLow16, sizeof low);
  Build16BitTables();
  EXPECT_EQ(std::memcmp(ramp, shadeRamp16, sizeof ramp), 0);
  EXPECT_EQ(std::memcmp(high, blendHigh16, sizeof high), 0);
  EXPECT_EQ(std::memcmp(low, blendLow16, sizeof low), 0);
}

TEST(DataFiles, MissingFilesAreNamedWithTheReason) {
  ScratchDir dir;
  SetAssetDirectory(dir.path().c_str());
  EXPECT_EQ(LoadPalette(), 0);
  EXPECT_NE(std::string(LastAssetError()).find("CUBE.PAL"), std::string::npos);
  EXPECT_NE(std::string(LastAssetError()).find("No such file"), std::string::npos);
  EXPECT_EQ(LoadShadeTable(), 0);
  EXPECT_NE(std::string(LastAssetError()).find("PALTBL1.DAT"), std::string::npos);
  EXPECT_EQ(LoadBlendTable(), 0);
  EXPECT_NE(std::string(LastAssetError()).find("PALTBL2.DAT"), std::string::npos);
  SetAssetDirectory("");
}

TEST(DataFiles, TexturesStopAtTheFirstMissingFileKeepingTheOnesRead) {
  FreeSceneMemory();
  ScratchDir dir;
  for (const char* name : {"T1.BMP", "T2.BMP", "T3.BMP", "T5.BMP"}) dir.CopyData(name);
  SetAssetDirectory(dir.path().c_str());
  EXPECT_EQ(LoadTextures(), 0);
  EXPECT_NE(std::string(LastAssetError()).find("T4.BMP"), std::string::npos);
  EXPECT_NE(textures[0], nullptr);
  EXPECT_NE(textures[2], nullptr);
  EXPECT_EQ(textures[3], nullptr);
  EXPECT_EQ(textures[4], nullptr);
  FreeSceneMemory();
  for (uint8_t* t : textures) EXPECT_EQ(t, nullptr);
  SetAssetDirectory("");
}

TEST(DataFiles, ShortFilesLeaveTheRestZero) {
  ScratchDir dir;
  dir.Write("CUBE.PAL", std::vector<uint8_t>(10, 0x55));
  dir.Write("PALTBL1.DAT", std::vector<uint8_t>(300, 0x66));
  dir.Write("PALTBL2.DAT", {});
  for (const char* name : {"T1.BMP", "T2.BMP", "T3.BMP", "T4.BMP", "T5.BMP", "T6.BMP"})
    dir.CopyData(name, 1078 + 130);
  // Garbage first, so a short read that left it behind would show.
  std::memset(cubePalette, 0xEE, sizeof cubePalette);
  std::memset(shadeTable8, 0xEE, sizeof shadeTable8);
  std::memset(blendTable8, 0xEE, sizeof blendTable8);
  SetAssetDirectory(dir.path().c_str());
  ASSERT_EQ(LoadPalette(), 1);
  ASSERT_EQ(LoadShadeTable(), 1);
  ASSERT_EQ(LoadBlendTable(), 1);
  ASSERT_EQ(LoadTextures(), 1);
  SetAssetDirectory("");
  EXPECT_EQ(cubePalette[9], 0x55);
  EXPECT_EQ(cubePalette[10], 0);
  EXPECT_EQ(cubePalette[767], 0);
  EXPECT_EQ(shadeTable8[299], 0x66);
  EXPECT_EQ(shadeTable8[300], 0);
  EXPECT_EQ(blendTable8[0], 0);
  EXPECT_EQ(blendTable8[65535], 0);
  for (uint8_t* t : textures) {
    ASSERT_NE(t, nullptr);
    EXPECT_NE(t[129], 0);  // read from the file: our texels are never 0
    EXPECT_EQ(t[130], 0);
    EXPECT_EQ(t[16383], 0);
  }
  FreeSceneMemory();
}

}  // namespace
