#include "tools/render_options.h"

#include <string>
#include <string_view>

#include "platform/threads.h"

namespace render {

std::string ParseArgs(int argc, char** argv, Options* o, bool* help) {
  Arguments args;
  std::string error;
  if (!SplitArguments(argc, argv,
                      {{"--assets", 1},
                       {"--mode", 1},
                       {"--shading", 1},
                       {"--frame", 1},
                       {"--frames", 1},
                       {"--no-text", 0},
                       {"--png", 1},
                       {"--raw", 1},
                       {"--out-dir", 1},
                       {"--format", 1},
                       {"--sheet", 1},
                       {"--threads", 1}},
                      0, &args, &error))
    return error;
  *help = args.help();
  if (*help) return {};
  if (args.Has("--assets")) o->assets = args.Value("--assets");
  if (args.Has("--mode")) {
    const std::string value(args.Value("--mode"));
    bool badDepth = false;
    const bool good = ForEachItem(value, [o, &badDepth](std::string_view item) {
      RequestedMode mode;
      if (!ParseDisplayMode(item, 1, &mode, &badDepth)) return false;
      o->modes.push_back({mode.width, mode.height, mode.bitsPerPixel});
      return true;
    });
    if (!good && badDepth) return "unsupported depth in '" + value + "' (8, 16, 24 or 32)";
    if (!good) return "bad --mode '" + value + "' (want WxHxBPP, sides 1-4095)";
  }
  if (args.Has("--shading")) {
    const std::string value(args.Value("--shading"));
    const bool good = ForEachItem(value, [o](std::string_view item) {
      long n = 0;
      if (!ParseInt(item, 0, 5, &n)) return false;
      o->shadings.push_back(static_cast<int>(n));
      return true;
    });
    if (!good) return "bad --shading '" + value + "' (0-5)";
  }
  if (args.Has("--frame")) {
    const std::string value(args.Value("--frame"));
    const bool good = ForEachItem(value, [o](std::string_view item) {
      long n = 0;
      if (!ParseInt(item, 0, 100000000, &n)) return false;
      o->starts.push_back(n);
      return true;
    });
    if (!good) return "bad --frame '" + value + "' (0-100000000)";
  }
  if (args.Has("--frames") && !ParseInt(args.Value("--frames"), 1, 100000, &o->frames))
    return "bad --frames '" + std::string(args.Value("--frames")) + "' (1-100000)";
  if (args.Has("--threads") && !plat::ParseThreadCount(args.Value("--threads"), &o->threads))
    return "bad --threads '" + std::string(args.Value("--threads")) + "' (1-" +
           std::to_string(plat::kMaxThreads) + ")";
  o->text = !args.Has("--no-text");
  o->png = args.Value("--png");
  o->raw = args.Value("--raw");
  o->outDir = args.Value("--out-dir");
  o->sheet = args.Value("--sheet");
  for (const char* flag : {"--assets", "--png", "--raw", "--out-dir", "--sheet"}) {
    if (args.Has(flag) && args.Value(flag).empty()) return std::string("empty name after ") + flag;
  }
  if (args.Has("--format")) {
    const std::string_view format = args.Value("--format");
    if (format == "raw") {
      o->rawFrames = true;
    } else if (format == "png") {
      o->rawFrames = false;
    } else {
      return "bad --format '" + std::string(format) + "' (png or raw)";
    }
  }
  if (o->png.empty() && o->raw.empty() && o->outDir.empty() && o->sheet.empty())
    return "nothing to write: give --png, --raw, --out-dir or --sheet";
  if (o->frames > 1 && o->outDir.empty()) return "--frames needs --out-dir";
  if (args.Has("--format") && o->outDir.empty()) return "--format needs --out-dir";
  const bool several = o->modes.size() > 1 || o->shadings.size() > 1 || o->starts.size() > 1;
  if (several && (!o->png.empty() || !o->raw.empty() || !o->sheet.empty()))
    return "--png, --raw and --sheet take one mode, shading mode and frame; lists go with "
           "--out-dir";
  if (o->modes.empty()) o->modes.push_back({640, 480, 8});
  if (o->shadings.empty()) o->shadings.push_back(0);
  if (o->starts.empty()) o->starts.push_back(0);
  return {};
}

}  // namespace render
