#include "platform/core/present.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/threads.h"

namespace plat::core {
namespace {

// The 256 colours of an 8-bit screen as 0xFFRRGGBB; black without a palette.
void Colours(const PALETTEENTRY* palette, uint32_t* lut) {
  for (size_t i = 0; i < 256; ++i) {
    const PALETTEENTRY e = palette ? palette[i] : PALETTEENTRY{0, 0, 0, 0};
    lut[i] = 0xFF000000u | (uint32_t{e.peRed} << 16) | (uint32_t{e.peGreen} << 8) | e.peBlue;
  }
}

// count pixels of kBytes bytes each from p as 0xFFRRGGBB; lut: the 8-bit
// colours.
template <size_t kBytes>
void Convert(const uint8_t* p, uint32_t* o, size_t count, const uint32_t* lut) {
  if constexpr (kBytes == 1) {
    for (size_t x = 0; x < count; ++x) o[x] = lut[p[x]];
  } else if constexpr (kBytes == 2) {
    for (size_t x = 0; x < count; ++x) {
      uint16_t v;
      std::memcpy(&v, p + 2 * x, 2);
      o[x] = Argb555(v);
    }
  } else if constexpr (kBytes == 3) {
    // Four bytes at a time, the fourth thrown away; the last pixel by
    // bytes, as the four could pass the end of the screen.
    for (size_t x = 0; x + 1 < count; ++x) {
      uint32_t v;
      std::memcpy(&v, p + 3 * x, 4);
      o[x] = 0xFF000000u | v;
    }
    const uint8_t* q = p + 3 * (count - 1);
    o[count - 1] = 0xFF000000u | (uint32_t{q[2]} << 16) | (uint32_t{q[1]} << 8) | q[0];
  } else {
    for (size_t x = 0; x < count; ++x) {
      uint32_t v;
      std::memcpy(&v, p + 4 * x, 4);
      o[x] = 0xFF000000u | v;
    }
  }
}

// One screen row after another as 0xFFRRGGBB; the palette is looked up once.
class RowReader {
 public:
  explicit RowReader(const ScreenView& view) : view_(view) {
    if (view.bitsPerPixel == 8) Colours(view.palette, lut_);
  }

  void Read(size_t row, uint32_t* o) const {
    const auto w = static_cast<size_t>(view_.width);
    const uint8_t* p = view_.pixels + row * w * static_cast<size_t>(view_.bitsPerPixel / 8);
    switch (view_.bitsPerPixel) {
      case 8: Convert<1>(p, o, w, lut_); break;
      case 16: Convert<2>(p, o, w, lut_); break;
      case 24: Convert<3>(p, o, w, lut_); break;
      case 32: Convert<4>(p, o, w, lut_); break;
      default: std::fill(o, o + w, 0xFF000000u); break;
    }
  }

