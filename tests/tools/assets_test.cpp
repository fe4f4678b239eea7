// The generated data files: formats, the rules every colour table keeps, and
// a generator that gives the same bytes on every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "run_tool.h"
#include "support/test_support.h"
#include "tools/picture.h"
#include "tools/png_write.h"

namespace {

using testing_support::DataDir;
using testing_support::Put16;
using testing_support::Put32;
using testing_support::ReadFile;
using testing_support::ScratchDir;

constexpr int kFirstUsable = 10;
constexpr int kLastUsable = 254;
constexpr size_t kPixelOffset = 1078;
const char* const kDataFiles[] = {"CUBE.PAL", "PALTBL1.DAT", "PALTBL2.DAT", "T1.BMP",
                                  "T2.BMP",   "T3.BMP",      "T4.BMP",      "T5.BMP",
                                  "T6.BMP",   "AppIcon.ico"};

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

std::vector<uint8_t> Data(const std::string& name) { return ReadFile(DataDir() + "/" + name); }

// "T1.BMP" to "T6.BMP" (not built with operator+: GCC 12 warns falsely on it).
std::string TextureName(int n) {
  char name[24];
  std::snprintf(name, sizeof name, "T%d.BMP", n);
  return name;
}

uint32_t Le16(const std::vector<uint8_t>& d, size_t at) { return d[at] | (d[at + 1] << 8); }
uint32_t Le32(const std::vector<uint8_t>& d, size_t at) {
  return Le16(d, at) | (Le16(d, at + 2) << 16);
}

class GeneratedData : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    palette_ = Data("CUBE.PAL");
    shade_ = Data("PALTBL1.DAT");
    blend_ = Data("PALTBL2.DAT");
    for (int n = 1; n <= 6; ++n) bitmaps_.push_back(Data(TextureName(n)));
  }
  void SetUp() override {
    ASSERT_EQ(palette_.size(), 768u);
    ASSERT_EQ(shade_.size(), 65536u);
    ASSERT_EQ(blend_.size(), 65536u);
    for (const auto& bmp : bitmaps_) ASSERT_EQ(bmp.size(), kPixelOffset + 128 * 128);
  }

  static Rgb Colour(int index) {
    const size_t at = static_cast<size_t>(index) * 3;
    return {palette_[at], palette_[at + 1], palette_[at + 2]};
  }
  // Texel of face n (1..6) at picture column x and picture row y counted from
  // the top, as an image viewer shows it.
  static int PictureTexel(int n, int x, int y) {
    return bitmaps_[static_cast<size_t>(n - 1)]
                   [kPixelOffset + static_cast<size_t>((127 - y) * 128 + x)];
  }
  static int Distance(const Rgb& a, const Rgb& b) {
    const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
  }
  // The usable entry nearest to c, searched the slow way.
  static int BruteNearest(const Rgb& c) {
    int best = -1;
    for (int i = kFirstUsable; i <= kLastUsable; ++i) {
      if (best < 0 || Distance(Colour(i), c) < Distance(Colour(best), c)) best = i;
    }
    return best;
  }

  static inline std::vector<uint8_t> palette_, shade_, blend_;
  static inline std::vector<std::vector<uint8_t>> bitmaps_;
};

TEST(DataFiles, HaveTheirSizes) {
  EXPECT_EQ(Data("CUBE.PAL").size(), 768u);
  EXPECT_EQ(Data("PALTBL1.DAT").size(), 65536u);
  EXPECT_EQ(Data("PALTBL2.DAT").size(), 65536u);
  for (int n = 1; n <= 6; ++n) EXPECT_EQ(Data(TextureName(n)).size(), 17462u) << n;
  EXPECT_EQ(Data("AppIcon.ico").size(), 6u + 16u + 40u + 64u + 512u + 128u);
}

TEST_F(GeneratedData, PaletteKeepsTheSystemColours) {
  const Rgb low[10] = {{0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00},
                       {0x80, 0x80, 0x00}, {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80},
                       {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0}, {0xC0, 0xDC, 0xC0},
                       {0xA6, 0xCA, 0xF0}};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Colour(i), low[i]) << i;
  EXPECT_EQ(Colour(255), (Rgb{255, 255, 255}));
  // Shading reaches black and white only if the usable entries hold them.
  bool black = false, white = false;
  for (int i = kFirstUsable; i <= kLastUsable; ++i) {
    black = black || Colour(i) == Rgb{0, 0, 0};
    white = white || Colour(i) == Rgb{255, 255, 255};
  }
  EXPECT_TRUE(black);
  EXPECT_TRUE(white);
}

