#include "scene/tables.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "raster/numeric.h"
#include "scene/data_files.h"
#include "scene/exact_math.h"

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

int32_t shadingMode;
double rotationSpeedX;
double rotationSpeedY;
double rotationSpeedZ;

namespace {

std::string assetDirectory;
std::vector<std::string> assetFolders;  // to choose assetDirectory from
std::string lastError;
DataFileOpener dataFileOpener = nullptr;

// What the latest load of each file found odd: the three table files, then
// the six textures; empty when nothing was.
enum WarningSlot { kPaletteSlot, kShadeSlot, kBlendSlot, kFirstTextureSlot };
std::string warnings[kFirstTextureSlot + 6];

std::string AssetPath(const char* name) {
  if (assetDirectory.empty()) return name;
  return assetDirectory + "/" + name;
}

void RecordError(const std::string& path, const std::string& reason) {
  lastError = path + ": " + reason;
}

// Opens a data file for reading; null, with the reason recorded, when it
// cannot be opened or is not a plain file.
std::FILE* OpenDataFile(const std::string& path) {
  std::string reason;
  std::FILE* file = dataFileOpener ? dataFileOpener(path, &reason) : OpenRegularFile(path, &reason);
  if (!file) RecordError(path, reason);
  return file;
}

// Reads up to size bytes and returns how many there were; whatever the file
// lacks is zeroed, so a short file never leaves stale data behind.
size_t ReadUpTo(std::FILE* file, uint8_t* out, size_t size, bool* failed) {
  const size_t got = std::min(std::fread(out, 1, size, file), size);
  if (got < size && std::ferror(file)) *failed = true;
  std::fill(out + got, out + size, uint8_t{0});
  return got;
}

// "10 of 768 bytes; the rest of the palette is black".
std::string ShortFileText(uint64_t got, uint64_t wanted, bool failed, bool noneUsed,
                          const char* what) {
  return (failed ? "read failed after " : "") + GroupDigits(got) + " of " + GroupDigits(wanted) +
         " bytes; " + (noneUsed ? "the " : "the rest of the ") + what + " is black";
}

int32_t ReadDataFile(const char* name, uint8_t* out, size_t size, WarningSlot slot,
                     const char* what) {
  warnings[slot].clear();
  const std::string path = AssetPath(name);
  std::FILE* file = OpenDataFile(path);
  if (!file) return 0;
  bool failed = false;
  const size_t got = ReadUpTo(file, out, size, &failed);
  std::fclose(file);
  if (got < size) warnings[slot] = path + ": " + ShortFileText(got, size, failed, got == 0, what);
  return 1;
}

// Reads a texture as the design does -- the pixels from byte 1078 on, no
// header field used -- and returns what is odd about the file, if anything.
std::string ReadTexture(std::FILE* file, const std::string& path, uint8_t* texels) {
  uint8_t head[kTextureFileOffset];
  bool failed = false;
  const size_t headSize = ReadUpTo(file, head, sizeof head, &failed);
  size_t pixels = 0;
  if (failed)
    std::memset(texels, 0, kTextureBytes);
  else
    pixels = ReadUpTo(file, texels, kTextureBytes, &failed);
  std::string problem = TextureHeaderProblem(head, headSize);
  const uint64_t wanted = kTextureFileOffset + kTextureBytes;
  const uint64_t got = headSize + pixels;
  if (got < wanted) {
    const std::string shortFile = ShortFileText(got, wanted, failed, pixels == 0, "texture");
    problem = problem.empty() ? shortFile : problem + " (the file has " + shortFile + ")";
  }
  return problem.empty() ? problem : path + ": " + problem;
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

}  // namespace

int32_t PackRGB555(int32_t r, int32_t g, int32_t b) {
  return ((r & 0xF8) << 7) + ((g & ~7) << 2) + (b >> 3);
}

void UnpackRGB555(int32_t c, uint8_t* r, uint8_t* g, uint8_t* b) {
  *r = static_cast<uint8_t>((c >> 7) & 0xF8);
  *g = static_cast<uint8_t>((c >> 2) & 0xF8);
  *b = static_cast<uint8_t>(static_cast<uint32_t>(c) << 3);
}

void SetAssetDirectory(const char* dir) {
  assetDirectory = dir ? dir : "";
  assetFolders.clear();
}

void SetAssetFolders(const std::vector<std::string>& folders) {
  assetDirectory.clear();
  assetFolders = folders;
}

int32_t ChooseAssetFolder() {
  if (assetFolders.empty()) return 1;
  std::string places;
  for (size_t i = 0; i < assetFolders.size(); ++i) {
    const std::string& folder = assetFolders[i];
    // Anything by that name will do: a folder that holds a broken palette
    // is the one its user meant, and the load then says what is wrong.
    std::error_code error;
    const std::filesystem::path palette = std::filesystem::path(folder) / "CUBE.PAL";
    if (std::filesystem::exists(std::filesystem::symlink_status(palette, error))) {
      assetDirectory = folder;
      return 1;
    }
    if (i > 0) places += i + 1 == assetFolders.size() ? " or " : ", ";
    places += folder.empty()
                  ? "the current directory (" + std::filesystem::current_path(error).string() + ")"
                  : folder;
  }
  lastError = "CUBE.PAL: not found in " + places;
  return 0;
}

const std::string& AssetDirectory() { return assetDirectory; }

const char* LastAssetError() { return lastError.c_str(); }

void SetDataFileOpener(DataFileOpener opener) { dataFileOpener = opener; }

std::vector<std::string> AssetWarnings() {
  std::vector<std::string> lines;
  for (const std::string& line : warnings)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

void ClearAssetWarnings() {
  for (std::string& line : warnings) line.clear();
}

int32_t LoadPalette() {
  return ReadDataFile("CUBE.PAL", cubePalette, sizeof cubePalette, kPaletteSlot, "palette");
}

int32_t LoadShadeTable() {
  return ReadDataFile("PALTBL1.DAT", shadeTable8, sizeof shadeTable8, kShadeSlot,
                      "8-bit shading table");
}

int32_t LoadBlendTable() {
  return ReadDataFile("PALTBL2.DAT", blendTable8, sizeof blendTable8, kBlendSlot,
                      "8-bit blending table");
}

int32_t LoadTextures() {
  for (int n = 0; n < 6; ++n) warnings[kFirstTextureSlot + n].clear();
  for (int n = 1; n <= 6; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "T%d.BMP", n);
    const std::string path = AssetPath(name);
    std::FILE* file = OpenDataFile(path);
    if (!file) return 0;
    if (!AllocateBlock(textures[n - 1], kTextureBytes)) {
      std::fclose(file);
      RecordError(path, "out of memory for the texture");
      return 0;
    }
    warnings[kFirstTextureSlot + n - 1] = ReadTexture(file, path, textures[n - 1]);
    std::fclose(file);
  }
  return 1;
}

void BuildLightMap() {
  for (int a = -128; a < 128; ++a) {
    const double angle = a * 0.02454296875;
    const double s = Sin(angle);
    const double c = Cos(angle);
    for (int i = -128; i < 128; ++i) {
      const double t = Cos(i * 0.012271484375);
      const double d = (-0.25 * c * t) - (-0.96 * s * t);
      const int32_t level = TruncToInt32(IntPower((1 - d) * 0.5, 10) * 256);
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
      const int32_t low = PackRGB555((Red(t) + lr) / 2, (Green(t) + lg) / 2, (Blue(t) + lb) / 2);
      const int32_t high = PackRGB555((Red(t) + hr) / 2, (Green(t) + hg) / 2, (Blue(t) + hb) / 2);
      blendLow16[part * 256 + t] = static_cast<uint8_t>(low & 0xFF);
      blendHigh16[part * 256 + t] = static_cast<uint16_t>(high & ~0x7F);
    }
  }
}

void FreeTextures() {
  for (uint8_t*& texture : textures) FreeBlock(texture);
}
