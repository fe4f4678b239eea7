// kelvo-bench: times whole frames of the spinning cube (clear, project, six
// faces, rotate) for every depth and shading mode, beside the limit of the
// same buffer: clearing it and writing as many pixels through a 256-entry
// table, with as many threads as the frame. No window and no platform: the
// scene draws into memory. With --present it also times the desktop's
// presentation of the drawn screen.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/frame_copy.h"
#include "platform/threads.h"
#include "scene/cube_model.h"
#include "scene/data_folder.h"
#include "scene/scene.h"
#include "scene/tables.h"
#include "tools/arguments.h"
#include "tools/bench_options.h"
#if KELVO_BENCH_PRESENT
#include "platform/core/present.h"
#endif

// Every C++ allocation of the process passes here, so the timed loops can
// show they make none.
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

using bench::Mode;
using bench::Options;

using Clock = std::chrono::steady_clock;

bool Load(const std::string& folder) {
  UseDataFolder(folder);
  if (!LoadScene()) {
    std::fprintf(stderr, "kelvo-bench: %s\n", LastAssetError());
    return false;
  }
  return true;
}

struct Result {
  long frames = 0;
  int32_t threads = 1;
  double frameNs = 0;  // per frame, as drawn
  double clearNs = 0;  // per frame, the clear alone
  double pixels = 0;   // drawn per frame
  double limitNs = 0;  // per frame: clear plus as many table writes
  // Per frame, presenting each frame after the one before: what changed
  // converted to 0xFFRRGGBB at its own size, or shrunk to shrinkWidth x
  // shrinkHeight; and the same for the whole screen.
  double argbNs = 0, shrinkNs = 0;
  double fullArgbNs = 0, fullShrinkNs = 0;
  int32_t shrinkWidth = 0, shrinkHeight = 0;
  // Per frame, the Windows layer on a display of another layout.
  double convertNs = 0;
  uint64_t allocations = 0;
};

// count pixels into the `units` pixels from `first`, pass after pass, each a
// texel (from the start-th on) through a 256-entry table: the least work a
// drawn pixel can cost.
template <typename Unit>
void TableWrites(uint8_t* frame, size_t first, size_t units, const Unit* table,
                 const uint8_t* texels, uint64_t start, uint64_t count) {
  Unit* out = reinterpret_cast<Unit*>(frame) + first;
  for (uint64_t done = 0; done < count;) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(count - done, units));
    const uint64_t at = start + done;
    for (size_t i = 0; i < chunk; ++i) out[i] = table[texels[(at + i) & 16383]];
    done += chunk;
  }
}

void TableWrites24(uint8_t* frame, size_t first, size_t units, const uint32_t* table,
                   const uint8_t* texels, uint64_t start, uint64_t count) {
  uint8_t* out = frame + 3 * first;
  for (uint64_t done = 0; done < count;) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(count - done, units));
    const uint64_t at = start + done;
    for (size_t i = 0; i < chunk; ++i) {
      const uint32_t colour = table[texels[(at + i) & 16383]];
      const uint16_t low = static_cast<uint16_t>(colour);
      std::memcpy(out + 3 * i, &low, 2);
      out[3 * i + 2] = static_cast<uint8_t>(colour >> 16);
    }
    done += chunk;
  }
}