TEST_F(GeneratedData, BitmapsAreUncompressedBottomUpWithThePalette) {
  for (size_t f = 0; f < bitmaps_.size(); ++f) {
    SCOPED_TRACE(TextureName(static_cast<int>(f) + 1));
    const auto& d = bitmaps_[f];
    EXPECT_EQ(d[0], 'B');
    EXPECT_EQ(d[1], 'M');
    EXPECT_EQ(Le32(d, 2), d.size());
    EXPECT_EQ(Le32(d, 10), kPixelOffset);
    EXPECT_EQ(Le32(d, 14), 40u);
    EXPECT_EQ(Le32(d, 18), 128u);
    EXPECT_EQ(Le32(d, 22), 128u);  // positive: bottom-up
    EXPECT_EQ(Le16(d, 26), 1u);
    EXPECT_EQ(Le16(d, 28), 8u);
    EXPECT_EQ(Le32(d, 30), 0u);  // BI_RGB
    const uint32_t used = Le32(d, 46);
    EXPECT_TRUE(used == 0 || used == 256) << used;
    for (int i = 0; i < 256; ++i) {
      const size_t at = 54 + static_cast<size_t>(i) * 4;
      EXPECT_EQ((Rgb{d[at + 2], d[at + 1], d[at]}), Colour(i)) << "colour table entry " << i;
    }
    int outside = 0;
    for (size_t i = kPixelOffset; i < d.size(); ++i)
      outside += d[i] < kFirstUsable || d[i] > kLastUsable;
    EXPECT_EQ(outside, 0);
  }
}

TEST_F(GeneratedData, FacesAreClearlyDifferent) {
  // Compared over the part of each texture the cube shows.
  for (int a = 1; a <= 6; ++a) {
    for (int b = a + 1; b <= 6; ++b) {
      int differing = 0;
      double distance = 0;
      for (int y = 5; y < 123; ++y) {
        for (int x = 5; x < 123; ++x) {
          const Rgb ca = Colour(PictureTexel(a, x, y)), cb = Colour(PictureTexel(b, x, y));
          differing += !(ca == cb);
          const int dr = ca.r - cb.r, dg = ca.g - cb.g, db = ca.b - cb.b;
          distance += std::sqrt(static_cast<double>(dr * dr + dg * dg + db * db));
        }
      }
      const double texels = 118.0 * 118.0;
      EXPECT_GT(differing / texels, 0.5) << a << " vs " << b;
      EXPECT_GT(distance / texels, 40.0) << a << " vs " << b;
    }
  }
}

// Face n carries n die pips on a 3 x 3 grid whose top centre is left to the
// numeral, while the bottom centre stays free: upside-down rows would show.
TEST_F(GeneratedData, FacesShowTheirNumberUpright) {
  auto bright = [](const Rgb& c) { return c.r >= 200 && c.g >= 200 && c.b >= 200; };
  for (int n = 1; n <= 6; ++n) {
    int pips = 0;
    for (int gy = 0; gy < 3; ++gy) {
      for (int gx = 0; gx < 3; ++gx) {
        if (gx == 1 && gy == 0) continue;  // the numeral's place
        pips += bright(Colour(PictureTexel(n, 36 + 28 * gx, 36 + 28 * gy)));
      }
    }
    EXPECT_EQ(pips, n) << "face " << n;

    int top = 0, bottom = 0;
    for (int y = 14; y < 48; ++y) {
      for (int x = 52; x < 77; ++x) {
        top += bright(Colour(PictureTexel(n, x, y)));
        bottom += bright(Colour(PictureTexel(n, x, 127 - y)));
      }
    }
    EXPECT_GT(top, 60) << "face " << n;
    EXPECT_EQ(bottom, 0) << "face " << n;
  }
}

TEST_F(GeneratedData, ShadeTableFollowsTheLightLevel) {
  for (int i = 0; i < 65536; ++i) {
    ASSERT_GE(shade_[i], kFirstUsable) << "level " << i / 256 << " entry " << i % 256;
    ASSERT_LE(shade_[i], kLastUsable) << "level " << i / 256 << " entry " << i % 256;
  }
  for (int c = kFirstUsable; c <= kLastUsable; ++c) {
    EXPECT_EQ(Colour(shade_[200 * 256 + c]), Colour(c)) << "entry " << c;
  }
  int darkest = kFirstUsable;
  for (int i = kFirstUsable; i <= kLastUsable; ++i) {
    const Rgb c = Colour(i), d = Colour(darkest);
    if (c.r + c.g + c.b < d.r + d.g + d.b) darkest = i;
  }
  for (int c = 0; c < 256; ++c) EXPECT_EQ(Colour(shade_[c]), Colour(darkest)) << "entry " << c;
}

