#include "platform/core/present.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/threads.h"

namespace plat::core {
namespace {

// One screen row after another as 0xFFRRGGBB; the palette is looked up once.
class RowReader {
 public:
  explicit RowReader(const ScreenView& view) : view_(view) {
    if (view.bitsPerPixel != 8) return;
    for (size_t i = 0; i < 256; ++i) {
      const PALETTEENTRY e = view.palette ? view.palette[i] : PALETTEENTRY{0, 0, 0, 0};
      lut_[i] = 0xFF000000u | (uint32_t{e.peRed} << 16) | (uint32_t{e.peGreen} << 8) | e.peBlue;
    }
  }

  void Read(size_t row, uint32_t* o) const {
    const auto w = static_cast<size_t>(view_.width);
    switch (view_.bitsPerPixel) {
      case 8: {
        const uint8_t* p = view_.pixels + row * w;
        for (size_t x = 0; x < w; ++x) o[x] = lut_[p[x]];
        break;
      }
      case 16: {
        const uint8_t* p = view_.pixels + row * w * 2;
        for (size_t x = 0; x < w; ++x) {
          uint16_t v;
          std::memcpy(&v, p + 2 * x, 2);
          o[x] = Argb555(v);
        }
        break;
      }
      case 24: {
        const uint8_t* p = view_.pixels + row * w * 3;
        // Four bytes at a time, the fourth thrown away; the row's last pixel
        // by bytes, as the four would pass the end of the screen.
        for (size_t x = 0; x + 1 < w; ++x) {
          uint32_t v;
          std::memcpy(&v, p + 3 * x, 4);
          o[x] = 0xFF000000u | v;
        }
        const uint8_t* q = p + 3 * (w - 1);
        o[w - 1] = 0xFF000000u | (uint32_t{q[2]} << 16) | (uint32_t{q[1]} << 8) | q[0];
        break;
      }
      case 32: {
        const uint8_t* p = view_.pixels + row * w * 4;
        for (size_t x = 0; x < w; ++x) {
          uint32_t v;
          std::memcpy(&v, p + 4 * x, 4);
          o[x] = 0xFF000000u | v;
        }
        break;
      }
      default: std::fill(o, o + w, 0xFF000000u); break;
    }
  }

