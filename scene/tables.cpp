#include "scene/tables.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "scene/numeric.h"

uint8_t cubePalette[256 * 3];
uint8_t shadeTable8[256 * 256];
uint8_t blendTable8[256 * 256];
uint8_t lightMap[256 * 256];
uint16_t palette16[256];
uint16_t shadeRamp16[256 * 256];
uint8_t blendLow16[256 * 256];
uint16_t blendHigh16[256 * 256];
uint32_t palette32[256];
uint32_t shadeRamp32[256 * 256];
uint8_t* textures[6];

int32_t* leftX;
int32_t* rightX;
int32_t* leftShade;
int32_t* rightShade;
int8_t* leftAzimuth;
int8_t* rightAzimuth;
int8_t* leftPolar;
int8_t* rightPolar;
int32_t* inclineStep;
int32_t* inclineOffset;
int32_t scanlineEntries;

int32_t shadingMode;
int32_t pixelFormat;
double rotationSpeedX;
double rotationSpeedY;
double rotationSpeedZ;
uint8_t* frame8;
uint16_t* frame16;
uint8_t* frame24;
uint32_t* frame32;

namespace {

std::string assetDirectory;
std::string lastError;

std::string AssetPath(const char* name) {
  if (assetDirectory.empty()) return name;
  return assetDirectory + "/" + name;
}

void RecordError(const char* name, const char* reason) {
  lastError = std::string(name) + ": " + reason;
}

// Opens a data file for reading; null, with the reason recorded, when it
// cannot be opened.
std::FILE* OpenDataFile(const char* name) {
  const std::string path = AssetPath(name);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) RecordError(path.c_str(), std::strerror(errno));
  return file;
}

// Reads up to size bytes from offset and closes the file; whatever the file
// lacks stays zero, so a short file never leaves stale data behind.
void ReadAndClose(std::FILE* file, long offset, uint8_t* out, size_t size) {
  size_t got = 0;
  if (std::fseek(file, offset, SEEK_SET) == 0) got = std::fread(out, 1, size, file);
  std::fclose(file);
  std::memset(out + got, 0, size - got);
}

int32_t ReadDataFile(const char* name, uint8_t* out, size_t size) {
  std::FILE* file = OpenDataFile(name);
  if (!file) return 0;
  ReadAndClose(file, 0, out, size);
  return 1;
}

// The colour of palette entry i.
int32_t Red(int i) { return cubePalette[3 * i]; }
int32_t Green(int i) { return cubePalette[3 * i + 1]; }
int32_t Blue(int i) { return cubePalette[3 * i + 2]; }

int32_t ScaleComponent(int32_t c, int32_t level) { return std::min(255, c * level / 200); }

template <typename T>
void FreeBlock(T*& block) {
  std::free(block);
  block = nullptr;
}

template <typename T>
bool AllocateBlock(T*& block, size_t entries) {
  FreeBlock(block);
  block = static_cast<T*>(std::calloc(entries, sizeof(T)));
  return block != nullptr;
}

void FreeScanlineBuffers() {
  FreeBlock(leftX);
  FreeBlock(rightX);
  FreeBlock(leftShade);
  FreeBlock(rightShade);
  FreeBlock(leftAzimuth);
  FreeBlock(rightAzimuth);
  FreeBlock(leftPolar);
  FreeBlock(rightPolar);
  FreeBlock(inclineStep);
  FreeBlock(inclineOffset);
  scanlineEntries = 0;
}

}  // namespace

int32_t PackRGB555(int32_t r, int32_t g, int32_t b) {
  return ((r & 0xF8) << 7) + ((g & ~7) << 2) + (b >> 3);
}

void UnpackRGB555(int32_t c, uint8_t* r, uint8_t* g, uint8_t* b) {
  *r = static_cast<uint8_t>((c >> 7) & 0xF8);
  *g = static_cast<uint8_t>((c >> 2) & 0xF8);
  *b = static_cast<uint8_t>(static_cast<uint32_t>(c) << 3);
}

void SetAssetDirectory(const char* dir) { assetDirectory = dir ? dir : ""; }

const char* LastAssetError() { return lastError.c_str(); }

int32_t LoadPalette() { return ReadDataFile("CUBE.PAL", cubePalette, sizeof cubePalette); }

int32_t LoadShadeTable() { return ReadDataFile("PALTBL1.DAT", shadeTable8, sizeof shadeTable8); }

