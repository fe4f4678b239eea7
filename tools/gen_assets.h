// The program's data as kelvo-gen-assets makes it: the palette and its ramps,
// the shade and blend tables, the face textures and the icon, and the file
// formats they are written in. Everything is computed from integers and
// IEEE-exact operations (+, -, *, /, sqrt, floor), so the bytes are the same
// on every run and every machine.
#pragma once
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace assets {

struct Rgb {
  int r = 0;
  int g = 0;
  int b = 0;
};

// A colour while drawing, components 0..255 in floating point.
struct Colour {
  double r = 0;
  double g = 0;
  double b = 0;
};

constexpr int kFirstUsable = 10;
constexpr int kLastUsable = 254;
constexpr int kFaces = 6;

constexpr int kTex = 128;
constexpr int kTexBytes = kTex * kTex;

using Palette = std::array<Rgb, 256>;
using Table = std::vector<uint8_t>;
// Texture bytes in file order: row 0 is the bottom row of the picture.
using Texture = std::vector<uint8_t>;

// Brightest colour of each face's ramp: red, yellow, green, cyan, blue, violet.
constexpr Rgb kHueTop[kFaces] = {{255, 56, 40},  {255, 212, 36}, {60, 226, 60},
                                 {36, 208, 232}, {76, 100, 255}, {214, 68, 255}};

// Each ramp runs in a straight line from black: entry k is top x k / divisor
// for k = first..last. Scaling a texel by a light level then moves it along
// its own ramp, so shading keeps the hue. The short ramps between neighbouring
// face hues exist for the transparency mode, where faces mix.
struct Ramp {
  Rgb top;
  int divisor;
  int first;
  int last;
};
constexpr Ramp kRamps[] = {
    {{255, 255, 255}, 28, 0, 28},  // grey, black included
    {kHueTop[0], 28, 1, 28},       // face 1
    {kHueTop[1], 28, 1, 28},       // face 2
    {kHueTop[2], 28, 1, 28},       // face 3
    {kHueTop[3], 28, 1, 28},       // face 4
    {kHueTop[4], 28, 1, 28},       // face 5
    {kHueTop[5], 28, 1, 28},       // face 6
    {{255, 134, 38}, 10, 3, 10},   // red + yellow
    {{184, 255, 56}, 10, 3, 10},   // yellow + green
    {{56, 255, 171}, 10, 3, 10},   // green + cyan
    {{58, 161, 255}, 10, 3, 10},   // cyan + blue
    {{145, 84, 255}, 10, 3, 10},   // blue + violet
    {{255, 67, 160}, 10, 3, 10},   // violet + red
};

constexpr int kRampCount = static_cast<int>(sizeof kRamps / sizeof kRamps[0]);

// Palette index of step k of a ramp.
constexpr int RampEntry(int ramp, int k) {
  int index = kFirstUsable;
  for (int r = 0; r < ramp; ++r) index += kRamps[r].last - kRamps[r].first + 1;
  return index + k - kRamps[ramp].first;
}
static_assert(RampEntry(kRampCount - 1, kRamps[kRampCount - 1].last) == kLastUsable,
              "the ramps fill entries 10..254 exactly");

Palette BuildPalette();

// Exact nearest usable entry, remembered per colour: the tables ask for the
// same colours many times over.
class NearestColour {
 public:
  explicit NearestColour(const Palette& palette) : palette_(palette), cache_(1u << 24, 0) {}

  uint8_t operator()(int r, int g, int b) {
    uint8_t& slot = cache_[(static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
                           static_cast<uint32_t>(b)];
    if (slot == 0) slot = Search(r, g, b);  // 0 is never a result, so it marks "not yet"
    return slot;
  }

  uint8_t operator()(const Colour& c) {
    auto channel = [](double v) {
      return static_cast<int>(std::clamp(std::floor(v + 0.5), 0.0, 255.0));
    };
    return (*this)(channel(c.r), channel(c.g), channel(c.b));
  }

 private:
  uint8_t Search(int r, int g, int b) const;

  const Palette& palette_;
  std::vector<uint8_t> cache_;
};

// Shade level L scales a colour by L/200 with truncation, as the true-colour
// ramps of the program do, so 8-bit and true-colour displays agree.
Table BuildShadeTable(const Palette& p, NearestColour& nearest);
// Entry back * 256 + texel: the two colours' average.
Table BuildBlendTable(const Palette& p, NearestColour& nearest);

// Face `face` (0..5) as 128 x 128 palette indices, rows bottom-up as the BMP
// file stores them.
Texture RenderFace(int face, NearestColour& nearest);

// The icon's 16 colours of its own.
extern const Rgb kIconColours[16];
// 32 x 32 indices into kIconColours; transparent where not opaque.
struct IconPicture {
  std::array<uint8_t, 32 * 32> index{};  // top row first
  std::array<bool, 32 * 32> opaque{};
};

// A small die seen from above a corner, faces 1, 2 and 3 showing.
IconPicture RenderIcon();

// The files: an 8-bit BMP of a texture with the palette, the icon's .ico.
std::vector<uint8_t> MakeBmp(const Palette& p, const Texture& tex);
std::vector<uint8_t> MakeIco(const IconPicture& pic);
// "T1.BMP" and the like, built without string concatenation (GCC 12 warns
// falsely about overlapping copies in chains of operator+).
std::string FaceFileName(int face, const char* extension);

}  // namespace assets
