// kelvo-bench: times whole frames of the spinning cube (clear, project, six
// faces, rotate) for every depth and shading mode, beside the limit of the
// same buffer: clearing it and writing as many pixels through a 256-entry
// table. No window and no platform: the scene draws into memory.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "scene/cube_model.h"
#include "scene/scene.h"
#include "scene/tables.h"
#include "tools/arguments.h"

// Every C++ allocation of the process passes here, so the timed loop can
// show it makes none.
static std::atomic<uint64_t> allocationCount{0};

void* operator new(std::size_t size) {
  allocationCount.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr const char* kUsage =
    "usage: kelvo-bench [--assets DIR] [--mode WxHxBPP[,...]] [--shading S[,...]] [--frames N]\n"
    "                   [--csv]\n"
    "Times frames as the program draws them (clear, project, six faces, rotate) beside the\n"
    "limit of the same buffer: clearing it and writing the same number of pixels through a\n"
    "256-entry table.\n"
    "  --assets DIR          read the data files from DIR (default: the build's data folder)\n"
    "  --mode WxHxBPP,...    the modes to time, sides 16-4095, depth 8, 16, 24 or 32\n"
    "                        (default 640x480, 1024x768 and 1600x1200 at every depth)\n"
    "  --shading S,...       the shading modes to time, 0-5 (default all six)\n"
    "  --frames N            frames per case (default: by size, 100 to 1000)\n"
    "  --csv                 comma-separated output: mode, shading, frames, fps,\n"
    "                        ns_per_frame, ns_per_pixel, limit_ns_per_frame,\n"
    "                        pixels_per_frame, clear_ns_per_frame, allocations\n"
    "  -h, --help            this text\n"
    "ns per drawn pixel leaves the clear out: (ns per frame - ns per clear) / pixels drawn.\n"
    "Exit status: 0 done, 1 the data could not be read or the timed frames allocated\n"
    "memory, 2 bad command line.\n";

using Clock = std::chrono::steady_clock;

struct Mode {
  int32_t width, height, bpp;
};

struct Options {
  std::string assets = KELVO_DATA_DIR;
  std::vector<Mode> modes;
  std::vector<int32_t> shadings;
  long frames = 0;  // 0: chosen per mode
  bool csv = false;
};

// Calls take(item) for each comma-separated item of a list; false at the
// first it refuses or at an empty item.
template <typename Take>
bool ForEachItem(std::string_view list, Take take) {
  while (true) {
    const size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    if (item.empty() || !take(item)) return false;
    if (comma == std::string_view::npos) return true;
    list.remove_prefix(comma + 1);
  }
}

// Empty when the arguments are good, else what is wrong.
std::string ParseArgs(int argc, char** argv, Options* o, bool* help) {
  Arguments args;
  std::string error;
  if (!SplitArguments(argc, argv,
                      {{"--assets", 1}, {"--mode", 1}, {"--shading", 1}, {"--frames", 1},
                       {"--csv", 0}},
                      0, &args, &error))
    return error;
  *help = args.help();
  if (*help) return {};
  if (args.Has("--assets")) {
    o->assets = args.Value("--assets");
    if (o->assets.empty()) return "empty folder name after --assets";
  }
  o->csv = args.Has("--csv");
  if (args.Has("--mode")) {
    const std::string_view list = args.Value("--mode");
    const bool good = ForEachItem(list, [o](std::string_view item) {
      RequestedMode parsed;
      bool badDepth = false;
      if (!ParseDisplayMode(item, 16, &parsed, &badDepth)) return false;
      o->modes.push_back({parsed.width, parsed.height, parsed.bitsPerPixel});
      return true;
    });
    if (!good)
      return "bad --mode '" + std::string(list) + "' (want WxHxBPP, sides 16-4095, depth 8, 16, 24 "
             "or 32, several with commas)";
  }
  if (args.Has("--shading")) {
    const std::string_view list = args.Value("--shading");
    const bool good = ForEachItem(list, [o](std::string_view item) {
      long value = 0;
      if (!ParseInt(item, 0, 5, &value)) return false;
      o->shadings.push_back(static_cast<int32_t>(value));
      return true;
    });
    if (!good) return "bad --shading '" + std::string(list) + "' (0-5, several with commas)";
  }
  if (args.Has("--frames") && !ParseInt(args.Value("--frames"), 1, 1000000, &o->frames))
    return "bad --frames '" + std::string(args.Value("--frames")) + "' (1-1000000)";
  if (o->modes.empty()) {
    for (const Mode size : {Mode{640, 480, 0}, Mode{1024, 768, 0}, Mode{1600, 1200, 0}}) {
      for (const int32_t bpp : {8, 16, 24, 32}) o->modes.push_back({size.width, size.height, bpp});
    }
  }
  if (o->shadings.empty()) o->shadings = {0, 1, 2, 3, 4, 5};
  return {};
}

bool Load(const std::string& folder) {
  SetAssetDirectory(folder.c_str());
  if (!LoadScene()) {
    std::fprintf(stderr, "kelvo-bench: %s\n", LastAssetError());
    return false;
  }
  return true;
}

struct Result {
  long frames = 0;
  double frameNs = 0;      // per frame, as drawn
  double clearNs = 0;      // per frame, the clear alone
  double pixels = 0;       // drawn per frame
  double limitNs = 0;      // per frame: clear plus as many table writes
  uint64_t allocations = 0;
};

// count pixels, frame-sized pass after pass, each a texel through a 256-entry
// table: the least work a drawn pixel can cost.
template <typename Unit>
void TableWrites(uint8_t* frame, size_t frameUnits, const Unit* table, const uint8_t* texels,
                 uint64_t count) {
  Unit* out = reinterpret_cast<Unit*>(frame);
  for (uint64_t done = 0; done < count;) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(count - done, frameUnits));
    for (size_t i = 0; i < chunk; ++i) out[i] = table[texels[(done + i) & 16383]];
    done += chunk;
  }
}

