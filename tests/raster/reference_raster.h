// A slow, plain rasteriser written straight from the algorithm's prose: per
// row, per pixel, every index checked. It draws onto a canvas that may reach
// beyond the screen on every side, so it never needs to clip.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "raster/raster.h"

namespace reference {

// An array whose indices may be negative: entry i lives at i + origin.
template <typename T>
struct OffsetArray {
  int64_t origin = 0;
  std::vector<T> data;
  void Resize(int64_t first, int64_t last) {
    origin = -first;
    data.assign(static_cast<size_t>(last - first), T{});
  }
  T& operator[](int64_t i) { return data.at(static_cast<size_t>(i + origin)); }
};

struct Canvas {
  int64_t left = 0, top = 0, width = 0, height = 0;  // in screen coordinates
  int bytesPerPixel = 1;
  std::vector<uint8_t> bytes;
  void Reset(int64_t l, int64_t t, int64_t w, int64_t h, int bpp, uint8_t fill);
  uint8_t* Pixel(int64_t x, int64_t y);
  // Copies the screen window [0, width) x [0, height).
  std::vector<uint8_t> Screen(int64_t screenWidth, int64_t screenHeight) const;
};

struct State {
  // The screen drawn on: size and centre.
  int32_t screenWidth = 0, screenHeight = 0, centerX = 0, centerY = 0;
  OffsetArray<int32_t> leftX, rightX, leftShade, rightShade, inclineStep, inclineOffset;
  OffsetArray<int8_t> leftAzimuth, rightAzimuth, leftPolar, rightPolar;
  int32_t spanTop = 0, spanBottom = 0, flatLevel = 0;
  Vector3 u{}, v{}, w{};
  double inclineSlope = 0;
  // The screen of a context, and buffers indexed over [first, last).
  void SetScreen(const RasterContext& ctx, int64_t first, int64_t last);
  void Resize(int64_t first, int64_t last);
  // Takes the real rasteriser's screen and state, for testing a filler alone.
  void CopyFromRaster(const RasterContext& ctx, int64_t first, int64_t last);
};

// Draws one face as the face drawer of the given PixelFormat does.
void DrawFace(State& state, Canvas& canvas, int32_t pixelFormat, int32_t faceIndex);
// The span filler of mode on the state as it stands.
void FillSpans(const State& state, Canvas& canvas, int32_t pixelFormat, int32_t mode,
               int32_t faceIndex);
void FillEdge(OffsetArray<int32_t>& buffer, double startValue, int32_t startIndex, double endValue,
              int32_t endIndex);

}  // namespace reference