// The table writes of a frame shared over the team as the frame is: each
// thread a band of rows, writing its share of the count there.
void SharedTableWrites(const Mode& mode, uint8_t* frame, uint64_t count) {
  plat::WorkerPool& pool = plat::SharedPool();
  const int32_t parts = std::max(1, std::min(pool.threads(), mode.height));
  const auto width = static_cast<size_t>(mode.width);
  const uint8_t* texels = textures[1];
  pool.Run(parts, [&](int32_t k) {
    const auto top = static_cast<size_t>(int64_t{mode.height} * k / parts);
    const auto bottom = static_cast<size_t>(int64_t{mode.height} * (k + 1) / parts);
    const uint64_t start = count * static_cast<uint64_t>(k) / static_cast<uint64_t>(parts);
    const uint64_t end = count * static_cast<uint64_t>(k + 1) / static_cast<uint64_t>(parts);
    const size_t first = top * width, units = (bottom - top) * width;
    switch (mode.bpp) {
      case 8:
        TableWrites(frame, first, units, shadeTable8 + 200 * 256, texels, start, end - start);
        break;
      case 16: TableWrites(frame, first, units, palette16, texels, start, end - start); break;
      case 24: TableWrites24(frame, first, units, palette32, texels, start, end - start); break;
      default: TableWrites(frame, first, units, palette32, texels, start, end - start); break;
    }
  });
}

// The back buffer's clear as the program's colour fill does it: black, over
// the team.
void Clear(const Mode& mode, uint8_t* frame) {
  const size_t units = static_cast<size_t>(mode.width) * static_cast<size_t>(mode.height);
  plat::FillPixelsShared(plat::SharedPool(), frame, units, static_cast<uint32_t>(mode.bpp / 8), 0);
}

double Elapsed(Clock::time_point start) {
  return static_cast<double>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count());
}

// The machine is shared: each case is measured kRepeats times and the
// fastest of each figure kept, the usual guard against other processes. The
// frame, its presentation, the clear and the limit take turns within each
// repetition, so that a busy spell slows them alike and their ratios hold.
constexpr int kRepeats = 5;

template <typename Body>
void KeepFastest(double* best, bool first, long frames, Body body) {
  const Clock::time_point start = Clock::now();
  body();
  const double ns = Elapsed(start) / static_cast<double>(frames);
  if (first || ns < *best) *best = ns;
}

#if KELVO_BENCH_PRESENT
// The window the desktop shrinks a large screen into: half each side, or the
// screen fitted into 1280x960 (a usual window) when that is smaller still.
plat::core::Placement ShrinkTarget(const Mode& mode) {
  const int32_t w = std::max(mode.width / 2, 1), h = std::max(mode.height / 2, 1);
  if (w <= 1280 && h <= 960) return {0, 0, w, h};
  return plat::core::FitScreen(mode.width, mode.height, 1280, 960);
}

// The desktop's presentation of a screen, its two ways: converted at its own
// size into a window of that size, and shrunk into a smaller one; each kept
// from frame to frame as the desktop keeps it, or done for the whole screen.
class Presenter {
 public:
  Presenter(const Mode& mode, const uint8_t* screen)
      : target_(ShrinkTarget(mode)),
        pitch_(static_cast<size_t>(mode.width)),
        window_(pitch_ * static_cast<size_t>(mode.height)) {
    for (size_t i = 0; i < 256; ++i)
      palette_[i] = {cubePalette[3 * i], cubePalette[3 * i + 1], cubePalette[3 * i + 2], 0};
    view_.pixels = screen;
    view_.width = mode.width;
    view_.height = mode.height;
    view_.bitsPerPixel = mode.bpp;
    view_.palette = palette_;
    // Once first: each makes its buffers for this size.
    Argb();
    Shrink();
    FullArgb();
    FullShrink();
  }
  // The view points into the object itself.
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;
  // What the desktop's display knows of a frame drawn as the program draws
  // it: cleared to 0, the cube stored only inside its drawn area.
  void Drawn() {
    const DrawnArea a = LastDrawnArea();
    written_ = {true, 0, {a.left, a.top, a.right, a.bottom}};
  }
  int32_t shrinkWidth() const { return target_.width; }
  int32_t shrinkHeight() const { return target_.height; }
  void Argb() { Keep(argb_.Update(view_, view_.width, view_.height, written_), argb_.pixels()); }
  void Shrink() {
    Keep(shrunk_.Update(view_, target_.width, target_.height, written_), shrunk_.pixels());
  }
  void FullArgb() {
    plat::core::ToArgb(view_, window_.data(), pitch_);
    Keep({}, window_.data());
  }
  void FullShrink() {
    shrinker_.Shrink(view_, target_.width, target_.height, window_.data(), pitch_);
    Keep({}, window_.data());
  }

