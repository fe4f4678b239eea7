// kelvo-render: draws frames of the spinning cube into memory, exactly as the
// program draws them into its back buffer, and writes them as raw back
// buffers or PNG pictures. No window, no display: the scene and the
// rasteriser alone, and the font for the frame-rate text.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/font.h"
#include "platform/threads.h"
#include "scene/cube_model.h"
#include "scene/data_folder.h"
#include "scene/scene.h"
#include "scene/tables.h"
#include "tools/arguments.h"
#include "tools/files.h"
#include "tools/frame_image.h"
#include "tools/png_write.h"
#include "tools/render_options.h"

namespace {

constexpr const char* kUsage =
    "Usage: kelvo-render [OPTIONS] --png FILE | --raw FILE | --out-dir DIR | --sheet FILE\n"
    "Draws frames of the spinning cube without a window, into a back buffer cleared to 0.\n"
    "  --assets DIR       read the data files from DIR (default: the current directory\n"
    "                     if it holds CUBE.PAL, else the build's or install's data)\n"
    "  --mode WxHxBPP,... display modes: sides 1-4095, depth 8, 16, 24 or 32\n"
    "                     (default 640x480x8)\n"
    "  --shading S,...    shading modes 0-5: none, flat, Gouraud, Phong, transparency,\n"
    "                     inclined (default 0)\n"
    "  --frame K,...      frame K, after K steps of turning; 0 is the start (default 0)\n"
    "  --frames N         N frames from each K on, written into --out-dir (default 1)\n"
    "  --no-text          leave out the frame-rate text\n"
    "  --threads N        draw with N threads, 1-64 (default: KELVO_THREADS, else every\n"
    "                     core); the frames are the same for any count\n"
    "  --png FILE         frame K as a PNG picture\n"
    "  --raw FILE         frame K's back buffer, byte for byte\n"
    "  --out-dir DIR      every frame into DIR (DIR is created) as frame_NNNNN.png; with\n"
    "                     several modes or shading modes as WxHxBPP_sS_frame_NNNNN.png\n"
    "  --format png|raw   what --out-dir holds: PNG pictures, or back buffers byte for\n"
    "                     byte as .raw files (default png)\n"
    "  --sheet FILE       every shading mode at every depth in one PNG picture\n"
    "  -h, --help         this text\n"
    "--png, --raw and --sheet take one mode, shading mode and K; lists go with --out-dir.\n"
    "An existing file is replaced only once its new content is complete; a device or a\n"
    "FIFO (/dev/stdout, a named pipe) is written straight into.\n"
    "Exit status: 0 done, 1 could not draw or write, 2 bad command line.\n";

using render::Mode;
using render::Options;

int Fail(const std::string& message) {
  std::fprintf(stderr, "kelvo-render: %s\n", message.c_str());
  return 1;
}

// The frame-rate text as the program's frame draws it on its back buffer:
// white, on a transparent background. A run without a clock shows "0 FPS".
void DrawText(std::vector<uint8_t>& frame, const Mode& mode) {
  char text[256];
  FrameRateText(0, text, sizeof text);
  // White as the display stores it; at 8 bits the palette's entry 255, which
  // stays the system's white.
  const uint32_t white = mode.bpp == 8 ? 255u : mode.bpp == 16 ? 0x7FFFu : 0xFFFFFFu;
  const plat::font::Target target{frame.data(), mode.width, mode.height, mode.bpp / 8};
  plat::font::DrawText(target, kFrameRateX, kFrameRateY, text, std::strlen(text), white);
}

class Renderer {
 public:
  ~Renderer() { FreeSceneMemory(); }
  bool Start(const Options& o, std::string* error) {
    UseDataFolder(o.assets);
    const int32_t loaded = LoadScene();
    ReportAssetWarnings();
    if (!loaded) {
      *error = std::string("cannot start: ") + LastAssetError();
      return false;
    }
    return true;
  }
  bool SetMode(const Mode& mode, std::string* error) {
    if (!EnterMode(mode.width, mode.height, mode.bpp)) {
      *error = "cannot set display mode " + std::to_string(mode.width) + "x" +
               std::to_string(mode.height) + "x" + std::to_string(mode.bpp);
      return false;
    }
    mode_ = mode;
    frame_.assign(static_cast<size_t>(mode.width) * static_cast<size_t>(mode.height) *
                      static_cast<size_t>(mode.bpp / 8),
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
    if (text) DrawText(frame_, mode_);
    AdvanceRotation();
    return frame_;
  }

 private:
  Mode mode_{};
  std::vector<uint8_t> frame_;
};

bool WriteRaw(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  return WriteWholeFile(path, bytes.data(), bytes.size(), error);
}

bool WriteFramePng(const std::string& path, const std::vector<uint8_t>& frame, const Mode& mode,
                   std::string* error) {
  const std::vector<uint8_t> rgb =
      FrameToRgb(frame.data(), mode.width, mode.height, mode.bpp, cubePalette);
  return WritePng(path.c_str(), mode.width, mode.height, rgb.data(), error);
}

// Every shading mode across, every depth down, with a grey gap between.
bool WriteSheet(Renderer& renderer, const Options& o, std::string* error) {
  constexpr int kGap = 4;
  const int width = o.modes[0].width, height = o.modes[0].height;
  const int depths[4] = {8, 16, 24, 32};
  const int sheetWidth = 6 * width + 7 * kGap;
  const int sheetHeight = 4 * height + 5 * kGap;
  std::vector<uint8_t> sheet(static_cast<size_t>(sheetWidth) * sheetHeight * 3, 96);
  for (int row = 0; row < 4; ++row) {
    const Mode mode{width, height, depths[row]};
    if (!renderer.SetMode(mode, error)) return false;
    for (int shading = 0; shading < 6; ++shading) {
      shadingMode = shading;
      renderer.Orient(o.starts[0]);
      const std::vector<uint8_t>& frame = renderer.Frame(o.text);
      const std::vector<uint8_t> rgb =
          FrameToRgb(frame.data(), width, height, mode.bpp, cubePalette);
      const int left = kGap + shading * (width + kGap);
      const int top = kGap + row * (height + kGap);
      for (int y = 0; y < height; ++y)
        std::memcpy(&sheet[(static_cast<size_t>(top + y) * sheetWidth + left) * 3],
                    &rgb[static_cast<size_t>(y) * width * 3], static_cast<size_t>(width) * 3);
    }
  }
  return WritePng(o.sheet.c_str(), sheetWidth, sheetHeight, sheet.data(), error);
}

// DIR/frame_NNNNN.EXT, or with lists DIR/WxHxBPP_sS_frame_NNNNN.EXT.
std::string FramePath(const Options& o, const Mode& mode, int shading, long frame) {
  char name[96];
  const char* ext = o.rawFrames ? "raw" : "png";
  if (o.modes.size() > 1 || o.shadings.size() > 1) {
    std::snprintf(name, sizeof name, "%dx%dx%d_s%d_frame_%05ld.%s", mode.width, mode.height,
                  mode.bpp, shading, frame, ext);
  } else {
    std::snprintf(name, sizeof name, "frame_%05ld.%s", frame, ext);
  }
  return o.outDir + "/" + name;
}

bool WriteFrame(const std::string& path, const std::vector<uint8_t>& frame, const Mode& mode,
                bool raw, std::string* error) {
  if (raw) return WriteRaw(path, frame, error);
  return WriteFramePng(path, frame, mode, error);
}

int Run(const Options& o) {
  std::error_code ec;
  if (!o.assets.empty() && !std::filesystem::is_directory(o.assets, ec))
    return Fail("assets folder not found: " + o.assets + (ec ? " (" + ec.message() + ")" : ""));
  plat::SetThreadCount(o.threads > 0 ? o.threads : plat::ThreadsFromEnvironment("kelvo-render"));
  Renderer renderer;
  std::string error;
  if (!renderer.Start(o, &error)) return Fail(error);
  if (!o.sheet.empty()) {
    if (!WriteSheet(renderer, o, &error)) return Fail(error);
    if (o.png.empty() && o.raw.empty() && o.outDir.empty()) return 0;
  }
  bool folderMade = false;
  for (const Mode& mode : o.modes) {
    if (!renderer.SetMode(mode, &error)) return Fail(error);
    for (const int shading : o.shadings) {
      shadingMode = shading;
      for (const long start : o.starts) {
        renderer.Orient(start);
        if (!o.outDir.empty() && !folderMade) {
          if (!MakeFolder(o.outDir, &error)) return Fail(error);
          folderMade = true;
        }
        for (long k = 0; k < o.frames; ++k) {
          const std::vector<uint8_t>& frame = renderer.Frame(o.text);
          if (k == 0 && !o.raw.empty() && !WriteRaw(o.raw, frame, &error)) return Fail(error);
          if (k == 0 && !o.png.empty() && !WriteFrame(o.png, frame, mode, false, &error))
            return Fail(error);
          if (!o.outDir.empty() &&
              !WriteFrame(FramePath(o, mode, shading, start + k), frame, mode, o.rawFrames, &error))
            return Fail(error);
        }
      }
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return GuardedMain("kelvo-render", [&] {
    Options options;
    bool help = false;
    const std::string problem = render::ParseArgs(argc, argv, &options, &help);
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
