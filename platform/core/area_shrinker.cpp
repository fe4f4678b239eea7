// The monitor's shrinking: each output pixel the mean of the screen area it
// covers, in exact fixed point.
//
// Each output row is summed down its screen rows first, per screen column,
// then across the columns. Down, a level of at most 255 times weights that
// add up to 4096 stays below 2^20; across, that times weights that add up to
// 4096, with the half for rounding, stays below 2^32. The sums are whole
// numbers, so the order they are added in changes nothing.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/core/present.h"
#include "platform/core/present_parts.h"
#include "platform/threads.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plat::core {
namespace {

// A partial shrink redoes output rows in groups of this many.
constexpr int32_t kGroup = 8;

// Shares of an output pixel are counted in 1/4096.
constexpr uint64_t kWhole = 4096;
constexpr uint32_t kHalf = kWhole * kWhole / 2;

// An 8-bit screen's colour as three 16-bit levels, blue lowest.
constexpr uint64_t ColourLevels(uint64_t red, uint64_t green, uint64_t blue) {
  return (red << 32) | (green << 16) | blue;
}

// The lanes of one screen column's sums down: the bytes of a 24-bit pixel,
// else blue, green, red and one not shown.
constexpr size_t Stride(int32_t bitsPerPixel) { return bitsPerPixel == 24 ? 3 : 4; }

// Level c (blue, green, red) of column x of the term's row.
template <class Term>
uint32_t PlainLevel(const ScreenView& view, const uint64_t* palette, const Term& t, size_t x,
                    size_t c) {
  const uint8_t* row = t.row;
  switch (view.bitsPerPixel) {
    case 8: return static_cast<uint32_t>(palette[row[x]] >> (16 * c)) & 0xFFFF;
    case 16: return Expand5((row[2 * x] | (uint32_t{row[2 * x + 1]} << 8)) >> (5 * c));
    case 24: return row[3 * x + c];
    case 32: return row[4 * x + c];
    default: return 0;
  }
}

// Plain code, for machines without SSE2 and spans too short for vectors:
// screen columns [begin, end) summed down the terms' rows.
template <class Term>
void PlainDown(const ScreenView& view, const uint64_t* palette, const Term* terms, size_t count,
               size_t begin, size_t end, uint32_t* down) {
  const size_t stride = Stride(view.bitsPerPixel);
  for (size_t x = begin; x < end; ++x)
    for (size_t c = 0; c < 3; ++c) {
      uint32_t sum = 0;
      for (size_t t = 0; t < count; ++t)
        sum += PlainLevel(view, palette, terms[t], x, c) * terms[t].weight;
      down[x * stride + c] = sum;
    }
}

// Output pixels [left, right) of the sums down: each `count` screen
// columns from its first on times their weights.
struct Across {
  const uint32_t* first;    // each output pixel's first screen column
  const uint32_t* weights;  // count per output pixel, four times each
  size_t count;
  uint32_t uniform;  // the one weight of all, or 0
  size_t left, right;
};

template <size_t kStride>
void PlainAcross(const Across& a, const uint32_t* down, uint32_t* out) {
  for (size_t ox = a.left; ox < a.right; ++ox) {
    uint32_t sum[3] = {kHalf, kHalf, kHalf};
    const uint32_t* columns = down + a.first[ox] * kStride;
    const uint32_t* weights = a.weights + 4 * a.count * ox;
    for (size_t k = 0; k < a.count; ++k) {
      const uint32_t weight = weights[4 * k] & 0xFFFF;
      for (size_t c = 0; c < 3; ++c) sum[c] += columns[k * kStride + c] * weight;
    }
    out[ox] = 0xFF000000u | ((sum[2] >> 24) << 16) | ((sum[1] >> 24) << 8) | (sum[0] >> 24);
  }
}

#if defined(__SSE2__)
// Sixteen lanes of a screen row as levels, two vectors of eight 16-bit
// lanes: the bytes of a 24- or 32-bit screen as they are.
struct Bytes {
  static constexpr size_t kLanes = 16;
  void Load(const uint8_t* row, size_t lane, __m128i* v) const {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + lane));
    v[0] = _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
    v[1] = _mm_unpackhi_epi8(bytes, _mm_setzero_si128());
  }
};