 private:
  // Keeps the work from being dropped as unused.
  static void Keep(const plat::core::Rect& changed, const uint32_t* pixels) {
    __asm__ __volatile__("" : : "r"(pixels), "r"(changed.width) : "memory");
  }

  plat::core::Placement target_;
  size_t pitch_;
  std::vector<uint32_t> window_;
  plat::PALETTEENTRY palette_[256];
  plat::core::ScreenView view_;
  plat::core::KnownPixels written_;
  plat::core::ScreenPicture argb_, shrunk_;
  plat::core::AreaShrinker shrinker_;
};

// Each frame of the cube drawn and then presented, the presentation alone
// timed; each way in a run of its own, as the desktop uses one at a time and
// its buffers are all there is to keep in the caches beside the frame's.
template <typename Draw>
void TimePresentation(Presenter& presenter, long frames, bool first, Result* r,
                      const Draw& drawFrame) {
  const struct {
    void (Presenter::*present)();
    double* best;
  } ways[] = {{&Presenter::Argb, &r->argbNs},
              {&Presenter::Shrink, &r->shrinkNs},
              {&Presenter::FullArgb, &r->fullArgbNs},
              {&Presenter::FullShrink, &r->fullShrinkNs}};
  for (const auto& way : ways) {
    InitCubeModel();
    // The frame before the first: a picture in steady state to go on from.
    drawFrame();
    presenter.Drawn();
    (presenter.*way.present)();
    double ns = 0;
    for (long i = 0; i < frames; ++i) {
      drawFrame();
      presenter.Drawn();
      const Clock::time_point start = Clock::now();
      (presenter.*way.present)();
      ns += Elapsed(start);
    }
    const double perFrame = ns / static_cast<double>(frames);
    if (first || perFrame < *way.best) *way.best = perFrame;
  }
}
#endif

// The display layouts a driver of today may keep instead of the frame's.
plat::PixelLayout OtherLayout(int32_t bpp) {
  if (bpp == 16) return {16, 0xF800, 0x07E0, 0x001F};
  return {static_cast<uint32_t>(bpp), 0x0000FF, 0x00FF00, 0xFF0000};
}

// The Windows layer's copy of a surface on such a display, and the display's
// memory, made before the timed loops.
struct Converter {
  explicit Converter(const Mode& mode)
      : copy(OtherLayout(mode.bpp)),
        width(static_cast<uint32_t>(mode.width)),
        height(static_cast<uint32_t>(mode.height)),
        pitch(static_cast<ptrdiff_t>(mode.width) * (mode.bpp / 8)),
        device(static_cast<size_t>(pitch) * height) {
    copy.Lock(width, height, pitch, false);
  }
  plat::FrameCopy copy;
  uint32_t width, height;
  ptrdiff_t pitch;
  std::vector<uint8_t> device;
};

// Each frame drawn into the layer's copy as the frame does it on such a
// display; the copy's fill and the conversion into the display's memory timed.
void TimeConversion(Converter& c, long frames, bool first, Result* r) {
  plat::FrameCopy& copy = c.copy;
  const uint32_t width = c.width, height = c.height;
  const ptrdiff_t pitch = c.pitch;
  std::vector<uint8_t>& device = c.device;
  InitCubeModel();
  double ns = 0;
  for (long i = -1; i < frames; ++i) {  // the first one warms up
    const Clock::time_point fill = Clock::now();
    copy.Filled(0);
    double spent = Elapsed(fill);
    copy.Lock(width, height, pitch, false);
    DrawCube(copy.Pixels());
    AdvanceRotation();
    const DrawnArea a = LastDrawnArea();
    copy.Drew(a.left, a.top, a.right, a.bottom);
    const Clock::time_point deliver = Clock::now();
    copy.Deliver(device.data(), pitch);
    spent += Elapsed(deliver);
    if (i >= 0) ns += spent;
  }
  __asm__ __volatile__("" : : "r"(device.data()) : "memory");
  const double perFrame = ns / static_cast<double>(frames);
  if (first || perFrame < r->convertNs) r->convertNs = perFrame;
}

