#include "platform/frame_copy.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/row_copy.h"

namespace plat {
namespace {

uint32_t LowestBit(uint32_t mask) {
  uint32_t shift = 0;
  while (shift < 32 && !(mask & (1u << shift))) ++shift;
  return shift;
}

uint32_t BitCount(uint32_t mask) {
  uint32_t n = 0;
  for (; mask; mask &= mask - 1) ++n;
  return n;
}

bool Contiguous(uint32_t mask) {
  const uint32_t low = mask >> LowestBit(mask);
  return (low & (low + 1)) == 0;
}

// A level of `from` bits as one of `to` bits.
uint32_t Scale(uint32_t level, uint32_t from, uint32_t to) {
  if (to <= from) return level >> (from - to);
  uint32_t out = 0;
  for (int32_t k = static_cast<int32_t>(to - from); k > -static_cast<int32_t>(from);
       k -= static_cast<int32_t>(from))
    out |= k >= 0 ? level << k : level >> -k;
  return out;
}

// 5-5-5 to 5-6-5, the green widened by its top bit.
inline uint16_t To565(uint16_t p) {
  return static_cast<uint16_t>(((p & 0x7FE0) << 1) | (p & 0x1F) | ((p >> 4) & 0x20));
}

}  // namespace

PixelLayout FrameLayout(uint32_t bitsPerPixel) {
  if (bitsPerPixel == 16) return {16, 0x7C00, 0x03E0, 0x001F};
  if (bitsPerPixel == 24 || bitsPerPixel == 32) return {bitsPerPixel, 0xFF0000, 0xFF00, 0xFF};
  return {bitsPerPixel, 0, 0, 0};
}

bool SameLayout(const PixelLayout& a, const PixelLayout& b) {
  return a.bitsPerPixel == b.bitsPerPixel &&
         (a.bitsPerPixel == 8 || (a.red == b.red && a.green == b.green && a.blue == b.blue));
}

std::string LayoutText(const PixelLayout& l) {
  char text[64];
  const int digits = l.bitsPerPixel > 16 ? 6 : 4;
  std::snprintf(text, sizeof text, "R 0x%0*X G 0x%0*X B 0x%0*X", digits, l.red, digits, l.green,
                digits, l.blue);
  return text;
}

std::string LayoutProblem(const PixelLayout& l) {
  if (l.bitsPerPixel == 8) return {};
  if (l.bitsPerPixel != 16 && l.bitsPerPixel != 24 && l.bitsPerPixel != 32)
    return std::to_string(l.bitsPerPixel) + " bits a pixel";
  const uint64_t room = (uint64_t{1} << l.bitsPerPixel) - 1;
  for (uint32_t mask : {l.red, l.green, l.blue}) {
    if (mask == 0 || mask > room || !Contiguous(mask))
      return "colour masks " + LayoutText(l) + " that do not describe a colour pixel";
  }
  if ((l.red & l.green) || (l.red & l.blue) || (l.green & l.blue))
    return "colour masks " + LayoutText(l) + " that overlap";
  return {};
}

bool FrameCanShow(const PixelLayout& layout, uint32_t width, uint32_t height) {
  // Other depths are the frame's to refuse.
  if (layout.bitsPerPixel != 16 && layout.bitsPerPixel != 24 && layout.bitsPerPixel != 32)
    return true;
  const std::string problem = LayoutProblem(layout);
  if (problem.empty()) return true;
  std::fprintf(stderr, "kelvo: %ux%ux%u is left out of Modes: the display keeps its pixels as %s\n",
               width, height, layout.bitsPerPixel, problem.c_str());
  return false;
}

LayoutConversion::LayoutConversion(const PixelLayout& display) : bytes_(display.bitsPerPixel / 8) {
  const PixelLayout frame = FrameLayout(display.bitsPerPixel);
  if (display.bitsPerPixel == 8 || SameLayout(display, frame) || !LayoutProblem(display).empty())
    return;
  red_ = {LowestBit(display.red), BitCount(display.red)};
  green_ = {LowestBit(display.green), BitCount(display.green)};
  blue_ = {LowestBit(display.blue), BitCount(display.blue)};
  if (bytes_ == 2) {
    kind_ = (display.red == 0xF800 && display.green == 0x07E0 && display.blue == 0x001F)
                ? Kind::k565
                : Kind::kTable16;
    if (kind_ == Kind::kTable16) {
      table16_.resize(1u << 15);
      kind_ = Kind::kChannels;  // so that Pixel works it out while filling the table
      for (uint32_t p = 0; p < table16_.size(); ++p) table16_[p] = static_cast<uint16_t>(Pixel(p));
      kind_ = Kind::kTable16;
    }
  } else {
    // Whole bytes in other places: a shuffle of bytes.
    bool bytes = true;
    for (const Channel& c : {red_, green_, blue_}) bytes = bytes && c.bits == 8 && c.shift % 8 == 0;
    kind_ = bytes ? Kind::kBytes : Kind::kChannels;
  }
}

uint32_t LayoutConversion::Pixel(uint32_t p) const {
  switch (kind_) {
    case Kind::kNone: return p;
    case Kind::k565: return To565(static_cast<uint16_t>(p));
    case Kind::kTable16: return table16_[p & 0x7FFF];
    case Kind::kBytes:
      return ((p >> 16 & 0xFF) << red_.shift) | ((p >> 8 & 0xFF) << green_.shift) |
             ((p & 0xFF) << blue_.shift);
    case Kind::kChannels: break;
  }
  const uint32_t from = bytes_ == 2 ? 5 : 8;
  const uint32_t mask = (1u << from) - 1;
  const uint32_t r = (p >> (2 * from)) & mask, g = (p >> from) & mask, b = p & mask;
  return (Scale(r, from, red_.bits) << red_.shift) | (Scale(g, from, green_.bits) << green_.shift) |
         (Scale(b, from, blue_.bits) << blue_.shift);
}

void LayoutConversion::Row(const uint8_t* source, uint8_t* dest, size_t count) const {
  switch (kind_) {
    case Kind::kNone: std::memcpy(dest, source, count * bytes_); return;
    case Kind::k565: {
      size_t x = 0;
#if defined(__SSE2__)
      const __m128i redGreen = _mm_set1_epi16(0x7FE0), blue = _mm_set1_epi16(0x1F),
                    greenLow = _mm_set1_epi16(0x20);
      for (; x + 8 <= count; x += 8) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 2 * x));
        const __m128i q = _mm_or_si128(
            _mm_or_si128(_mm_slli_epi16(_mm_and_si128(p, redGreen), 1), _mm_and_si128(p, blue)),
            _mm_and_si128(_mm_srli_epi16(p, 4), greenLow));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + 2 * x), q);
      }
