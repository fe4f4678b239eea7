// Test scenes for the rasteriser: a screen with guarded frame and scanline
// buffers, synthetic tables and textures, cube orientations.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "raster/raster.h"

namespace rastertest {

// A block of count entries of width bytes between two guard regions filled
// with a known pattern.
class GuardedBlock {
 public:
  static constexpr size_t kGuard = 4096;
  GuardedBlock() = default;
  // guard 0 gives an exact heap block, for the sanitizers to watch.
  void Allocate(size_t bytes, uint8_t fill, size_t guard = kGuard);
  uint8_t* data() { return storage_.data() + guard_; }
  size_t size() const { return bytes_; }
  bool GuardsIntact() const;

 private:
  std::vector<uint8_t> storage_;
  size_t bytes_ = 0;
  size_t guard_ = kGuard;
};

// A raster context set up by SetRasterScreen, as every program sets up its
// screen, drawing into a guarded frame; the projection scale follows the
// width. Its scanline buffers are swapped for guarded blocks, or kept as the
// exact heap blocks SetRasterScreen made.
class TestScreen {
 public:
  // exact: frame and buffers without guard regions, so that AddressSanitizer
  // sees any access past them (reads included).
  TestScreen(int32_t width, int32_t height, int32_t pixelFormatIndex, bool exact = false);
  ~TestScreen();
  TestScreen(const TestScreen&) = delete;
  TestScreen& operator=(const TestScreen&) = delete;

  // The context to hand the rasteriser, its scene inputs taken afresh from
  // the scene's tables, textures, model and shading mode.
  RasterContext& Context();
  // The context as the last draw left it.
  const RasterContext& state() const { return ctx_; }
  RasterContext& state() { return ctx_; }
  // The corners projected for this screen.
  void Project() const;
  int bytesPerPixel() const { return bytesPerPixel_; }
  void Clear(uint8_t value);
  void FillRandom(std::mt19937& rng);
  std::vector<uint8_t> Pixels() const;
  uint8_t* pixel(int32_t x, int32_t y);
  // Empty when every guard is intact, else the names of the damaged ones.
  std::string DamagedGuards() const;
  // Projects the corners and draws the six faces as a frame does (no clear).
  void DrawCube();
  // One face through this depth's face drawer (no projection).
  void DrawFace(int32_t face);

 private:
  int32_t width_;
  int bytesPerPixel_;
  bool guarded_;
  RasterContext ctx_;
  RasterScene scene_;
  GuardedBlock frame_;
  GuardedBlock buffers_[10];
  void* own_[10] = {};
};

// Replaces every colour table and texture with pseudo-random content so that
// any wrong index shows; the textures are restored when it goes.
class SyntheticScene {
 public:
  explicit SyntheticScene(uint32_t seed);
  ~SyntheticScene();
  SyntheticScene(const SyntheticScene&) = delete;
  SyntheticScene& operator=(const SyntheticScene&) = delete;
  // Texture f becomes the single value `value`.
  void SolidTexture(int f, uint8_t value);

 private:
  std::vector<uint8_t> texels_[6];
  uint8_t* saved_[6];
};

// Cube at the start, then rotated by angles drawn from rng.
void StartCube();
void RandomTurn(std::mt19937& rng);
// The program's own per-frame turn.
void FrameTurn();

}  // namespace rastertest
