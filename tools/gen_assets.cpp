// kelvo-gen-assets OUTDIR [--png PREVIEWDIR]
// kelvo-gen-assets --texture N PICTURE [--out DIR] [--stretch]
//
// Writes the program's data files: the palette "CUBE.PAL", the shade table
// "PALTBL1.DAT", the blend table "PALTBL2.DAT", the face textures T1.BMP to
// T6.BMP and the icon AppIcon.ico. With --png it also writes preview pictures.
// Everything is computed from integers and IEEE-exact operations (+, -, *, /,
// sqrt, floor), so the bytes are the same on every run. With --texture it
// turns a picture of the user's into one face texture instead.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tools/arguments.h"
#include "tools/files.h"
#include "tools/picture.h"
#include "tools/png_write.h"

namespace {

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

Colour Mix(const Colour& a, const Colour& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

constexpr int kFirstUsable = 10;
constexpr int kLastUsable = 254;
constexpr int kFaces = 6;

constexpr int kTex = 128;
constexpr int kTexBytes = kTex * kTex;
constexpr int kBmpPixelOffset = 14 + 40 + 256 * 4;

using Palette = std::array<Rgb, 256>;
using Table = std::vector<uint8_t>;
// Texture bytes in file order: row 0 is the bottom row of the picture.
using Texture = std::vector<uint8_t>;

const Rgb kSystemLow[10] = {{0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00},
                            {0x80, 0x80, 0x00}, {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80},
                            {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0}, {0xC0, 0xDC, 0xC0},
                            {0xA6, 0xCA, 0xF0}};
const Rgb kSystemWhite = {0xFF, 0xFF, 0xFF};

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
  uint8_t Search(int r, int g, int b) const {
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

  const Palette& palette_;
  std::vector<uint8_t> cache_;
};

// Shade level L scales a colour by L/200 with truncation, as the true-colour
// ramps of the program do, so 8-bit and true-colour displays agree.
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

// ---------------------------------------------------------------------------
// Face pictures. Drawn in picture coordinates: x to the right, y downwards,
// 0..128. The cube shows texels 5..123 of each axis, so everything that
// matters lies inside that square.

struct Point {
  double x = 0;
  double y = 0;
};
struct Segment {
  Point a;
  Point b;
};
using Polyline = std::vector<Point>;

// cos of k x 15 degrees without a maths library call, so arcs are the same
// points on every machine.
double CosStep(int k) {
  static const double kQuarter[7] = {
      1.0, 0.96592582628906831, 0.86602540378443865, 0.70710678118654752, 0.5, 0.25881904510252074,
      0.0};
  k = ((k % 24) + 24) % 24;
  if (k <= 6) return kQuarter[k];
  if (k <= 12) return -kQuarter[12 - k];
  if (k <= 18) return -kQuarter[k - 12];
  return kQuarter[24 - k];
}
double SinStep(int k) { return CosStep(k - 6); }

// Appends arc points from step `from` to step `to` (15 degree steps, y down so
// step 6 points down and step 18 up), in either direction.
void AddArc(Polyline& line, double cx, double cy, double rx, double ry, int from, int to) {
  const int dir = to >= from ? 1 : -1;
  for (int k = from;; k += dir) {
    line.push_back({cx + rx * CosStep(k), cy + ry * SinStep(k)});
    if (k == to) break;
  }
}

// Numerals 1..6 as strokes in a box 1 wide and 1.6 high.
std::vector<Polyline> NumeralStrokes(int n) {
  std::vector<Polyline> s;
  switch (n) {
    case 1:
      s.push_back({{0.12, 0.42}, {0.6, 0.0}, {0.6, 1.6}});
      s.push_back({{0.18, 1.6}, {1.0, 1.6}});
      break;
    case 2: {
      Polyline a;
      AddArc(a, 0.5, 0.46, 0.46, 0.44, 12, 26);
      a.push_back({0.02, 1.6});
      a.push_back({1.0, 1.6});
      s.push_back(a);
      break;
    }
    case 3: {
      Polyline a;
      AddArc(a, 0.47, 0.41, 0.41, 0.39, 13, 30);
      AddArc(a, 0.5, 1.2, 0.46, 0.4, 18, 34);
      s.push_back(a);
      break;
    }
    case 4:
      s.push_back({{0.74, 1.6}, {0.74, 0.0}, {0.0, 1.12}, {1.0, 1.12}});
      break;
    case 5: {
      Polyline a = {{0.94, 0.0}, {0.16, 0.0}, {0.1, 0.74}};
      AddArc(a, 0.5, 1.12, 0.46, 0.47, 15, 34);
      s.push_back(a);
      break;
    }
    case 6: {
      Polyline loop;
      AddArc(loop, 0.5, 1.13, 0.46, 0.46, 0, 24);
      s.push_back(loop);
      Polyline stem;
      AddArc(stem, 1.0, 1.13, 0.96, 1.13, 17, 12);
      s.push_back(stem);
      break;
    }
    default:
      break;
  }
  return s;
}

std::vector<Segment> ToSegments(const std::vector<Polyline>& lines, double x0, double y0,
                                double unit) {
  std::vector<Segment> out;
  for (const Polyline& line : lines) {
    for (size_t i = 1; i < line.size(); ++i) {
      out.push_back({{x0 + line[i - 1].x * unit, y0 + line[i - 1].y * unit},
                     {x0 + line[i].x * unit, y0 + line[i].y * unit}});
    }
  }
  return out;
}

double DistanceToSegment(const Point& p, const Segment& s) {
  const double dx = s.b.x - s.a.x;
  const double dy = s.b.y - s.a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = p.x - (s.a.x + t * dx);
  const double ey = p.y - (s.a.y + t * dy);
  return std::sqrt(ex * ex + ey * ey);
}

double Fraction(double v) { return v - std::floor(v); }
bool Odd(double v) { return (static_cast<long>(std::floor(v)) & 1) != 0; }

// A smooth wave in -1..1 with period 1, made of two parabolas (close to a sine).
double Wave(double t) {
  const double f = Fraction(t);
  return f < 0.5 ? 16.0 * f * (0.5 - f) : -16.0 * (f - 0.5) * (1.0 - f);
}

constexpr double kVisibleLow = 5.0;
constexpr double kVisibleHigh = 123.0;
constexpr double kCentre = 64.0;
constexpr double kBorder = 8.0;
constexpr double kPipRadius = 10.0;
constexpr double kPipSpacing = 28.0;

struct FaceStyle {
  double darkTone;  // background tones, as a fraction of the ramp's top
  double lightTone;
};
const FaceStyle kStyles[kFaces] = {{0.56, 0.72}, {0.62, 0.80}, {0.52, 0.68},
                                   {0.54, 0.72}, {0.56, 0.74}, {0.54, 0.72}};

Colour Hue(int face, double level) {
  const Rgb& t = kHueTop[face];
  return {t.r * level, t.g * level, t.b * level};
}
Colour Grey(double v) { return {v, v, v}; }

// True where the background pattern of a face takes its light tone.
bool PatternLight(int face, double x, double y) {
  const double u = x - kVisibleLow;
  const double v = y - kVisibleLow;
  switch (face) {
    case 0:  // diagonal stripes
      return Odd((u + v) / 11.0);
    case 1: {  // checkerboard, 8 x 8 over the visible square
      const double cell = (kVisibleHigh - kVisibleLow) / 8.0;
      return Odd(u / cell) != Odd(v / cell);
    }
    case 2: {  // rings around the centre
      const double dx = x - kCentre;
      const double dy = y - kCentre;
      return Odd(std::sqrt(dx * dx + dy * dy) / 7.0);
    }
    case 3:  // horizontal waves
      return Odd((v + 3.5 * Wave(u / 22.0)) / 9.0);
    case 4: {  // diamond lattice
      const double fx = Fraction(u / 13.0) - 0.5;
      const double fy = Fraction(v / 13.0) - 0.5;
      return std::fabs(fx) + std::fabs(fy) < 0.3;
    }
    case 5: {  // staggered dots
      const double row = std::floor(v / 11.0);
      const double shift = Odd(row) ? 5.5 : 0.0;
      const double fx = Fraction((u + shift) / 11.0) - 0.5;
      const double fy = Fraction(v / 11.0) - 0.5;
      return fx * fx + fy * fy < 0.3 * 0.3;
    }
    default:
      return false;
  }
}

// Standard die layouts on a 3 x 3 grid (column, row); the top centre stays
// free for the numeral.
std::vector<Point> PipCentres(int n) {
  static const int kLayouts[7][6][2] = {
      {},
      {{1, 1}},
      {{2, 0}, {0, 2}},
      {{2, 0}, {1, 1}, {0, 2}},
      {{0, 0}, {2, 0}, {0, 2}, {2, 2}},
      {{0, 0}, {2, 0}, {1, 1}, {0, 2}, {2, 2}},
      {{0, 0}, {2, 0}, {0, 1}, {2, 1}, {0, 2}, {2, 2}},
  };
  std::vector<Point> out;
  for (int i = 0; i < n; ++i) {
    out.push_back({kCentre + (kLayouts[n][i][0] - 1) * kPipSpacing,
                   kCentre + (kLayouts[n][i][1] - 1) * kPipSpacing});
  }
  return out;
}

constexpr double kNumeralHeight = 30.0;
constexpr double kNumeralTop = 17.0;
constexpr double kStrokeHalfWidth = 2.4;
constexpr double kOutlineWidth = 1.5;

struct FaceArt {
  int face;
  std::vector<Point> pips;
  std::vector<Segment> numeral;
};

FaceArt MakeFaceArt(int face) {
  FaceArt art{face, PipCentres(face + 1), {}};
  const double unit = kNumeralHeight / 1.6;
  art.numeral = ToSegments(NumeralStrokes(face + 1), kCentre - unit / 2.0, kNumeralTop, unit);
  return art;
}

// Whether a point can be touched by the numeral's strokes; skips the
// distance search for most of the face.
bool NearNumeral(double x, double y) {
  const double reach = kStrokeHalfWidth + kOutlineWidth + 1.0;
  const double halfWidth = kNumeralHeight / 1.6 / 2.0 + reach;
  return std::fabs(x - kCentre) < halfWidth && y > kNumeralTop - reach &&
         y < kNumeralTop + kNumeralHeight + reach;
}

Colour FaceColour(const FaceArt& art, double x, double y) {
  const int face = art.face;
  const FaceStyle& style = kStyles[face];
  Colour c = Hue(face, PatternLight(face, x, y) ? style.lightTone : style.darkTone);

  // Bevelled frame: lit from the top left, which also shows which way is up.
  const double inLow = kVisibleLow + kBorder;
  const double inHigh = kVisibleHigh - kBorder;
  if (x < inLow || x > inHigh || y < inLow || y > inHigh) {
    const double fromLeft = x - kVisibleLow;
    const double fromTop = y - kVisibleLow;
    const double fromRight = kVisibleHigh - x;
    const double fromBottom = kVisibleHigh - y;
    const bool lit = std::min(fromLeft, fromTop) < std::min(fromRight, fromBottom);
    c = Hue(face, lit ? 0.95 : 0.32);
  } else if (x < inLow + 1.25 || x > inHigh - 1.25 || y < inLow + 1.25 || y > inHigh - 1.25) {
    c = Hue(face, 0.18);
  }

  for (const Point& pip : art.pips) {
    const double dx = x - pip.x;
    const double dy = y - pip.y;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d < kPipRadius - 1.5) {
      // A soft highlight towards the top left makes the pip look domed.
      const double hx = x - (pip.x - 3.0);
      const double hy = y - (pip.y - 3.0);
      const double h = std::sqrt(hx * hx + hy * hy) / (kPipRadius + 3.0);
      c = Mix(Grey(238.0), Grey(178.0), std::min(1.0, h));
    } else if (d < kPipRadius) {
      c = Grey(24.0);
    }
  }

  if (NearNumeral(x, y)) {
    double d = 1e9;
    for (const Segment& s : art.numeral) d = std::min(d, DistanceToSegment({x, y}, s));
    if (d < kStrokeHalfWidth) {
      c = Grey(236.0);
    } else if (d < kStrokeHalfWidth + kOutlineWidth) {
      c = Grey(16.0);
    }
  }
  return c;
}

// Average of 4 x 4 samples per texel, then the nearest usable entry.
Texture RenderFace(int face, NearestColour& nearest) {
  const FaceArt art = MakeFaceArt(face);
  Texture tex(kTexBytes);
  for (int py = 0; py < kTex; ++py) {
    for (int px = 0; px < kTex; ++px) {
      Colour sum;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const Colour c = FaceColour(art, px + (sx + 0.5) / 4.0, py + (sy + 0.5) / 4.0);
          sum.r += c.r;
          sum.g += c.g;
          sum.b += c.b;
        }
      }
      const Colour mean{sum.r / 16.0, sum.g / 16.0, sum.b / 16.0};
      // Bottom-up storage: the picture's top row is the file's last row.
      tex[static_cast<size_t>((kTex - 1 - py) * kTex + px)] = nearest(mean);
    }
  }
  return tex;
}

