// The monitor's shrinking: each output pixel the mean of the screen area it
// covers, in exact fixed point.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/core/present.h"
#include "platform/core/present_parts.h"
#include "platform/threads.h"

namespace plat::core {
namespace {

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
  if (!Presentable(view) || width <= 0 || height <= 0 || width > view.width || height > view.height)
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
      PresentParts(static_cast<size_t>(view.width) * static_cast<size_t>(view.height), height);
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
  const int32_t parts =
      PresentParts(work * static_cast<size_t>(view.height) / static_cast<size_t>(height),
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

}  // namespace plat::core
