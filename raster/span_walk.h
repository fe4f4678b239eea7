// The texture walk every span filler shares, written once as a template over
// a pixel store (how a colour lands in the frame) and a shader (how a texel
// becomes a colour). Each named filler is one instantiation.
#pragma once
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "raster/raster_internal.h"

namespace raster_detail {

struct Store8 {
  using Unit = uint8_t;
  static constexpr int64_t kUnits = 1;
  static Unit* Frame(const RasterContext& ctx) { return ctx.frame8; }
  static void Put(Unit* p, uint32_t colour) { *p = static_cast<uint8_t>(colour); }
};

struct Store16 {
  using Unit = uint16_t;
  static constexpr int64_t kUnits = 1;
  static Unit* Frame(const RasterContext& ctx) { return ctx.frame16; }
  static void Put(Unit* p, uint32_t colour) { *p = static_cast<uint16_t>(colour); }
};

struct Store24 {
  using Unit = uint8_t;
  static constexpr int64_t kUnits = 3;
  static Unit* Frame(const RasterContext& ctx) { return ctx.frame24; }
  // Low word first, then red: exactly the pixel's three bytes.
  static void Put(Unit* p, uint32_t colour) {
    const uint16_t low = static_cast<uint16_t>(colour);
    std::memcpy(p, &low, 2);
    p[2] = static_cast<uint8_t>(colour >> 16);
  }
};

struct Store32 {
  using Unit = uint32_t;
  static constexpr int64_t kUnits = 1;
  static Unit* Frame(const RasterContext& ctx) { return ctx.frame32; }
  static void Put(Unit* p, uint32_t colour) { *p = colour; }
};

// Eight lanes of a run at once: out[k] = ((a + k*da) >> SA & MA) |
// ((b + k*db) >> SB & MB), k = 0..7, in wrapping 32-bit arithmetic; the same
// value the per-pixel additions reach at pixel k of the run.
template <int SA, uint32_t MA, int SB, uint32_t MB>
inline void RunLanes(uint32_t a, uint32_t da, uint32_t b, uint32_t db, uint32_t out[8]) {
#if defined(__SSE2__)
  const __m128i odd = _mm_set_epi32(-1, 0, -1, 0);
  const __m128i high = _mm_set_epi32(-1, -1, 0, 0);
  auto lanes = [&](uint32_t base, uint32_t step, __m128i* first, __m128i* second) {
    const __m128i s1 = _mm_set1_epi32(static_cast<int32_t>(step));
    const __m128i s2 = _mm_add_epi32(s1, s1);
    const __m128i offsets = _mm_add_epi32(_mm_and_si128(s1, odd), _mm_and_si128(s2, high));
    *first = _mm_add_epi32(_mm_set1_epi32(static_cast<int32_t>(base)), offsets);
    *second = _mm_add_epi32(*first, _mm_add_epi32(s2, s2));
  };
  __m128i a0, a1, b0, b1;
  lanes(a, da, &a0, &a1);
  lanes(b, db, &b0, &b1);
  const __m128i ma = _mm_set1_epi32(static_cast<int32_t>(MA));
  const __m128i mb = _mm_set1_epi32(static_cast<int32_t>(MB));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                   _mm_or_si128(_mm_and_si128(_mm_srli_epi32(a0, SA), ma),
                                _mm_and_si128(_mm_srli_epi32(b0, SB), mb)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4),
                   _mm_or_si128(_mm_and_si128(_mm_srli_epi32(a1, SA), ma),
                                _mm_and_si128(_mm_srli_epi32(b1, SB), mb)));
#else
  for (uint32_t k = 0; k < 8; ++k) {
    out[k] = (((a + k * da) >> SA) & MA) | (((b + k * db) >> SB) & MB);
  }
#endif
}

// The texel indices of a run: (texV >> 16 & 127) * 128 + (texU >> 16 & 127).
inline void RunTexels(uint32_t texU, uint32_t stepU, uint32_t texV, uint32_t stepV,
                      uint32_t out[8]) {
  RunLanes<9, 0x3F80u, 16, 127u>(texV, stepV, texU, stepU, out);
}

// Shaders, made once per face from the context and the scene it reads; kTable
// names the scene's colour table a shader looks up. BeginRow sets a row's
// interpolation from the scanline buffers and Skip moves it over pixels left
// of the frame; per run of up to 8 pixels, StartRun prepares the lanes,
// Colour gives pixel k's value, EndRun moves on.
template <typename Entry>
using SceneTable = const Entry* RasterScene::*;