 private:
  const ScreenView& view_;
  uint32_t lut_[256] = {};
};

// Where one row of the screen differs from the copy kept of it, in chunks
// of kChunk pixels: the copy brought up to the row and, where picture is
// given, the chunks that differ converted into it. Returns the first pixel
// of the first chunk that differs and the end of the last, or an empty
// range. Equal chunks are passed over a few words at a time, which is what
// most of a frame is.
template <size_t kBytes>
std::pair<size_t, size_t> CompareRow(const uint8_t* now, uint8_t* kept, size_t width,
                                     uint32_t* picture, const uint32_t* lut) {
  constexpr size_t kChunk = kBytes == 3 ? 16 : 32 / kBytes;
  constexpr size_t kWords = kChunk * kBytes / 8;
  size_t left = width, right = 0;
  size_t x = 0;
  const auto changed = [&](size_t from, size_t count) {
    std::memcpy(kept + from * kBytes, now + from * kBytes, count * kBytes);
    if (picture) Convert<kBytes>(now + from * kBytes, picture + from, count, lut);
    left = std::min(left, from);
    right = from + count;
  };
  for (; x + kChunk <= width; x += kChunk) {
    const uint8_t* a = now + x * kBytes;
    const uint8_t* b = kept + x * kBytes;
    uint64_t difference = 0;
    for (size_t i = 0; i < kWords; ++i) {
      uint64_t u, v;
      std::memcpy(&u, a + 8 * i, 8);
      std::memcpy(&v, b + 8 * i, 8);
      difference |= u ^ v;
    }
    if (difference) changed(x, kChunk);
  }
  if (x < width && std::memcmp(now + x * kBytes, kept + x * kBytes, (width - x) * kBytes) != 0)
    changed(x, width - x);
  return {left, right};
}

// The same for a 32-bit row against its picture, which holds the same
// bytes but the unused one: each chunk compared with the picture's and
// copied where it differs.
std::pair<size_t, size_t> CompareWithPicture(const uint8_t* now, uint32_t* picture, size_t width) {
  constexpr size_t kChunk = 8;
  size_t left = width, right = 0;
  // Four pixels at a time where SSE2 is there, else two to a word.
  const auto differs = [&](size_t x, size_t count) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    __m128i wide = _mm_setzero_si128();
    for (; i + 4 <= count; i += 4) {
      const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(now + 4 * (x + i)));
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(picture + x + i));
      wide = _mm_or_si128(wide, _mm_xor_si128(_mm_or_si128(u, opaque), v));
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(wide, _mm_setzero_si128())) != 0xFFFF) return true;
#endif
    constexpr uint64_t kOpaque = 0xFF000000FF000000u;
    uint64_t difference = 0;
    for (; i + 2 <= count; i += 2) {
      uint64_t u, v;
      std::memcpy(&u, now + 4 * (x + i), 8);
      std::memcpy(&v, picture + x + i, 8);
      difference |= (u | kOpaque) ^ v;
    }
    if (i < count) {
      uint32_t u;
      std::memcpy(&u, now + 4 * (x + i), 4);
      difference |= (u | 0xFF000000u) ^ picture[x + i];
    }
    return difference != 0;
  };
  const auto changed = [&](size_t x, size_t count) {
    Convert<4>(now + 4 * x, picture + x, count, nullptr);
    left = std::min(left, x);
    right = x + count;
  };
  size_t x = 0;
  for (; x + kChunk <= width; x += kChunk)
    if (differs(x, kChunk)) changed(x, kChunk);
  if (x < width && differs(x, width - x)) changed(x, width - x);
  return {left, right};
}

// A partial shrink redoes output rows in groups of this many.
constexpr int32_t kGroup = 8;

// Shares of an output pixel are counted in 1/4096.
constexpr uint64_t kWhole = 4096;

