// Inclined mapping: the face is walked along its lines of constant depth, on
// which the texture coordinates change linearly, so one division per line.
#include <cmath>

#include "raster/span_walk.h"

using namespace raster_detail;

namespace {

// Displacement of the constant-depth line at table index `index` (a column in
// the row variant, a row in the column variant). The table holds [0, count);
// beyond it the same formula is evaluated, never a stray entry read.
inline int64_t Displacement(const RasterContext& ctx, int64_t index, int64_t centre,
                            int32_t count) {
  if (index >= 0 && index < count) return ctx.inclineStep[index];
  return TruncToInt32(static_cast<double>(index - centre) * ctx.inclineSlope);
}

inline int32_t Wrap32(int64_t v) { return static_cast<int32_t>(v); }

// Texture coordinates at a line's first pixel and their exact per-pixel steps
// along the line; (acrossU, acrossV) is the derivative along the line.
struct LineStart {
  uint32_t texU, texV, stepU, stepV;
};

inline LineStart StartLine(const RasterContext& ctx, double dx, double dy, double f, double acrossU,
                           double acrossV) {
  const Vector3& u = ctx.uVector;
  const Vector3& v = ctx.vVector;
  const Vector3& w = ctx.wVector;
  const double wd = w.x * dx + w.z * dy + w.y * f;
  const double inv = 65536.0 / wd;
  const double vd = v.x * dx + v.z * dy + v.y * f;
  const double ud = u.x * dx + u.z * dy + u.y * f;
  LineStart start;
  start.texV = static_cast<uint32_t>(TruncToInt32(inv * vd + 327680.0));
  start.texU = static_cast<uint32_t>(TruncToInt32(inv * ud + 327680.0));
  start.stepV = static_cast<uint32_t>(TruncToInt32(inv * acrossV));
  start.stepU = static_cast<uint32_t>(TruncToInt32(inv * acrossU));
  return start;
}

// The row walker's fast loop addresses through inclineOffset, 32-bit entries
// of up to about width * width; true for every real display.
inline bool OffsetsFit32(const RasterContext& ctx) {
  return ctx.screenWidth <= 46340 &&
         int64_t{ctx.screenWidth} * ctx.screenHeight < (int64_t{1} << 31);
}

// One constant-depth line over its steps [first, last): step i's texel goes
// to frame index at(i); when clipping, a negative index means off the frame
// and the step only moves the texture on. Returns the pixels written.
template <typename Store, bool kClip, typename Shader, typename At>
inline uint64_t DrawLine(typename Store::Unit* frame, const uint8_t* texture, Shader& shader,
                         uint32_t texU, uint32_t texV, const LineStart& line, int64_t first,
                         int64_t last, At at) {
  uint64_t drawn = 0;
  for (int64_t i = first; i < last; ++i) {
    const int64_t index = at(i);
    if (!kClip || index >= 0) {
      typename Store::Unit* p = frame + index * Store::kUnits;
      Store::Put(p, shader.Colour(texture[TexelIndex(texU, texV)], p, 0));
      if constexpr (kClip) ++drawn;
    }
    texU += line.stepU;
    texV += line.stepV;
  }
  return kClip ? drawn : static_cast<uint64_t>(last - first);
}

// The first index of [lo, hi) where a predicate that turns from false to true
// along it holds, hi when it never does; a guess close to the answer makes it
// a step or two, a bad one costs a halving search.
template <typename Pred>
int64_t FirstHolding(int64_t lo, int64_t hi, int64_t guess, Pred holds) {
  int64_t at = std::clamp(guess, lo, hi);
  for (int k = 0; k < 4; ++k) {
    if (at > lo && holds(at - 1)) {
      --at;
    } else if (at < hi && !holds(at)) {
      ++at;
    } else {
      return at;
    }
  }
  while (lo < hi) {
    const int64_t mid = lo + (hi - lo) / 2;
    if (holds(mid)) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo;
}

// The column at which the displacement (x - centre) * slope reaches `shift`,
// about: where to start looking for the exact one in the table.
inline int64_t ColumnNear(int64_t centre, double slope, int64_t shift) {
  const double x = static_cast<double>(centre) + static_cast<double>(shift) / slope;
  if (!(x > -1e15 && x < 1e15)) return x > 0 ? INT64_MAX / 2 : INT64_MIN / 2;
  return static_cast<int64_t>(x);
}

// Each pixel lands on the screen row of its line; a line is drawn over the
// columns whose rows lie in the band, found once per line, and only walked
// over (its texture moved on) left of them.
template <typename Store, typename Shader>
void WalkInclinedRows(RasterContext& ctx, int32_t faceIndex) {
  using Unit = typename Store::Unit;
  Unit* const frame = Store::Frame(ctx);
  if (!CanDraw(ctx, frame)) return;
  const uint8_t* const texture = FaceTexture(*ctx.scene, faceIndex);
  if (texture == nullptr) return;
  Shader shader(ctx);
  const int32_t* const lefts = ctx.leftX;
  const int32_t* const rights = ctx.rightX;
  const int32_t* const steps = ctx.inclineStep;
  const int32_t* const offsets = ctx.inclineOffset;
  const int32_t columns = ScreenColumns(ctx);
  const int64_t width = ctx.screenWidth;
  const RowBand band = PixelRows(ctx);
  const int64_t bandTop = band.top;
  const int64_t bandBottom = band.bottom;
  const int64_t cx = ctx.centerX;
  const int64_t cy = ctx.centerY;
  const double f = FocalLength(*ctx.scene);
  const double slope = ctx.inclineSlope;
  const Vector3 u = ctx.uVector;
  const Vector3 v = ctx.vVector;
  const double acrossU = u.x - slope * u.z;
  const double acrossV = v.x - slope * v.z;
  const bool fits = OffsetsFit32(ctx);
  const int32_t top = std::max(ctx.spanTop, int32_t{0});
  const int32_t bottom = std::min(ctx.spanBottom, ctx.scanlineEntries);
  uint64_t drawn = 0;

  for (int32_t s = top; s < bottom; ++s) {
    const int64_t xL = lefts[s];
    const int64_t xR = rights[s];
    if (xR <= xL) continue;
    const int64_t x0 = std::max<int64_t>(xL, 0);
    const int64_t x1 = std::min<int64_t>(xR, columns);
    if (x0 >= x1) continue;
    // The displacement is monotonic along a line, so its two ends bound it.
    const int64_t stepA = steps[x0];
    const int64_t stepB = steps[x1 - 1];
    if (s + std::max(stepA, stepB) < bandTop || s + std::min(stepA, stepB) >= bandBottom) continue;
    int64_t xa = x0;
    int64_t xb = x1;
    const auto below = [&](int64_t limit) {
      return [=](int64_t x) { return s + steps[x] < limit; };
    };
    const auto reaches = [&](int64_t limit) {
      return [=](int64_t x) { return s + steps[x] >= limit; };
    };
    if (stepA < stepB) {  // down the screen to the right
      if (s + stepA < bandTop)
        xa = FirstHolding(x0, x1, ColumnNear(cx, slope, bandTop - s), reaches(bandTop));
      if (s + stepB >= bandBottom)
        xb = FirstHolding(xa, x1, ColumnNear(cx, slope, bandBottom - s), reaches(bandBottom));
    } else if (stepA > stepB) {  // up the screen to the right
      if (s + stepA >= bandBottom)
        xa = FirstHolding(x0, x1, ColumnNear(cx, slope, bandBottom - s), below(bandBottom));
      if (s + stepB < bandTop)
        xb = FirstHolding(xa, x1, ColumnNear(cx, slope, bandTop - s), below(bandTop));
    }
    if (xa >= xb) continue;
    const int64_t row0 = s + Displacement(ctx, xL, cx, columns);
    LineStart line = StartLine(ctx, static_cast<double>(xL - cx), static_cast<double>(cy - row0), f,
                               acrossU, acrossV);
    const uint32_t hidden = static_cast<uint32_t>(xa - xL);
    const uint32_t texU = line.texU + line.stepU * hidden;
    const uint32_t texV = line.texV + line.stepV * hidden;
    if (fits) {
      const int64_t base = s * width;
      drawn += DrawLine<Store, false>(frame, texture, shader, texU, texV, line, xa, xb,
                                      [=](int64_t x) { return base + offsets[x]; });
    } else {
      drawn += DrawLine<Store, false>(frame, texture, shader, texU, texV, line, xa, xb,
                                      [=](int64_t x) { return (s + steps[x]) * width + x; });
    }
  }
  ctx.drawnPixelCount += drawn;
}

// Each line runs down the screen; only its rows inside the band are written.
template <typename Store, typename Shader>
void WalkInclinedColumns(RasterContext& ctx, int32_t faceIndex) {
  using Unit = typename Store::Unit;
  Unit* const frame = Store::Frame(ctx);
  if (!CanDraw(ctx, frame)) return;
  const uint8_t* const texture = FaceTexture(*ctx.scene, faceIndex);
  if (texture == nullptr) return;
  Shader shader(ctx);
  const int32_t* const tops = ctx.leftX;
  const int32_t* const bottoms = ctx.rightX;
  const int32_t* const steps = ctx.inclineStep;
  const int32_t rows = ScreenRows(ctx);
  const RowBand band = PixelRows(ctx);
  const int64_t bandTop = band.top;
  const int64_t bandBottom = std::min(band.bottom, rows);
  const int64_t width = ctx.screenWidth;
  const int64_t cx = ctx.centerX;
  const int64_t cy = ctx.centerY;
  const double f = FocalLength(*ctx.scene);
  const double slope = ctx.inclineSlope;
  const Vector3 u = ctx.uVector;
  const Vector3 v = ctx.vVector;
  const double acrossU = slope * u.x - u.z;
  const double acrossV = slope * v.x - v.z;
  const int32_t first = std::max(ctx.spanTop, int32_t{0});
  const int32_t last = std::min(ctx.spanBottom, ctx.scanlineEntries);
  uint64_t drawn = 0;

  for (int32_t s = first; s < last; ++s) {
    const int64_t yT = tops[s];
    const int64_t yB = bottoms[s];
    if (yB <= yT) continue;
    const int64_t y0 = std::max<int64_t>(yT, bandTop);
    const int64_t y1 = std::min<int64_t>(yB, bandBottom);
    if (y0 >= y1) continue;
    const int64_t column0 = s + Displacement(ctx, yT, cy, rows);
    LineStart line = StartLine(ctx, static_cast<double>(column0 - cx), static_cast<double>(cy - yT),
                               f, acrossU, acrossV);
    const uint32_t hidden = static_cast<uint32_t>(y0 - yT);
    const uint32_t texU = line.texU + line.stepU * hidden;
    const uint32_t texV = line.texV + line.stepV * hidden;
    const int64_t columnA = s + steps[y0];
    const int64_t columnB = s + steps[y1 - 1];
    if (std::min(columnA, columnB) >= 0 && std::max(columnA, columnB) < width) {
      drawn += DrawLine<Store, false>(frame, texture, shader, texU, texV, line, y0, y1,
                                      [=](int64_t y) { return y * width + s + steps[y]; });
    } else {
      drawn +=
          DrawLine<Store, true>(frame, texture, shader, texU, texV, line, y0, y1, [=](int64_t y) {
            const int64_t column = s + steps[y];
            return column >= 0 && column < width ? y * width + column : -1;
          });
    }
  }
  ctx.drawnPixelCount += drawn;
}

// Scan-converts the outline in sheared lines: the corners' `along` position
// (column or row) is walked from each edge's upper end into `down` for edges
// running down the sheared index, into `up` for the others.
void ShearedOutline(RasterContext& ctx, const CubeVertex c[4], const int32_t sheared[4],
                    int32_t CubeVertex::*along, int32_t* down, int32_t* up) {
  const int32_t entries = ctx.scanlineEntries;
  for (int k = 0; k < 4; ++k) {
    const CubeVertex& a = c[k];
    const CubeVertex& b = c[(k + 1) & 3];
    const int32_t sA = sheared[k];
    const int32_t sB = sheared[(k + 1) & 3];
    if (sA < sB) {
      FillEdge(down, entries, a.*along, sA, b.*along, sB);
    } else {
      FillEdge(up, entries, b.*along, sB, a.*along, sA);
    }
    ctx.spanTop = std::min(ctx.spanTop, sA);
    ctx.spanBottom = std::max(ctx.spanBottom, sA);
  }
}

void DrawInclined(RasterContext& ctx, int32_t faceIndex, const void* frame, SpanFiller fillRows,
                  SpanFiller fillColumns) {
  if (!CanDraw(ctx, frame)) return;
  CubeVertex c[4];
  bool backFacing = false;
  if (!SetUpFace(ctx, faceIndex, false, c, &backFacing)) return;
  const Vector3 w = ctx.wVector;
  const int64_t width = ctx.screenWidth;
  int32_t sheared[4];

  if (std::fabs(w.z) >= std::fabs(w.x)) {
    ctx.spanTop = ctx.screenHeight;
    ctx.spanBottom = 0;
    const double slope = w.z == 0 ? 0.0 : w.x / w.z;
    ctx.inclineSlope = slope;
    // Filled over the whole width (one column more than the centred range
    // when the width is odd), so every screen column has its entry.
    const int32_t count = ScreenColumns(ctx);
    for (int32_t x = 0; x < count; ++x) {
      const int32_t step = TruncToInt32(static_cast<double>(int64_t{x} - ctx.centerX) * slope);
      ctx.inclineStep[x] = step;
      ctx.inclineOffset[x] = Wrap32(x + int64_t{step} * width);
    }
    for (int k = 0; k < 4; ++k) {
      sheared[k] = Wrap32(c[k].screenY - Displacement(ctx, c[k].screenX, ctx.centerX, count));
    }
    ShearedOutline(ctx, c, sheared, &CubeVertex::screenX, ctx.rightX, ctx.leftX);
    fillRows(ctx, faceIndex);
    return;
  }

  ctx.spanTop = ctx.screenWidth;
  ctx.spanBottom = 0;
  const double slope = w.x == 0 ? 0.0 : w.z / w.x;
  ctx.inclineSlope = slope;
  const int32_t count = ScreenRows(ctx);
  for (int32_t y = 0; y < count; ++y) {
    ctx.inclineStep[y] = TruncToInt32(static_cast<double>(int64_t{y} - ctx.centerY) * slope);
  }
  for (int k = 0; k < 4; ++k) {
    sheared[k] = Wrap32(c[k].screenX - Displacement(ctx, c[k].screenY, ctx.centerY, count));
  }
  ShearedOutline(ctx, c, sheared, &CubeVertex::screenY, ctx.leftX, ctx.rightX);
  fillColumns(ctx, faceIndex);
}

constexpr SceneTable<uint16_t> kPalette16 = &RasterScene::palette16;

}  // namespace

void FillInclinedRows8(RasterContext& c, int32_t f) { WalkInclinedRows<Store8, RawTexel>(c, f); }
void FillInclinedColumns8(RasterContext& c, int32_t f) {
  WalkInclinedColumns<Store8, RawTexel>(c, f);
}
void FillInclinedRows16(RasterContext& c, int32_t f) {
  WalkInclinedRows<Store16, ByTable<uint16_t, kPalette16>>(c, f);
}
void FillInclinedColumns16(RasterContext& c, int32_t f) {
  WalkInclinedColumns<Store16, ByTable<uint16_t, kPalette16>>(c, f);
}

void DrawFaceInclined8(RasterContext& ctx, int32_t faceIndex) {
  DrawInclined(ctx, faceIndex, ctx.frame8, FillInclinedRows8, FillInclinedColumns8);
}

void DrawFaceInclined16(RasterContext& ctx, int32_t faceIndex) {
  DrawInclined(ctx, faceIndex, ctx.frame16, FillInclinedRows16, FillInclinedColumns16);
}