// ---------------------------------------------------------------------------
// File output.

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

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

// ---------------------------------------------------------------------------
// The icon: a small die seen from above a corner, faces 1, 2 and 3 showing,
// in 16 colours of its own.

const Rgb kIconColours[16] = {{0, 0, 0},       {52, 52, 52},    {128, 128, 128}, {200, 200, 200},
                              {255, 255, 255}, {118, 24, 18},   {200, 50, 38},   {255, 112, 92},
                              {124, 104, 16},  {206, 176, 30},  {255, 228, 110}, {20, 96, 30},
                              {50, 168, 60},   {124, 230, 130}, {40, 60, 150},   {110, 140, 240}};

struct IconPicture {
  std::array<uint8_t, 32 * 32> index{};  // top row first
  std::array<bool, 32 * 32> opaque{};
};

IconPicture RenderIcon() {
  // Corners of the projected cube (picture coordinates, y down).
  const Point top{16.0, 1.5}, left{2.5, 9.0}, right{29.5, 9.0}, centre{16.0, 16.5},
      lowLeft{2.5, 23.5}, bottom{16.0, 31.0};
  struct IconFace {
    Point origin, du, dv;  // point = origin + s du + t dv, s, t in 0..1
    int faceIndex;
    double light;
  };
  const IconFace faces[3] = {
      {left, {top.x - left.x, top.y - left.y}, {centre.x - left.x, centre.y - left.y}, 0, 1.0},
      {left,
       {centre.x - left.x, centre.y - left.y},
       {lowLeft.x - left.x, lowLeft.y - left.y},
       1,
       0.9},
      {centre,
       {right.x - centre.x, right.y - centre.y},
       {bottom.x - centre.x, bottom.y - centre.y},
       2,
       0.62},
  };
  IconPicture pic;
  for (int py = 0; py < 32; ++py) {
    for (int px = 0; px < 32; ++px) {
      Colour sum;
      int covered = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const double x = px + (sx + 0.5) / 4.0;
          const double y = py + (sy + 0.5) / 4.0;
          for (const IconFace& f : faces) {
            const double det = f.du.x * f.dv.y - f.du.y * f.dv.x;
            const double rx = x - f.origin.x;
            const double ry = y - f.origin.y;
            const double s = (rx * f.dv.y - ry * f.dv.x) / det;
            const double t = (f.du.x * ry - f.du.y * rx) / det;
            if (s < 0 || s > 1 || t < 0 || t > 1) continue;
            // Too small for the face patterns: plain faces, big pips.
            Colour c = Hue(f.faceIndex, 0.8);
            const double edge = std::min(std::min(s, 1 - s), std::min(t, 1 - t));
            if (edge < 0.05) c = Grey(40.0);
            for (const Point& pip : PipCentres(f.faceIndex + 1)) {
              const double ds = s * 118.0 + 5.0 - pip.x;
              const double dt = t * 118.0 + 5.0 - pip.y;
              if (ds * ds + dt * dt < 17.0 * 17.0) c = Grey(255.0);
            }
            c = {c.r * f.light, c.g * f.light, c.b * f.light};
            sum.r += c.r;
            sum.g += c.g;
            sum.b += c.b;
            ++covered;
            break;
          }
        }
      }
      const size_t at = static_cast<size_t>(py * 32 + px);
      if (covered < 8) continue;
      const Colour mean{sum.r / covered, sum.g / covered, sum.b / covered};
      int best = 0;
      double bestDistance = 1e300;
      for (int i = 0; i < 16; ++i) {
        const double dr = kIconColours[i].r - mean.r;
        const double dg = kIconColours[i].g - mean.g;
        const double db = kIconColours[i].b - mean.b;
        const double distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (distance < bestDistance) {
          bestDistance = distance;
          best = i;
        }
      }
      pic.index[at] = static_cast<uint8_t>(best);
      pic.opaque[at] = true;
    }
  }
  return pic;
}

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

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& data) {
  std::string error;
  if (!WriteWholeFile(path.string(), data.data(), data.size(), &error)) {
    std::fprintf(stderr, "kelvo-gen-assets: %s\n", error.c_str());
    return false;
  }
  return true;
}