TEST_F(GeneratedData, ShadeTableHoldsTheNearestEntry) {
  for (int level = 0; level < 256; level += 3) {
    for (int c = 0; c < 256; c += 5) {
      const Rgb p = Colour(c);
      auto scale = [level](int v) { return std::min(255, v * level / 200); };
      const Rgb want{scale(p.r), scale(p.g), scale(p.b)};
      ASSERT_EQ(shade_[static_cast<size_t>(level * 256 + c)], BruteNearest(want))
          << "level " << level << " entry " << c;
    }
  }
}

TEST_F(GeneratedData, BlendTableHoldsTheNearestAverage) {
  for (int i = 0; i < 65536; ++i) {
    ASSERT_GE(blend_[i], kFirstUsable) << "back " << i / 256 << " texel " << i % 256;
    ASSERT_LE(blend_[i], kLastUsable) << "back " << i / 256 << " texel " << i % 256;
  }
  for (int b = kFirstUsable; b <= kLastUsable; ++b) {
    EXPECT_EQ(Colour(blend_[b * 256 + b]), Colour(b)) << "entry " << b;
  }
  for (int b = 0; b < 256; b += 3) {
    for (int t = 0; t < 256; t += 7) {
      const Rgb x = Colour(b), y = Colour(t);
      const Rgb want{(x.r + y.r) / 2, (x.g + y.g) / 2, (x.b + y.b) / 2};
      ASSERT_EQ(blend_[static_cast<size_t>(b * 256 + t)], BruteNearest(want))
          << "back " << b << " texel " << t;
      // The average does not depend on the order.
      ASSERT_EQ(blend_[static_cast<size_t>(b * 256 + t)], blend_[static_cast<size_t>(t * 256 + b)]);
    }
  }
}

TEST(DataFiles, IconIsOneSixteenColourImageWithMask) {
  const auto d = Data("AppIcon.ico");
  ASSERT_EQ(d.size(), 766u);
  EXPECT_EQ(Le16(d, 0), 0u);
  EXPECT_EQ(Le16(d, 2), 1u);  // icon
  EXPECT_EQ(Le16(d, 4), 1u);  // one image
  EXPECT_EQ(d[6], 32);
  EXPECT_EQ(d[7], 32);
  EXPECT_EQ(d[8], 16);
  EXPECT_EQ(Le16(d, 10), 1u);
  EXPECT_EQ(Le16(d, 12), 4u);
  const uint32_t bytes = Le32(d, 14), offset = Le32(d, 18);
  ASSERT_EQ(offset + bytes, d.size());
  EXPECT_EQ(Le32(d, offset), 40u);
  EXPECT_EQ(Le32(d, offset + 4), 32u);
  EXPECT_EQ(Le32(d, offset + 8), 64u);  // colour image and mask
  EXPECT_EQ(Le16(d, offset + 12), 1u);
  EXPECT_EQ(Le16(d, offset + 14), 4u);
  EXPECT_EQ(Le32(d, offset + 16), 0u);

  const size_t xorAt = offset + 40 + 64, andAt = xorAt + 32 * 16;
  int opaque = 0, clearButColoured = 0;
  std::set<int> colours;
  for (int row = 0; row < 32; ++row) {
    for (int x = 0; x < 32; ++x) {
      const int index = (d[xorAt + static_cast<size_t>(row * 16 + x / 2)] >> (x % 2 ? 0 : 4)) & 15;
      const bool clear = (d[andAt + static_cast<size_t>(row * 4 + x / 8)] >> (7 - x % 8)) & 1;
      if (clear) {
        clearButColoured += index != 0;  // would be XOR-ed onto the desktop
      } else {
        ++opaque;
        colours.insert(index);
      }
    }
  }
  EXPECT_GT(opaque, 32 * 32 / 2);
  EXPECT_LT(opaque, 32 * 32);
  EXPECT_EQ(clearButColoured, 0);
  EXPECT_GE(colours.size(), 6u);
}

using tool_run::Lines;
using tool_run::Quote;

tool_run::Result Generator(const std::string& arguments, const tool_run::Before& before = {}) {
  return tool_run::Run(KELVO_GEN_ASSETS, arguments, before);
}

