// kelvo-render's command line: what to draw, and where it goes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/arguments.h"

namespace render {

struct Mode {
  int width, height, bpp;
};

struct Options {
  std::string assets;  // empty: found as kelvo-cube finds its data
  std::vector<Mode> modes;
  std::vector<int> shadings;
  std::vector<long> starts;
  long frames = 1;
  bool text = true;
  bool rawFrames = false;  // --out-dir holds raw back buffers
  int32_t threads = 0;     // 0: from the environment
  std::string png, raw, outDir, sheet;
};

// Empty when the arguments are good, else what is wrong; *help when the
// usage was asked for.
std::string ParseArgs(int argc, char** argv, Options* o, bool* help);

}  // namespace render