// Eight pixels of a 16-bit screen, each level widened as Expand5 does:
// (v << 3) | (v >> 2) is v * 33 / 4, and the multiplies by 33 / 4 take red
// and green where they sit.
struct Fives {
  static constexpr size_t kLanes = 32;
  void Load(const uint8_t* row, size_t lane, __m128i* v) const {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + lane / 2));
    const __m128i blue = _mm_srli_epi16(
        _mm_mullo_epi16(_mm_and_si128(p, _mm_set1_epi16(0x1F)), _mm_set1_epi16(33)), 2);
    const __m128i green =
        _mm_mulhi_epu16(_mm_and_si128(p, _mm_set1_epi16(0x3E0)), _mm_set1_epi16(33 * 512));
    const __m128i red = _mm_mulhi_epu16(_mm_and_si128(p, _mm_set1_epi16(0x7C00)),
                                        _mm_set1_epi16(static_cast<int16_t>(33 * 16)));
    const __m128i blueGreenLow = _mm_unpacklo_epi16(blue, green);
    const __m128i blueGreenHigh = _mm_unpackhi_epi16(blue, green);
    const __m128i redLow = _mm_unpacklo_epi16(red, _mm_setzero_si128());
    const __m128i redHigh = _mm_unpackhi_epi16(red, _mm_setzero_si128());
    v[0] = _mm_unpacklo_epi32(blueGreenLow, redLow);
    v[1] = _mm_unpackhi_epi32(blueGreenLow, redLow);
    v[2] = _mm_unpacklo_epi32(blueGreenHigh, redHigh);
    v[3] = _mm_unpackhi_epi32(blueGreenHigh, redHigh);
  }
};

// Lanes [from, to) summed down the terms' rows, two rows at a time: their
// levels side by side times their weights side by side. The last vectors
// end at `to`, overlapping the ones before: the same sums again.
template <size_t kTerms, class Source, class Term>
void Down(const Source source, const Term* terms, size_t anyCount, size_t from, size_t to,
          uint32_t* down) {
  constexpr size_t kLanes = Source::kLanes, kLevels = kLanes / 8;
  const size_t count = kTerms ? kTerms : anyCount;
  // Rows and weights in registers where their count is known here: the
  // vector stores could be writing them for all the compiler knows.
  constexpr size_t kKept = kTerms ? kTerms : 1;
  const uint8_t* rows[kKept];
  __m128i weights[(kKept + 1) / 2];
  const auto pair = [&](size_t t) {
    const uint32_t second = t + 1 < count ? terms[t + 1].weight : 0;
    return _mm_set1_epi32(static_cast<int32_t>(terms[t].weight | (second << 16)));
  };
  if (kTerms) {
    for (size_t t = 0; t < kKept; ++t) rows[t] = terms[t].row;
    for (size_t t = 0; t < kKept; t += 2) weights[t / 2] = pair(t);
  }
  const auto row = [&](size_t t) { return kTerms ? rows[t] : terms[t].row; };
  const auto weight = [&](size_t t) { return kTerms ? weights[t / 2] : pair(t); };
  for (size_t lane = from;; lane += kLanes) {
    lane = std::min(lane, to - kLanes);
    __m128i sums[2 * kLevels];
    for (__m128i& s : sums) s = _mm_setzero_si128();
    for (size_t t = 0; t < count; t += 2) {
      __m128i a[kLevels], b[kLevels];
      source.Load(row(t), lane, a);
      if (t + 1 < count)
        source.Load(row(t + 1), lane, b);
      else
        for (__m128i& z : b) z = _mm_setzero_si128();
      const __m128i w = weight(t);
      for (size_t i = 0; i < kLevels; ++i) {
        sums[2 * i] = _mm_add_epi32(sums[2 * i], _mm_madd_epi16(_mm_unpacklo_epi16(a[i], b[i]), w));
        sums[2 * i + 1] =
            _mm_add_epi32(sums[2 * i + 1], _mm_madd_epi16(_mm_unpackhi_epi16(a[i], b[i]), w));
      }
    }
    for (size_t i = 0; i < 2 * kLevels; ++i)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(down + lane + 4 * i), sums[i]);
    if (lane + kLanes >= to) break;
  }
}