// "T1.BMP" and the like, built without string concatenation (GCC 12 warns
// falsely about overlapping copies in chains of operator+).
std::string FaceFileName(int face, const char* extension) {
  char name[16];
  std::snprintf(name, sizeof name, "T%d.%s", face + 1, extension);
  return name;
}

// ---------------------------------------------------------------------------
// Previews.

class Image {
 public:
  Image(int width, int height, Rgb fill)
      : width_(width), height_(height), rgb_(static_cast<size_t>(width * height * 3)) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) Set(x, y, fill);
  }
  void Set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    const size_t at = static_cast<size_t>((y * width_ + x) * 3);
    rgb_[at] = static_cast<uint8_t>(c.r);
    rgb_[at + 1] = static_cast<uint8_t>(c.g);
    rgb_[at + 2] = static_cast<uint8_t>(c.b);
  }
  void Fill(int x0, int y0, int w, int h, Rgb c) {
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) Set(x, y, c);
  }
  bool Save(const std::filesystem::path& path) const {
    std::string error;
    if (!WritePng(path.string().c_str(), width_, height_, rgb_.data(), &error)) {
      std::fprintf(stderr, "kelvo-gen-assets: %s\n", error.c_str());
      return false;
    }
    return true;
  }

 private:
  int width_;
  int height_;
  std::vector<uint8_t> rgb_;
};

