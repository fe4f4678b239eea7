#include "platform/core/present.h"

#include <algorithm>
#include <utility>

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
        for (size_t x = 0; x < w; ++x) o[x] = Argb555(p[2 * x] | (uint32_t{p[2 * x + 1]} << 8));
        break;
      }
      case 24:
      case 32: {
        const size_t step = static_cast<size_t>(view_.bitsPerPixel / 8);
        const uint8_t* p = view_.pixels + row * w * step;
        for (size_t x = 0; x < w; ++x) {
          const uint8_t* q = p + x * step;
          o[x] = 0xFF000000u | (uint32_t{q[2]} << 16) | (uint32_t{q[1]} << 8) | q[0];
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
  for (size_t row = 0; row < static_cast<size_t>(view.height); ++row)
    reader.Read(row, out + row * pitch);
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

template <typename Pixel>
void AreaShrinker::Across(size_t count, const Pixel& pixel) {
  // The output pixel's sum stays in a register; written out every time, it
  // is complete when the last screen pixel in it has been added.
  uint64_t sum = 0;
  for (size_t x = 0; x < count; ++x) {
    const uint64_t lanes = pixel(x);
    const Share& c = columns_[x];
    sum += lanes * c.weight;
    across_[static_cast<size_t>(c.first)] = sum;
    sum = (sum & (uint64_t{c.closes} - 1)) + lanes * c.rest;
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
  across_.resize(w);
  redBlue_.assign(w, 0);
  green_.assign(w, 0);

  uint64_t palette[256];
  if (view.bitsPerPixel == 8) {
    for (size_t i = 0; i < 256; ++i) {
      const PALETTEENTRY e = view.palette ? view.palette[i] : PALETTEENTRY{0, 0, 0, 0};
      palette[i] = Lanes(e.peRed, e.peGreen, e.peBlue);
    }
  }
  const auto sw = static_cast<size_t>(view.width);
  const size_t bytes = static_cast<size_t>(view.bitsPerPixel / 8);
  constexpr uint64_t kLane = (uint64_t{1} << 21) - 1;
  for (size_t sy = 0; sy < static_cast<size_t>(view.height); ++sy) {
    const uint8_t* row = view.pixels + sy * sw * bytes;
    switch (view.bitsPerPixel) {
      case 8: Across(sw, [&](size_t x) { return palette[row[x]]; }); break;
      case 16:
        Across(sw, [&](size_t x) {
          return Lanes(Argb555(row[2 * x] | (uint32_t{row[2 * x + 1]} << 8)));
        });
        break;
      case 24:
      case 32:
        Across(sw, [&](size_t x) {
          const uint8_t* q = row + x * bytes;
          return Lanes(q[2], q[1], q[0]);
        });
        break;
      default: Across(sw, [](size_t) { return uint64_t{0}; }); break;
    }
    // Down the rows, red and blue in 32-bit lanes, green apart: up to
    // 255 * 4096 * 4096, below 2^32. A screen row that closes an output row
    // finishes it and starts the next with what it has left.
    const Share& t = rows_[sy];
    if (!t.closes) {
      for (size_t x = 0; x < w; ++x) {
        const uint64_t a = across_[x];
        redBlue_[x] += (((a >> 42) << 32) | (a & kLane)) * t.weight;
        green_[x] += ((a >> 21) & kLane) * t.weight;
      }
      continue;
    }
    uint32_t* o = out + static_cast<size_t>(t.first) * pitch;
    constexpr uint64_t kHalf = kWhole * kWhole / 2;
    for (size_t x = 0; x < w; ++x) {
      const uint64_t a = across_[x], rb = ((a >> 42) << 32) | (a & kLane), g = (a >> 21) & kLane;
      const uint64_t redBlue = redBlue_[x] + rb * t.weight + ((kHalf << 32) | kHalf);
      const uint64_t green = green_[x] + g * t.weight + kHalf;
      o[x] = static_cast<uint32_t>(0xFF000000u | ((redBlue >> 56) << 16) | ((green >> 24) << 8) |
                                   ((redBlue & 0xFFFFFFFF) >> 24));
      redBlue_[x] = rb * t.rest;
      green_[x] = g * t.rest;
    }
  }
  return true;
}

}  // namespace plat::core
