// kelvo-render: draws frames of the spinning cube into memory, exactly as the
// program draws them into its back buffer, and writes them as PNG pictures or
// raw back buffers. No window, no display: the scene and the rasteriser
// alone, and the font for the frame-rate text.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/font.h"
#include "scene/cube_model.h"
#include "scene/scene.h"
#include "scene/tables.h"
#include "tools/arguments.h"
#include "tools/files.h"
#include "tools/frame_image.h"
#include "tools/png_write.h"

namespace {

constexpr const char* kUsage =
    "usage: kelvo-render [OPTIONS] --png FILE | --raw FILE | --out-dir DIR | --sheet FILE\n"
    "Draws frames of the spinning cube without a window, into a back buffer cleared to 0.\n"
    "  --assets DIR     read the data files from DIR (default: the build's data folder)\n"
    "  --mode WxHxBPP   display mode: sides 1-4095, depth 8, 16, 24 or 32 (default 640x480x8)\n"
    "  --shading 0-5    none, flat, Gouraud, Phong, transparency, inclined (default 0)\n"
    "  --frame K        frame K, after K steps of turning; 0 is the start (default 0)\n"
    "  --frames N       N frames from K on, written into --out-dir (default 1)\n"
    "  --no-text        leave out the frame-rate text\n"
    "  --png FILE       frame K as a PNG picture\n"
    "  --raw FILE       frame K's back buffer, byte for byte\n"
    "  --out-dir DIR    every frame as DIR/frame_NNNNN.png (DIR is created)\n"
    "  --sheet FILE     every shading mode at every depth in one PNG picture\n"
    "  -h, --help       this text\n"
    "An existing file is replaced only once its new content is complete; a device or a\n"
    "FIFO (/dev/stdout, a named pipe) is written straight into.\n"
    "Exit status: 0 done, 1 could not draw or write, 2 bad command line.\n";

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
std::string ParseArguments(int argc, char** argv, Options* o, bool* help) {
  Arguments args;
  std::string error;
  if (!SplitArguments(argc, argv,
                      {{"--assets", 1}, {"--mode", 1}, {"--shading", 1}, {"--frame", 1},
                       {"--frames", 1}, {"--no-text", 0}, {"--png", 1}, {"--raw", 1},
                       {"--out-dir", 1}, {"--sheet", 1}},
                      0, &args, &error))
    return error;
  *help = args.help();
  if (*help) return {};
  long n = 0;
  if (args.Has("--assets")) o->assets = args.Value("--assets");
  if (args.Has("--mode")) {
    const std::string value(args.Value("--mode"));
    RequestedMode mode;
    bool badDepth = false;
    if (!ParseDisplayMode(value, 1, &mode, &badDepth)) {
      if (badDepth) return "unsupported depth in '" + value + "' (8, 16, 24 or 32)";
      return "bad --mode '" + value + "' (want WxHxBPP, sides 1-4095)";
    }
    o->width = mode.width;
    o->height = mode.height;
    o->bpp = mode.bitsPerPixel;
  }
  if (args.Has("--shading")) {
    if (!ParseInt(args.Value("--shading"), 0, 5, &n))
      return "bad --shading '" + std::string(args.Value("--shading")) + "' (0-5)";
    o->shading = static_cast<int>(n);
  }
  if (args.Has("--frame") && !ParseInt(args.Value("--frame"), 0, 100000000, &o->frame))
    return "bad --frame '" + std::string(args.Value("--frame")) + "' (0-100000000)";
  if (args.Has("--frames") && !ParseInt(args.Value("--frames"), 1, 100000, &o->frames))
    return "bad --frames '" + std::string(args.Value("--frames")) + "' (1-100000)";
  o->text = !args.Has("--no-text");
  o->png = args.Value("--png");
  o->raw = args.Value("--raw");
  o->outDir = args.Value("--out-dir");
  o->sheet = args.Value("--sheet");
  for (const char* flag : {"--assets", "--png", "--raw", "--out-dir", "--sheet"}) {
    if (args.Has(flag) && args.Value(flag).empty()) return std::string("empty name after ") + flag;
  }
  if (o->png.empty() && o->raw.empty() && o->outDir.empty() && o->sheet.empty())
    return "nothing to write: give --png, --raw, --out-dir or --sheet";
  if (o->frames > 1 && o->outDir.empty()) return "--frames needs --out-dir";
  return {};
}

class Renderer {
 public:
  ~Renderer() { FreeSceneMemory(); }
  bool Start(const Options& o, std::string* error) {
    SetAssetDirectory(o.assets.c_str());
    const int32_t loaded = LoadScene();
    ReportAssetWarnings();
    if (!loaded) {
      *error = std::string("cannot start: ") + LastAssetError();
      return false;
    }
    return true;
  }
  bool SetMode(int width, int height, int bpp, std::string* error) {
    if (!EnterMode(width, height, bpp)) {
      *error = "cannot set display mode " + std::to_string(width) + "x" + std::to_string(height) +
               "x" + std::to_string(bpp);
      return false;
    }
    width_ = width;
    height_ = height;
    bpp_ = bpp;
    frame_.assign(static_cast<size_t>(width) * static_cast<size_t>(height) *
                      static_cast<size_t>(bpp / 8),
                  0);
    return true;
  }
  // Back to the start orientation, then on by `frame` frames of turning.
  void Orient(long frame) {
    InitCubeModel();
    for (long k = 0; k < frame; ++k) AdvanceRotation();
  }
  // One frame as the program draws it: clear, cube, text, turn.
  const std::vector<uint8_t>& Frame(bool text) {
    std::fill(frame_.begin(), frame_.end(), uint8_t{0});
    DrawCube(frame_.data());
    if (text) DrawText();
    AdvanceRotation();
    return frame_;
  }