const Rgb kPreviewBack{40, 40, 44};

// Draws 128 x 128 palette indices (file order) as a picture, scaled.
template <typename IndexAt>
void DrawIndexed(Image& img, int x0, int y0, int scale, const Palette& p, IndexAt indexAt) {
  for (int py = 0; py < kTex; ++py) {
    for (int px = 0; px < kTex; ++px) {
      const Rgb c = p[indexAt(px, kTex - 1 - py)];
      img.Fill(x0 + px * scale, y0 + py * scale, scale, scale, c);
    }
  }
}

bool WritePreviews(const std::filesystem::path& dir, const Palette& p, const Table& shade,
                   const Table& blend, const std::vector<Texture>& tex, const IconPicture& icon) {
  bool ok = true;
  auto texel = [&tex](int face) {
    return [&tex, face](int u, int v) {
      return tex[static_cast<size_t>(face)][static_cast<size_t>(v * kTex + u)];
    };
  };

  {  // the six faces, twice their size
    const int gap = 8;
    Image img(3 * 256 + 4 * gap, 2 * 256 + 3 * gap, kPreviewBack);
    for (int f = 0; f < kFaces; ++f) {
      DrawIndexed(img, gap + (f % 3) * (256 + gap), gap + (f / 3) * (256 + gap), 2, p, texel(f));
    }
    ok = img.Save(dir / "faces.png") && ok;
  }
  for (int f = 0; f < kFaces; ++f) {  // each face four times its size
    Image img(512, 512, kPreviewBack);
    DrawIndexed(img, 0, 0, 4, p, texel(f));
    ok = img.Save(dir / FaceFileName(f, "png")) && ok;
  }
  {  // palette swatch; unusable entries crossed out
    Image img(16 * 20, 16 * 20, kPreviewBack);
    for (int i = 0; i < 256; ++i) {
      const int x0 = (i % 16) * 20 + 1;
      const int y0 = (i / 16) * 20 + 1;
      img.Fill(x0, y0, 18, 18, p[static_cast<size_t>(i)]);
      if (i < kFirstUsable || i > kLastUsable) {
        for (int k = 0; k < 18; ++k) {
          img.Set(x0 + k, y0 + k, {255, 0, 255});
          img.Set(x0 + 17 - k, y0 + k, {255, 0, 255});
        }
      }
    }
    ok = img.Save(dir / "palette.png") && ok;
  }
  {  // every face through the shade table at six levels
    const int levels[6] = {0, 50, 100, 150, 200, 255};
    const int gap = 4;
    Image img(6 * (kTex + gap) + gap, kFaces * (kTex + gap) + gap, kPreviewBack);
    for (int f = 0; f < kFaces; ++f) {
      for (int l = 0; l < 6; ++l) {
        const int level = levels[l];
        DrawIndexed(img, gap + l * (kTex + gap), gap + f * (kTex + gap), 1, p, [&](int u, int v) {
          return shade[static_cast<size_t>(level * 256 + texel(f)(u, v))];
        });
      }
    }
    ok = img.Save(dir / "shade.png") && ok;
  }
  {  // each face blended over black, over the next face and over itself;
     // then a Gouraud-like sweep of levels 20..255 across the face
    const int gap = 4;
    Image img(4 * (kTex + gap) + gap, kFaces * (kTex + gap) + gap, kPreviewBack);
    for (int f = 0; f < kFaces; ++f) {
      const int next = (f + 1) % kFaces;
      const int y0 = gap + f * (kTex + gap);
      DrawIndexed(img, gap, y0, 1, p,
                  [&](int u, int v) { return blend[static_cast<size_t>(texel(f)(u, v))]; });
      DrawIndexed(img, gap + (kTex + gap), y0, 1, p, [&](int u, int v) {
        return blend[static_cast<size_t>(texel(next)(u, v) * 256 + texel(f)(u, v))];
      });
      DrawIndexed(img, gap + 2 * (kTex + gap), y0, 1, p, [&](int u, int v) {
        return blend[static_cast<size_t>(texel(f)(u, v) * 256 + texel(f)(u, v))];
      });
      DrawIndexed(img, gap + 3 * (kTex + gap), y0, 1, p, [&](int u, int v) {
        const int level = 20 + u * (255 - 20) / (kTex - 1);
        return shade[static_cast<size_t>(level * 256 + texel(f)(u, v))];
      });
    }
    ok = img.Save(dir / "blend.png") && ok;
  }
  {  // shade sweeps: per ramp, a light and a mid entry over levels 0..255, the
     // table's result above the exact scaled colour
    const int entries[] = {RampEntry(0, 24), RampEntry(0, 14), RampEntry(1, 21), RampEntry(2, 21),
                           RampEntry(3, 21), RampEntry(4, 21), RampEntry(5, 21), RampEntry(6, 21),
                           RampEntry(7, 8),  RampEntry(10, 8)};
    const int count = static_cast<int>(sizeof entries / sizeof entries[0]);
    Image img(512 + 8, count * 44 + 4, kPreviewBack);
    for (int e = 0; e < count; ++e) {
      const Rgb& c = p[static_cast<size_t>(entries[e])];
      for (int x = 0; x < 512; ++x) {
        const int level = x / 2;
        const Rgb tableColour = p[shade[static_cast<size_t>(level * 256 + entries[e])]];
        auto scale = [level](int v) { return std::min(255, v * level / 200); };
        const Rgb exact{scale(c.r), scale(c.g), scale(c.b)};
        img.Fill(4 + x, 4 + e * 44, 1, 20, tableColour);
        img.Fill(4 + x, 4 + e * 44 + 20, 1, 20, exact);
      }
    }
    ok = img.Save(dir / "ramps.png") && ok;
  }
  {  // the icon, eight times its size, on a checkerboard where it is clear
    Image img(256, 256, kPreviewBack);
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        const size_t at = static_cast<size_t>(y * 32 + x);
        const Rgb checker = ((x + y) & 1) ? Rgb{90, 90, 96} : Rgb{150, 150, 156};
        img.Fill(x * 8, y * 8, 8, 8, icon.opaque[at] ? kIconColours[icon.index[at]] : checker);
      }
    }
    ok = img.Save(dir / "icon.png") && ok;
  }
  return ok;
}

