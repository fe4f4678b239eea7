// The fuzz targets: each feeds one input's bytes to a real reader of outside
// data, or to the whole program as a user's actions, and aborts, saying why,
// when the result breaks what the reader promises (the sanitizers catch the
// rest). libFuzzer runs them in the fuzz preset (fuzz_main.cpp); the ordinary
// suites run every kept input through the same functions.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

// The first byte picks a data file (mod 9; missing with the top bit), the
// rest is its content; the others are the generated ones.
int DataFiles(const uint8_t* data, size_t size);
// A picture for kelvo-gen-assets --texture: PNG or BMP.
int Picture(const uint8_t* data, size_t size);
// An .ico file as the window's icon.
int Icon(const uint8_t* data, size_t size);
// Arguments separated by NUL bytes, given to every tool's parser.
int CommandLine(const uint8_t* data, size_t size);
// Actions of a user of the whole program (user_fuzz.cpp says how they read).
int User(const uint8_t* data, size_t size);

struct Target {
  const char* name;  // kelvo-fuzz-NAME, and the folder of its kept inputs
  int (*run)(const uint8_t* data, size_t size);
};
inline constexpr Target kTargets[] = {{"data-files", DataFiles},
                                      {"picture", Picture},
                                      {"icon", Icon},
                                      {"command-line", CommandLine},
                                      {"user", User}};

// A broken promise is a finding: libFuzzer keeps the input, a suite fails.
inline void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz: %s\n", what);
  std::abort();
}

inline bool OneLine(const std::string& text) {
  return !text.empty() && text.find('\n') == std::string::npos;
}

}  // namespace fuzz
