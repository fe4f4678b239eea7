// The palette, its nearest-colour search, the colour tables and the BMP and
// .ico files of kelvo-gen-assets.
#include "tools/gen_assets.h"

#include <algorithm>
#include <cstdio>

namespace assets {
namespace {

constexpr int kBmpPixelOffset = 14 + 40 + 256 * 4;

const Rgb kSystemLow[10] = {{0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00},
                            {0x80, 0x80, 0x00}, {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80},
                            {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0}, {0xC0, 0xDC, 0xC0},
                            {0xA6, 0xCA, 0xF0}};
const Rgb kSystemWhite = {0xFF, 0xFF, 0xFF};

}  // namespace

Palette BuildPalette() {
  Palette p{};
  for (int i = 0; i < 10; ++i) p[static_cast<size_t>(i)] = kSystemLow[i];
  p[255] = kSystemWhite;
  for (int r = 0; r < kRampCount; ++r) {
    const Ramp& ramp = kRamps[r];
    for (int k = ramp.first; k <= ramp.last; ++k) {
      auto scale = [&ramp, k](int c) { return (c * k + ramp.divisor / 2) / ramp.divisor; };
      p[static_cast<size_t>(RampEntry(r, k))] = {scale(ramp.top.r), scale(ramp.top.g),
                                                 scale(ramp.top.b)};
    }
  }
  return p;
}

uint8_t NearestColour::Search(int r, int g, int b) const {
  int best = kFirstUsable;
  int bestDistance = 0x7FFFFFFF;
  for (int i = kFirstUsable; i <= kLastUsable; ++i) {
    const Rgb& e = palette_[static_cast<size_t>(i)];
    const int dr = e.r - r;
    const int dg = e.g - g;
    const int db = e.b - b;
    // The eye tells greens apart best and blues worst; mild weights follow
    // that without letting one channel decide the hue alone.
    const int distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return static_cast<uint8_t>(best);
}

Table BuildShadeTable(const Palette& p, NearestColour& nearest) {
  Table t(256 * 256);
  for (int level = 0; level < 256; ++level) {
    for (int c = 0; c < 256; ++c) {
      const Rgb& e = p[static_cast<size_t>(c)];
      auto scale = [level](int v) { return std::min(255, v * level / 200); };
      t[static_cast<size_t>(level * 256 + c)] = nearest(scale(e.r), scale(e.g), scale(e.b));
    }
  }
  return t;
}

Table BuildBlendTable(const Palette& p, NearestColour& nearest) {
  Table t(256 * 256);
  for (int back = 0; back < 256; ++back) {
    for (int tex = 0; tex < 256; ++tex) {
      const Rgb& b = p[static_cast<size_t>(back)];
      const Rgb& f = p[static_cast<size_t>(tex)];
      t[static_cast<size_t>(back * 256 + tex)] =
          nearest((b.r + f.r) / 2, (b.g + f.g) / 2, (b.b + f.b) / 2);
    }
  }
  return t;
}

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> MakeBmp(const Palette& p, const Texture& tex) {
  std::vector<uint8_t> out;
  out.reserve(kBmpPixelOffset + kTexBytes);
  out.push_back('B');
  out.push_back('M');
  Put32(out, kBmpPixelOffset + kTexBytes);
  Put32(out, 0);
  Put32(out, kBmpPixelOffset);
  Put32(out, 40);
  Put32(out, kTex);
  Put32(out, kTex);  // positive height: rows stored bottom-up
  Put16(out, 1);
  Put16(out, 8);
  Put32(out, 0);  // BI_RGB
  Put32(out, kTexBytes);
  Put32(out, 2835);  // 72 dots per inch
  Put32(out, 2835);
  Put32(out, 256);
  Put32(out, 0);
  for (const Rgb& e : p) {
    out.push_back(static_cast<uint8_t>(e.b));
    out.push_back(static_cast<uint8_t>(e.g));
    out.push_back(static_cast<uint8_t>(e.r));
    out.push_back(0);
  }
  out.insert(out.end(), tex.begin(), tex.end());
  return out;
}

const Rgb kIconColours[16] = {{0, 0, 0},       {52, 52, 52},    {128, 128, 128}, {200, 200, 200},
                              {255, 255, 255}, {118, 24, 18},   {200, 50, 38},   {255, 112, 92},
                              {124, 104, 16},  {206, 176, 30},  {255, 228, 110}, {20, 96, 30},
                              {50, 168, 60},   {124, 230, 130}, {40, 60, 150},   {110, 140, 240}};

std::vector<uint8_t> MakeIco(const IconPicture& pic) {
  constexpr uint32_t kXorBytes = 32 * 16;
  constexpr uint32_t kAndBytes = 32 * 4;
  constexpr uint32_t kImageBytes = 40 + 16 * 4 + kXorBytes + kAndBytes;
  std::vector<uint8_t> out;
  Put16(out, 0);  // ICONDIR
  Put16(out, 1);
  Put16(out, 1);
  out.push_back(32);  // ICONDIRENTRY
  out.push_back(32);
  out.push_back(16);
  out.push_back(0);
  Put16(out, 1);
  Put16(out, 4);
  Put32(out, kImageBytes);
  Put32(out, 6 + 16);
  Put32(out, 40);  // BITMAPINFOHEADER, height counts both masks
  Put32(out, 32);
  Put32(out, 64);
  Put16(out, 1);
  Put16(out, 4);
  Put32(out, 0);
  Put32(out, kXorBytes + kAndBytes);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 16);
  Put32(out, 0);
  for (const Rgb& e : kIconColours) {
    out.push_back(static_cast<uint8_t>(e.b));
    out.push_back(static_cast<uint8_t>(e.g));
    out.push_back(static_cast<uint8_t>(e.r));
    out.push_back(0);
  }
  for (int row = 31; row >= 0; --row) {
    for (int x = 0; x < 32; x += 2) {
      const size_t at = static_cast<size_t>(row * 32 + x);
      out.push_back(static_cast<uint8_t>((pic.index[at] << 4) | pic.index[at + 1]));
    }
  }
  for (int row = 31; row >= 0; --row) {
    for (int x = 0; x < 32; x += 8) {
      uint8_t bits = 0;
      for (int i = 0; i < 8; ++i) {
        if (!pic.opaque[static_cast<size_t>(row * 32 + x + i)])
          bits |= static_cast<uint8_t>(0x80 >> i);
      }
      out.push_back(bits);
    }
  }
  return out;
}

std::string FaceFileName(int face, const char* extension) {
  char name[16];
  std::snprintf(name, sizeof name, "T%d.%s", face + 1, extension);
  return name;
}

}  // namespace assets
