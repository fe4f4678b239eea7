// The palette, the colour tables derived from it and the textures, plus the
// scene's interactive state: what the rasteriser is handed to draw from.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "raster/raster.h"  // ShadingMode, PixelFormat

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

extern int32_t shadingMode;
extern double rotationSpeedX;
extern double rotationSpeedY;
extern double rotationSpeedZ;

int32_t PackRGB555(int32_t r, int32_t g, int32_t b);
void UnpackRGB555(int32_t c, uint8_t* r, uint8_t* g, uint8_t* b);

// Folder the data files are read from; empty means the current directory.
void SetAssetDirectory(const char* dir);
// Or several to look in ("" the current directory): LoadScene reads every
// file from the first that holds a CUBE.PAL (ChooseAssetFolder).
void SetAssetFolders(const std::vector<std::string>& folders);
// Picks that folder; 0 when none holds a CUBE.PAL, with LastAssetError()
// naming every folder looked in. 1 at once after SetAssetDirectory.
int32_t ChooseAssetFolder();
// The folder the files are read from ("" the current directory).
const std::string& AssetDirectory();
// One line naming the file and the reason after a load failed.
const char* LastAssetError();
// One line for each data file that was read but is not what the cube
// expects: shorter than what is read, or a texture whose header describes
// another picture. From the latest load of each file, in loading order.
std::vector<std::string> AssetWarnings();
void ClearAssetWarnings();
// How the loaders open a data file by its path: OpenRegularFile (data_files.h)
// unless replaced, as the fuzzing harness does to hand them bytes from
// memory; null puts it back.
using DataFileOpener = std::FILE* (*)(const std::string& path, std::string* reason);
void SetDataFileOpener(DataFileOpener opener);

// Each returns 0 and records LastAssetError() when the file cannot be opened
// or is not a regular file. A short file leaves the unread rest zero.
int32_t LoadPalette();
int32_t LoadShadeTable();
int32_t LoadBlendTable();
int32_t LoadTextures();

void BuildLightMap();
void BuildTrueColourTables();
void Build16BitTables();

void FreeTextures();