Result RunCase(const Mode& mode, int32_t shading, int32_t threads, long frames, bool present,
               bool convert, std::vector<uint8_t>& frame) {
  uint8_t* const buffer = frame.data();
  shadingMode = shading;
  plat::SetThreadCount(threads);

  auto drawFrame = [&] {
    Clear(mode, buffer);
    DrawCube(buffer);
    AdvanceRotation();
  };
  InitCubeModel();
  for (int i = 0; i < 5; ++i) drawFrame();  // warm caches, tables and the team

  Result r;
  r.frames = frames;
  r.threads = plat::ThreadCount();
#if KELVO_BENCH_PRESENT
  // Presents what the buffer holds: each frame as it is drawn.
  std::optional<Presenter> presenter;
  if (present) {
    presenter.emplace(mode, buffer);
    r.shrinkWidth = presenter->shrinkWidth();
    r.shrinkHeight = presenter->shrinkHeight();
  }
#else
  (void)present;
#endif
  std::optional<Converter> converter;
  if (convert && mode.bpp != 8) converter.emplace(mode);

  sceneRaster.drawnPixelCount = 0;
  uint64_t perFrame = 0;
  const uint64_t allocationsBefore = allocationCount.load();
  for (int rep = 0; rep < kRepeats; ++rep) {
    const bool first = rep == 0;
    // Every repetition draws the same frames from the start orientation.
    KeepFastest(&r.frameNs, first, frames, [&] {
      InitCubeModel();
      for (long i = 0; i < frames; ++i) drawFrame();
    });
    if (first) perFrame = sceneRaster.drawnPixelCount / static_cast<uint64_t>(frames);
#if KELVO_BENCH_PRESENT
    if (presenter) {
      // The frames drawn to be presented are not counted as drawn.
      const uint64_t drawn = sceneRaster.drawnPixelCount;
      TimePresentation(*presenter, frames, first, &r, drawFrame);
      sceneRaster.drawnPixelCount = drawn;
    }
#endif
    if (converter) {
      const uint64_t drawn = sceneRaster.drawnPixelCount;
      TimeConversion(*converter, frames, first, &r);
      sceneRaster.drawnPixelCount = drawn;
    }
    KeepFastest(&r.clearNs, first, frames, [&] {
      for (long i = 0; i < frames; ++i) {
        Clear(mode, buffer);
        // Keeps the clear from being merged or dropped.
        __asm__ __volatile__("" : : "r"(buffer) : "memory");
      }
    });
    KeepFastest(&r.limitNs, first, frames, [&] {
      for (long i = 0; i < frames; ++i) {
        Clear(mode, buffer);
        SharedTableWrites(mode, buffer, perFrame);
        __asm__ __volatile__("" : : "r"(buffer) : "memory");
      }
    });
  }
  r.allocations = allocationCount.load() - allocationsBefore;
  r.pixels =
      static_cast<double>(sceneRaster.drawnPixelCount / kRepeats) / static_cast<double>(frames);
  return r;
}

long DefaultFrames(const Mode& mode) {
  const long pixels = static_cast<long>(mode.width) * mode.height;
  return std::clamp(1000L * 307200L / pixels, 20L, 1000L);
}

// What the summary adds up for one size at one thread count.
struct SizeTotals {
  int32_t width = 0, height = 0, threads = 0;
  int cases = 0;
  double frameNs = 0, limitNs = 0, pixels = 0;
  double worstRatio = 0, worstPresent = 0;
};