#endif
      for (; x < count; ++x) {
        uint16_t p;
        std::memcpy(&p, source + 2 * x, 2);
        p = To565(p);
        std::memcpy(dest + 2 * x, &p, 2);
      }
      return;
    }
    case Kind::kTable16:
      for (size_t x = 0; x < count; ++x) {
        uint16_t p;
        std::memcpy(&p, source + 2 * x, 2);
        p = table16_[p & 0x7FFF];
        std::memcpy(dest + 2 * x, &p, 2);
      }
      return;
    case Kind::kBytes: {
      const uint32_t r = red_.shift, g = green_.shift, b = blue_.shift;
      const auto move = [r, g, b](uint32_t p) {
        return ((p >> 16 & 0xFF) << r) | ((p >> 8 & 0xFF) << g) | ((p & 0xFF) << b);
      };
      if (bytes_ == 4) {
        for (size_t x = 0; x < count; ++x) {
          uint32_t p;
          std::memcpy(&p, source + 4 * x, 4);
          p = move(p);
          std::memcpy(dest + 4 * x, &p, 4);
        }
        return;
      }
      for (size_t x = 0; x < count; ++x) {
        const uint8_t* s = source + 3 * x;
        const uint32_t p = move(s[0] | uint32_t{s[1]} << 8 | uint32_t{s[2]} << 16);
        uint8_t* d = dest + 3 * x;
        d[0] = static_cast<uint8_t>(p);
        d[1] = static_cast<uint8_t>(p >> 8);
        d[2] = static_cast<uint8_t>(p >> 16);
      }
      return;
    }
    case Kind::kChannels:
      for (size_t x = 0; x < count; ++x) {
        uint32_t p = 0;
        std::memcpy(&p, source + bytes_ * x, bytes_);
        p = Pixel(p);
        std::memcpy(dest + bytes_ * x, &p, bytes_);  // little-endian: the low bytes
      }
      return;
  }
}

bool FrameCopy::Lock(uint32_t width, uint32_t height, ptrdiff_t devicePitch, bool forced) {
  const uint32_t bytes = display_.bitsPerPixel / 8;
  const bool wholeBytes = bytes >= 1 && bytes <= 4 && display_.bitsPerPixel % 8 == 0;
  const bool needed = wholeBytes && width > 0 && height > 0 &&
                      (forced || !conversion_.None() ||
                       devicePitch != static_cast<ptrdiff_t>(static_cast<size_t>(width) * bytes));
  if (!needed) {
    inUse_ = false;
    pixels_.clear();
    return false;
  }
  if (width != width_ || height != height_ || bytes != bytes_) {
    width_ = width;
    height_ = height;
    bytes_ = bytes;
    pixels_.assign(Pitch() * height_, uint8_t{0});
    matched_ = false;
  }
  inUse_ = true;
  pending_ = true;
  left_ = 0;
  top_ = 0;
  right_ = static_cast<int32_t>(width_);
  bottom_ = static_cast<int32_t>(height_);
  return true;
}

void FrameCopy::Filled(uint32_t framePixel) {
  if (!inUse_) return;
  FillPixels(pixels_.data(), static_cast<size_t>(width_) * height_, bytes_, framePixel);
  pending_ = false;
  matched_ = true;
  left_ = top_ = right_ = bottom_ = 0;
}

void FrameCopy::Drew(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  left_ = std::clamp(left, 0, static_cast<int32_t>(width_));
  right_ = std::clamp(right, left_, static_cast<int32_t>(width_));
  top_ = std::clamp(top, 0, static_cast<int32_t>(height_));
  bottom_ = std::clamp(bottom, top_, static_cast<int32_t>(height_));
}

void FrameCopy::Deliver(uint8_t* device, ptrdiff_t devicePitch) {
  if (!Pending() || !device) return;
  pending_ = false;
  size_t x = 0, y = 0, columns = width_, rows = height_;
  if (matched_) {
    x = static_cast<size_t>(left_);
    y = static_cast<size_t>(top_);
    columns = static_cast<size_t>(right_ - left_);
    rows = static_cast<size_t>(bottom_ - top_);
  }
  matched_ = true;
  if (columns == 0) return;
  for (size_t r = y; r < y + rows; ++r)
    conversion_.Row(
        pixels_.data() + r * Pitch() + x * bytes_,
        device + static_cast<ptrdiff_t>(r) * devicePitch + static_cast<ptrdiff_t>(x * bytes_),
        columns);
}

}  // namespace plat