// The three channels side by side in 21-bit lanes, red at bit 42, green at
// 21, blue at 0: a level of at most 255 times shares that add up to 4096
// stays below 2^20 and never carries into the next lane.
constexpr uint64_t Lanes(uint64_t red, uint64_t green, uint64_t blue) {
  return (red << 42) | (green << 21) | blue;
}
constexpr uint64_t Lanes(uint32_t argb) {
  return Lanes((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}
// A 5-5-5 pixel's lanes: its three levels moved into their lanes at once,
// then each made 8 bits as Expand5 does, the three together.
constexpr uint64_t Lanes555(uint32_t pixel) {
  const uint64_t p = pixel;
  const uint64_t five = ((p & 0x7C00) << 32) | ((p & 0x3E0) << 16) | (p & 0x1F);
  constexpr uint64_t kLow3 = Lanes(7, 7, 7);
  return (five << 3) | ((five >> 2) & kLow3);
}
static_assert(Lanes555(0x7FFF) == Lanes(255, 255, 255) &&
              Lanes555(0x403E) == Lanes(Argb555(0x403E)));

bool Drawable(const ScreenView& view) { return view.pixels && view.width > 0 && view.height > 0; }

// How many bands of rows a picture of `pixels` is shared out in: one per
// drawing thread, no more than rows, and none so small that handing it over
// costs more than it saves.
int32_t Parts(size_t pixels, int32_t rows) {
  constexpr size_t kPartPixels = 32 * 1024;
  const size_t most = std::min<size_t>(static_cast<size_t>(ThreadCount()), pixels / kPartPixels);
  return static_cast<int32_t>(std::clamp<size_t>(most, 1, static_cast<size_t>(std::max(rows, 1))));
}

}  // namespace

Placement FitScreen(int32_t screenWidth, int32_t screenHeight, int32_t outWidth,
                    int32_t outHeight) {
  if (screenWidth <= 0 || screenHeight <= 0 || outWidth <= 0 || outHeight <= 0) return {};
  const int32_t scale = std::min(outWidth / screenWidth, outHeight / screenHeight);
  Placement p;
  // Whole pixels from twice the size up; below that a picture at its own
  // size would leave most of a full screen black, so it is stretched to fit.
  if (scale >= 2) {
    p.width = screenWidth * scale;
    p.height = screenHeight * scale;
  } else if (int64_t{outWidth} * screenHeight <= int64_t{outHeight} * screenWidth) {
    // The width decides; 64 bits, as the products can pass 2^31.
    p.width = outWidth;
    p.height =
        static_cast<int32_t>(std::max<int64_t>(int64_t{outWidth} * screenHeight / screenWidth, 1));
  } else {
    p.height = outHeight;
    p.width =
        static_cast<int32_t>(std::max<int64_t>(int64_t{outHeight} * screenWidth / screenHeight, 1));
  }
  p.x = (outWidth - p.width) / 2;
  p.y = (outHeight - p.height) / 2;
  return p;
}

bool OutputToScreen(const Placement& p, int32_t screenWidth, int32_t screenHeight, int32_t outX,
                    int32_t outY, int32_t* x, int32_t* y) {
  if (p.width <= 0 || p.height <= 0 || outX < p.x || outY < p.y || outX >= p.x + p.width ||
      outY >= p.y + p.height)
    return false;
  *x = static_cast<int32_t>(int64_t{outX - p.x} * screenWidth / p.width);
  *y = static_cast<int32_t>(int64_t{outY - p.y} * screenHeight / p.height);
  return true;
}

void ToArgb(const ScreenView& view, uint32_t* out, size_t pitch) {
  if (!Drawable(view) || !out) return;
  const RowReader reader(view);
  const auto height = static_cast<size_t>(view.height);
  const int32_t parts = Parts(static_cast<size_t>(view.width) * height, view.height);
  SharedPool().Run(parts, [&](int32_t k) {
    const size_t last = height * static_cast<size_t>(k + 1) / static_cast<size_t>(parts);
    for (size_t row = height * static_cast<size_t>(k) / static_cast<size_t>(parts); row < last;
         ++row)
      reader.Read(row, out + row * pitch);
  });
}

std::vector<uint8_t> ToRgb(const ScreenView& view) {
  if (!Drawable(view)) return {};
  const auto w = static_cast<size_t>(view.width);
  std::vector<uint8_t> rgb(w * static_cast<size_t>(view.height) * 3);
  std::vector<uint32_t> line(w);
  const RowReader reader(view);
  uint8_t* o = rgb.data();
  for (size_t row = 0; row < static_cast<size_t>(view.height); ++row) {
    reader.Read(row, line.data());
    for (const uint32_t p : line) {
      *o++ = static_cast<uint8_t>(p >> 16);
      *o++ = static_cast<uint8_t>(p >> 8);
      *o++ = static_cast<uint8_t>(p);
    }
  }
  return rgb;
}

bool Shrinks(const Placement& p, int32_t screenWidth, int32_t screenHeight) {
  return p.width > 0 && p.height > 0 && p.width <= screenWidth && p.height <= screenHeight &&
         (p.width < screenWidth || p.height < screenHeight);
}

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
    Share& s = (*shares)[i];
    s.first = static_cast<int32_t>(first);
    s.weight = static_cast<uint32_t>(fixed(std::min(end, boundary)) - fixed(start));
    // A screen pixel is never longer than an output pixel: at most one boundary.
    s.rest = end > boundary ? static_cast<uint32_t>(fixed(end) - (first + 1) * kWhole) : 0;
    s.closes = end >= boundary;
  }
}

void AreaShrinker::Sources(const std::vector<Share>& shares, int32_t first, int32_t last,
                           size_t* begin, size_t* end) {
  const auto starting = [&](int32_t output) {
    return static_cast<size_t>(
        std::lower_bound(shares.begin(), shares.end(), output,
                         [](const Share& s, int32_t o) { return s.first < o; }) -
        shares.begin());
  };
  *begin = starting(first);
  *end = starting(last);
}