void TableWrites24(uint8_t* frame, size_t frameUnits, const uint32_t* table,
                   const uint8_t* texels, uint64_t count) {
  for (uint64_t done = 0; done < count;) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(count - done, frameUnits));
    for (size_t i = 0; i < chunk; ++i) {
      const uint32_t colour = table[texels[(done + i) & 16383]];
      const uint16_t low = static_cast<uint16_t>(colour);
      std::memcpy(frame + 3 * i, &low, 2);
      frame[3 * i + 2] = static_cast<uint8_t>(colour >> 16);
    }
    done += chunk;
  }
}

double Elapsed(Clock::time_point start) {
  return static_cast<double>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count());
}

// The machine is shared: each measure is taken kRepeats times over the same
// frames and the fastest kept, the usual guard against other processes.
constexpr int kRepeats = 5;

template <typename Body>
double BestNsPerFrame(long frames, Body body) {
  double best = 0;
  for (int rep = 0; rep < kRepeats; ++rep) {
    const Clock::time_point start = Clock::now();
    body();
    const double ns = Elapsed(start) / static_cast<double>(frames);
    if (rep == 0 || ns < best) best = ns;
  }
  return best;
}

Result RunCase(const Mode& mode, int32_t shading, long frames, std::vector<uint8_t>& frame) {
  const size_t units = static_cast<size_t>(mode.width) * static_cast<size_t>(mode.height);
  const size_t bytes = units * static_cast<size_t>(mode.bpp / 8);
  uint8_t* const buffer = frame.data();
  shadingMode = shading;

  auto drawFrame = [&] {
    std::memset(buffer, 0, bytes);
    DrawCube(buffer);
    AdvanceRotation();
  };
  InitCubeModel();
  for (int i = 0; i < 5; ++i) drawFrame();  // warm caches and tables

  Result r;
  r.frames = frames;
  sceneRaster.drawnPixelCount = 0;
  const uint64_t allocationsBefore = allocationCount.load();
  // Every repetition draws the same frames from the start orientation.
  r.frameNs = BestNsPerFrame(frames, [&] {
    InitCubeModel();
    for (long i = 0; i < frames; ++i) drawFrame();
  });
  r.allocations = allocationCount.load() - allocationsBefore;
  const uint64_t drawn = sceneRaster.drawnPixelCount / kRepeats;
  r.pixels = static_cast<double>(drawn) / static_cast<double>(frames);

  r.clearNs = BestNsPerFrame(frames, [&] {
    for (long i = 0; i < frames; ++i) {
      std::memset(buffer, 0, bytes);
      // Keeps the clear from being merged or dropped.
      __asm__ __volatile__("" : : "r"(buffer) : "memory");
    }
  });

  const uint64_t perFrame = drawn / static_cast<uint64_t>(frames);
  const uint8_t* texels = textures[1];
  r.limitNs = BestNsPerFrame(frames, [&] {
    for (long i = 0; i < frames; ++i) {
      std::memset(buffer, 0, bytes);
      switch (mode.bpp) {
        case 8: TableWrites(buffer, units, shadeTable8 + 200 * 256, texels, perFrame); break;
        case 16: TableWrites(buffer, units, palette16, texels, perFrame); break;
        case 24: TableWrites24(buffer, units, palette32, texels, perFrame); break;
        default: TableWrites(buffer, units, palette32, texels, perFrame); break;
      }
      __asm__ __volatile__("" : : "r"(buffer) : "memory");
    }
  });
  return r;
}