struct ShadeNone {
  void BeginRow(int32_t, int64_t) {}
  void Skip(uint32_t) {}
  void StartRun() {}
  void EndRun(uint32_t) {}
};

struct RawTexel : ShadeNone {
  explicit RawTexel(const RasterContext&) {}
  template <typename Unit>
  uint32_t Colour(uint8_t texel, const Unit*, int) const {
    return texel;
  }
};

template <typename Entry, SceneTable<Entry> kTable>
struct ByTable : ShadeNone {
  explicit ByTable(const RasterContext& ctx) : table(ctx.scene->*kTable) {}
  template <typename Unit>
  uint32_t Colour(uint8_t texel, const Unit*, int) const {
    return table[texel];
  }
  const Entry* table;
};

// The row is chosen once per face; the mask only matters for a level no face
// of the cube can produce.
template <typename Entry, SceneTable<Entry> kTable>
struct FlatRow : ShadeNone {
  explicit FlatRow(const RasterContext& ctx)
      : row(ctx.scene->*kTable + (static_cast<uint32_t>(ctx.flatLevel) & 255u) * 256u) {}
  template <typename Unit>
  uint32_t Colour(uint8_t texel, const Unit*, int) const {
    return row[texel];
  }
  const Entry* row;
};

// Signed 32-bit (right - left) * 65536 / n, wrapping instead of overflowing
// on values no cube produces.
inline uint32_t RowStep(int32_t left, int32_t right, int64_t n) {
  const int32_t span =
      static_cast<int32_t>((static_cast<uint32_t>(right) - static_cast<uint32_t>(left)) * 65536u);
  // A 32-bit division where n allows (always, on a real screen).
  if (n <= INT32_MAX) return static_cast<uint32_t>(span / static_cast<int32_t>(n));
  return static_cast<uint32_t>(static_cast<int32_t>(span / n));
}

inline uint32_t RowStart(int32_t left) { return (static_cast<uint32_t>(left) + 128u) * 65536u; }

// Level >> 16 picks the ramp's row; the mask only matters for a level no
// face of the cube can produce.
template <typename Entry, SceneTable<Entry> kTable>
struct Gouraud {
  explicit Gouraud(const RasterContext& ctx)
      : ramp(ctx.scene->*kTable), left(ctx.leftShade), right(ctx.rightShade) {}
  void BeginRow(int32_t row, int64_t n) {
    level = RowStart(left[row]);
    step = RowStep(left[row], right[row], n);
  }
  void Skip(uint32_t count) { level += step * count; }
  // rows[k] = (level >> 16 & 255) * 256 for pixel k of the run.
  void StartRun() { RunLanes<8, 0xFF00u, 0, 0u>(level, step, 0, 0, rows); }
  void EndRun(uint32_t count) { level += step * count; }
  template <typename Unit>
  uint32_t Colour(uint8_t texel, const Unit*, int k) const {
    return ramp[rows[k] + texel];
  }
  const Entry* ramp;
  const int32_t* left;
  const int32_t* right;
  uint32_t level = 0;
  uint32_t step = 0;
  uint32_t rows[8] = {};
};

template <typename Entry, SceneTable<Entry> kTable>
struct Phong {
  explicit Phong(const RasterContext& ctx)
      : ramp(ctx.scene->*kTable),
        light(ctx.scene->lightMap),
        azLeft(ctx.leftAzimuth),
        azRight(ctx.rightAzimuth),
        polLeft(ctx.leftPolar),
        polRight(ctx.rightPolar) {}
  void BeginRow(int32_t row, int64_t n) {
    az = RowStart(azLeft[row]);
    azStep = RowStep(azLeft[row], azRight[row], n);
    pol = RowStart(polLeft[row]);
    polStep = RowStep(polLeft[row], polRight[row], n);
  }
  void Skip(uint32_t count) {
    az += azStep * count;
    pol += polStep * count;
  }
  // spot[k] = (az >> 16 & 255) * 256 + (pol >> 16 & 255) for pixel k.
  void StartRun() { RunLanes<8, 0xFF00u, 16, 255u>(az, azStep, pol, polStep, spot); }
  void EndRun(uint32_t count) {
    az += azStep * count;
    pol += polStep * count;
  }
  template <typename Unit>
  uint32_t Colour(uint8_t texel, const Unit*, int k) const {
    return ramp[light[spot[k]] * 256u + texel];
  }
  const Entry* ramp;
  const uint8_t* light;
  const int8_t* azLeft;
  const int8_t* azRight;
  const int8_t* polLeft;
  const int8_t* polRight;
  uint32_t az = 0, azStep = 0, pol = 0, polStep = 0;
  uint32_t spot[8] = {};
};