void AreaShrinker::Across(const ScreenView& view, const uint64_t* palette, size_t sy,
                          const Span& span, Rows& rows) const {
  const auto sw = static_cast<size_t>(view.width);
  const size_t bytes = static_cast<size_t>(view.bitsPerPixel / 8);
  const uint8_t* row = view.pixels + sy * sw * bytes;
  uint64_t* const across = rows.across.data();
  const Share* const columns = columns_.data();
  // Output pixel by output pixel, over the screen columns that start in it;
  // the last of them leaves its rest to the next. The column before the
  // span starts the span's first with what it spills into it.
  const size_t* const starts = starts_.data();
  // Copied, as the sums written could be the span for all the compiler knows.
  const size_t begin = span.begin, end = span.end;
  const auto left = static_cast<size_t>(span.left), right = static_cast<size_t>(span.right);
  const auto byOutput = [&](const auto& pixel) {
    uint64_t carry = 0;
    if (begin > 0 && columns[begin - 1].rest > 0)
      carry = pixel(begin - 1) * columns[begin - 1].rest;
    size_t x = begin;
    for (size_t ox = left; ox < right; ++ox) {
      // Every output pixel has a screen column that starts in it.
      const size_t stop = starts[ox + 1];
      uint64_t sum = carry, lanes = 0;
      for (; x < stop; ++x) {
        lanes = pixel(x);
        sum += lanes * columns[x].weight;
      }
      across[ox] = sum;
      carry = lanes * columns[stop - 1].rest;
    }
  };
  // Screen pixel by screen pixel: the output pixel's sum, written out every
  // time, is complete when the last screen pixel in it has been added. The
  // quicker of the two for 3- and 4-byte pixels, measured, where the
  // compiler makes the other's short inner loops vector code.
  const auto byScreen = [&](const auto& pixel) {
    uint64_t sum = 0;
    if (begin > 0 && columns[begin - 1].rest > 0) sum = pixel(begin - 1) * columns[begin - 1].rest;
    for (size_t x = begin; x < end; ++x) {
      const uint64_t lanes = pixel(x);
      const Share& c = columns[x];
      sum += lanes * c.weight;
      across[static_cast<size_t>(c.first)] = sum;
      sum = (sum & (uint64_t{c.closes} - 1)) + lanes * c.rest;
    }
  };
  switch (view.bitsPerPixel) {
    case 8: byOutput([&](size_t x) { return palette[row[x]]; }); break;
    case 16:
      byOutput([&](size_t x) { return Lanes555(row[2 * x] | (uint32_t{row[2 * x + 1]} << 8)); });
      break;
    case 24:
    case 32:
      byScreen([&](size_t x) {
        const uint8_t* q = row + x * bytes;
        return Lanes(q[2], q[1], q[0]);
      });
      break;
    default: byScreen([](size_t) { return uint64_t{0}; }); break;
  }
}

void AreaShrinker::ShrinkBand(const ScreenView& view, const uint64_t* palette, int32_t first,
                              int32_t last, const Span& span, Rows& rows, uint32_t* out,
                              size_t pitch) const {
  const auto left = static_cast<size_t>(span.left), right = static_cast<size_t>(span.right);
  constexpr uint64_t kLane = (uint64_t{1} << 21) - 1;
  // The screen rows that start in the band's output rows; the row before
  // them, where it reaches into the band, starts the first sum with its rest.
  size_t top = 0, bottom = 0;
  Sources(rows_, first, last, &top, &bottom);
  uint64_t* const redBlues = rows.redBlue.data();
  uint64_t* const greens = rows.green.data();
  const uint64_t* const across = rows.across.data();
  std::fill(redBlues + left, redBlues + right, uint64_t{0});
  std::fill(greens + left, greens + right, uint64_t{0});
  if (top > 0 && rows_[top - 1].rest > 0) {
    Across(view, palette, top - 1, span, rows);
    const uint64_t rest = rows_[top - 1].rest;
    for (size_t x = left; x < right; ++x) {
      const uint64_t a = across[x];
      redBlues[x] = (((a >> 42) << 32) | (a & kLane)) * rest;
      greens[x] = ((a >> 21) & kLane) * rest;
    }
  }
  for (size_t sy = top; sy < bottom; ++sy) {
    Across(view, palette, sy, span, rows);
    // Down the rows, red and blue in 32-bit lanes, green apart: up to
    // 255 * 4096 * 4096, below 2^32. A screen row that closes an output row
    // finishes it and starts the next with what it has left.
    const Share& t = rows_[sy];
    const uint64_t weight = t.weight;
    if (!t.closes) {
      for (size_t x = left; x < right; ++x) {
        const uint64_t a = across[x];
        redBlues[x] += (((a >> 42) << 32) | (a & kLane)) * weight;
        greens[x] += ((a >> 21) & kLane) * weight;
      }
      continue;
    }
    uint32_t* o = out + static_cast<size_t>(t.first) * pitch;
    constexpr uint64_t kHalf = kWhole * kWhole / 2;
    const uint64_t rest = t.rest;
    for (size_t x = left; x < right; ++x) {
      const uint64_t a = across[x], rb = ((a >> 42) << 32) | (a & kLane), g = (a >> 21) & kLane;
      const uint64_t redBlue = redBlues[x] + rb * weight + ((kHalf << 32) | kHalf);
      const uint64_t green = greens[x] + g * weight + kHalf;
      o[x] = static_cast<uint32_t>(0xFF000000u | ((redBlue >> 56) << 16) | ((green >> 24) << 8) |
                                   ((redBlue & 0xFFFFFFFF) >> 24));
      redBlues[x] = rb * rest;
      greens[x] = g * rest;
    }
  }
}

