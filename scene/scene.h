// The cube scene without the application frame: loading its data, entering a
// display mode and drawing a frame into memory. CubeApp, the tools and the
// tests all go through these.
#pragma once
#include <cstddef>
#include <cstdint>

#include "raster/raster.h"

// The screen the scene draws into, set up by EnterMode.
extern RasterContext sceneRaster;

// Reads the data files, builds the tables made once from them, sets the
// rotation speeds and puts the cube at its start. 0 at the first file that
// cannot be read: LastAssetError() names it. AssetWarnings() lists the files
// that were read but are odd; printing them is the caller's choice.
int32_t LoadScene();

// One line on standard error, "warning: ...", for each odd data file of the
// last load: odd files are used as they are, but never silently.
void ReportAssetWarnings();

// Whether the scene draws at this depth: 8, 16, 24 or 32 bits per pixel.
bool DrawableDepth(int32_t bitsPerPixel);

// The scene's half of a display-mode switch: the projection scale, the 16-bit
// tables at 16 bits per pixel and the screen of sceneRaster. 0, changing
// nothing, for a depth the scene does not draw; 0 too when the scanline
// buffers could not be allocated (nothing is drawn until a later switch
// succeeds).
int32_t EnterMode(int32_t width, int32_t height, int32_t bitsPerPixel);

// What the rasteriser reads, as the scene stands now.
RasterScene SceneInputs();

// Projects the corners and draws the six faces into frameBuffer, a screen of
// the last mode entered. No clear, no text, no turn.
void DrawCube(void* frameBuffer);

// Where the last DrawCube stored pixels: every one of them lies in
// [left, right) x [top, bottom), inside the screen; all zero when it stored
// none.
struct DrawnArea {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};
DrawnArea LastDrawnArea();

// The cube turned by the three rotation speeds: one frame's turn.
void AdvanceRotation();

// The frame-rate text "%u FPS" and where the frame shows it.
constexpr int32_t kFrameRateX = 0;
constexpr int32_t kFrameRateY = 10;
void FrameRateText(uint32_t fps, char* text, size_t size);

// Frees the textures and the scanline buffers.
void FreeSceneMemory();
