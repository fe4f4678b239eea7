// Numbers as the trace, the start-up messages and the resource script write
// them. A helper every layer may use; no service of the window system.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

namespace plat {

// "0x" and the value in upper-case hex digits, at least `digits` of them.
inline std::string Hex(uint32_t value, int digits = 1) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

}  // namespace plat
