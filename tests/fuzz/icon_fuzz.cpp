// The icon reader that gives the window, the About box and the desktop
// window their icon.
#include <vector>

#include "fuzz/fuzz_targets.h"
#include "platform/core/core.h"

int fuzz::Icon(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;
  std::string why;
  if (!plat::core::DecodeIcon(bytes, "AppIcon.ico", &width, &height, &rgba, &why)) {
    Require(OneLine(why) && why.rfind("AppIcon.ico", 0) == 0,
            "refused without a one-line reason naming the file");
    return 0;
  }
  Require(width >= 1 && width <= 256 && height >= 1 && height <= 256, "an icon of a size not read");
  Require(rgba.size() == static_cast<size_t>(width) * static_cast<size_t>(height) * 4,
          "pixels of another size than the icon");
  return 0;
}