 private:
  const ScreenView& view_;
  uint32_t lut_[256] = {};
};

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

void AreaShrinker::Across(const ScreenView& view, const uint64_t* palette, size_t sy,
                          Rows& rows) const {
  const auto sw = static_cast<size_t>(view.width);
  const size_t bytes = static_cast<size_t>(view.bitsPerPixel / 8);
  const uint8_t* row = view.pixels + sy * sw * bytes;
  uint64_t* const across = rows.across.data();
  const Share* const columns = columns_.data();
  // The output pixel's sum stays in a register; written out every time, it
  // is complete when the last screen pixel in it has been added.
  const auto walk = [&](const auto& pixel) {
    uint64_t sum = 0;
    for (size_t x = 0; x < sw; ++x) {
      const uint64_t lanes = pixel(x);
      const Share& c = columns[x];
      sum += lanes * c.weight;
      across[static_cast<size_t>(c.first)] = sum;
      sum = (sum & (uint64_t{c.closes} - 1)) + lanes * c.rest;
    }
  };
  switch (view.bitsPerPixel) {
    case 8: walk([&](size_t x) { return palette[row[x]]; }); break;
    case 16:
      walk([&](size_t x) { return Lanes(Argb555(row[2 * x] | (uint32_t{row[2 * x + 1]} << 8))); });
      break;
    case 24:
    case 32:
      walk([&](size_t x) {
        const uint8_t* q = row + x * bytes;
        return Lanes(q[2], q[1], q[0]);
      });
      break;
    default: walk([](size_t) { return uint64_t{0}; }); break;
  }
}

void AreaShrinker::ShrinkBand(const ScreenView& view, const uint64_t* palette, int32_t first,
                              int32_t last, Rows& rows, uint32_t* out, size_t pitch) const {
  const size_t w = rows.across.size();
  constexpr uint64_t kLane = (uint64_t{1} << 21) - 1;
  // The screen rows that start in the band's output rows; the row before
  // them, where it reaches into the band, starts the first sum with its rest.
  const auto starting = [&](int32_t output) {
    return static_cast<size_t>(
        std::lower_bound(rows_.begin(), rows_.end(), output,
                         [](const Share& s, int32_t o) { return s.first < o; }) -
        rows_.begin());
  };
  const size_t top = starting(first);
  const size_t bottom = starting(last);
  std::fill(rows.redBlue.begin(), rows.redBlue.end(), uint64_t{0});
  std::fill(rows.green.begin(), rows.green.end(), uint64_t{0});
  if (top > 0 && rows_[top - 1].rest > 0) {
    Across(view, palette, top - 1, rows);
    const uint64_t rest = rows_[top - 1].rest;
    for (size_t x = 0; x < w; ++x) {
      const uint64_t a = rows.across[x];
      rows.redBlue[x] = (((a >> 42) << 32) | (a & kLane)) * rest;
      rows.green[x] = ((a >> 21) & kLane) * rest;
    }
  }
  uint64_t* const redBlues = rows.redBlue.data();
  uint64_t* const greens = rows.green.data();
  const uint64_t* const across = rows.across.data();
  for (size_t sy = top; sy < bottom; ++sy) {
    Across(view, palette, sy, rows);
    // Down the rows, red and blue in 32-bit lanes, green apart: up to
    // 255 * 4096 * 4096, below 2^32. A screen row that closes an output row
    // finishes it and starts the next with what it has left.
    const Share& t = rows_[sy];
    const uint64_t weight = t.weight;
    if (!t.closes) {
      for (size_t x = 0; x < w; ++x) {
        const uint64_t a = across[x];
        redBlues[x] += (((a >> 42) << 32) | (a & kLane)) * weight;
        greens[x] += ((a >> 21) & kLane) * weight;
      }
      continue;
    }
    uint32_t* o = out + static_cast<size_t>(t.first) * pitch;
    constexpr uint64_t kHalf = kWhole * kWhole / 2;
    const uint64_t rest = t.rest;
    for (size_t x = 0; x < w; ++x) {
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

bool AreaShrinker::Shrink(const ScreenView& view, int32_t width, int32_t height, uint32_t* out,
                          size_t pitch) {
  if (!Drawable(view) || !out || width <= 0 || height <= 0 || width > view.width ||
      height > view.height)
    return false;
  if (columnsFrom_ != view.width || columnsTo_ != width) {
    Spread(view.width, width, &columns_);
    columnsFrom_ = view.width;
    columnsTo_ = width;
  }
  if (rowsFrom_ != view.height || rowsTo_ != height) {
    Spread(view.height, height, &rows_);
    rowsFrom_ = view.height;
    rowsTo_ = height;
  }
  const auto w = static_cast<size_t>(width);
  const int32_t parts =
      Parts(static_cast<size_t>(view.width) * static_cast<size_t>(view.height), height);
  if (bands_.size() < static_cast<size_t>(parts)) bands_.resize(static_cast<size_t>(parts));
  for (int32_t k = 0; k < parts; ++k) {
    Rows& rows = bands_[static_cast<size_t>(k)];
    rows.across.resize(w);
    rows.redBlue.resize(w);
    rows.green.resize(w);
  }

  uint64_t palette[256];
  if (view.bitsPerPixel == 8) {
    for (size_t i = 0; i < 256; ++i) {
      const PALETTEENTRY e = view.palette ? view.palette[i] : PALETTEENTRY{0, 0, 0, 0};
      palette[i] = Lanes(e.peRed, e.peGreen, e.peBlue);
    }
  }
  SharedPool().Run(parts, [&](int32_t k) {
    const auto first = static_cast<int32_t>(int64_t{height} * k / parts);
    const auto last = static_cast<int32_t>(int64_t{height} * (k + 1) / parts);
    ShrinkBand(view, palette, first, last, bands_[static_cast<size_t>(k)], out, pitch);
  });
  return true;
}

}  // namespace plat::core
