#include "scene/scene.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/threads.h"
#include "scene/cube_model.h"
#include "scene/frame_bands.h"
#include "scene/tables.h"

RasterContext sceneRaster;

namespace {

// What the faces of the frame being drawn read; refreshed by every DrawCube.
RasterScene frameInputs;

DrawnArea lastDrawn;

// A face's pixels lie between its corners' projections, give or take the
// edge walk's rounding; the tests draw every shading mode at every depth to
// hold this margin to it.
constexpr int32_t kDrawnMargin = 2;

// Around the corners, cut to the screen; nothing when no pixel was stored.
DrawnArea AroundCorners(const RasterContext& ctx, bool stored) {
  if (!stored) return {};
  int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
  for (const CubeVertex& v : cubeVertices) {
    left = std::min(left, v.screenX);
    right = std::max(right, v.screenX);
    top = std::min(top, v.screenY);
    bottom = std::max(bottom, v.screenY);
  }
  // 64 bits: a corner far off the screen cannot overflow the margin.
  const auto cut = [](int64_t at, int32_t size) {
    return static_cast<int32_t>(std::clamp<int64_t>(at, 0, size));
  };
  DrawnArea a{cut(int64_t{left} - kDrawnMargin, ctx.screenWidth),
              cut(int64_t{top} - kDrawnMargin, ctx.screenHeight),
              cut(int64_t{right} + kDrawnMargin + 1, ctx.screenWidth),
              cut(int64_t{bottom} + kDrawnMargin + 1, ctx.screenHeight)};
  if (a.left >= a.right || a.top >= a.bottom) return {};
  return a;
}

// A band's context, a cache line of its own: the threads write their
// contexts face after face.
struct alignas(64) BandContext {
  RasterContext ctx;
};

// The contexts a frame drawn by several threads is drawn with, one per band,
// each with scanline buffers of its own; set up for the screen of
// sceneRaster and the shared team's size, and again only when either changes.
struct FrameBands {
  std::vector<BandContext> bands;
  std::vector<int32_t> starts;
  int32_t width = 0, height = 0, pixelFormat = -1;
};
FrameBands frameBands;

void FreeBands() {
  for (BandContext& band : frameBands.bands) FreeRasterScreen(band.ctx);
  frameBands = FrameBands{};
}

// How many bands the frame is drawn in: one per thread, no more than rows.
int32_t BandCount() { return std::max(1, std::min(plat::ThreadCount(), sceneRaster.screenHeight)); }

// False, drawing with sceneRaster alone, when the buffers cannot be had.
bool PrepareBands(int32_t count) {
  FrameBands& f = frameBands;
  const RasterContext& screen = sceneRaster;
  if (static_cast<int32_t>(f.bands.size()) == count && f.width == screen.screenWidth &&
      f.height == screen.screenHeight && f.pixelFormat == screen.pixelFormat)
    return true;
  FreeBands();
  const int32_t bitsPerPixel = 8 * (screen.pixelFormat + 1);
  f.bands.resize(static_cast<size_t>(count));
  f.starts.resize(static_cast<size_t>(count) + 1);
  for (BandContext& band : f.bands) {
    if (!SetRasterScreen(band.ctx, screen.screenWidth, screen.screenHeight, bitsPerPixel)) {
      FreeBands();
      return false;
    }
  }
  f.width = screen.screenWidth;
  f.height = screen.screenHeight;
  f.pixelFormat = screen.pixelFormat;
  return true;
}

}  // namespace

int32_t LoadScene() {
  ClearAssetWarnings();
  if (!ChooseAssetFolder()) return 0;
  if (!LoadPalette() || !LoadShadeTable() || !LoadBlendTable()) return 0;
  BuildLightMap();
  BuildTrueColourTables();
  rotationSpeedX = 0.03;
  rotationSpeedY = 0.01;
  rotationSpeedZ = 0.03;
  if (!LoadTextures()) return 0;
  InitCubeModel();
  return 1;
}

void ReportAssetWarnings() {
  for (const std::string& line : AssetWarnings())
    std::fprintf(stderr, "warning: %s\n", line.c_str());
}

