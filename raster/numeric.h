#pragma once
#include <cmath>
#include <cstdint>

// Double to 32-bit integer by one rule on every compiler: truncate toward zero,
// then wrap modulo 2^32; a non-finite value gives 0. Inside the int32 range
// this is exactly the plain conversion.
inline int32_t TruncToInt32(double v) {
  if (v > -2147483649.0 && v < 2147483648.0) return static_cast<int32_t>(v);
  if (!std::isfinite(v)) return 0;
  constexpr double kTwo32 = 4294967296.0;
  double m = std::fmod(std::trunc(v), kTwo32);
  if (m < 0) m += kTwo32;
  return static_cast<int32_t>(static_cast<uint32_t>(m));
}

// Round to nearest, ties to even, then the same wrap.
inline int32_t RoundToInt32(double v) { return TruncToInt32(std::nearbyint(v)); }