// An 8-bit screen's columns [begin, end) summed down kTerms rows, column
// by column, added to what down holds where kAdd: each pair of rows'
// colours side by side times their weights side by side. The colours'
// indices are read eight at a time: the loads, not the arithmetic, are
// what limits this.
template <size_t kTerms, bool kAdd, class Term>
void DownPaletted(const uint64_t* palette, const Term* terms, size_t begin, size_t end,
                  uint32_t* down) {
  const uint8_t* rows[kTerms];
  __m128i weights[(kTerms + 1) / 2];
  for (size_t t = 0; t < kTerms; ++t) rows[t] = terms[t].row;
  for (size_t t = 0; t < kTerms; t += 2) {
    const uint32_t second = t + 1 < kTerms ? terms[t + 1].weight : 0;
    weights[t / 2] = _mm_set1_epi32(static_cast<int32_t>(terms[t].weight | (second << 16)));
  }
  const auto colour = [&](uint32_t index) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(palette + index));
  };
  // Columns x to x + n; index(t, i): the colour of column x + i in row t.
  const auto columns = [&](size_t x, size_t n, const auto& index) {
    for (size_t i = 0; i < n; ++i) {
      __m128i* const sums = reinterpret_cast<__m128i*>(down + 4 * (x + i));
      __m128i sum = kAdd ? _mm_loadu_si128(sums) : _mm_setzero_si128();
      for (size_t t = 0; t < kTerms; t += 2) {
        const __m128i second = t + 1 < kTerms ? colour(index(t + 1, i)) : _mm_setzero_si128();
        sum = _mm_add_epi32(
            sum, _mm_madd_epi16(_mm_unpacklo_epi16(colour(index(t, i)), second), weights[t / 2]));
      }
      _mm_storeu_si128(sums, sum);
    }
  };
  size_t x = begin;
  for (; x + 8 <= end; x += 8) {
    uint64_t indices[kTerms];
    for (size_t t = 0; t < kTerms; ++t) std::memcpy(&indices[t], rows[t] + x, sizeof indices[t]);
    columns(x, 8, [&](size_t t, size_t i) {
      return static_cast<uint32_t>(indices[t] >> (8 * i)) & 0xFF;
    });
  }
  columns(x, end - x, [&](size_t t, size_t i) { return uint32_t{rows[t][x + i]}; });
}

// An 8-bit screen's rows four at a time.
template <bool kAdd, class Term>
void DownPaletted(const uint64_t* palette, const Term* terms, size_t count, size_t begin,
                  size_t end, uint32_t* down) {
  switch (count) {
    case 1: DownPaletted<1, kAdd>(palette, terms, begin, end, down); break;
    case 2: DownPaletted<2, kAdd>(palette, terms, begin, end, down); break;
    case 3: DownPaletted<3, kAdd>(palette, terms, begin, end, down); break;
    default: DownPaletted<4, kAdd>(palette, terms, begin, end, down); break;
  }
}

template <class Term>
void DownPaletted(const uint64_t* palette, const Term* terms, size_t count, size_t begin,
                  size_t end, uint32_t* down) {
  DownPaletted<false>(palette, terms, std::min<size_t>(count, 4), begin, end, down);
  for (size_t t = 4; t < count; t += 4)
    DownPaletted<true>(palette, terms + t, std::min<size_t>(count - t, 4), begin, end, down);
}

// The down code for the count of screen rows, the common ones unrolled.
template <class Source, class Term>
void DownAny(const Source& source, const Term* terms, size_t count, size_t from, size_t to,
             uint32_t* down) {
  switch (count) {
    case 1: Down<1>(source, terms, count, from, to, down); break;
    case 2: Down<2>(source, terms, count, from, to, down); break;
    case 3: Down<3>(source, terms, count, from, to, down); break;
    case 4: Down<4>(source, terms, count, from, to, down); break;
    default: Down<0>(source, terms, count, from, to, down); break;
  }
}