bool DrawableDepth(int32_t bitsPerPixel) {
  return bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32;
}

int32_t EnterMode(int32_t width, int32_t height, int32_t bitsPerPixel) {
  if (!DrawableDepth(bitsPerPixel)) return 0;
  projectionScale = width / 10;
  if (bitsPerPixel == 16) Build16BitTables();
  FreeBands();
  if (!SetRasterScreen(sceneRaster, width, height, bitsPerPixel)) return 0;
  // Set up now rather than at the first frame; DrawCube does it on a change.
  const int32_t count = BandCount();
  if (count > 1) PrepareBands(count);
  return 1;
}

RasterScene SceneInputs() {
  RasterScene scene;
  scene.vertices = cubeVertices;
  scene.faces = cubeFaces;
  scene.projectionScale = projectionScale;
  scene.shadingMode = shadingMode;
  scene.shadeTable8 = shadeTable8;
  scene.blendTable8 = blendTable8;
  scene.lightMap = lightMap;
  scene.palette16 = palette16;
  scene.shadeRamp16 = shadeRamp16;
  scene.blendLow16 = blendLow16;
  scene.blendHigh16 = blendHigh16;
  scene.palette32 = palette32;
  scene.shadeRamp32 = shadeRamp32;
  for (int f = 0; f < 6; ++f) scene.textures[f] = textures[f];
  return scene;
}

void DrawCube(void* frameBuffer) {
  RasterContext& ctx = sceneRaster;
  ProjectVertices(ctx.centerX, ctx.centerY);
  frameInputs = SceneInputs();
  ctx.scene = &frameInputs;
  SetRasterFrame(ctx, frameBuffer);
  lastDrawn = {};
  // After a failed mode switch the buffers may be missing: draw nothing then.
  if (!frameBuffer || ctx.scanlineEntries == 0) return;
  const FaceDrawer drawFace = FaceDrawers[ctx.pixelFormat];
  const uint64_t storedBefore = ctx.drawnPixelCount;
  const int32_t count = BandCount();
  if (count == 1 || !PrepareBands(count)) {
    for (int32_t face = 0; face < 6; ++face) drawFace(ctx, face);
    lastDrawn = AroundCorners(ctx, ctx.drawnPixelCount != storedBefore);
    return;
  }
  // Each band is drawn as the whole screen would be, through all six faces
  // in order, storing only its own rows: the pixels are those of one thread.
  std::vector<BandContext>& bands = frameBands.bands;
  int32_t* const starts = frameBands.starts.data();
  const int64_t rowBytes = int64_t{ctx.screenWidth} * (ctx.pixelFormat + 1);
  SplitFrameRows(cubeVertices, ctx.screenHeight, rowBytes, count, starts);
  for (int32_t k = 0; k < count; ++k) {
    RasterContext& band = bands[static_cast<size_t>(k)].ctx;
    band.scene = &frameInputs;
    SetRasterFrame(band, frameBuffer);
    band.bandTop = starts[k];
    band.bandBottom = starts[k + 1];
    band.drawnPixelCount = 0;
  }
  plat::SharedPool().Run(count, [&](int32_t k) {
    RasterContext& band = bands[static_cast<size_t>(k)].ctx;
    for (int32_t face = 0; face < 6; ++face) drawFace(band, face);
  });
  for (const BandContext& band : bands) ctx.drawnPixelCount += band.ctx.drawnPixelCount;
  lastDrawn = AroundCorners(ctx, ctx.drawnPixelCount != storedBefore);
}

DrawnArea LastDrawnArea() { return lastDrawn; }

void AdvanceRotation() {
  RotateX(rotationSpeedX);
  RotateY(rotationSpeedY);
  RotateZ(rotationSpeedZ);
}

void FrameRateText(uint32_t fps, char* text, size_t size) {
  std::snprintf(text, size, "%u FPS", fps);
}

void FreeSceneMemory() {
  FreeTextures();
  FreeBands();
  FreeRasterScreen(sceneRaster);
}