struct Blend8 : ShadeNone {
  explicit Blend8(const RasterContext& ctx) : blend(ctx.scene->blendTable8) {}
  uint32_t Colour(uint8_t texel, const uint8_t* pixel, int) const {
    return blend[*pixel * 256u + texel];
  }
  const uint8_t* blend;
};

struct Blend16 : ShadeNone {
  explicit Blend16(const RasterContext& ctx)
      : low(ctx.scene->blendLow16), high(ctx.scene->blendHigh16) {}
  uint32_t Colour(uint8_t texel, const uint16_t* pixel, int) const {
    const uint32_t d = *pixel;
    return static_cast<uint16_t>(low[(d & 255u) * 256u + texel] + high[(d >> 8) * 256u + texel]);
  }
  const uint8_t* low;
  const uint16_t* high;
};

// Per-run perspective correction: W at both ends of the next run of 8 and the
// exact average slope between them, one division per run.
struct RunSteps {
  double wa = 0, wb = 0, s = 0, ku = 0, kv = 0, dW8 = 0;
  uint32_t stepU = 0, stepV = 0;
  void Next() {
#if defined(__SSE2__)
    // Both products in one multiply and both conversions in one instruction,
    // which rounds to nearest-even as the default rounding mode does; a lane
    // out of the int32 range reads as INT32_MIN and goes the long way.
    const __m128d k = _mm_set_pd(ku, kv);
    const __m128d products = _mm_mul_pd(_mm_set1_pd(s), k);
    const __m128i rounded = _mm_cvtpd_epi32(products);
    stepV = static_cast<uint32_t>(_mm_cvtsi128_si32(rounded));
    stepU = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(rounded, 1)));
    if (stepV == 0x80000000u || stepU == 0x80000000u) {
      stepV = static_cast<uint32_t>(RoundToInt32(s * kv));
      stepU = static_cast<uint32_t>(RoundToInt32(s * ku));
    }
#else
    stepV = static_cast<uint32_t>(RoundStep(s * kv));
    stepU = static_cast<uint32_t>(RoundStep(s * ku));
#endif
    wa = wb;
    wb = wa + dW8;
    s = 65536.0 / (wb * wa);
  }
};

// Everything a row needs before its first pixel: the start of the texture
// walk, the steps of the run its first visible pixel lies in, the shading.
template <typename Shader>
struct RowWalk {
  explicit RowWalk(const Shader& s) : shader(s) {}
  bool live = false;
  int64_t first = 0, end = 0;  // visible pixels j of the span
  int64_t runStart = 0;        // the run holding pixel `first`
  uint32_t texU = 0, texV = 0;
  RunSteps run{};
  Shader shader;
};

// The face's constants the rows read, copied into locals so that byte
// stores into the frame cannot be taken for writes to them.
struct FaceWalk {
  const int32_t* lefts;
  const int32_t* rights;
  Vector3 u, v, w;
  int64_t width, cx, cy;
  double f;
};

template <typename Shader>
inline void SetUpRow(const FaceWalk& face, int32_t r, const Shader& shader, RowWalk<Shader>& row) {
  const int64_t xL = face.lefts[r];
  const int64_t n = face.rights[r] - xL;
  row.live = false;
  if (n <= 0) return;
  row.first = std::max<int64_t>(0, -xL);
  row.end = std::min<int64_t>(n, face.width - xL);
  if (row.first >= row.end) return;
  row.live = true;
  row.shader = shader;
  row.shader.BeginRow(r, n);

  const Vector3& u = face.u;
  const Vector3& v = face.v;
  const Vector3& w = face.w;
  const double dx = static_cast<double>(xL - face.cx);
  const double dy = static_cast<double>(face.cy - r);
  const double w0 = w.x * dx + w.z * dy + w.y * face.f;
  const double inv = 65536.0 / w0;
  const double v0 = v.x * dx + v.z * dy + v.y * face.f;
  const double u0 = u.x * dx + u.z * dy + u.y * face.f;
  row.texV = static_cast<uint32_t>(TruncToInt32(inv * v0 + 327680.0));
  row.texU = static_cast<uint32_t>(TruncToInt32(inv * u0 + 327680.0));
  RunSteps& run = row.run;
  run.kv = w0 * v.x - v0 * w.x;
  run.ku = w0 * u.x - u0 * w.x;
  run.dW8 = 8.0 * w.x;
  run.wa = w0;
  run.wb = w0 + run.dW8;
  run.s = 65536.0 / (run.wb * run.wa);

  // A span starting left of the frame walks its hidden runs with the very
  // same steps, so the visible pixels get the unclipped values.
  int64_t runStart = 0;
  for (; runStart + 8 <= row.first; runStart += 8) {
    run.Next();
    row.texU += run.stepU * 8u;
    row.texV += run.stepV * 8u;
  }
  run.Next();
  const uint32_t lead = static_cast<uint32_t>(row.first - runStart);
  row.texU += run.stepU * lead;
  row.texV += run.stepV * lead;
  row.shader.Skip(static_cast<uint32_t>(row.first));
  row.runStart = runStart;
}

