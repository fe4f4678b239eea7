#include "tools/png_read.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Any one allocation of stb_image past this is refused. Set for each picture
// from its size: stb_image grows its buffers by doubling as data come, and a
// few hundred bytes of deflate data can ask for gigabytes.
thread_local size_t allocationLimit = SIZE_MAX;
thread_local bool refused = false;

void* Allocate(size_t bytes) {
  if (bytes > allocationLimit) {
    refused = true;
    return nullptr;
  }
  return std::malloc(bytes);
}

void* Reallocate(void* block, size_t bytes) {
  if (bytes > allocationLimit) {
    refused = true;
    return nullptr;
  }
  return std::realloc(block, bytes);
}

}  // namespace

// stb_image compiled here: PNG from memory only (Debian: libstb-dev).
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MALLOC(bytes) Allocate(bytes)
#define STBI_REALLOC(block, bytes) Reallocate(block, bytes)
#define STBI_FREE(block) std::free(block)
#include <stb_image.h>

namespace {

uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// Every chunk whole, up to IEND: stb_image would otherwise take a damaged
// length at its word and reserve it.
bool ChunksWhole(const uint8_t* data, size_t size, std::string* error) {
  size_t at = 8;
  while (size - at >= 8) {
    const uint32_t length = Be32(data + at);
    std::string type(reinterpret_cast<const char*>(data + at + 4), 4);
    for (char& c : type)
      if (!std::isalpha(static_cast<unsigned char>(c))) c = '?';
    if (length > size - at - 8 || size - at - 8 - length < 4) {
      *error = "a damaged PNG: cut off in its " + type + " chunk";
      return false;
    }
    if (type == "IEND") return true;
    at += 12 + static_cast<size_t>(length);
  }
  *error = "a damaged PNG: cut off before its IEND chunk";
  return false;
}

// stb_image's reason, printable: for an unknown chunk it holds the chunk's
// four bytes as they are, line breaks included.
std::string FailureReason() {
  std::string reason = stbi_failure_reason();
  for (char& c : reason)
    if (!std::isprint(static_cast<unsigned char>(c))) c = '?';
  return reason;
}

}  // namespace

bool PngSize(const uint8_t* data, size_t size, int* width, int* height, std::string* error) {
  if (size < 8 || !ChunksWhole(data, size, error)) return false;
  int channels = 0;
  if (size > static_cast<size_t>(INT32_MAX) ||
      !stbi_info_from_memory(data, static_cast<int>(size), width, height, &channels)) {
    *error = "not a readable PNG: " + FailureReason();
    return false;
  }
  return true;
}

bool DecodePngRgba(const uint8_t* data, size_t size, std::vector<uint8_t>* rgba,
                   std::string* error) {
  int width = 0, height = 0;
  if (!PngSize(data, size, &width, &height, error)) return false;
  const int bytes = static_cast<int>(size);
  const bool wide = stbi_is_16_bit_from_memory(data, bytes) != 0;
  // Twice what the compressed data or the widest picture of this size (16-bit
  // RGBA, a filter byte a row in each of seven interlace passes) can fill.
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  allocationLimit = 2 * (size + pixels * 8 + static_cast<size_t>(height) * 7) + (64u << 10);
  refused = false;
  int w = 0, h = 0, channels = 0;
  void* decoded =
      wide ? static_cast<void*>(stbi_load_16_from_memory(data, bytes, &w, &h, &channels, 4))
           : static_cast<void*>(stbi_load_from_memory(data, bytes, &w, &h, &channels, 4));
  allocationLimit = SIZE_MAX;
  if (decoded == nullptr) {
    *error = refused ? "a damaged PNG: its data unpack to more than a " + std::to_string(width) +
                           "x" + std::to_string(height) + " picture holds"
                     : "a damaged PNG: " + FailureReason();
    return false;
  }
  rgba->resize(pixels * 4);
  if (wide) {
    // Rounded, as v * 255 / 65535 to the nearest.
    const auto* samples = static_cast<const uint16_t*>(decoded);
    for (size_t i = 0; i < rgba->size(); ++i)
      (*rgba)[i] = static_cast<uint8_t>((samples[i] + 128u) / 257u);
  } else {
    std::memcpy(rgba->data(), decoded, rgba->size());
  }
  stbi_image_free(decoded);
  return true;
}
