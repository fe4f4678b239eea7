#include "platform/core/present.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/core/present_parts.h"
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

// Convert<1> for a picture too large to stay in the caches: written past
// them, so that the writes do not first read what they overwrite.
void ConvertStreaming8(const uint8_t* p, uint32_t* o, size_t count, const uint32_t* lut) {
#if defined(__SSE2__)
  size_t x = 0;
  for (; x < count && (reinterpret_cast<uintptr_t>(o + x) & 15) != 0; ++x) o[x] = lut[p[x]];
  for (; x + 4 <= count; x += 4) {
    const auto at = [&](size_t i) { return static_cast<int>(lut[p[x + i]]); };
    _mm_stream_si128(reinterpret_cast<__m128i*>(o + x), _mm_set_epi32(at(3), at(2), at(1), at(0)));
  }
  for (; x < count; ++x) o[x] = lut[p[x]];
#else
  Convert<1>(p, o, count, lut);
#endif
}

// One screen row after another as 0xFFRRGGBB; the palette is looked up once.
class RowReader {
 public:
  explicit RowReader(const ScreenView& view) : view_(view) {
    if (view.bitsPerPixel == 8) Colours(view.palette, lut_);
  }

  void Read(size_t row, uint32_t* o) const { Read(row, 0, static_cast<size_t>(view_.width), o); }
  // count pixels of the row from column x; streaming: o is past the caches.
  void Read(size_t row, size_t x, size_t count, uint32_t* o, bool streaming = false) const {
    const size_t at = row * static_cast<size_t>(view_.width) + x;
    const uint8_t* p = view_.pixels + at * static_cast<size_t>(view_.bitsPerPixel / 8);
    switch (view_.bitsPerPixel) {
      case 8:
        if (streaming)
          ConvertStreaming8(p, o, count, lut_);
        else
          Convert<1>(p, o, count, lut_);
        break;
      case 16: Convert<2>(p, o, count, lut_); break;
      case 24: Convert<3>(p, o, count, lut_); break;
      case 32: Convert<4>(p, o, count, lut_); break;
      default: std::fill(o, o + count, 0xFF000000u); break;
    }
  }

 private:
  const ScreenView& view_;
  uint32_t lut_[256] = {};
};

// The view's pixels in area as 0xFFRRGGBB into out at the same place, rows
// pitch pixels apart, in bands of rows over the drawing threads.
void ConvertArea(const ScreenView& view, const Rect& area, uint32_t* out, size_t pitch,
                 bool streaming) {
  const RowReader reader(view);
  const auto x = static_cast<size_t>(area.x), span = static_cast<size_t>(area.width);
  const auto top = static_cast<size_t>(area.y), rows = static_cast<size_t>(area.height);
  const int32_t parts = PresentParts(span * rows, area.height);
  SharedPool().Run(parts, [&](int32_t k) {
    const size_t last = top + rows * static_cast<size_t>(k + 1) / static_cast<size_t>(parts);
    for (size_t row = top + rows * static_cast<size_t>(k) / static_cast<size_t>(parts); row < last;
         ++row)
      reader.Read(row, x, span, out + row * pitch + x, streaming);
#if defined(__SSE2__)
    if (streaming) _mm_sfence();
#endif
  });
}

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
  if (!Presentable(view) || !out) return;
  ConvertArea(view, {0, 0, view.width, view.height}, out, pitch, false);
}

std::vector<uint8_t> ToRgb(const ScreenView& view) {
  if (!Presentable(view)) return {};
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
  const int32_t parts = PresentParts(w * height, view.height);
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

bool ScreenPicture::MayDiffer(const ScreenView& view, const KnownPixels& now, Rect* window) const {
  if (!now.known || !shown_.known || now.fill != shown_.fill) return false;
  // Both were all fill outside their areas.
  const auto rect = [&](const RECT& r) {
    const int32_t left = std::clamp(r.left, 0, view.width);
    const int32_t top = std::clamp(r.top, 0, view.height);
    const int32_t right = std::clamp(r.right, left, view.width);
    const int32_t bottom = std::clamp(r.bottom, top, view.height);
    return Rect{left, top, right - left, bottom - top};
  };
  *window = Union(rect(shown_.area), rect(now.area));
  return true;
}

Rect ScreenPicture::Update(const ScreenView& view, int32_t width, int32_t height,
                           const KnownPixels& written) {
  const int32_t bpp = view.bitsPerPixel;
  if (!Presentable(view) || (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) || width <= 0 ||
      height <= 0 || width > view.width || height > view.height) {
    width_ = height_ = 0;
    whole_ = true;
    shown_ = {};
    return {};
  }
  std::array<uint32_t, 256> colours{};
  if (bpp == 8) Colours(view.palette, colours.data());
  const bool shrink = width != view.width || height != view.height;
  const bool same = !whole_ && view.width == screenWidth_ && view.height == screenHeight_ &&
                    bpp == bitsPerPixel_ && width == width_ && height == height_ &&
                    colours == colours_;
  Rect window;
  const bool known = same && MayDiffer(view, written, &window);
  // A copy left behind by known frames cannot be compared with.
  if (!same || (!known && copyStale_)) {
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
    copyStale_ = false;
    shown_ = written;
    return {0, 0, width, height};
  }
  shown_ = written;
  if (known) {
    // Redone straight, without comparing: most of a frame's area changes.
    if (window.empty()) return {};
    copyStale_ = copyStale_ || KeepsCopy(bpp, shrink);
    if (!shrink) {
      // Measured: 4K at 8 bits a third cheaper; no gain where the picture fits.
      const bool streaming = picture_.size() * sizeof(uint32_t) >= kStreamBytes;
      ConvertArea(view, window, picture_.data(), static_cast<size_t>(width), streaming);
      return window;
    }
    std::fill(changes_.begin(), changes_.end(), RowChange{});
    for (int32_t y = window.y; y < window.y + window.height; ++y)
      changes_[static_cast<size_t>(y)] = {window.x, window.x + window.width};
  } else {
    const Rect changed = Compare(view, !shrink);
    if (!shrink || changed.empty()) return changed;
  }
  Rect redone;
  shrinker_.Shrink(view, width, height, changes_.data(), picture_.data(),
                   static_cast<size_t>(width), &redone);
  return redone;
}

}  // namespace plat::core
