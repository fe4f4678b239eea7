#include "scene/scene.h"

#include <cstdio>
#include <string>

#include "scene/cube_model.h"
#include "scene/tables.h"

RasterContext sceneRaster;

namespace {

// What the faces of the frame being drawn read; refreshed by every DrawCube.
RasterScene frameInputs;

}  // namespace

int32_t LoadScene() {
  ClearAssetWarnings();
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
  return SetRasterScreen(sceneRaster, width, height, bitsPerPixel);
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
  // After a failed mode switch the buffers may be missing: draw nothing then.
  if (!frameBuffer || ctx.scanlineEntries == 0) return;
  const FaceDrawer drawFace = FaceDrawers[ctx.pixelFormat];
  for (int32_t face = 0; face < 6; ++face) drawFace(ctx, face);
}

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
  FreeRasterScreen(sceneRaster);
}