constexpr const char* kUsage =
    "usage: kelvo-gen-assets OUTDIR [--png PREVIEWDIR]\n"
    "       kelvo-gen-assets --texture N PICTURE [--out DIR] [--stretch]\n"
    "Writes the program's data files into OUTDIR (made if needed): the palette CUBE.PAL,\n"
    "the colour tables PALTBL1.DAT and PALTBL2.DAT, the face textures T1.BMP to T6.BMP\n"
    "and the icon AppIcon.ico, the same bytes on every run.\n"
    "  --png PREVIEWDIR     also write pictures of the data to look at\n"
    "  --texture N PICTURE  make face N's texture (1-6) from your own picture instead:\n"
    "                       a PNG or BMP of any size becomes T<N>.BMP, 128x128 in the\n"
    "                       program's palette, in the current folder or --out DIR\n"
    "  --out DIR            the folder for --texture's file (made if needed)\n"
    "  --stretch            squeeze the whole picture into the square face; without it\n"
    "                       the face shows the picture's largest centred square\n"
    "  -h, --help           this text\n"
    "An existing file is replaced only once its new content is complete.\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 bad command line.\n";

int UsageError(const std::string& problem) {
  std::fprintf(stderr, "kelvo-gen-assets: %s (see --help)\n", problem.c_str());
  return 2;
}

