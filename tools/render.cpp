// kelvo-render: draws frames of the spinning cube without a window, into the
// in-memory display, and writes them as PNG pictures or raw back buffers.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/display.h"
#include "platform/headless/headless.h"
#include "scene/cube_app.h"
#include "scene/cube_model.h"
#include "scene/tables.h"
#include "tools/arguments.h"
#include "tools/files.h"
#include "tools/frame_image.h"
#include "tools/png_write.h"

namespace {

constexpr const char* kUsage =
    "usage: kelvo-render [--assets DIR] [--mode WxHxBPP] [--shading 0-5] [--frame K]\n"
    "                    [--frames N --out-dir DIR] [--no-text] [--png OUT.png] [--raw OUT.bin]\n"
    "                    [--sheet OUT.png]\n"
    "Renders frame K of the spinning cube (frame 0 is the start orientation) into a back\n"
    "buffer cleared to 0. --sheet draws every shading mode at every depth into one picture.\n";

struct Options {
  std::string assets = KELVO_DATA_DIR;
  int width = 640, height = 480, bpp = 8;
  int shading = 0;
  long frame = 0;
  long frames = 1;
  bool text = true;
  std::string png, raw, outDir, sheet;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "kelvo-render: %s\n", message.c_str());
  return 1;
}

// Returns an empty string when the arguments are good, else what is wrong.
std::string ParseArguments(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--no-text") {
      o->text = false;
      continue;
    }
    if (arg == "--help" || arg == "-h") return "help";
    if (i + 1 >= argc) return "missing value after " + std::string(arg);
    const std::string_view value = argv[++i];
    long n = 0;
    if (arg == "--assets") {
      o->assets = value;
    } else if (arg == "--mode") {
      RequestedMode mode;
      bool badDepth = false;
      if (!ParseDisplayMode(value, 1, &mode, &badDepth)) {
        if (badDepth) return "unsupported depth in '" + std::string(value) + "' (8, 16, 24 or 32)";
        return "bad --mode '" + std::string(value) + "' (want WxHxBPP, sides 1-4095)";
      }
      o->width = mode.width;
      o->height = mode.height;
      o->bpp = mode.bitsPerPixel;
    } else if (arg == "--shading") {
      if (!ParseInt(value, 0, 5, &n)) return "bad --shading '" + std::string(value) + "' (0-5)";
      o->shading = static_cast<int>(n);
    } else if (arg == "--frame") {
      if (!ParseInt(value, 0, 100000000, &o->frame))
        return "bad --frame '" + std::string(value) + "'";
    } else if (arg == "--frames") {
      if (!ParseInt(value, 1, 100000, &o->frames))
        return "bad --frames '" + std::string(value) + "'";
    } else if (arg == "--png") {
      o->png = value;
    } else if (arg == "--raw") {
      o->raw = value;
    } else if (arg == "--out-dir") {
      o->outDir = value;
    } else if (arg == "--sheet") {
      o->sheet = value;
    } else {
      return "unknown argument " + std::string(arg);
    }
  }
  if (o->png.empty() && o->raw.empty() && o->outDir.empty() && o->sheet.empty())
    return "nothing to write: give --png, --raw, --out-dir or --sheet";
  if (o->frames > 1 && o->outDir.empty()) return "--frames needs --out-dir";
  return {};
}

class Renderer {
 public:
  bool Start(const Options& o, std::string* error) {
    headless::Reset();
    if (!CreateDisplayDevice(nullptr)) {
      *error = "cannot create the display";
      return false;
    }
    SetAssetDirectory(o.assets.c_str());
    if (!app_.Init()) {
      *error = std::string("cannot start: ") + LastAssetError();
      return false;
    }
    return true;
  }
  bool SetMode(int width, int height, int bpp, std::string* error) {
    if (!app_.SetMode(width, height, bpp)) {
      *error = "cannot set display mode " + std::to_string(width) + "x" + std::to_string(height) +
               "x" + std::to_string(bpp);
      return false;
    }
    return true;
  }
  // Back to the start orientation, then on by `frame` frames of turning.
  void Orient(long frame) {
    InitCubeModel();
    for (long k = 0; k < frame; ++k) AdvanceRotation();
  }
  // One frame as the program draws it; returns the back buffer's bytes.
  std::vector<uint8_t> Frame(bool text) {
    const plat::DDBLTFX black{sizeof(plat::DDBLTFX), 0};
    backBuffer->Blt(nullptr, nullptr, nullptr, plat::DDBLT_COLORFILL | plat::DDBLT_WAIT, &black);
    plat::DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    if (backBuffer->Lock(nullptr, &desc, plat::DDLOCK_WAIT, nullptr) != plat::DD_OK) return {};
    app_.frameBuffer = desc.lpSurface;
    backBuffer->Unlock(nullptr);
    DrawCube(app_.frameBuffer);
    if (text) DrawFrameRate(app_);
    AdvanceRotation();
    const size_t size = static_cast<size_t>(screenWidth) * static_cast<size_t>(screenHeight) *
                        static_cast<size_t>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
    const auto* bytes = static_cast<const uint8_t*>(app_.frameBuffer);
    return std::vector<uint8_t>(bytes, bytes + size);
  }
  ~Renderer() {
    ReleaseDisplayDevice();
    app_.Shutdown();
  }

