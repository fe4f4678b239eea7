// Icons: the first image of an .ico file of the data folder, read into RGBA
// rows for the window class, the About box and the desktop window's icon.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/core/internal.h"

namespace {

using namespace plat;
using namespace plat::core::detail;

std::unique_ptr<IconObject> ReadIcon(const std::string& path, std::string* why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *why = "cannot open " + path;
    return nullptr;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  auto icon = std::make_unique<IconObject>();
  if (!plat::core::DecodeIcon(bytes, path, &icon->width, &icon->height, &icon->rgba, why))
    return nullptr;
  return icon;
}

}  // namespace

namespace plat::core {

bool DecodeIcon(const std::vector<uint8_t>& b, const std::string& path, int32_t* outWidth,
                int32_t* outHeight, std::vector<uint8_t>* rgba, std::string* why) {
  auto u16 = [&](size_t o) { return o + 2 <= b.size() ? uint32_t(b[o] | b[o + 1] << 8) : 0u; };
  auto u32 = [&](size_t o) {
    return o + 4 <= b.size()
               ? uint32_t(b[o] | b[o + 1] << 8 | b[o + 2] << 16) | uint32_t(b[o + 3]) << 24
               : 0u;
  };
  if (b.size() < 22 || u16(0) != 0 || u16(2) != 1 || u16(4) == 0) {
    *why = path + " is not an icon file";
    return false;
  }
  const size_t offset = u32(18), size = u32(14);
  if (offset >= b.size() || size > b.size() - offset || size < 40 || u32(offset) < 40) {
    *why = path + ": the image lies outside the file";
    return false;
  }
  const size_t header = u32(offset);
  const int32_t width = static_cast<int32_t>(u32(offset + 4));
  const int32_t height = static_cast<int32_t>(u32(offset + 8)) / 2;
  const uint32_t bits = u16(offset + 14);
  if (width <= 0 || height <= 0 || width > 256 || height > 256 ||
      (bits != 1 && bits != 4 && bits != 8 && bits != 32) || u32(offset + 16) != 0) {
    *why = path + ": an icon image of a kind not read here";
    return false;
  }
  const uint32_t colours = bits <= 8 ? (u32(offset + 32) ? u32(offset + 32) : 1u << bits) : 0;
  const size_t paletteAt = offset + header;
  const size_t xorAt = paletteAt + size_t{colours} * 4;
  const size_t xorStride = ((size_t(width) * bits + 31) / 32) * 4;
  const size_t andStride = ((size_t(width) + 31) / 32) * 4;
  const size_t andAt = xorAt + xorStride * size_t(height);
  if (colours > 256 || andAt + andStride * size_t(height) > offset + size) {
    *why = path + ": the icon image is cut short";
    return false;
  }
  *outWidth = width;
  *outHeight = height;
  rgba->resize(size_t(width) * size_t(height) * 4);
  for (int32_t y = 0; y < height; ++y) {
    // Rows are stored bottom-up.
    const size_t row = xorAt + xorStride * size_t(height - 1 - y);
    const size_t maskRow = andAt + andStride * size_t(height - 1 - y);
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* o = &(*rgba)[(size_t(y) * size_t(width) + size_t(x)) * 4];
      if (bits == 32) {
        const size_t p = row + size_t(x) * 4;
        o[0] = b[p + 2];
        o[1] = b[p + 1];
        o[2] = b[p];
        o[3] = b[p + 3];
        continue;
      }
      const size_t bit = size_t(x) * bits;
      const uint32_t index = (b[row + bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
      if (index >= colours) {
        *why = path + ": a colour index past the icon's palette";
        return false;
      }
      const size_t p = paletteAt + size_t{index} * 4;
      const bool transparent = (b[maskRow + size_t(x) / 8] >> (7 - x % 8)) & 1;
      o[0] = b[p + 2];
      o[1] = b[p + 1];
      o[2] = b[p];
      o[3] = transparent ? 0 : 255;
    }
  }
  return true;
}

void SetDataDirectory(const std::string& dir) { Windows().dataDir = dir; }

bool WindowIcon(HWND window, int32_t* width, int32_t* height, std::vector<uint8_t>* rgba) {
  WindowObject* w = Live(window);
  const WindowClass* c = w ? ClassOf(*w) : nullptr;
  if (!c || !c->wc.hIcon || !width || !height || !rgba) return false;
  const IconObject* icon = c->wc.hIcon;
  *width = icon->width;
  *height = icon->height;
  *rgba = icon->rgba;
  return true;
}

}  // namespace plat::core

namespace plat {

HICON LoadIconA(HINSTANCE instance, const char* name) {
  if (!ModuleInstance(instance)) return nullptr;
  const ResourceModule& r = Resources();
  const IconResource* icon = FindNamedResource(r.icons, r.iconCount, name);
  if (!icon) return nullptr;
  WindowState& s = Windows();
  std::string why;
  std::unique_ptr<IconObject> object = ReadIcon(s.dataDir + "/" + icon->fileName, &why);
  if (!object) {
    // A program without its icon still runs; say so once.
    if (s.missingIconsReported.insert(icon->name).second)
      std::fprintf(stderr, "kelvo: no icon %s (%s)\n", icon->name, why.c_str());
    return nullptr;
  }
  HICON h = object.get();
  s.icons.push_back(std::move(object));
  return h;
}

}  // namespace plat