bool MakeDirectory(const std::filesystem::path& dir) {
  std::string error;
  if (!MakeFolder(dir.string(), &error)) {
    std::fprintf(stderr, "kelvo-gen-assets: %s\n", error.c_str());
    return false;
  }
  return true;
}

// A picture of the user's as face texture `face` (0..5): scaled to 128 x 128,
// each texel the nearest usable palette entry, so every shading table applies.
int WriteOwnTexture(int face, const std::string& picturePath, const std::filesystem::path& outDir,
                    Fit fit) {
  Picture picture;
  std::string error;
  if (!ReadPicture(picturePath, &picture, &error)) {
    std::fprintf(stderr, "kelvo-gen-assets: %s\n", error.c_str());
    return 1;
  }
  const std::vector<double> colours = ResizeSquare(picture, kTex, fit);
  const Palette palette = BuildPalette();
  NearestColour nearest(palette);
  Texture tex(kTexBytes);
  for (int py = 0; py < kTex; ++py) {
    for (int px = 0; px < kTex; ++px) {
      const double* c = &colours[static_cast<size_t>((py * kTex + px) * 3)];
      // Bottom-up storage, as the generated faces.
      tex[static_cast<size_t>((kTex - 1 - py) * kTex + px)] = nearest(Colour{c[0], c[1], c[2]});
    }
  }
  if (!MakeDirectory(outDir)) return 1;
  const std::filesystem::path out = outDir / FaceFileName(face, "BMP");
  if (!WriteFile(out, MakeBmp(palette, tex))) return 1;
  const int side = std::min(picture.width, picture.height);
  const std::string part =
      fit == Fit::kStretch || picture.width == picture.height
          ? std::string("the whole picture")
          : "its centred " + std::to_string(side) + "x" + std::to_string(side) + " square";
  std::printf("wrote %s from %s (%dx%d, %s)\n", out.string().c_str(), picturePath.c_str(),
              picture.width, picture.height, part.c_str());
  return 0;
}