// Sums times a weight of at most 16 bits in both halves of each lane: the
// low halves' products whole and the high halves' low bits, summed apart
// and put together once, all that fits 32 bits.
struct Products {
  __m128i low = _mm_set1_epi32(static_cast<int32_t>(kHalf)), high = _mm_setzero_si128();
  void Add(__m128i sums, __m128i weight) {
    low = _mm_add_epi32(low, _mm_mullo_epi16(sums, weight));
    high = _mm_add_epi32(high, _mm_mulhi_epu16(sums, weight));
  }
  // The four levels, rounded, in the low bytes of 32-bit lanes.
  __m128i Levels() const {
    return _mm_srli_epi32(_mm_add_epi32(low, _mm_slli_epi32(high, 16)), 24);
  }
};

constexpr int Log2(size_t n) { return n > 1 ? 1 + Log2(n / 2) : 0; }

// Output pixel ox; kCount its screen columns where known here.
template <size_t kStride, size_t kCount, bool kUniform>
inline __m128i Pixel(const Across& a, const uint32_t* down, size_t ox) {
  const size_t count = kCount ? kCount : a.count;
  const uint32_t* columns = down + a.first[ox] * kStride;
  const auto column = [&](size_t k) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(columns + k * kStride));
  };
  if (kUniform) {
    // A weight of 4096 / count, count a power of two: the products a shift.
    __m128i sum = column(0);
    for (size_t k = 1; k < count; ++k) sum = _mm_add_epi32(sum, column(k));
    const int shift = 12 + Log2(count);
    return _mm_srli_epi32(_mm_add_epi32(sum, _mm_set1_epi32(1 << (shift - 1))), shift);
  }
  Products p;
  const uint32_t* weights = a.weights + 4 * count * ox;
  for (size_t k = 0; k < count; ++k)
    p.Add(column(k), _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 4 * k)));
  return p.Levels();
}

template <size_t kStride, size_t kCount, bool kUniform>
void VectorAcross(const Across& a, const uint32_t* down, uint32_t* out) {
  const auto pixel = [&](size_t ox) { return Pixel<kStride, kCount, kUniform>(a, down, ox); };
  const __m128i opaque = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
  size_t ox = a.left;
  for (; ox + 4 <= a.right; ox += 4) {
    const __m128i first = _mm_packs_epi32(pixel(ox), pixel(ox + 1));
    const __m128i second = _mm_packs_epi32(pixel(ox + 2), pixel(ox + 3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + ox),
                     _mm_or_si128(_mm_packus_epi16(first, second), opaque));
  }
  for (; ox < a.right; ++ox) {
    __m128i level = pixel(ox);
    level = _mm_packus_epi16(_mm_packs_epi32(level, level), level);
    out[ox] = 0xFF000000u | static_cast<uint32_t>(_mm_cvtsi128_si32(level));
  }
}

// The across code for the count of columns, the few common ones unrolled.
template <size_t kStride, bool kUniform>
void VectorAcrossAny(const Across& a, const uint32_t* down, uint32_t* out) {
  switch (a.count) {
    case 1: VectorAcross<kStride, 1, kUniform>(a, down, out); break;
    case 2: VectorAcross<kStride, 2, kUniform>(a, down, out); break;
    case 3: VectorAcross<kStride, 3, kUniform>(a, down, out); break;
    case 4: VectorAcross<kStride, 4, kUniform>(a, down, out); break;
    default: VectorAcross<kStride, 0, kUniform>(a, down, out); break;
  }
}

template <size_t kStride>
void VectorAcross(const Across& a, const uint32_t* down, uint32_t* out) {
  if (a.uniform)
    VectorAcrossAny<kStride, true>(a, down, out);
  else
    VectorAcrossAny<kStride, false>(a, down, out);
}
#endif

}  // namespace

