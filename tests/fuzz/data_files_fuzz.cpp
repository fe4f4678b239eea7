// The data-file loader as the program runs it, with one file replaced by the
// input, then the scene drawn with what it loaded in every shading mode.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/fuzz_targets.h"
#include "platform/threads.h"
#include "scene/scene.h"
#include "scene/tables.h"

namespace {

struct DataFile {
  const char* name;
  uint8_t* loaded;  // where the loader puts it; null for the textures
  size_t wanted;    // what the loader reads
};
const DataFile kFiles[] = {{"CUBE.PAL", cubePalette, sizeof cubePalette},
                           {"PALTBL1.DAT", shadeTable8, sizeof shadeTable8},
                           {"PALTBL2.DAT", blendTable8, sizeof blendTable8},
                           {"T1.BMP", nullptr, kTextureFileOffset + kTextureBytes},
                           {"T2.BMP", nullptr, kTextureFileOffset + kTextureBytes},
                           {"T3.BMP", nullptr, kTextureFileOffset + kTextureBytes},
                           {"T4.BMP", nullptr, kTextureFileOffset + kTextureBytes},
                           {"T5.BMP", nullptr, kTextureFileOffset + kTextureBytes},
                           {"T6.BMP", nullptr, kTextureFileOffset + kTextureBytes}};
constexpr size_t kFileCount = std::size(kFiles);
constexpr char kFolder[] = "fuzz";

// The files the build generated, read once.
std::vector<uint8_t> generated[kFileCount];

// The one being fuzzed, for the opener below.
struct Replacement {
  size_t file = 0;
  bool missing = false;
  const uint8_t* data = nullptr;
  size_t size = 0;
} replacement;

std::FILE* OpenFromMemory(const std::string& path, std::string* reason) {
  const std::string name = path.substr(path.rfind('/') + 1);
  for (size_t i = 0; i < kFileCount; ++i) {
    if (name != kFiles[i].name) continue;
    if (i != replacement.file) return fmemopen(generated[i].data(), generated[i].size(), "rb");
    if (replacement.missing) break;
    // fmemopen wants a buffer even for no bytes.
    static uint8_t none[1];
    return fmemopen(replacement.size ? const_cast<uint8_t*>(replacement.data) : none,
                    replacement.size, "rb");
  }
  *reason = "No such file or directory";
  return nullptr;
}

void ReadGenerated() {
  for (size_t i = 0; i < kFileCount; ++i) {
    std::ifstream in(std::string(KELVO_DATA_DIR) + "/" + kFiles[i].name, std::ios::binary);
    generated[i].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    fuzz::Require(generated[i].size() == kFiles[i].wanted, "the build's data files are missing");
  }
}

// What the loader holds of file i: the file's first bytes (a texture's from
// its pixels on), zero where the file ends.
void RequireLoaded(size_t i, const uint8_t* data, size_t size) {
  const size_t skip = kFiles[i].loaded ? 0 : static_cast<size_t>(kTextureFileOffset);
  const uint8_t* loaded = kFiles[i].loaded ? kFiles[i].loaded : textures[i - 3];
  const size_t length = kFiles[i].wanted - skip;
  const size_t given = size > skip ? std::min(size - skip, length) : 0;
  fuzz::Require(std::memcmp(loaded, data + skip, given) == 0, "the file's bytes were not loaded");
  fuzz::Require(std::all_of(loaded + given, loaded + length, [](uint8_t b) { return b == 0; }),
                "what the file lacks is not black");
}

void RequireWarnings(size_t i, const uint8_t* data, size_t size) {
  const std::string prefix = std::string(kFolder) + "/" + kFiles[i].name + ": ";
  bool named = false;
  for (const std::string& line : AssetWarnings()) {
    fuzz::Require(line.rfind(prefix, 0) == 0, "a warning about a file that is good");
    fuzz::Require(fuzz::OneLine(line), "a warning of more than one line");
    named = true;
  }
  if (size < kFiles[i].wanted) fuzz::Require(named, "a short file without a warning");
  const bool generatedOne =
      size == generated[i].size() && std::equal(data, data + size, generated[i].begin());
  if (generatedOne) fuzz::Require(!named, "a warning about the generated file");
}

// Every shading mode at 8 bits, where the loaded bytes index the tables, on
// a screen held exactly by the frame.
void Draw() {
  constexpr int32_t kWidth = 64, kHeight = 48;
  std::vector<uint8_t> frame(size_t{kWidth} * kHeight);
  for (int32_t mode = 0; mode < 6; ++mode) {
    shadingMode = mode;
    DrawCube(frame.data());
    const DrawnArea a = LastDrawnArea();
    fuzz::Require(a.left >= 0 && a.top >= 0 && a.right <= kWidth && a.bottom <= kHeight,
                  "the drawn area leaves the screen");
  }
  shadingMode = 0;
}

// The scene loaded whole once, from the generated files: what the files
// do not change (the light map, the model) is made here.
bool Prepare() {
  ReadGenerated();
  plat::SetThreadCount(1);
  replacement = {};
  SetAssetDirectory(kFolder);
  SetDataFileOpener(OpenFromMemory);
  const bool loaded = LoadScene() == 1 && EnterMode(64, 48, 8) == 1;
  SetDataFileOpener(nullptr);
  SetAssetDirectory("");
  return loaded;
}

}  // namespace

int fuzz::DataFiles(const uint8_t* data, size_t size) {
  static const bool ready = Prepare();
  Require(ready, "the generated data files do not load");
  if (size == 0) return 0;
  replacement = {data[0] % kFileCount, (data[0] & 0x80) != 0, data + 1, size - 1};
  const size_t i = replacement.file;
  // The files as LoadScene reads them, in its order; the tables it builds
  // from the palette stay as they were, their sizes fixed whatever it holds.
  SetAssetDirectory(kFolder);
  SetDataFileOpener(OpenFromMemory);
  ClearAssetWarnings();
  const bool loaded = LoadPalette() && LoadShadeTable() && LoadBlendTable() && LoadTextures();
  SetDataFileOpener(nullptr);
  SetAssetDirectory("");
  if (replacement.missing) {
    Require(!loaded, "started without a data file");
    const std::string error = LastAssetError();
    Require(error.rfind(std::string(kFolder) + "/" + kFiles[i].name + ": ", 0) == 0,
            "the failure does not name the missing file");
    Require(OneLine(error), "the failure takes more than one line");
    return 0;
  }
  Require(loaded, "a file that exists was not loaded");
  RequireLoaded(i, replacement.data, replacement.size);
  RequireWarnings(i, replacement.data, replacement.size);
  Draw();
  return 0;
}
