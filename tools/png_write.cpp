#include "tools/png_write.h"

#include <cstdint>

#include "tools/files.h"

// stb_image_write compiled here, PNG to memory only: every system's build
// writes its pictures with the same code (Debian: libstb-dev).
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace {

// The whole file comes at once; Commit finds a failed write.
void Take(void* file, void* data, int size) {
  static_cast<OutputFile*>(file)->Write(data, static_cast<size_t>(size));
}

bool WritePixels(const char* path, int width, int height, int channels, const uint8_t* pixels,
                 std::string* error) {
  // stb_image_write counts the rows and their compressed bytes in int: larger
  // pictures are refused before a file is opened.
  constexpr uint64_t kMaxRowBytes = 900u << 20;
  auto fail = [error](const std::string& reason) {
    if (error != nullptr) *error = reason;
    return false;
  };
  if (path == nullptr || pixels == nullptr) return fail("no path or no pixels");
  if (width <= 0 || height <= 0 ||
      (static_cast<uint64_t>(width) * static_cast<uint64_t>(channels) + 1) *
              static_cast<uint64_t>(height) >
          kMaxRowBytes) {
    return fail("bad picture size " + std::to_string(width) + " x " + std::to_string(height));
  }
  OutputFile file;
  std::string reason;
  if (!file.Open(path, &reason)) return fail(reason);
  // Leaving without Commit drops the new file and nothing else.
  if (!stbi_write_png_to_func(Take, &file, width, height, channels, pixels, width * channels))
    return fail(std::string("cannot write ") + path + ": out of memory");
  if (!file.Commit(&reason)) return fail(reason);
  return true;
}

}  // namespace

bool WritePng(const char* path, int width, int height, const uint8_t* rgb, std::string* error) {
  return WritePixels(path, width, height, 3, rgb, error);
}

bool WritePngRgba(const char* path, int width, int height, const uint8_t* rgba,
                  std::string* error) {
  return WritePixels(path, width, height, 4, rgba, error);
}