void AreaShrinker::Spread(int32_t from, int32_t to, std::vector<Share>* shares) {
  // Lengths in units where a screen pixel is `to` long and an output pixel
  // `from` long, so every boundary is a whole number; output positions in
  // shares of an output pixel. An output boundary lands exactly on a whole
  // output pixel, so the weights of each output pixel add up to kWhole.
  const auto fromU = static_cast<uint64_t>(from), toU = static_cast<uint64_t>(to);
  const auto fixed = [fromU](uint64_t at) {
    return at / fromU * kWhole + at % fromU * kWhole / fromU;
  };
  shares->resize(static_cast<size_t>(from));
  for (uint64_t i = 0; i < fromU; ++i) {
    const uint64_t start = i * toU, end = start + toU;
    const uint64_t first = start / fromU, boundary = (first + 1) * fromU;
    Share& s = (*shares)[static_cast<size_t>(i)];
    s.first = static_cast<int32_t>(first);
    s.weight = static_cast<uint32_t>(fixed(std::min(end, boundary)) - fixed(start));
    // A screen pixel is never longer than an output pixel: at most one boundary.
    s.rest = end > boundary ? static_cast<uint32_t>(fixed(end) - (first + 1) * kWhole) : 0;
  }
}

void AreaShrinker::ShrinkBand(const ScreenView& view, const uint64_t* palette, int32_t first,
                              int32_t last, const Span& span, Rows& rows, uint32_t* out,
                              size_t pitch) const {
  const auto sw = static_cast<size_t>(view.width);
  const size_t bytes = static_cast<size_t>(view.bitsPerPixel / 8);
  const size_t stride = Stride(view.bitsPerPixel);
  const Across across{
      acrossFirst_.data(), acrossWeights_.data(),          acrossCount_,
      acrossUniform_,      static_cast<size_t>(span.left), static_cast<size_t>(span.right)};
  // The column before the span's, where it spills into it, is summed too.
  size_t begin = span.begin;
  if (begin > 0 && columns_[begin - 1].rest > 0) --begin;
  Term* const terms = rows.terms.data();
  uint32_t* const down = rows.down.data();
  for (int32_t oy = first; oy < last; ++oy) {
    // The screen rows that start in the output row, and the one before
    // where it spills into it.
    size_t count = 0;
    const size_t top = rowStarts_[static_cast<size_t>(oy)];
    const size_t bottom = rowStarts_[static_cast<size_t>(oy) + 1];
    const auto row = [&](size_t sy) { return view.pixels + sy * sw * bytes; };
    if (top > 0 && rows_[top - 1].rest > 0) terms[count++] = {row(top - 1), rows_[top - 1].rest};
    for (size_t sy = top; sy < bottom; ++sy) terms[count++] = {row(sy), rows_[sy].weight};
    uint32_t* const o = out + static_cast<size_t>(oy) * pitch;
#if defined(__SSE2__)
    if (!plain_) {
      const size_t from = begin * stride, to = span.end * stride;
      bool done = true;
      switch (view.bitsPerPixel) {
        case 8: DownPaletted(palette, terms, count, begin, span.end, down); break;
        case 16:
          if (to - from >= Fives::kLanes)
            DownAny(Fives{}, terms, count, from, to, down);
          else
            done = false;
          break;
        case 24:
        case 32:
          if (to - from >= Bytes::kLanes)
            DownAny(Bytes{}, terms, count, from, to, down);
          else
            done = false;
          break;
        default: done = false; break;
      }
      if (!done) PlainDown(view, palette, terms, count, begin, span.end, down);
      if (stride == 3)
        VectorAcross<3>(across, down, o);
      else
        VectorAcross<4>(across, down, o);
      continue;
    }
#endif
    PlainDown(view, palette, terms, count, begin, span.end, down);
    if (stride == 3)
      PlainAcross<3>(across, down, o);
    else
      PlainAcross<4>(across, down, o);
  }
}

