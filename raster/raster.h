// The software rasteriser: one face drawer per pixel depth, span fillers per
// shading mode, chosen through tables once per face.
//
// It draws only into the RasterContext it is handed and reads only what that
// context points at (its RasterScene); it keeps no state of its own between
// calls. Contexts never share scanline buffers, so two contexts may draw at
// the same time into different row bands of one frame. It includes nothing
// of the scene, the frame or the platform.
#pragma once
#include <cstdint>

#include "raster/geometry.h"

enum ShadingMode : int32_t {
  kNoShading = 0,
  kFlatShading = 1,
  kGouraudShading = 2,
  kPhongShading = 3,
  kTransparency = 4,
  kInclinedMapping = 5,
};

enum PixelFormat : int32_t { kPixel8 = 0, kPixel16 = 1, kPixel24 = 2, kPixel32 = 3 };

// What a frame is drawn from: the model as projected for the frame, the
// shading mode and the colour tables and textures. The scene owns all of it
// and fills this in before drawing; the rasteriser only reads it, and draws
// nothing while a table is missing (a face without its texture is left out).
// Tables of two dimensions are 256 rows of 256 entries.
struct RasterScene {
  const CubeVertex* vertices = nullptr;  // eight corners
  const CubeFace* faces = nullptr;       // six faces
  int32_t projectionScale = 0;
  int32_t shadingMode = kNoShading;
  const uint8_t* shadeTable8 = nullptr;
  const uint8_t* blendTable8 = nullptr;
  const uint8_t* lightMap = nullptr;
  const uint16_t* palette16 = nullptr;
  const uint16_t* shadeRamp16 = nullptr;
  const uint8_t* blendLow16 = nullptr;
  const uint16_t* blendHigh16 = nullptr;
  const uint32_t* palette32 = nullptr;
  const uint32_t* shadeRamp32 = nullptr;
  const uint8_t* textures[6] = {};  // 128 x 128 palette indices each
};

// Everything the rasteriser writes: the screen it draws into, its scanline
// buffers and the state one face hands from its drawer to its span filler.
// Set up by SetRasterScreen, one frame at a time by SetRasterFrame.
struct RasterContext {
  const RasterScene* scene = nullptr;

  // The frame: one address seen as pixels of each depth. Rows lie exactly
  // screenWidth pixels apart.
  uint8_t* frame8 = nullptr;
  uint16_t* frame16 = nullptr;
  uint8_t* frame24 = nullptr;
  uint32_t* frame32 = nullptr;
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  int32_t centerX = 0;
  int32_t centerY = 0;
  int32_t pixelFormat = kPixel8;
  // The screen rows this context stores pixels in, [bandTop, bandBottom):
  // the whole screen unless a frame is split between contexts.
  int32_t bandTop = 0;
  int32_t bandBottom = 0;

  // The ten scanline buffers, each of scanlineEntries entries (the longer
  // side of the screen); scanlineEntries is 0 while any is missing.
  int32_t* leftX = nullptr;
  int32_t* rightX = nullptr;
  int32_t* leftShade = nullptr;
  int32_t* rightShade = nullptr;
  int8_t* leftAzimuth = nullptr;
  int8_t* rightAzimuth = nullptr;
  int8_t* leftPolar = nullptr;
  int8_t* rightPolar = nullptr;
  int32_t* inclineStep = nullptr;
  int32_t* inclineOffset = nullptr;
  int32_t scanlineEntries = 0;

  // One face: written by its drawer, read by its span filler.
  int32_t spanTop = 0;
  int32_t spanBottom = 0;
  Vector3 uVector = {0, 0, 0};
  Vector3 vVector = {0, 0, 0};
  Vector3 wVector = {0, 0, 0};
  double inclineSlope = 0;
  int32_t flatLevel = 0;

  // Pixels stored since the last reset, counted per span: the benchmark's
  // measure of work, never read by the rasteriser itself.
  uint64_t drawnPixelCount = 0;
};

// Sets ctx up for a screen of width x height pixels of bitsPerPixel (8, 16,
// 24 or 32): its size, centre, pixel format and band, and fresh zero-filled
// scanline buffers of max(width, height) entries, the old ones freed. No
// frame until SetRasterFrame. Returns 0, drawing nothing until a later call
// succeeds, when a side is not positive or an allocation failed; an unknown
// depth changes nothing and returns 0.
int32_t SetRasterScreen(RasterContext& ctx, int32_t width, int32_t height, int32_t bitsPerPixel);
// The frame the next faces are drawn into, height rows of width pixels.
void SetRasterFrame(RasterContext& ctx, void* frameBuffer);
// Frees the scanline buffers; nothing is drawn afterwards.
void FreeRasterScreen(RasterContext& ctx);

using FaceDrawer = void (*)(RasterContext& ctx, int32_t faceIndex);
using SpanFiller = void (*)(RasterContext& ctx, int32_t faceIndex);

extern const FaceDrawer FaceDrawers[4];
extern const SpanFiller SpanFillers8[5];
extern const SpanFiller SpanFillers16[5];
extern const SpanFiller SpanFillers24[4];
extern const SpanFiller SpanFillers32[4];

// Entries [startIndex, endIndex) of the edge from startValue to endValue, of
// a buffer of `entries` entries; entries outside it are skipped.
void FillEdge(int32_t* buffer, int32_t entries, double startValue, int32_t startIndex,
              double endValue, int32_t endIndex);
void FillEdgeBytes(int8_t* buffer, int32_t entries, double startValue, int32_t startIndex,
                   double endValue, int32_t endIndex);

void DrawFace8(RasterContext& ctx, int32_t faceIndex);
void DrawFace16(RasterContext& ctx, int32_t faceIndex);
void DrawFace24(RasterContext& ctx, int32_t faceIndex);
void DrawFace32(RasterContext& ctx, int32_t faceIndex);
void FillPlain8(RasterContext& ctx, int32_t faceIndex);
void FillFlat8(RasterContext& ctx, int32_t faceIndex);
void FillGouraud8(RasterContext& ctx, int32_t faceIndex);
void FillPhong8(RasterContext& ctx, int32_t faceIndex);
void FillBlend8(RasterContext& ctx, int32_t faceIndex);
void FillPlain16(RasterContext& ctx, int32_t faceIndex);
void FillFlat16(RasterContext& ctx, int32_t faceIndex);
void FillGouraud16(RasterContext& ctx, int32_t faceIndex);
void FillPhong16(RasterContext& ctx, int32_t faceIndex);
void FillBlend16(RasterContext& ctx, int32_t faceIndex);
void FillPlain24(RasterContext& ctx, int32_t faceIndex);
void FillFlat24(RasterContext& ctx, int32_t faceIndex);
void FillGouraud24(RasterContext& ctx, int32_t faceIndex);
void FillPhong24(RasterContext& ctx, int32_t faceIndex);
void FillPlain32(RasterContext& ctx, int32_t faceIndex);
void FillFlat32(RasterContext& ctx, int32_t faceIndex);
void FillGouraud32(RasterContext& ctx, int32_t faceIndex);
void FillPhong32(RasterContext& ctx, int32_t faceIndex);

void DrawFaceInclined8(RasterContext& ctx, int32_t faceIndex);
void DrawFaceInclined16(RasterContext& ctx, int32_t faceIndex);
void FillInclinedRows8(RasterContext& ctx, int32_t faceIndex);
void FillInclinedColumns8(RasterContext& ctx, int32_t faceIndex);
void FillInclinedRows16(RasterContext& ctx, int32_t faceIndex);
void FillInclinedColumns16(RasterContext& ctx, int32_t faceIndex);
