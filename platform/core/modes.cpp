// The mode lists a driver can be given: the classic sizes of the old display
// cards, and those with the desktop's own size.
#include <algorithm>
#include <vector>

#include "platform/core/internal.h"

namespace plat::core {

namespace detail {

bool ListsSize(const std::vector<Mode>& modes, uint32_t width, uint32_t height) {
  return std::any_of(modes.begin(), modes.end(),
                     [&](const Mode& m) { return m.width == width && m.height == height; });
}

}  // namespace detail

std::vector<Mode> ClassicModes() {
  std::vector<Mode> modes;
  const uint32_t sizes[][2] = {{320, 200}, {320, 240},  {640, 400},   {640, 480},
                               {800, 600}, {1024, 768}, {1280, 1024}, {1600, 1200}};
  for (const auto& s : sizes)
    for (uint32_t bpp : {8u, 16u, 24u, 32u}) modes.push_back({s[0], s[1], bpp});
  return modes;
}

std::vector<Mode> ModesWithDesktop(uint32_t width, uint32_t height) {
  std::vector<Mode> modes = ClassicModes();
  if (width == 0 || height == 0 || detail::ListsSize(modes, width, height)) return modes;
  for (uint32_t bpp : {8u, 16u, 24u, 32u}) modes.push_back({width, height, bpp});
  return modes;
}

}  // namespace plat::core
