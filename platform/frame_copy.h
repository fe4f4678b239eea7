// Where the frame cannot draw straight into a display's memory, a copy it can
// draw into: rows exactly the width apart, pixels in the frame's own layout
// (5-5-5 words at 16 bits, blue-green-red bytes at 24 and 32). Before anything
// else touches the surface, what the frame drew goes into the device's memory,
// converted to the display's layout. Today's 16-bit displays are 5-6-5, so
// the frame's 5-5-5 pixels would show the wrong colours there as they are.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// A display's pixel layout: its depth and where each colour's bits lie.
struct PixelLayout {
  uint32_t bitsPerPixel = 0;
  uint32_t red = 0, green = 0, blue = 0;
};

// What the frame draws at a depth; 8 bits has no masks (a palette).
PixelLayout FrameLayout(uint32_t bitsPerPixel);
bool SameLayout(const PixelLayout& a, const PixelLayout& b);
// "R 0xF800 G 0x07E0 B 0x001F" and the like.
std::string LayoutText(const PixelLayout& layout);
// Why the frame's pixels cannot be shown in this layout; empty when they can.
std::string LayoutProblem(const PixelLayout& layout);

// Whether the frame can draw a mode whose pixels are kept in this layout;
// where not, one line on standard error says why, and the mode is left out of
// the program's "Modes".
bool FrameCanShow(const PixelLayout& layout, uint32_t width, uint32_t height);

// The frame's pixels turned into a display's layout of the same depth. Levels
// are widened by repeating their top bits, as display hardware does, and
// narrowed by dropping the low ones.
class LayoutConversion {
 public:
  LayoutConversion() = default;
  // None where `display` is the frame's layout or cannot take its pixels:
  // then Row only copies.
  explicit LayoutConversion(const PixelLayout& display);

  bool None() const { return kind_ == Kind::kNone; }
  uint32_t Pixel(uint32_t framePixel) const;
  // count pixels from source into dest; the two do not overlap.
  void Row(const uint8_t* source, uint8_t* dest, size_t count) const;

 private:
  enum class Kind { kNone, k565, kTable16, kBytes, kChannels };
  struct Channel {
    uint32_t shift = 0, bits = 0;
  };
  Kind kind_ = Kind::kNone;
  uint32_t bytes_ = 0;
  std::vector<uint16_t> table16_;  // 5-5-5 to any 16-bit layout
  Channel red_, green_, blue_;
};

// The frame's copy of one surface, and what of it the device does not hold
// yet. Its memory stays at the same address while the size stays, so the
// frame may keep drawing through it until the flip.
class FrameCopy {
 public:
  FrameCopy() = default;
  // For a surface whose pixels are in the display's layout.
  explicit FrameCopy(const PixelLayout& display) : display_(display), conversion_(display) {}

  const PixelLayout& Display() const { return display_; }
  // The frame's pixel as the display stores it.
  uint32_t DisplayPixel(uint32_t framePixel) const { return conversion_.Pixel(framePixel); }

  // At a whole-surface lock: whether the frame is to draw into this copy
  // instead of the device's rows, which lie devicePitch bytes apart. forced:
  // even where the device would do.
  bool Lock(uint32_t width, uint32_t height, ptrdiff_t devicePitch, bool forced);
  bool InUse() const { return inUse_; }
  uint8_t* Pixels() { return pixels_.data(); }
  uint32_t Width() const { return width_; }
  uint32_t Height() const { return height_; }
  size_t Pitch() const { return static_cast<size_t>(width_) * bytes_; }

  // The whole surface filled with framePixel: the copy and the device now
  // hold the same.
  void Filled(uint32_t framePixel);
  // The frame's word: what it drew since the last fill lies in this rectangle.
  void Drew(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // The frame drew since the device last got the copy.
  bool Pending() const { return inUse_ && pending_; }
  // Into the device's rows: only the drawn rectangle where the device held
  // the rest already, else everything.
  void Deliver(uint8_t* device, ptrdiff_t devicePitch);

 private:
  PixelLayout display_;
  LayoutConversion conversion_;
  std::vector<uint8_t> pixels_;
  uint32_t width_ = 0, height_ = 0, bytes_ = 0;
  bool inUse_ = false;
  bool pending_ = false;
  bool matched_ = false;  // the device equals the copy outside the rectangle
  int32_t left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
};

}  // namespace plat
