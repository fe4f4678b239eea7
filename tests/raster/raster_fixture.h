// Test scenes for the rasteriser: a screen with guarded frame and scanline
// buffers, synthetic tables and textures, cube orientations.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>

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

// Sets the screen globals and points frame and scanline buffers at guarded
// blocks; restores the previous pointers when it goes.
class TestScreen {
 public:
  // exact: frame and buffers without guard regions, so that AddressSanitizer
  // sees any access past them (reads included).
  TestScreen(int32_t width, int32_t height, int32_t pixelFormatIndex, bool exact = false);
  ~TestScreen();
  TestScreen(const TestScreen&) = delete;
  TestScreen& operator=(const TestScreen&) = delete;

  int bytesPerPixel() const { return bytesPerPixel_; }
  void Clear(uint8_t value);
  void FillRandom(std::mt19937& rng);
  std::vector<uint8_t> Pixels() const;
  uint8_t* pixel(int32_t x, int32_t y);
  // Empty when every guard is intact, else the names of the damaged ones.
  std::string DamagedGuards() const;
  // Draws the six faces as a frame does (no clear).
  void DrawCube() const;

 private:
  int32_t width_;
  int bytesPerPixel_;
  GuardedBlock frame_;
  GuardedBlock buffers_[10];
  void* saved_[10];
  int32_t savedEntries_;
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
