// What the monitor's conversion and its shrinking share: when a screen can be
// shown at all, and how many bands of rows its work is shared out in.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "platform/core/core.h"
#include "platform/threads.h"

namespace plat::core {

inline bool Presentable(const ScreenView& view) {
  return view.pixels && view.width > 0 && view.height > 0;
}

// One band per drawing thread, no more than rows, and none so small that
// handing it over costs more than it saves.
inline int32_t PresentParts(size_t pixels, int32_t rows) {
  constexpr size_t kPartPixels = 16 * 1024;
  const size_t most = std::min<size_t>(static_cast<size_t>(ThreadCount()), pixels / kPartPixels);
  return static_cast<int32_t>(std::clamp<size_t>(most, 1, static_cast<size_t>(std::max(rows, 1))));
}

}  // namespace plat::core