// One run: count (1..8) pixels from p with the run's texel indices.
template <typename Store, typename Shader, int kCount>
inline void DrawRun(typename Store::Unit* p, const uint8_t* texture, const uint32_t index[8],
                    Shader& shader, int count) {
  const int n = kCount > 0 ? kCount : count;
#pragma GCC unroll 8
  for (int k = 0; k < n; ++k) {
    typename Store::Unit* q = p + k * Store::kUnits;
    Store::Put(q, shader.Colour(texture[index[k]], q, k));
  }
}

template <typename Store, typename Shader>
inline void DrawRow(typename Store::Unit* p, const uint8_t* texture, RowWalk<Shader>& row) {
  uint32_t texU = row.texU;
  uint32_t texV = row.texV;
  Shader& shader = row.shader;
  RunSteps& run = row.run;
  uint32_t index[8];
  const int64_t end = row.end;
  int64_t j = row.first;
  int64_t runEnd = std::min(end, row.runStart + 8);  // the first run may be entered part-way
  for (;;) {
    const int count = static_cast<int>(runEnd - j);
    RunTexels(texU, run.stepU, texV, run.stepV, index);
    shader.StartRun();
    if (count == 8) {
      DrawRun<Store, Shader, 8>(p, texture, index, shader, 8);
    } else {
      DrawRun<Store, Shader, 0>(p, texture, index, shader, count);
    }
    p += count * Store::kUnits;
    texU += run.stepU * static_cast<uint32_t>(count);
    texV += run.stepV * static_cast<uint32_t>(count);
    shader.EndRun(static_cast<uint32_t>(count));
    j = runEnd;
    if (j >= end) break;
    run.Next();
    runEnd = std::min(end, j + 8);
  }
}

template <typename Store, typename Shader>
void WalkSpans(RasterContext& ctx, int32_t faceIndex) {
  using Unit = typename Store::Unit;
  Unit* const frame = Store::Frame(ctx);
  if (!CanDraw(ctx, frame)) return;
  const uint8_t* const texture = FaceTexture(*ctx.scene, faceIndex);
  if (texture == nullptr) return;
  const Shader shader(ctx);
  const FaceWalk face{ctx.leftX,   ctx.rightX,  ctx.uVector,
                      ctx.vVector, ctx.wVector, ctx.screenWidth,
                      ctx.centerX, ctx.centerY, FocalLength(*ctx.scene)};
  // Rows of the band that have buffer entries.
  const RowBand rows = PixelRows(ctx);
  const int32_t top = std::max(ctx.spanTop, rows.top);
  const int32_t bottom = std::min({ctx.spanBottom, rows.bottom, ctx.scanlineEntries});
  uint64_t drawn = 0;

  // Each row's set-up (two divisions deep) is done before the row above it
  // is drawn, so its latency can hide behind that row's pixels.
  RowWalk<Shader> next(shader);
  if (top < bottom) SetUpRow(face, top, shader, next);
  for (int32_t r = top; r < bottom; ++r) {
    RowWalk<Shader> row = next;
    if (r + 1 < bottom) SetUpRow(face, r + 1, shader, next);
    if (!row.live) continue;
    const int64_t xL = face.lefts[r];
    DrawRow<Store>(frame + (r * face.width + xL + row.first) * Store::kUnits, texture, row);
    drawn += static_cast<uint64_t>(row.end - row.first);
  }
  ctx.drawnPixelCount += drawn;
}

}  // namespace raster_detail
