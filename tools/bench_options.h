// kelvo-bench's command line: what to time, and how it is asked for.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct Mode {
  int32_t width, height, bpp;
};

struct Options {
  std::string assets;  // empty: found as kelvo-cube finds its data
  std::vector<Mode> modes;
  std::vector<int32_t> shadings;
  std::vector<int32_t> threads;  // empty: from the environment
  long frames = 0;               // 0: chosen per mode
  bool csv = false;
  bool present = false;
  bool convert = false;
};

extern const char* const kUsage;

// Empty when the arguments are good, else what is wrong; *help when the
// usage was asked for.
std::string ParseArgs(int argc, char** argv, Options* o, bool* help);

}  // namespace bench