int32_t LoadBlendTable() { return ReadDataFile("PALTBL2.DAT", blendTable8, sizeof blendTable8); }

int32_t LoadTextures() {
  for (int n = 1; n <= 6; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "T%d.BMP", n);
    std::FILE* file = OpenDataFile(name);
    if (!file) return 0;
    if (!AllocateBlock(textures[n - 1], kTextureBytes)) {
      std::fclose(file);
      RecordError(AssetPath(name).c_str(), "out of memory for the texture");
      return 0;
    }
    ReadAndClose(file, kTextureFileOffset, textures[n - 1], kTextureBytes);
  }
  return 1;
}

void BuildLightMap() {
  for (int a = -128; a < 128; ++a) {
    const double angle = a * 0.02454296875;
    const double s = std::sin(angle);
    const double c = std::cos(angle);
    for (int i = -128; i < 128; ++i) {
      const double t = std::cos(i * 0.012271484375);
      const double d = (-0.25 * c * t) - (-0.96 * s * t);
      const int32_t level = TruncToInt32(std::pow((1 - d) * 0.5, 10) * 256);
      lightMap[(a + 128) * 256 + (i + 128)] = static_cast<uint8_t>(level & 0xFF);
    }
  }
}

void BuildTrueColourTables() {
  for (int i = 0; i < 256; ++i)
    palette32[i] = static_cast<uint32_t>((Red(i) << 16) | (Green(i) << 8) | Blue(i));
  for (int level = 0; level < 256; ++level) {
    for (int i = 0; i < 256; ++i) {
      const int32_t r = ScaleComponent(Red(i), level);
      const int32_t g = ScaleComponent(Green(i), level);
      const int32_t b = ScaleComponent(Blue(i), level);
      shadeRamp32[level * 256 + i] = static_cast<uint32_t>((r << 16) | (g << 8) | b);
    }
  }
}

void Build16BitTables() {
  for (int i = 0; i < 256; ++i)
    palette16[i] = static_cast<uint16_t>(PackRGB555(Red(i), Green(i), Blue(i)));
  for (int level = 0; level < 256; ++level)
    for (int i = 0; i < 256; ++i)
      shadeRamp16[level * 256 + i] = static_cast<uint16_t>(
          PackRGB555(ScaleComponent(Red(i), level), ScaleComponent(Green(i), level),
                     ScaleComponent(Blue(i), level)));
  // The background's two bytes are blended separately: the low byte holds
  // blue and the low green bits, the high byte red and the high green bits.
  for (int t = 0; t < 256; ++t) {
    blendLow16[t] = 0;
    blendHigh16[t] = palette16[t];
  }
  for (int part = 1; part < 256; ++part) {
    uint8_t lr, lg, lb, hr, hg, hb;
    UnpackRGB555(part, &lr, &lg, &lb);
    UnpackRGB555(part << 8, &hr, &hg, &hb);
    for (int t = 0; t < 256; ++t) {
      const int32_t low =
          PackRGB555((Red(t) + lr) / 2, (Green(t) + lg) / 2, (Blue(t) + lb) / 2);
      const int32_t high =
          PackRGB555((Red(t) + hr) / 2, (Green(t) + hg) / 2, (Blue(t) + hb) / 2);
      blendLow16[part * 256 + t] = static_cast<uint8_t>(low & 0xFF);
      blendHigh16[part * 256 + t] = static_cast<uint16_t>(high & ~0x7F);
    }
  }
}

int32_t AllocateScanlineBuffers(int32_t width, int32_t height) {
  const size_t n = static_cast<size_t>(std::max({width, height, 0}));
  FreeScanlineBuffers();
  bool ok = n > 0;
  ok = AllocateBlock(leftX, n) && ok;
  ok = AllocateBlock(rightX, n) && ok;
  ok = AllocateBlock(leftShade, n) && ok;
  ok = AllocateBlock(rightShade, n) && ok;
  ok = AllocateBlock(leftAzimuth, n) && ok;
  ok = AllocateBlock(rightAzimuth, n) && ok;
  ok = AllocateBlock(leftPolar, n) && ok;
  ok = AllocateBlock(rightPolar, n) && ok;
  ok = AllocateBlock(inclineStep, n) && ok;
  ok = AllocateBlock(inclineOffset, n) && ok;
  scanlineEntries = ok ? static_cast<int32_t>(n) : 0;
  return ok;
}

void FreeSceneMemory() {
  for (uint8_t*& texture : textures) FreeBlock(texture);
  FreeScanlineBuffers();
}
