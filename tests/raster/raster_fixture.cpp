#include "raster/raster_fixture.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "app/frame_view.h"
#include "raster/raster.h"
#include "scene/cube_model.h"
#include "scene/tables.h"

namespace rastertest {

namespace {
constexpr uint8_t kGuardByte = 0xA5;

void* Buffer(int i) {
  switch (i) {
    case 0: return leftX;
    case 1: return rightX;
    case 2: return leftShade;
    case 3: return rightShade;
    case 4: return leftAzimuth;
    case 5: return rightAzimuth;
    case 6: return leftPolar;
    case 7: return rightPolar;
    case 8: return inclineStep;
    default: return inclineOffset;
  }
}

void SetBuffer(int i, void* p) {
  switch (i) {
    case 0: leftX = static_cast<int32_t*>(p); break;
    case 1: rightX = static_cast<int32_t*>(p); break;
    case 2: leftShade = static_cast<int32_t*>(p); break;
    case 3: rightShade = static_cast<int32_t*>(p); break;
    case 4: leftAzimuth = static_cast<int8_t*>(p); break;
    case 5: rightAzimuth = static_cast<int8_t*>(p); break;
    case 6: leftPolar = static_cast<int8_t*>(p); break;
    case 7: rightPolar = static_cast<int8_t*>(p); break;
    case 8: inclineStep = static_cast<int32_t*>(p); break;
    default: inclineOffset = static_cast<int32_t*>(p); break;
  }
}

constexpr size_t kEntryBytes[10] = {4, 4, 4, 4, 1, 1, 1, 1, 4, 4};
const char* const kBufferNames[10] = {"leftX",       "rightX",       "leftShade", "rightShade",
                                      "leftAzimuth", "rightAzimuth", "leftPolar", "rightPolar",
                                      "inclineStep", "inclineOffset"};
}  // namespace

void GuardedBlock::Allocate(size_t bytes, uint8_t fill, size_t guard) {
  bytes_ = bytes;
  guard_ = guard;
  storage_.clear();
  storage_.shrink_to_fit();
  storage_.assign(bytes + 2 * guard, kGuardByte);
  std::memset(storage_.data() + guard, fill, bytes);
}

bool GuardedBlock::GuardsIntact() const {
  for (size_t i = 0; i < guard_; ++i) {
    if (storage_[i] != kGuardByte || storage_[guard_ + bytes_ + i] != kGuardByte) return false;
  }
  return true;
}

TestScreen::TestScreen(int32_t width, int32_t height, int32_t pixelFormatIndex, bool exact)
    : width_(width), bytesPerPixel_(pixelFormatIndex + 1) {
  screenWidth = width;
  screenHeight = height;
  centerX = width / 2;
  centerY = height / 2;
  projectionScale = width / 10;
  pixelFormat = pixelFormatIndex;
  const size_t guard = exact ? 0 : GuardedBlock::kGuard;
  frame_.Allocate(static_cast<size_t>(width) * height * bytesPerPixel_, 0, guard);
  frame8 = frame_.data();
  frame16 = reinterpret_cast<uint16_t*>(frame_.data());
  frame24 = frame_.data();
  frame32 = reinterpret_cast<uint32_t*>(frame_.data());
  const int32_t entries = std::max(width, height);
  savedEntries_ = scanlineEntries;
  for (int i = 0; i < 10; ++i) {
    saved_[i] = Buffer(i);
    buffers_[i].Allocate(static_cast<size_t>(entries) * kEntryBytes[i], 0, guard);
    SetBuffer(i, buffers_[i].data());
  }
  scanlineEntries = entries;
}

TestScreen::~TestScreen() {
  for (int i = 0; i < 10; ++i) SetBuffer(i, saved_[i]);
  scanlineEntries = savedEntries_;
  frame8 = nullptr;
  frame16 = nullptr;
  frame24 = nullptr;
  frame32 = nullptr;
}

void TestScreen::Clear(uint8_t value) { std::memset(frame_.data(), value, frame_.size()); }

void TestScreen::FillRandom(std::mt19937& rng) {
  uint8_t* p = frame_.data();
  for (size_t i = 0; i < frame_.size(); ++i) p[i] = static_cast<uint8_t>(rng());
  // The fourth byte of a 32-bit pixel is always 0 on a real screen.
  if (bytesPerPixel_ == 4) {
    for (size_t i = 3; i < frame_.size(); i += 4) p[i] = 0;
  }
}

std::vector<uint8_t> TestScreen::Pixels() const {
  auto& self = const_cast<TestScreen&>(*this);
  return std::vector<uint8_t>(self.frame_.data(), self.frame_.data() + frame_.size());
}

uint8_t* TestScreen::pixel(int32_t x, int32_t y) {
  return frame_.data() + (static_cast<size_t>(y) * width_ + x) * bytesPerPixel_;
}

std::string TestScreen::DamagedGuards() const {
  std::string damaged;
  if (!frame_.GuardsIntact()) damaged += "frame ";
  for (int i = 0; i < 10; ++i) {
    if (!buffers_[i].GuardsIntact()) damaged += std::string(kBufferNames[i]) + " ";
  }
  return damaged;
}

void TestScreen::DrawCube() const {
  ProjectVertices();
  for (int32_t f = 0; f < 6; ++f) FaceDrawers[pixelFormat](f);
}

SyntheticScene::SyntheticScene(uint32_t seed) {
  std::mt19937 rng(seed);
  auto fill = [&rng](auto* table, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      table[i] = static_cast<std::remove_reference_t<decltype(table[0])>>(rng());
    }
  };
  fill(cubePalette, sizeof cubePalette);
  fill(shadeTable8, 65536);
  fill(blendTable8, 65536);
  fill(lightMap, 65536);
  fill(palette16, 256);
  fill(shadeRamp16, 65536);
  fill(blendLow16, 65536);
  fill(blendHigh16, 65536);
  fill(palette32, 256);
  fill(shadeRamp32, 65536);
  // True-colour values keep their top byte 0, as the tables are built.
  for (uint32_t& c : palette32) c &= 0xFFFFFF;
  for (uint32_t& c : shadeRamp32) c &= 0xFFFFFF;
  // Blending over black never gives black, so a blended pixel always shows
  // as written when coverage is read off a cleared frame.
  for (int t = 0; t < 256; ++t) blendTable8[t] = static_cast<uint8_t>(t | 1);
  for (int f = 0; f < 6; ++f) {
    saved_[f] = textures[f];
    texels_[f].resize(128 * 128);
    fill(texels_[f].data(), texels_[f].size());
    textures[f] = texels_[f].data();
  }
}

SyntheticScene::~SyntheticScene() {
  for (int f = 0; f < 6; ++f) textures[f] = saved_[f];
}

void SyntheticScene::SolidTexture(int f, uint8_t value) {
  std::fill(texels_[f].begin(), texels_[f].end(), value);
}

void StartCube() { InitCubeModel(); }

void RandomTurn(std::mt19937& rng) {
  std::uniform_real_distribution<double> angle(-3.1415, 3.1415);
  RotateX(angle(rng));
  RotateY(angle(rng));
  RotateZ(angle(rng));
}

void FrameTurn() {
  RotateX(0.03);
  RotateY(0.01);
  RotateZ(0.03);
}

}  // namespace rastertest