long DefaultFrames(const Mode& mode) {
  const long pixels = static_cast<long>(mode.width) * mode.height;
  return std::clamp(1000L * 307200L / pixels, 100L, 1000L);
}

int Run(int argc, char** argv) {
  Options options;
  bool help = false;
  const std::string problem = ParseArgs(argc, argv, &options, &help);
  if (help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!problem.empty()) {
    std::fprintf(stderr, "kelvo-bench: %s (see --help)\n", problem.c_str());
    return 2;
  }
  if (!Load(options.assets)) return 1;

  if (options.csv) {
    std::printf("mode,shading,frames,fps,ns_per_frame,ns_per_pixel,limit_ns_per_frame,"
                "pixels_per_frame,clear_ns_per_frame,allocations\n");
  } else {
    std::printf("%-14s %3s %6s %8s %11s %9s %8s %11s %6s %8s\n", "mode", "sh", "frames", "fps",
                "ns/frame", "px/frame", "ns/px", "limit ns", "ratio", "allocs");
  }
  uint64_t totalAllocations = 0;
  std::vector<uint8_t> frame;
  for (const Mode& mode : options.modes) {
    if (!EnterMode(mode.width, mode.height, mode.bpp)) {
      std::fprintf(stderr, "kelvo-bench: out of memory for the scanline buffers\n");
      return 1;
    }
    frame.assign(static_cast<size_t>(mode.width) * mode.height * (mode.bpp / 8), 0);
    const long frames = options.frames > 0 ? options.frames : DefaultFrames(mode);
    char name[32];
    std::snprintf(name, sizeof name, "%dx%dx%d", mode.width, mode.height, mode.bpp);
    for (const int32_t shading : options.shadings) {
      const Result r = RunCase(mode, shading, frames, frame);
      totalAllocations += r.allocations;
      const double fps = 1e9 / r.frameNs;
      // Per drawn pixel, the clear (a fixed cost of the frame) left out.
      const double nsPerPixel = r.pixels > 0 ? (r.frameNs - r.clearNs) / r.pixels : 0.0;
      if (options.csv) {
        std::printf("%s,%d,%ld,%.1f,%.0f,%.3f,%.0f,%.0f,%.0f,%llu\n", name, shading, r.frames, fps,
                    r.frameNs, nsPerPixel, r.limitNs, r.pixels, r.clearNs,
                    static_cast<unsigned long long>(r.allocations));
      } else {
        std::printf("%-14s %3d %6ld %8.0f %11.0f %9.0f %8.3f %11.0f %6.2f %8llu\n", name, shading,
                    r.frames, fps, r.frameNs, r.pixels, nsPerPixel, r.limitNs,
                    r.frameNs / r.limitNs, static_cast<unsigned long long>(r.allocations));
      }
    }
  }
  if (!options.csv) {
    std::printf("\nns/px leaves the clear out; limit = clear + the same pixel count written\n"
                "through a 256-entry table; ratio = ns/frame / limit. Each figure is the\n"
                "best of %d repetitions of the same frames.\n", kRepeats);
    std::printf("heap allocations during the timed frames: %llu%s\n",
                static_cast<unsigned long long>(totalAllocations),
                totalAllocations == 0 ? " (none per frame)" : " (NOT allocation-free)");
  }
  FreeSceneMemory();
  return totalAllocations == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  return GuardedMain("kelvo-bench", [&] { return Run(argc, argv); });
}
