#include "tools/bench_options.h"

#include <string>
#include <string_view>

#include "platform/threads.h"
#include "tools/arguments.h"

namespace bench {
namespace {

// "WxH", each side 16-4095.
bool ParseSize(std::string_view text, Mode* size) {
  const size_t x = text.find('x');
  if (x == std::string_view::npos) return false;
  long w = 0, h = 0;
  if (!ParseInt(text.substr(0, x), 16, 4095, &w) || !ParseInt(text.substr(x + 1), 16, 4095, &h))
    return false;
  *size = {static_cast<int32_t>(w), static_cast<int32_t>(h), 0};
  return true;
}

}  // namespace

const char* const kUsage =
    "Usage: kelvo-bench [--assets DIR] [--sizes WxH[,...]] [--depths BPP[,...]]\n"
    "                   [--mode WxHxBPP[,...]] [--shading S[,...]] [--threads N[,...]]\n"
    "                   [--frames N] [--present] [--convert] [--csv]\n"
    "Times frames as the program draws them (clear, project, six faces, rotate) beside the\n"
    "limit of the same buffer: clearing it and writing the same number of pixels through a\n"
    "256-entry table, with the same number of threads.\n"
    "  --assets DIR          read the data files from DIR (default: the current directory\n"
    "                        if it holds CUBE.PAL, else the build's or install's data)\n"
    "  --sizes WxH,...       the screen sizes to time, sides 16-4095 (default 640x480,\n"
    "                        1024x768, 1600x1200, 1920x1440 and 3840x2160)\n"
    "  --depths BPP,...      their depths, 8, 16, 24 or 32 (default all four)\n"
    "  --mode WxHxBPP,...    whole modes instead of --sizes and --depths\n"
    "  --shading S,...       the shading modes to time, 0-5 (default all six)\n"
    "  --threads N,...       threads drawing each frame, 1-64; several give a row for each\n"
    "                        (default: KELVO_THREADS, else the machine's cores)\n"
    "  --frames N            frames per case (default: by size, 20 to 1000)\n"
    "  --present             also time the desktop's presentation of each drawn frame as\n"
    "                        it runs, after the frame before: its conversion to 32-bit\n"
    "                        colour at its own size, and its shrinking by averaging to\n"
    "                        half each side (to fit 1280x960 when larger), each redoing\n"
    "                        only what the frame changed, per frame in steady state,\n"
    "                        against the frame's time; beside them the same done for\n"
    "                        the whole screen\n"
    "  --convert             also time what the Windows layer adds to each frame on a\n"
    "                        display of another pixel layout: the frame's copy filled,\n"
    "                        and what the frame drew converted into the display's memory\n"
    "                        (16 bits: 5-5-5 to 5-6-5; 24 and 32 bits: to red-green-blue\n"
    "                        order; none at 8 bits), against the frame's time\n"
    "  --csv                 comma-separated output: mode, shading, threads, frames, fps,\n"
    "                        ns_per_frame, ns_per_pixel, limit_ns_per_frame,\n"
    "                        pixels_per_frame, clear_ns_per_frame, allocations; with\n"
    "                        --present also present_argb_ns, present_shrink_ns,\n"
    "                        present_shrink_size, present_full_argb_ns,\n"
    "                        present_full_shrink_ns; with --convert convert_ns (ns per\n"
    "                        frame)\n"
    "  -h, --help            this text\n"
    "ns per drawn pixel leaves the clear out: (ns per frame - ns per clear) / pixels drawn.\n"
    "The table is followed by a line per size and thread count: its mean cost against its\n"
    "pixel count.\n"
    "Exit status: 0 done, 1 the data could not be read or the timed loops allocated\n"
    "memory, 2 bad command line.\n";

std::string ParseArgs(int argc, char** argv, Options* o, bool* help) {
  Arguments args;
  std::string error;
  if (!SplitArguments(argc, argv,
                      {{"--assets", 1},
                       {"--mode", 1},
                       {"--sizes", 1},
                       {"--depths", 1},
                       {"--shading", 1},
                       {"--threads", 1},
                       {"--frames", 1},
                       {"--present", 0},
                       {"--convert", 0},
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
  o->present = args.Has("--present");
  o->convert = args.Has("--convert");
#if !KELVO_BENCH_PRESENT
  if (o->present)
    return "--present times the emulated desktop's presentation, which this build does not "
           "have";
#endif
  if (args.Has("--mode") && (args.Has("--sizes") || args.Has("--depths")))
    return "--mode names whole modes: give either it or --sizes and --depths";
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
      return "bad --mode '" + std::string(list) +
             "' (want WxHxBPP, sides 16-4095, depth 8, 16, 24 "
             "or 32, several with commas)";
  }
  std::vector<Mode> sizes;
  if (args.Has("--sizes")) {
    const std::string_view list = args.Value("--sizes");
    const bool good = ForEachItem(list, [&sizes](std::string_view item) {
      Mode size{};
      if (!ParseSize(item, &size)) return false;
      sizes.push_back(size);
      return true;
    });
    if (!good)
      return "bad --sizes '" + std::string(list) +
             "' (want WxH, sides 16-4095, several with "
             "commas)";
  }
  std::vector<int32_t> depths;
  if (args.Has("--depths")) {
    const std::string_view list = args.Value("--depths");
    const bool good = ForEachItem(list, [&depths](std::string_view item) {
      long value = 0;
      if (!ParseInt(item, 8, 32, &value) || value % 8 != 0) return false;
      depths.push_back(static_cast<int32_t>(value));
      return true;
    });
    if (!good)
      return "bad --depths '" + std::string(list) + "' (8, 16, 24 or 32, several with commas)";
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
  if (args.Has("--threads")) {
    const std::string_view list = args.Value("--threads");
    const bool good = ForEachItem(list, [o](std::string_view item) {
      int32_t count = 0;
      if (!plat::ParseThreadCount(item, &count)) return false;
      o->threads.push_back(count);
      return true;
    });
    if (!good)
      return "bad --threads '" + std::string(list) + "' (1-" + std::to_string(plat::kMaxThreads) +
             ", several with commas)";
  }
  if (args.Has("--frames") && !ParseInt(args.Value("--frames"), 1, 1000000, &o->frames))
    return "bad --frames '" + std::string(args.Value("--frames")) + "' (1-1000000)";
  if (o->modes.empty()) {
    if (sizes.empty())
      sizes = {{640, 480, 0}, {1024, 768, 0}, {1600, 1200, 0}, {1920, 1440, 0}, {3840, 2160, 0}};
    if (depths.empty()) depths = {8, 16, 24, 32};
    for (const Mode size : sizes) {
      for (const int32_t bpp : depths) o->modes.push_back({size.width, size.height, bpp});
    }
  }
  if (o->shadings.empty()) o->shadings = {0, 1, 2, 3, 4, 5};
  return {};
}

}  // namespace bench