void PrintSummary(const std::vector<SizeTotals>& totals, bool present) {
  std::printf("\nper size and thread count, means over its depths and shading modes:\n");
  std::printf("%-10s %3s %9s %9s %11s %9s %11s %6s %7s %7s %7s%s\n", "size", "thr", "screen px",
              "px/frame", "ns/frame", "ns/scr px", "limit ns", "worst", "px x", "time x", "speedup",
              present ? "  worst pres/fr" : "");
  for (const SizeTotals& t : totals) {
    const double n = t.cases;
    const double screen = static_cast<double>(t.width) * t.height;
    const double frameNs = t.frameNs / n;
    // Growth against the first size at the same thread count; speed-up
    // against the first thread count at the same size.
    const SizeTotals* firstSize = nullptr;
    const SizeTotals* firstThreads = nullptr;
    for (const SizeTotals& o : totals) {
      if (!firstSize && o.threads == t.threads) firstSize = &o;
      if (!firstThreads && o.width == t.width && o.height == t.height) firstThreads = &o;
    }
    const double firstScreen = static_cast<double>(firstSize->width) * firstSize->height;
    char size[16];
    std::snprintf(size, sizeof size, "%dx%d", t.width, t.height);
    std::printf("%-10s %3d %9.0f %9.0f %11.0f %9.4f %11.0f %6.2f %7.2f %7.2f %7.2f", size,
                t.threads, screen, t.pixels / n, frameNs, frameNs / screen, t.limitNs / n,
                t.worstRatio, screen / firstScreen,
                frameNs / (firstSize->frameNs / firstSize->cases),
                (firstThreads->frameNs / firstThreads->cases) / frameNs);
    if (present) std::printf("  %14.2f", t.worstPresent);
    std::printf("\n");
  }
  std::printf(
      "ns/scr px = ns per frame / screen pixels; worst = the highest ratio to the limit;\n"
      "px x and time x = screen pixels and ns per frame against the first size at the\n"
      "same thread count; speedup = the first thread count's ns per frame / this one's.\n");
}

