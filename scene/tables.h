// The palette, the colour tables derived from it, the textures and the
// per-scanline work arrays, plus the scene state the rasteriser reads.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum ShadingMode : int32_t {
  kNoShading = 0,
  kFlatShading = 1,
  kGouraudShading = 2,
  kPhongShading = 3,
  kTransparency = 4,
  kInclinedMapping = 5,
};

enum PixelFormat : int32_t { kPixel8 = 0, kPixel16 = 1, kPixel24 = 2, kPixel32 = 3 };

constexpr int kTextureSize = 128;
constexpr int kTextureBytes = kTextureSize * kTextureSize;
constexpr long kTextureFileOffset = 1078;

// Two-dimensional tables are stored row after row, 256 entries a row.
extern uint8_t cubePalette[256 * 3];
extern uint8_t shadeTable8[256 * 256];
extern uint8_t blendTable8[256 * 256];
extern uint8_t lightMap[256 * 256];
extern uint16_t palette16[256];
extern uint16_t shadeRamp16[256 * 256];
extern uint8_t blendLow16[256 * 256];
extern uint16_t blendHigh16[256 * 256];
extern uint32_t palette32[256];
extern uint32_t shadeRamp32[256 * 256];
extern uint8_t* textures[6];

// The ten scanline buffers, each of scanlineEntries entries.
extern int32_t* leftX;
extern int32_t* rightX;
extern int32_t* leftShade;
extern int32_t* rightShade;
extern int8_t* leftAzimuth;
extern int8_t* rightAzimuth;
extern int8_t* leftPolar;
extern int8_t* rightPolar;
extern int32_t* inclineStep;
extern int32_t* inclineOffset;
// Entries each buffer holds: max(screenWidth, screenHeight) of the mode they
// were made for, so modes higher than wide fit too. 0 while any is missing.
extern int32_t scanlineEntries;

extern int32_t shadingMode;
extern int32_t pixelFormat;
extern double rotationSpeedX;
extern double rotationSpeedY;
extern double rotationSpeedZ;
extern uint8_t* frame8;
extern uint16_t* frame16;
extern uint8_t* frame24;
extern uint32_t* frame32;

int32_t PackRGB555(int32_t r, int32_t g, int32_t b);
void UnpackRGB555(int32_t c, uint8_t* r, uint8_t* g, uint8_t* b);

// Folder the data files are read from; empty means the current directory.
void SetAssetDirectory(const char* dir);
// One line naming the file and the reason after a load failed.
const char* LastAssetError();
// One line for each data file that was read but is not what the cube
// expects: shorter than what is read, or a texture whose header describes
// another picture. From the latest load of each file, in loading order.
std::vector<std::string> AssetWarnings();
void ClearAssetWarnings();

// Each returns 0 and records LastAssetError() when the file cannot be opened
// or is not a regular file. A short file leaves the unread rest zero.
int32_t LoadPalette();
int32_t LoadShadeTable();
int32_t LoadBlendTable();
int32_t LoadTextures();

void BuildLightMap();
void BuildTrueColourTables();
void Build16BitTables();

// Frees and re-allocates the ten buffers for a width x height mode; 0 when any
// allocation failed (the others stay allocated).
int32_t AllocateScanlineBuffers(int32_t width, int32_t height);
void FreeSceneMemory();