bool AreaShrinker::Prepare(const ScreenView& view, int32_t width, int32_t height) {
  if (!Presentable(view) || width <= 0 || height <= 0 || width > view.width || height > view.height)
    return false;
  if (columnsFrom_ != view.width || columnsTo_ != width) {
    Spread(view.width, width, &columns_);
    columnsFrom_ = view.width;
    columnsTo_ = width;
    starts_.assign(static_cast<size_t>(width) + 1, static_cast<size_t>(view.width));
    for (size_t x = columns_.size(); x-- > 0;) starts_[static_cast<size_t>(columns_[x].first)] = x;
    // Each output pixel's columns: the one before where it spills over,
    // then those that start in it.
    const auto w = static_cast<size_t>(width);
    const auto firstOf = [&](size_t ox) {
      const size_t start = starts_[ox];
      return start > 0 && columns_[start - 1].rest > 0 ? start - 1 : start;
    };
    acrossCount_ = 0;
    for (size_t ox = 0; ox < w; ++ox)
      acrossCount_ = std::max(acrossCount_, starts_[ox + 1] - firstOf(ox));
    acrossFirst_.resize(w);
    acrossWeights_.assign(4 * acrossCount_ * w, 0);
    acrossUniform_ = columns_[0].weight;
    for (size_t ox = 0; ox < w; ++ox) {
      const size_t first = firstOf(ox);
      acrossFirst_[ox] = static_cast<uint32_t>(first);
      if (starts_[ox + 1] - first != acrossCount_) acrossUniform_ = 0;
      for (size_t x = first; x < starts_[ox + 1]; ++x) {
        const uint32_t weight = x < starts_[ox] ? columns_[x].rest : columns_[x].weight;
        if (weight != acrossUniform_) acrossUniform_ = 0;
        std::fill_n(&acrossWeights_[4 * (acrossCount_ * ox + x - first)], 4, weight * 0x10001u);
      }
    }
    // Then the count divides 4096: a power of two.
    if (acrossUniform_ * acrossCount_ != kWhole) acrossUniform_ = 0;
  }
  if (rowsFrom_ != view.height || rowsTo_ != height) {
    Spread(view.height, height, &rows_);
    rowsFrom_ = view.height;
    rowsTo_ = height;
    rowStarts_.assign(static_cast<size_t>(height) + 1, static_cast<size_t>(view.height));
    for (size_t y = rows_.size(); y-- > 0;) rowStarts_[static_cast<size_t>(rows_[y].first)] = y;
    // The groups of a partial shrink, made before it is needed.
    groups_.reserve(static_cast<size_t>((height + kGroup - 1) / kGroup));
  }
  return true;
}

void AreaShrinker::PrepareBands(int32_t parts) {
  if (bands_.size() < static_cast<size_t>(parts)) bands_.resize(static_cast<size_t>(parts));
  for (int32_t k = 0; k < parts; ++k) {
    Rows& rows = bands_[static_cast<size_t>(k)];
    // The columns past the last that an output pixel's count takes in,
    // at weight 0, and a lane over for the vectors of a 24-bit screen.
    rows.down.resize(4 * (static_cast<size_t>(columnsFrom_) + acrossCount_) + 4);
    rows.terms.resize(static_cast<size_t>(rowsFrom_) + 1);
  }
}

void AreaShrinker::LevelPalette(const ScreenView& view, uint64_t* palette) {
  if (view.bitsPerPixel != 8) return;
  for (size_t i = 0; i < 256; ++i) {
    const PALETTEENTRY e = view.palette ? view.palette[i] : PALETTEENTRY{0, 0, 0, 0};
    palette[i] = ColourLevels(e.peRed, e.peGreen, e.peBlue);
  }
}

bool AreaShrinker::Shrink(const ScreenView& view, int32_t width, int32_t height, uint32_t* out,
                          size_t pitch) {
  if (!out || !Prepare(view, width, height)) return false;
  const Span all{0, width, 0, static_cast<size_t>(view.width)};
  const int32_t parts =
      PresentParts(static_cast<size_t>(view.width) * static_cast<size_t>(view.height), height);
  PrepareBands(parts);
  uint64_t palette[256];
  LevelPalette(view, palette);
  SharedPool().Run(parts, [&](int32_t k) {
    const auto first = static_cast<int32_t>(int64_t{height} * k / parts);
    const auto last = static_cast<int32_t>(int64_t{height} * (k + 1) / parts);
    ShrinkBand(view, palette, first, last, all, bands_[static_cast<size_t>(k)], out, pitch);
  });
  return true;
}

