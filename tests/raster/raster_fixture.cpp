#include "raster/raster_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "raster/raster.h"
#include "scene/cube_model.h"
#include "scene/scene.h"
#include "scene/tables.h"

namespace rastertest {

namespace {
constexpr uint8_t kGuardByte = 0xA5;

void* Buffer(const RasterContext& c, int i) {
  switch (i) {
    case 0: return c.leftX;
    case 1: return c.rightX;
    case 2: return c.leftShade;
    case 3: return c.rightShade;
    case 4: return c.leftAzimuth;
    case 5: return c.rightAzimuth;
    case 6: return c.leftPolar;
    case 7: return c.rightPolar;
    case 8: return c.inclineStep;
    default: return c.inclineOffset;
  }
}

void SetBuffer(RasterContext& c, int i, void* p) {
  switch (i) {
    case 0: c.leftX = static_cast<int32_t*>(p); break;
    case 1: c.rightX = static_cast<int32_t*>(p); break;
    case 2: c.leftShade = static_cast<int32_t*>(p); break;
    case 3: c.rightShade = static_cast<int32_t*>(p); break;
    case 4: c.leftAzimuth = static_cast<int8_t*>(p); break;
    case 5: c.rightAzimuth = static_cast<int8_t*>(p); break;
    case 6: c.leftPolar = static_cast<int8_t*>(p); break;
    case 7: c.rightPolar = static_cast<int8_t*>(p); break;
    case 8: c.inclineStep = static_cast<int32_t*>(p); break;
    default: c.inclineOffset = static_cast<int32_t*>(p); break;
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
    : width_(width), bytesPerPixel_(pixelFormatIndex + 1), guarded_(!exact) {
  const int32_t depths[4] = {8, 16, 24, 32};
  if (!SetRasterScreen(ctx_, width, height, depths[pixelFormatIndex]))
    ADD_FAILURE() << "SetRasterScreen " << width << "x" << height;
  EXPECT_EQ(ctx_.pixelFormat, pixelFormatIndex);
  EXPECT_EQ(ctx_.scanlineEntries, std::max(width, height));
  projectionScale = width / 10;
  const size_t guard = exact ? 0 : GuardedBlock::kGuard;
  frame_.Allocate(static_cast<size_t>(width) * height * bytesPerPixel_, 0, guard);
  SetRasterFrame(ctx_, frame_.data());
  if (guarded_) {
    for (int i = 0; i < 10; ++i) {
      own_[i] = Buffer(ctx_, i);
      buffers_[i].Allocate(static_cast<size_t>(ctx_.scanlineEntries) * kEntryBytes[i], 0, guard);
      SetBuffer(ctx_, i, buffers_[i].data());
    }
  }
  ctx_.scene = &scene_;
}

TestScreen::~TestScreen() {
  if (guarded_) {
    for (int i = 0; i < 10; ++i) SetBuffer(ctx_, i, own_[i]);
  }
  FreeRasterScreen(ctx_);
}

RasterContext& TestScreen::Context() {
  scene_ = SceneInputs();
  ctx_.scene = &scene_;
  return ctx_;
}

void TestScreen::Project() const { ProjectVertices(ctx_.centerX, ctx_.centerY); }

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
  for (int i = 0; i < 10 && guarded_; ++i) {
    if (!buffers_[i].GuardsIntact()) damaged += std::string(kBufferNames[i]) + " ";
  }
  return damaged;
}

void TestScreen::DrawCube() {
  Project();
  RasterContext& ctx = Context();
  for (int32_t f = 0; f < 6; ++f) FaceDrawers[ctx.pixelFormat](ctx, f);
}

void TestScreen::DrawFace(int32_t face) {
  RasterContext& ctx = Context();
  FaceDrawers[ctx.pixelFormat](ctx, face);
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
