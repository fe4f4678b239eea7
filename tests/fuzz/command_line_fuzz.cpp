// The tools' command lines: one argument list given to kelvo-render's and
// kelvo-bench's parsers and to the shared splitting with kelvo-gen-assets'
// flags; what a parser accepts must be what its tool can run.
#include <string_view>
#include <vector>

#include "fuzz/fuzz_targets.h"
#include "platform/threads.h"
#include "tools/arguments.h"
#include "tools/bench_options.h"
#include "tools/render_options.h"

namespace {

bool GoodDepth(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// A flag among the arguments: never another flag's value.
bool Given(int argc, char** argv, std::string_view flag) {
  for (int i = 1; i < argc; ++i)
    if (argv[i] == flag) return true;
  return false;
}

void CheckRender(int argc, char** argv) {
  render::Options o;
  bool help = false;
  const std::string error = render::ParseArgs(argc, argv, &o, &help);
  if (!error.empty() || help) return;
  fuzz::Require(!o.modes.empty() && !o.shadings.empty() && !o.starts.empty(),
                "kelvo-render accepted a run with nothing to draw");
  for (const render::Mode& m : o.modes)
    fuzz::Require(
        m.width >= 1 && m.width <= 4095 && m.height >= 1 && m.height <= 4095 && GoodDepth(m.bpp),
        "kelvo-render accepted a mode it cannot draw");
  for (int s : o.shadings) fuzz::Require(s >= 0 && s <= 5, "kelvo-render: a bad shading mode");
  for (long k : o.starts) fuzz::Require(k >= 0 && k <= 100000000, "kelvo-render: a bad frame");
  fuzz::Require(o.frames >= 1 && o.frames <= 100000, "kelvo-render: a bad frame count");
  fuzz::Require(o.threads >= 0 && o.threads <= plat::kMaxThreads, "kelvo-render: bad threads");
  fuzz::Require(!(o.png.empty() && o.raw.empty() && o.outDir.empty() && o.sheet.empty()),
                "kelvo-render accepted a run that writes nothing");
  // Without --assets, the data is looked for as kelvo-cube looks.
  fuzz::Require(o.assets.empty() != Given(argc, argv, "--assets"),
                "kelvo-render: --assets without a folder, or a folder without --assets");
}

void CheckBench(int argc, char** argv) {
  bench::Options o;
  bool help = false;
  const std::string error = bench::ParseArgs(argc, argv, &o, &help);
  if (!error.empty() || help) return;
  fuzz::Require(!o.modes.empty() && !o.shadings.empty(), "kelvo-bench accepted no case");
  for (const bench::Mode& m : o.modes)
    fuzz::Require(
        m.width >= 16 && m.width <= 4095 && m.height >= 16 && m.height <= 4095 && GoodDepth(m.bpp),
        "kelvo-bench accepted a mode it cannot draw");
  for (int32_t s : o.shadings) fuzz::Require(s >= 0 && s <= 5, "kelvo-bench: a bad shading mode");
  for (int32_t t : o.threads)
    fuzz::Require(t >= 1 && t <= plat::kMaxThreads, "kelvo-bench: a bad thread count");
  fuzz::Require(o.frames >= 0 && o.frames <= 1000000, "kelvo-bench: a bad frame count");
  fuzz::Require(o.assets.empty() != Given(argc, argv, "--assets"),
                "kelvo-bench: --assets without a folder, or a folder without --assets");
}

void CheckSplit(int argc, char** argv) {
  constexpr std::string_view kFlags[] = {"--png", "--texture", "--out", "--stretch"};
  Arguments args;
  std::string error;
  if (!SplitArguments(argc, argv, {{"--png", 1}, {"--texture", 2}, {"--out", 1}, {"--stretch", 0}},
                      1, &args, &error)) {
    fuzz::Require(!error.empty(), "refused without a reason");
    return;
  }
  bool helpGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    helpGiven = helpGiven || arg == "--help" || arg == "-h";
  }
  fuzz::Require(args.help() == helpGiven, "help asked for and not seen, or seen and not asked");
  if (args.help()) return;
  fuzz::Require(args.plain().size() <= 1, "more plain arguments than the tool takes");
  for (std::string_view plain : args.plain())
    fuzz::Require(plain.size() <= 1 || plain[0] != '-', "an unknown flag taken as a name");
  for (std::string_view flag : kFlags) {
    for (int k = 0; k < 2; ++k) {
      const std::string_view value = args.Value(flag, k);
      for (std::string_view other : kFlags)
        fuzz::Require(value != other, "a flag taken as another's value");
    }
  }
}

}  // namespace

int fuzz::CommandLine(const uint8_t* data, size_t size) {
  // The arguments as the system hands them over: NUL-terminated strings.
  std::vector<std::string> words{"tool"};
  std::string word;
  for (size_t i = 0; i < size && words.size() < 64; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(data[i]);
    }
  }
  if (!word.empty() && words.size() < 64) words.push_back(word);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());
  CheckRender(argc, argv.data());
  CheckBench(argc, argv.data());
  CheckSplit(argc, argv.data());
  for (int i = 1; i < argc; ++i) {
    RequestedMode mode{};
    bool badDepth = false;
    if (ParseDisplayMode(argv[i], 1, &mode, &badDepth)) {
      Require(!badDepth && GoodDepth(mode.bitsPerPixel), "a mode of a depth not drawn");
      Require(mode.width >= 1 && mode.width <= 4095 && mode.height >= 1 && mode.height <= 4095,
              "a mode of a size not drawn");
    }
  }
  return 0;
}