 private:
  CubeApp app_;
};

bool WriteRaw(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  return WriteWholeFile(path, bytes.data(), bytes.size(), error);
}

bool WriteFramePng(const std::string& path, const std::vector<uint8_t>& frame, int bpp,
                   std::string* error) {
  const std::vector<uint8_t> rgb = FrameToRgb(frame.data(), screenWidth, screenHeight, bpp, cubePalette);
  return WritePng(path.c_str(), screenWidth, screenHeight, rgb.data(), error);
}

// Every shading mode across, every depth down, with a grey gap between.
bool WriteSheet(Renderer& renderer, const Options& o, std::string* error) {
  constexpr int kGap = 4;
  const int depths[4] = {8, 16, 24, 32};
  const int sheetWidth = 6 * o.width + 7 * kGap;
  const int sheetHeight = 4 * o.height + 5 * kGap;
  std::vector<uint8_t> sheet(static_cast<size_t>(sheetWidth) * sheetHeight * 3, 96);
  for (int row = 0; row < 4; ++row) {
    if (!renderer.SetMode(o.width, o.height, depths[row], error)) return false;
    for (int mode = 0; mode < 6; ++mode) {
      shadingMode = mode;
      renderer.Orient(o.frame);
      const std::vector<uint8_t> frame = renderer.Frame(o.text);
      const std::vector<uint8_t> rgb = FrameToRgb(frame.data(), o.width, o.height, depths[row], cubePalette);
      const int left = kGap + mode * (o.width + kGap);
      const int top = kGap + row * (o.height + kGap);
      for (int y = 0; y < o.height; ++y)
        std::memcpy(&sheet[(static_cast<size_t>(top + y) * sheetWidth + left) * 3],
                    &rgb[static_cast<size_t>(y) * o.width * 3], static_cast<size_t>(o.width) * 3);
    }
  }
  return WritePng(o.sheet.c_str(), sheetWidth, sheetHeight, sheet.data(), error);
}

int Run(const Options& o) {
  std::error_code ec;
  if (!std::filesystem::is_directory(o.assets, ec))
    return Fail("assets folder not found: " + o.assets + (ec ? " (" + ec.message() + ")" : ""));
  Renderer renderer;
  std::string error;
  if (!renderer.Start(o, &error)) return Fail(error);
  if (!o.sheet.empty()) {
    if (!WriteSheet(renderer, o, &error)) return Fail(error);
    if (o.png.empty() && o.raw.empty() && o.outDir.empty()) return 0;
  }
  if (!renderer.SetMode(o.width, o.height, o.bpp, &error)) return Fail(error);
  shadingMode = o.shading;
  renderer.Orient(o.frame);
  if (!o.outDir.empty() && !MakeFolder(o.outDir, &error)) return Fail(error);
  for (long k = 0; k < o.frames; ++k) {
    const std::vector<uint8_t> frame = renderer.Frame(o.text);
    if (frame.empty()) return Fail("cannot lock the back buffer");
    if (k == 0 && !o.raw.empty() && !WriteRaw(o.raw, frame, &error)) return Fail(error);
    if (k == 0 && !o.png.empty() && !WriteFramePng(o.png, frame, o.bpp, &error)) return Fail(error);
    if (!o.outDir.empty()) {
      char name[32];
      std::snprintf(name, sizeof name, "frame_%05ld.png", o.frame + k);
      if (!WriteFramePng(o.outDir + "/" + name, frame, o.bpp, &error)) return Fail(error);
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::string problem = ParseArguments(argc, argv, &options);
  if (problem == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!problem.empty()) {
    std::fprintf(stderr, "kelvo-render: %s (see --help)\n", problem.c_str());
    return 2;
  }
  return Run(options);
}