bool AreaShrinker::Prepare(const ScreenView& view, int32_t width, int32_t height) {
  if (!Drawable(view) || width <= 0 || height <= 0 || width > view.width || height > view.height)
    return false;
  if (columnsFrom_ != view.width || columnsTo_ != width) {
    Spread(view.width, width, &columns_);
    columnsFrom_ = view.width;
    columnsTo_ = width;
    starts_.assign(static_cast<size_t>(width) + 1, static_cast<size_t>(view.width));
    for (size_t x = columns_.size(); x-- > 0;) starts_[static_cast<size_t>(columns_[x].first)] = x;
  }
  if (rowsFrom_ != view.height || rowsTo_ != height) {
    Spread(view.height, height, &rows_);
    rowsFrom_ = view.height;
    rowsTo_ = height;
    // The groups of a partial shrink, made before it is needed.
    groups_.reserve(static_cast<size_t>((height + kGroup - 1) / kGroup));
  }
  return true;
}

void AreaShrinker::PrepareBands(int32_t parts) {
  const auto w = static_cast<size_t>(columnsTo_);
  if (bands_.size() < static_cast<size_t>(parts)) bands_.resize(static_cast<size_t>(parts));
  for (int32_t k = 0; k < parts; ++k) {
    Rows& rows = bands_[static_cast<size_t>(k)];
    rows.across.resize(w);
    rows.redBlue.resize(w);
    rows.green.resize(w);
  }
}

void AreaShrinker::LanePalette(const ScreenView& view, uint64_t* palette) {
  if (view.bitsPerPixel != 8) return;
  for (size_t i = 0; i < 256; ++i) {
    const PALETTEENTRY e = view.palette ? view.palette[i] : PALETTEENTRY{0, 0, 0, 0};
    palette[i] = Lanes(e.peRed, e.peGreen, e.peBlue);
  }
}