void AreaShrinker::Reach(const std::vector<Share>& shares, int32_t to, int32_t begin, int32_t end,
                         int32_t* first, int32_t* last) {
  // A screen pixel reaches the output pixel it starts in and, where it
  // spills over, the next.
  const Share& l = shares[static_cast<size_t>(end - 1)];
  *first = shares[static_cast<size_t>(begin)].first;
  *last = std::min(l.first + (l.rest > 0 ? 2 : 1), to);
}

bool AreaShrinker::Shrink(const ScreenView& view, int32_t width, int32_t height,
                          const RowChange* changes, uint32_t* out, size_t pitch, Rect* written) {
  if (written) *written = {};
  if (!out || !changes || !Prepare(view, width, height)) return false;
  // Output rows in groups of a few, each redone over the columns its
  // screen rows changed in, so that a picture changed here and there is
  // not redone over the rectangle around all of it.
  const auto groups = static_cast<size_t>((height + kGroup - 1) / kGroup);
  // Per group: the output rows reached and the screen columns changed, in
  // its span until they are made output columns.
  constexpr int32_t kNone = INT32_MAX;
  groups_.assign(groups, Group{kNone, 0, Span{kNone, 0, 0, 0}});
  const auto mark = [&](int32_t output, const RowChange& c) {
    Group& g = groups_[static_cast<size_t>(output / kGroup)];
    g.top = std::min(g.top, output);
    g.bottom = std::max(g.bottom, output + 1);
    g.span.left = std::min(g.span.left, c.left);
    g.span.right = std::max(g.span.right, c.right);
  };
  for (int32_t sy = 0; sy < view.height; ++sy) {
    RowChange c = changes[sy];
    c.left = std::max(c.left, 0);
    c.right = std::min(c.right, view.width);
    if (c.left >= c.right) continue;
    const Share& t = rows_[static_cast<size_t>(sy)];
    mark(t.first, c);
    if (t.rest > 0 && t.first + 1 < height) mark(t.first + 1, c);
  }
  // The busy groups to the front, their spans in output columns.
  size_t busy = 0;
  size_t work = 0;
  Rect all;
  for (const Group& g : groups_) {
    if (g.top == kNone) continue;
    Group& done = groups_[busy++];
    done = g;
    Reach(columns_, width, g.span.left, g.span.right, &done.span.left, &done.span.right);
    done.span.begin = starts_[static_cast<size_t>(done.span.left)];
    done.span.end = starts_[static_cast<size_t>(done.span.right)];
    all = Union(
        all, {done.span.left, done.top, done.span.right - done.span.left, done.bottom - done.top});
    work += (done.span.end - done.span.begin) * static_cast<size_t>(done.bottom - done.top);
  }
  if (busy == 0) return true;
  // work counts output rows: about the screen pixels once scaled by the
  // shrink down.
  const int32_t parts =
      PresentParts(work * static_cast<size_t>(view.height) / static_cast<size_t>(height),
                   static_cast<int32_t>(busy));
  PrepareBands(parts);
  uint64_t palette[256];
  LevelPalette(view, palette);
  SharedPool().Run(parts, [&](int32_t k) {
    const size_t first = busy * static_cast<size_t>(k) / static_cast<size_t>(parts);
    const size_t last = busy * static_cast<size_t>(k + 1) / static_cast<size_t>(parts);
    for (size_t i = first; i < last; ++i) {
      const Group& g = groups_[i];
      ShrinkBand(view, palette, g.top, g.bottom, g.span, bands_[static_cast<size_t>(k)], out,
                 pitch);
    }
  });
  if (written) *written = all;
  return true;
}

}  // namespace plat::core