int Run(int argc, char** argv) {
  Options options;
  bool help = false;
  const std::string problem = bench::ParseArgs(argc, argv, &options, &help);
  if (help) {
    std::fputs(bench::kUsage, stdout);
    return 0;
  }
  if (!problem.empty()) {
    std::fprintf(stderr, "kelvo-bench: %s (see --help)\n", problem.c_str());
    return 2;
  }
  if (options.threads.empty()) options.threads = {plat::ThreadsFromEnvironment("kelvo-bench")};
  if (!Load(options.assets)) return 1;

  const bool present = options.present, convert = options.convert;
  if (options.csv) {
    std::printf(
        "mode,shading,threads,frames,fps,ns_per_frame,ns_per_pixel,limit_ns_per_frame,"
        "pixels_per_frame,clear_ns_per_frame,allocations%s%s\n",
        present ? ",present_argb_ns,present_shrink_ns,present_shrink_size,present_full_argb_ns,"
                  "present_full_shrink_ns"
                : "",
        convert ? ",convert_ns" : "");
  } else {
    std::printf(
        "%-14s %3s %3s %6s %8s %11s %9s %8s %11s %6s %6s%s%s\n", "mode", "sh", "thr", "frames",
        "fps", "ns/frame", "px/frame", "ns/px", "limit ns", "ratio", "allocs",
        present ? "     argb ns   shrink ns  to size    pres/fr   full argb full shrink" : "",
        convert ? "  convert ns  conv/fr" : "");
  }
  uint64_t totalAllocations = 0;
  std::vector<SizeTotals> totals;
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
      for (const int32_t threads : options.threads) {
        const Result r = RunCase(mode, shading, threads, frames, present, convert, frame);
        totalAllocations += r.allocations;
        const double fps = 1e9 / r.frameNs;
        // Per drawn pixel, the clear (a fixed cost of the frame) left out.
        const double nsPerPixel = r.pixels > 0 ? (r.frameNs - r.clearNs) / r.pixels : 0.0;
        // The desktop does one or the other each frame: the dearer is compared.
        const double presentRatio = std::max(r.argbNs, r.shrinkNs) / r.frameNs;
        char shrunk[16];
        std::snprintf(shrunk, sizeof shrunk, "%dx%d", r.shrinkWidth, r.shrinkHeight);
        if (options.csv) {
          std::printf("%s,%d,%d,%ld,%.1f,%.0f,%.3f,%.0f,%.0f,%.0f,%llu", name, shading, r.threads,
                      r.frames, fps, r.frameNs, nsPerPixel, r.limitNs, r.pixels, r.clearNs,
                      static_cast<unsigned long long>(r.allocations));
          if (present)
            std::printf(",%.0f,%.0f,%s,%.0f,%.0f", r.argbNs, r.shrinkNs, shrunk, r.fullArgbNs,
                        r.fullShrinkNs);
          if (convert) std::printf(",%.0f", r.convertNs);
        } else {
          std::printf("%-14s %3d %3d %6ld %8.0f %11.0f %9.0f %8.3f %11.0f %6.2f %6llu", name,
                      shading, r.threads, r.frames, fps, r.frameNs, r.pixels, nsPerPixel, r.limitNs,
                      r.frameNs / r.limitNs, static_cast<unsigned long long>(r.allocations));
          if (present)
            std::printf(" %11.0f %11.0f  %-9s %7.2f %11.0f %11.0f", r.argbNs, r.shrinkNs, shrunk,
                        presentRatio, r.fullArgbNs, r.fullShrinkNs);
          if (convert) std::printf(" %11.0f %8.2f", r.convertNs, r.convertNs / r.frameNs);
        }
        std::printf("\n");

        auto it = std::find_if(totals.begin(), totals.end(), [&](const SizeTotals& t) {
          return t.width == mode.width && t.height == mode.height && t.threads == r.threads;
        });
        if (it == totals.end()) {
          totals.push_back({mode.width, mode.height, r.threads});
          it = totals.end() - 1;
        }
        ++it->cases;
        it->frameNs += r.frameNs;
        it->limitNs += r.limitNs;
        it->pixels += r.pixels;
        it->worstRatio = std::max(it->worstRatio, r.frameNs / r.limitNs);
        it->worstPresent = std::max(it->worstPresent, presentRatio);
      }
    }
  }
  if (!options.csv) {
    std::printf(
        "\nns/px leaves the clear out; limit = clear + the same pixel count written\n"
        "through a 256-entry table by as many threads; ratio = ns/frame / limit.\n"
        "Each figure is the best of %d repetitions of the same frames.\n",
        kRepeats);
    if (present)
      std::printf(
          "argb = the screen as 32-bit colour at its own size; shrink = averaged down\n"
          "to the size shown; both per frame, each frame presented after the one before,\n"
          "redoing what changed; pres/fr = the dearer of the two / ns per frame; full argb\n"
          "and full shrink = the same for the whole screen, as without the kept picture.\n");
    if (convert)
      std::printf(
          "convert = the Windows layer on a display of another layout: its copy filled and\n"
          "what the frame drew converted into the display's memory, per frame; conv/fr =\n"
          "convert / ns per frame.\n");
    std::printf("heap allocations during the timed loops: %llu%s\n",
                static_cast<unsigned long long>(totalAllocations),
                totalAllocations == 0 ? " (none per frame)" : " (NOT allocation-free)");
    PrintSummary(totals, present);
  }
  FreeSceneMemory();
  return totalAllocations == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  return GuardedMain("kelvo-bench", [&] { return Run(argc, argv); });
}