TEST(Generator, WritesTheSameBytesEveryRun) {
  ScratchDir first, second;
  ASSERT_EQ(Generator(Quote(first.path())).status, 0);
  ASSERT_EQ(Generator(Quote(second.File("nested/folder"))).status, 0);
  for (const char* name : kDataFiles) {
    const auto a = ReadFile(first.File(name));
    EXPECT_FALSE(a.empty()) << name;
    EXPECT_EQ(a, ReadFile(second.File("nested/folder/") + name)) << name;
    EXPECT_EQ(a, Data(name)) << name << " in the build is stale";
  }
}

// The desktop's pictures of the icon are the .ico's own pixels enlarged by a
// whole number, opaque where the icon is and clear elsewhere; written alone or
// beside the data, the same bytes.
TEST(Generator, IconPicturesAreTheIconEnlarged) {
  ScratchDir dir;
  ASSERT_EQ(Generator("--icons " + Quote(dir.File("alone"))).status, 0);
  ASSERT_EQ(Generator(Quote(dir.File("data")) + " --icons " + Quote(dir.File("beside"))).status, 0);
  const auto ico = Data("AppIcon.ico");
  const size_t colours = Le32(ico, 18) + 40, xorAt = colours + 64, andAt = xorAt + 32 * 16;
  for (const int side : {32, 64, 128, 256}) {
    SCOPED_TRACE(side);
    const std::string name = "icon-" + std::to_string(side) + ".png";
    const auto png = ReadFile(dir.File("alone/" + name));
    ASSERT_GT(png.size(), 26u);
    EXPECT_EQ(png, ReadFile(dir.File("beside/" + name)));
    EXPECT_EQ(png[24], 8);  // 8 bits a sample
    EXPECT_EQ(png[25], 6);  // red, green, blue and alpha
    Picture picture;        // the reader shows clear pixels as black
    std::string error;
    ASSERT_TRUE(ReadPicture(dir.File("alone/" + name), &picture, &error)) << error;
    ASSERT_EQ(picture.width, side);
    ASSERT_EQ(picture.height, side);
    const int scale = side / 32;
    int wrong = 0;
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const int row = 31 - y / scale, column = x / scale;  // the .ico is bottom-up
        const int index =
            (ico[xorAt + static_cast<size_t>(row * 16 + column / 2)] >> (column % 2 ? 0 : 4)) & 15;
        const bool clear =
            (ico[andAt + static_cast<size_t>(row * 4 + column / 8)] >> (7 - column % 8)) & 1;
        const size_t entry = colours + static_cast<size_t>(index) * 4;
        const Rgb expected = clear ? Rgb{0, 0, 0} : Rgb{ico[entry + 2], ico[entry + 1], ico[entry]};
        const size_t at = static_cast<size_t>((y * side + x) * 3);
        wrong += !(Rgb{picture.rgb[at], picture.rgb[at + 1], picture.rgb[at + 2]} == expected);
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST(Generator, HelpGoesToStandardOutput) {
  for (const char* args : {"--help", "-h", "out --bogus --help"}) {
    SCOPED_TRACE(args);
    const tool_run::Result r = Generator(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.rfind("Usage: kelvo-gen-assets", 0), 0u) << r.output;
    EXPECT_NE(r.output.find("--texture N PICTURE"), std::string::npos);
    EXPECT_EQ(r.errors, "");
  }
}

TEST(Generator, BadCommandLinesAreNamedInOneLine) {
  ScratchDir dir;
  const std::string out = Quote(dir.File("out"));
  const std::pair<std::string, std::string> cases[] = {
      {"", "no OUTDIR given"},
      {out + " --png", "missing value after --png"},
      {out + " --bogus", "unknown argument '--bogus'"},
      {out + " stray", "unknown argument 'stray'"},
      {out + " --png a --png b", "--png given twice"},
      {"--texture 0 p.png", "bad face '0' after --texture (1-6)"},
      {"--texture 7 p.png", "bad face '7' after --texture (1-6)"},
      {"--texture 1", "missing value after --texture"},
      {"--texture 1 --out x", "missing value after --texture"},
      {"--texture 1 p.png --texture 2 q.png", "--texture given twice"},
      {"--texture 1 p.png " + out, "unknown argument"},
      {"--texture 1 p.png --png x", "--png goes with OUTDIR"},
      {out + " --out x", "--out goes with --texture"},
      {out + " --stretch", "--stretch goes with --texture"},
      {out + " --icons", "missing value after --icons"},
      {"--texture 1 p.png --icons x", "--icons goes with OUTDIR or alone"},
      {"--icons x --png y", "--png goes with OUTDIR"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args);
    const tool_run::Result r = Generator(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(Lines(r.errors), 1) << r.errors;
    EXPECT_EQ(r.errors.rfind("kelvo-gen-assets: " + message, 0), 0u) << r.errors;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("out")));
}

TEST(Generator, FileSystemErrorsAreOneLineAndStatusOne) {
  ScratchDir dir;
  dir.Write("plain-file", {1, 2, 3});
  for (const std::string& where : {dir.File("plain-file"), dir.File("plain-file") + "/out"}) {
    const tool_run::Result r = Generator(Quote(where));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.errors), 1) << r.errors;
    EXPECT_NE(r.errors.find("plain-file"), std::string::npos) << r.errors;
  }
  EXPECT_EQ(ReadFile(dir.File("plain-file")), (std::vector<uint8_t>{1, 2, 3}));
}

