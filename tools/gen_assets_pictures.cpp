// The pictures of kelvo-gen-assets: the six die faces, drawn in picture
// coordinates (x to the right, y downwards, 0..128; the cube shows texels
// 5..123 of each axis, so everything that matters lies inside that square),
// and the icon, a small die seen from above a corner.
#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/gen_assets.h"

namespace assets {
namespace {

Colour Mix(const Colour& a, const Colour& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

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
    case 4: s.push_back({{0.74, 1.6}, {0.74, 0.0}, {0.0, 1.12}, {1.0, 1.12}}); break;
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
    default: break;
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
    default: return false;
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

}  // namespace

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

}  // namespace assets