 private:
  // The frame-rate text as the program's frame draws it on its back buffer:
  // white, on a transparent background. A run without a clock shows "0 FPS".
  void DrawText() {
    char text[256];
    FrameRateText(0, text, sizeof text);
    // White as the display stores it; at 8 bits the palette's entry 255,
    // which stays the system's white.
    const uint32_t white = bpp_ == 8 ? 255u : bpp_ == 16 ? 0x7FFFu : 0xFFFFFFu;
    const plat::font::Target target{frame_.data(), width_, height_, bpp_ / 8};
    plat::font::DrawText(target, kFrameRateX, kFrameRateY, text, std::strlen(text), white);
  }
  int width_ = 0, height_ = 0, bpp_ = 8;
  std::vector<uint8_t> frame_;
};

bool WriteRaw(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  return WriteWholeFile(path, bytes.data(), bytes.size(), error);
}

bool WriteFramePng(const std::string& path, const std::vector<uint8_t>& frame, const Options& o,
                   std::string* error) {
  const std::vector<uint8_t> rgb = FrameToRgb(frame.data(), o.width, o.height, o.bpp, cubePalette);
  return WritePng(path.c_str(), o.width, o.height, rgb.data(), error);
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
      const std::vector<uint8_t>& frame = renderer.Frame(o.text);
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
    const std::vector<uint8_t>& frame = renderer.Frame(o.text);
    if (k == 0 && !o.raw.empty() && !WriteRaw(o.raw, frame, &error)) return Fail(error);
    if (k == 0 && !o.png.empty() && !WriteFramePng(o.png, frame, o, &error)) return Fail(error);
    if (!o.outDir.empty()) {
      char name[32];
      std::snprintf(name, sizeof name, "frame_%05ld.png", o.frame + k);
      if (!WriteFramePng(o.outDir + "/" + name, frame, o, &error)) return Fail(error);
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return GuardedMain("kelvo-render", [&] {
    Options options;
    bool help = false;
    const std::string problem = ParseArguments(argc, argv, &options, &help);
    if (help) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (!problem.empty()) {
      std::fprintf(stderr, "kelvo-render: %s (see --help)\n", problem.c_str());
      return 2;
    }
    return Run(options);
  });
}