// ---------------------------------------------------------------------------
// Own textures.

// A 24-bit bottom-up BMP; sizes in the header as given, pixels from `colour`
// only when `withPixels`.
std::vector<uint8_t> Bmp24(int32_t width, int32_t height, Rgb (*colour)(int, int),
                           bool withPixels = true) {
  const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4;
  std::vector<uint8_t> out = {'B', 'M'};
  Put32(out, 54 + stride * static_cast<uint32_t>(height));
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));
  Put16(out, 1);
  Put16(out, 24);
  for (int i = 0; i < 6; ++i) Put32(out, 0);
  if (!withPixels) return out;
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = colour(x, y);
      out.insert(out.end(),
                 {static_cast<uint8_t>(c.b), static_cast<uint8_t>(c.g), static_cast<uint8_t>(c.r)});
    }
    out.resize(out.size() + (stride - static_cast<uint32_t>(width) * 3), 0);
  }
  return out;
}

void SavePng(const std::string& path, int width, int height, Rgb (*colour)(int, int)) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = colour(x, y);
      rgb.insert(rgb.end(),
                 {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g), static_cast<uint8_t>(c.b)});
    }
  }
  std::string error;
  ASSERT_TRUE(WritePng(path.c_str(), width, height, rgb.data(), &error)) << error;
}

constexpr Rgb kWarm{200, 40, 30}, kCool{30, 60, 220}, kLeaf{40, 170, 60};

class OwnTexture : public GeneratedData {
 protected:
  // Face n's texture as the generator wrote it into folder; checks that it
  // has the generated textures' headers and palette, and only usable entries.
  static std::vector<uint8_t> Texture(const std::string& folder, int n) {
    const std::vector<uint8_t> bmp = ReadFile(folder + "/" + TextureName(n));
    EXPECT_EQ(bmp.size(), kPixelOffset + 128 * 128);
    if (bmp.size() != kPixelOffset + 128 * 128) return {};
    const std::vector<uint8_t>& generated = bitmaps_[static_cast<size_t>(n - 1)];
    EXPECT_TRUE(std::equal(bmp.begin(), bmp.begin() + kPixelOffset, generated.begin()));
    int outside = 0;
    for (size_t i = kPixelOffset; i < bmp.size(); ++i)
      outside += bmp[i] < kFirstUsable || bmp[i] > kLastUsable;
    EXPECT_EQ(outside, 0);
    return bmp;
  }
  // Texel at picture column x, row y from the top.
  static int TexelAt(const std::vector<uint8_t>& bmp, int x, int y) {
    return bmp[kPixelOffset + static_cast<size_t>((127 - y) * 128 + x)];
  }
  // How many texels of the rows [top, bottom) are `entry`.
  static int CountRows(const std::vector<uint8_t>& bmp, int top, int bottom, int entry) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < 128; ++x) n += TexelAt(bmp, x, y) == entry;
    return n;
  }
};

