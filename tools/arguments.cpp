#include "tools/arguments.h"

#include <charconv>

bool ParseInt(std::string_view text, long low, long high, long* out) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
    return false;
  *out = value;
  return true;
}

bool ParseDisplayMode(std::string_view text, int minSide, RequestedMode* mode, bool* badDepth) {
  *badDepth = false;
  const size_t x1 = text.find('x');
  const size_t x2 = x1 == std::string_view::npos ? x1 : text.find('x', x1 + 1);
  if (x2 == std::string_view::npos) return false;
  long w, h, bpp;
  if (!ParseInt(text.substr(0, x1), minSide, 4095, &w) ||
      !ParseInt(text.substr(x1 + 1, x2 - x1 - 1), minSide, 4095, &h) ||
      !ParseInt(text.substr(x2 + 1), 1, 64, &bpp))
    return false;
  if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
    *badDepth = true;
    return false;
  }
  *mode = {static_cast<int>(w), static_cast<int>(h), static_cast<int>(bpp)};
  return true;
}