int Run(int argc, char** argv) {
  Arguments args;
  std::string problem;
  if (!SplitArguments(argc, argv, {{"--png", 1}, {"--texture", 2}, {"--out", 1}, {"--stretch", 0}},
                      1, &args, &problem))
    return UsageError(problem);
  if (args.help()) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  for (const char* flag : {"--png", "--out"}) {
    if (args.Has(flag) && args.Value(flag).empty())
      return UsageError(std::string("empty folder name after ") + flag);
  }

  if (args.Has("--texture")) {
    long face = 0;
    const std::string number(args.Value("--texture", 0));
    if (!ParseInt(number, 1, kFaces, &face))
      return UsageError("bad face '" + number + "' after --texture (1-6)");
    if (!args.plain().empty())
      return UsageError("unknown argument '" + std::string(args.plain()[0]) +
                        "' (--texture writes into --out DIR)");
    if (args.Has("--png")) return UsageError("--png goes with OUTDIR, not with --texture");
    const std::string picture(args.Value("--texture", 1));
    if (picture.empty()) return UsageError("empty picture name after --texture");
    const std::filesystem::path outDir = args.Has("--out") ? args.Value("--out") : ".";
    return WriteOwnTexture(static_cast<int>(face) - 1, picture, outDir,
                           args.Has("--stretch") ? Fit::kStretch : Fit::kCrop);
  }
  if (args.Has("--out")) return UsageError("--out goes with --texture; give the folder as OUTDIR");
  if (args.Has("--stretch")) return UsageError("--stretch goes with --texture");
  if (args.plain().empty() || args.plain()[0].empty()) return UsageError("no OUTDIR given");
  const std::filesystem::path outDir = args.plain()[0];
  const std::filesystem::path previewDir = args.Has("--png") ? args.Value("--png") : "";
  if (!MakeDirectory(outDir)) return 1;

  const Palette palette = BuildPalette();
  NearestColour nearest(palette);
  const Table shade = BuildShadeTable(palette, nearest);
  const Table blend = BuildBlendTable(palette, nearest);
  std::vector<Texture> textures;
  for (int f = 0; f < kFaces; ++f) textures.push_back(RenderFace(f, nearest));
  const IconPicture icon = RenderIcon();

  std::vector<uint8_t> pal;
  for (const Rgb& e : palette) {
    pal.push_back(static_cast<uint8_t>(e.r));
    pal.push_back(static_cast<uint8_t>(e.g));
    pal.push_back(static_cast<uint8_t>(e.b));
  }
  bool ok = WriteFile(outDir / "CUBE.PAL", pal);
  ok = WriteFile(outDir / "PALTBL1.DAT", shade) && ok;
  ok = WriteFile(outDir / "PALTBL2.DAT", blend) && ok;
  for (int f = 0; f < kFaces; ++f) {
    ok = WriteFile(outDir / FaceFileName(f, "BMP"), MakeBmp(palette, textures[static_cast<size_t>(f)])) &&
         ok;
  }
  ok = WriteFile(outDir / "AppIcon.ico", MakeIco(icon)) && ok;
  if (!previewDir.empty()) {
    ok = MakeDirectory(previewDir) &&
         WritePreviews(previewDir, palette, shade, blend, textures, icon) && ok;
  }
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  return GuardedMain("kelvo-gen-assets", [&] { return Run(argc, argv); });
}