TEST_F(OwnTexture, APngBecomesAFaceInThePalette) {
  ScratchDir dir;
  // Warm above, cool below; wider than high, with leaf-green sides that the
  // centred square leaves out.
  SavePng(dir.File("two tone.png"), 300, 200, [](int x, int y) {
    return x < 50 || x >= 250 ? kLeaf : y < 100 ? kWarm : kCool;
  });
  const tool_run::Result r = Generator("--texture 3 " + Quote(dir.File("two tone.png")) +
                                       " --out " + Quote(dir.File("faces")));
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
  EXPECT_NE(r.output.find("T3.BMP"), std::string::npos) << r.output;
  EXPECT_EQ(Lines(r.output), 1) << r.output;
  const std::vector<uint8_t> bmp = Texture(dir.File("faces"), 3);
  ASSERT_FALSE(bmp.empty());
  // Upright: warm at the top of the picture, cool at the bottom, no green.
  EXPECT_EQ(CountRows(bmp, 0, 63, BruteNearest(kWarm)), 63 * 128);
  EXPECT_EQ(CountRows(bmp, 65, 128, BruteNearest(kCool)), 63 * 128);
  EXPECT_EQ(CountRows(bmp, 0, 128, BruteNearest(kLeaf)), 0);
  EXPECT_EQ(std::filesystem::directory_iterator(dir.File("faces"))->path().filename(), "T3.BMP");
}

TEST_F(OwnTexture, ABmpIsEnlargedAndStretchedOnRequest) {
  ScratchDir dir;
  // 40 x 20: a warm quarter on the left, the rest cool.
  dir.Write("small.bmp", Bmp24(40, 20, [](int x, int) { return x < 10 ? kWarm : kCool; }));
  // Into the current folder when no --out is given.
  tool_run::Result r = Generator("--texture 6 small.bmp", {.folder = dir.path()});
  ASSERT_EQ(r.status, 0) << r.errors;
  std::vector<uint8_t> bmp = Texture(dir.path(), 6);
  ASSERT_FALSE(bmp.empty());
  // The centred 20 x 20 square is all cool.
  EXPECT_EQ(CountRows(bmp, 0, 128, BruteNearest(kCool)), 128 * 128);

  r = Generator("--stretch --texture 6 small.bmp --out .", {.folder = dir.path()});
  ASSERT_EQ(r.status, 0) << r.errors;
  bmp = Texture(dir.path(), 6);
  ASSERT_FALSE(bmp.empty());
  for (int y = 0; y < 128; y += 9) {
    EXPECT_EQ(TexelAt(bmp, 5, y), BruteNearest(kWarm)) << y;
    EXPECT_EQ(TexelAt(bmp, 120, y), BruteNearest(kCool)) << y;
    // Blended between the two near the edge, not a hard step.
    const int middle = TexelAt(bmp, 32, y);
    EXPECT_NE(middle, BruteNearest(kWarm)) << y;
    EXPECT_NE(middle, BruteNearest(kCool)) << y;
  }
}

TEST_F(OwnTexture, BadPicturesGiveOneLineAndLeaveTheOldTexture) {
  ScratchDir dir;
  dir.CopyData("T1.BMP");
  SavePng(dir.File("good.png"), 64, 64, [](int, int) { return kWarm; });
  std::vector<uint8_t> png = ReadFile(dir.File("good.png"));
  dir.Write("cut.png",
            std::vector<uint8_t>(png.begin(), png.begin() + static_cast<long>(png.size() / 2)));
  dir.Write("text.png", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'});
  dir.Write("empty.bmp", {});
  dir.Write("huge.bmp", Bmp24(100000, 100000, nullptr, false));
  dir.Write("zero.bmp", Bmp24(0, 16, nullptr, false));
  std::vector<uint8_t> bmp = Bmp24(32, 32, [](int, int) { return kCool; });
  bmp.resize(bmp.size() - 100);
  dir.Write("cut.bmp", bmp);
  std::filesystem::create_directory(dir.File("folder.png"));
  const std::pair<const char*, const char*> cases[] = {
      {"cut.png", "damaged PNG"},
      {"text.png", "not a PNG or BMP picture"},
      {"empty.bmp", "an empty file"},
      {"huge.bmp", "100000x100000 picture is too large"},
      {"zero.bmp", "0x16 picture has no pixels"},
      {"cut.bmp", "cut-off BMP"},
      {"folder.png", "is a folder"},
      {"missing.png", "No such file or directory"},
  };
  for (const auto& [name, reason] : cases) {
    SCOPED_TRACE(name);
    const tool_run::Result r =
        Generator("--texture 1 " + Quote(dir.File(name)) + " --out " + Quote(dir.path()));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.errors), 1) << r.errors;
    EXPECT_EQ(r.errors.rfind("kelvo-gen-assets: " + dir.File(name) + ": ", 0), 0u) << r.errors;
    EXPECT_NE(r.errors.find(reason), std::string::npos) << r.errors;
  }
  EXPECT_EQ(ReadFile(dir.File("T1.BMP")), Data("T1.BMP"));
}

}  // namespace