bool AreaShrinker::Shrink(const ScreenView& view, int32_t width, int32_t height, uint32_t* out,
                          size_t pitch) {
  if (!out || !Prepare(view, width, height)) return false;
  const Span all{0, width, 0, static_cast<size_t>(view.width)};
  const int32_t parts =
      Parts(static_cast<size_t>(view.width) * static_cast<size_t>(view.height), height);
  PrepareBands(parts);
  uint64_t palette[256];
  LanePalette(view, palette);
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
  const int32_t parts = Parts(work * static_cast<size_t>(view.height) / static_cast<size_t>(height),
                              static_cast<int32_t>(busy));
  PrepareBands(parts);
  uint64_t palette[256];
  LanePalette(view, palette);
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

Rect Union(const Rect& a, const Rect& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  const int32_t left = std::min(a.x, b.x), top = std::min(a.y, b.y);
  const int32_t right = std::max(a.x + a.width, b.x + b.width);
  const int32_t bottom = std::max(a.y + a.height, b.y + b.height);
  return {left, top, right - left, bottom - top};
}

Rect ScreenPicture::Compare(const ScreenView& view, bool convert) {
  const auto w = static_cast<size_t>(view.width);
  const auto height = static_cast<size_t>(view.height);
  const auto bytes = static_cast<size_t>(view.bitsPerPixel / 8);
  const bool copy = !convert || KeepsCopy(view.bitsPerPixel, false);
  const int32_t parts = Parts(w * height, view.height);
  // Each band its own rectangle, joined when all are done.
  Rect bands[kMaxThreads];
  const auto scan = [&](size_t first, size_t last, Rect* found, auto compareRow) {
    size_t left = w, right = 0, top = last, bottom = first;
    for (size_t row = first; row < last; ++row) {
      const std::pair<size_t, size_t> span = compareRow(row);
      changes_[row] = {static_cast<int32_t>(span.first), static_cast<int32_t>(span.second)};
      if (span.first >= span.second) continue;
      left = std::min(left, span.first);
      right = std::max(right, span.second);
      top = std::min(top, row);
      bottom = row + 1;
    }
    if (left < right)
      *found = {static_cast<int32_t>(left), static_cast<int32_t>(top),
                static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)};
  };
  const auto withCopy = [&](auto compare) {
    return [&, compare](size_t row) {
      return compare(view.pixels + row * w * bytes, screen_.data() + row * w * bytes, w,
                     convert ? picture_.data() + row * w : nullptr, colours_.data());
    };
  };
  const auto withPicture = [&](auto compare) {
    return [&, compare](size_t row) {
      return compare(view.pixels + row * w * bytes, picture_.data() + row * w, w);
    };
  };
  SharedPool().Run(parts, [&](int32_t k) {
    const size_t first = height * static_cast<size_t>(k) / static_cast<size_t>(parts);
    const size_t last = height * static_cast<size_t>(k + 1) / static_cast<size_t>(parts);
    Rect* found = &bands[k];
    switch (bytes) {
      case 1: scan(first, last, found, withCopy(CompareRow<1>)); break;
      case 2: scan(first, last, found, withCopy(CompareRow<2>)); break;
      case 3: scan(first, last, found, withCopy(CompareRow<3>)); break;
      default:
        if (copy)
          scan(first, last, found, withCopy(CompareRow<4>));
        else
          scan(first, last, found, withPicture(CompareWithPicture));
        break;
    }
  });
  Rect changed;
  for (int32_t k = 0; k < parts; ++k) changed = Union(changed, bands[k]);
  return changed;
}

Rect ScreenPicture::Update(const ScreenView& view, int32_t width, int32_t height) {
  const int32_t bpp = view.bitsPerPixel;
  if (!Drawable(view) || (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) || width <= 0 ||
      height <= 0 || width > view.width || height > view.height) {
    width_ = height_ = 0;
    whole_ = true;
    return {};
  }
  std::array<uint32_t, 256> colours{};
  if (bpp == 8) Colours(view.palette, colours.data());
  const bool shrink = width != view.width || height != view.height;
  if (whole_ || view.width != screenWidth_ || view.height != screenHeight_ ||
      bpp != bitsPerPixel_ || width != width_ || height != height_ || colours != colours_) {
    // Everything anew: the copy to compare the next screen with, and the
    // whole picture.
    const size_t bytes = static_cast<size_t>(view.width) * static_cast<size_t>(view.height) *
                         static_cast<size_t>(bpp / 8);
    if (KeepsCopy(bpp, shrink)) {
      screen_.resize(bytes);
      std::memcpy(screen_.data(), view.pixels, bytes);
    }
    changes_.resize(static_cast<size_t>(view.height));
    picture_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    if (shrink)
      shrinker_.Shrink(view, width, height, picture_.data(), static_cast<size_t>(width));
    else
      ToArgb(view, picture_.data(), static_cast<size_t>(width));
    screenWidth_ = view.width;
    screenHeight_ = view.height;
    bitsPerPixel_ = bpp;
    width_ = width;
    height_ = height;
    colours_ = colours;
    whole_ = false;
    return {0, 0, width, height};
  }
  const Rect changed = Compare(view, !shrink);
  if (!shrink || changed.empty()) return changed;
  Rect written;
  shrinker_.Shrink(view, width, height, changes_.data(), picture_.data(),
                   static_cast<size_t>(width), &written);
  return written;
}

}  // namespace plat::core
