#include "tools/picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/files.h"
#include "tools/png_read.h"

namespace {

// A file this big cannot be a picture we would accept anyway.
constexpr size_t kMaxFileBytes = 512u << 20;

std::string TooLarge(uint64_t width, uint64_t height) {
  return "a " + std::to_string(width) + "x" + std::to_string(height) +
         " picture is too large (at most " + std::to_string(kMaxPictureSide) +
         " pixels a side and " + std::to_string(kMaxPicturePixels / 1000000) + " million in all)";
}

bool SizeFits(uint64_t width, uint64_t height, std::string* error) {
  if (width == 0 || height == 0) {
    *error = "a " + std::to_string(width) + "x" + std::to_string(height) + " picture has no pixels";
    return false;
  }
  if (width > kMaxPictureSide || height > kMaxPictureSide ||
      width * height > static_cast<uint64_t>(kMaxPicturePixels)) {
    *error = TooLarge(width, height);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// PNG.

uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

bool DecodePng(const uint8_t* data, size_t size, Picture* picture, std::string* error) {
  // The size comes first in the file: judged before the rest is read, so that
  // an absurd one is named as such even when the rest is missing.
  if (size >= 24 && std::memcmp(data + 12, "IHDR", 4) == 0) {
    if (!SizeFits(Be32(data + 16), Be32(data + 20), error)) return false;
  }
  int width = 0, height = 0;
  if (!PngSize(data, size, &width, &height, error)) return false;
  if (!SizeFits(static_cast<uint64_t>(width), static_cast<uint64_t>(height), error)) return false;
  std::vector<uint8_t> pixels;
  if (!DecodePngRgba(data, size, &pixels, error)) return false;
  // Laid over black, in place: RGBA in, RGB out.
  const size_t count = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < count; ++i) {
    const unsigned alpha = pixels[i * 4 + 3];
    for (size_t c = 0; c < 3; ++c)
      pixels[i * 3 + c] = static_cast<uint8_t>((pixels[i * 4 + c] * alpha + 127) / 255);
  }
  pixels.resize(count * 3);
  picture->width = static_cast<int>(width);
  picture->height = static_cast<int>(height);
  picture->rgb = std::move(pixels);
  return true;
}

// ---------------------------------------------------------------------------
// BMP.

uint32_t Le16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | (Le16(p + 2) << 16); }

// One colour channel of a packed pixel, given by its bit mask.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;

  bool Set(uint32_t m) {
    mask = m;
    if (m == 0) return true;
    shift = 0;
    while (((m >> shift) & 1u) == 0) ++shift;
    max = m >> shift;
    return (max & (max + 1)) == 0;  // one run of bits
  }
  // The channel scaled to 0..255; `absent` when there is no mask.
  uint8_t Of(uint32_t pixel, uint8_t absent) const {
    if (mask == 0) return absent;
    const uint64_t v = (pixel & mask) >> shift;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
  }
};

bool DecodeBmp(const uint8_t* data, size_t size, Picture* picture, std::string* error) {
  auto fail = [error](const std::string& reason) {
    *error = reason;
    return false;
  };
  if (size < 14 + 12)
    return fail("a BMP too short for its headers (" + std::to_string(size) + " bytes)");
  const uint32_t pixelOffset = Le32(data + 10);
  const uint32_t headerSize = Le32(data + 14);
  if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 &&
      headerSize != 64 && headerSize != 108 && headerSize != 124)
    return fail("a BMP with an unknown header of " + std::to_string(headerSize) + " bytes");
  if (size < 14 + static_cast<size_t>(headerSize))
    return fail("a BMP cut off in its header (" + std::to_string(size) + " bytes)");
  const uint8_t* h = data + 14;

  int64_t width = 0, height = 0;
  uint32_t bits = 0, compression = 0, coloursUsed = 0;
  size_t paletteAt = 14 + headerSize;
  size_t paletteEntry = 4;
  if (headerSize == 12) {  // OS/2 and Windows 2 core header
    width = Le16(h + 4);
    height = Le16(h + 6);
    bits = Le16(h + 10);
    paletteEntry = 3;
  } else {
    width = static_cast<int32_t>(Le32(h + 4));
    height = static_cast<int32_t>(Le32(h + 8));
    bits = Le16(h + 14);
    compression = Le32(h + 16);
    coloursUsed = Le32(h + 32);
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return fail("a " + std::to_string(bits) + "-bit BMP; 1, 4, 8, 16, 24 and 32 bits are read");
  if (width < 0) return fail("a BMP of negative width " + std::to_string(width));
  if (!SizeFits(static_cast<uint64_t>(width), static_cast<uint64_t>(height), error)) return false;

  Channel red, green, blue, alpha;
  if (compression == 3 || compression == 6) {  // BI_BITFIELDS, BI_ALPHABITFIELDS
    if (bits != 16 && bits != 32)
      return fail("a " + std::to_string(bits) + "-bit BMP with colour masks");
    if (headerSize == 64) return fail("an OS/2 BMP compressed with Huffman or RLE24");
    // A plain 40-byte header is followed by the masks; longer ones hold them.
    const size_t masksAt = 14 + 40;
    const size_t maskCount = compression == 6 || headerSize >= 56 ? 4 : 3;
    if (headerSize == 40) paletteAt += 4 * maskCount;
    if (size < masksAt + 4 * maskCount) return fail("a BMP cut off in its colour masks");
    if (!red.Set(Le32(data + masksAt)) || !green.Set(Le32(data + masksAt + 4)) ||
        !blue.Set(Le32(data + masksAt + 8)) ||
        (maskCount == 4 && !alpha.Set(Le32(data + masksAt + 12))))
      return fail("a BMP with colour masks that are not runs of bits");
  } else if (compression == 0) {
    if (bits == 16) {
      red.Set(0x7C00);
      green.Set(0x03E0);
      blue.Set(0x001F);
    } else if (bits == 32) {  // the fourth byte is unused, not alpha
      red.Set(0xFF0000);
      green.Set(0xFF00);
      blue.Set(0xFF);
    }
  } else {
    const char* kinds[] = {"", "RLE8", "RLE4", "", "JPEG", "PNG"};
    const std::string kind = compression < 6 ? kinds[compression] : "";
    return fail("a BMP compressed " +
                (kind.empty() ? "with method " + std::to_string(compression) : "as " + kind) +
                "; save it uncompressed or as PNG");
  }

  uint8_t palette[256][3] = {};
  size_t paletteSize = 0;
  if (bits <= 8) {
    const size_t full = size_t{1} << bits;
    paletteSize = coloursUsed == 0 || coloursUsed > full ? full : coloursUsed;
    if (paletteAt + paletteSize * paletteEntry > size)
      return fail("a BMP cut off in its colour table");
    for (size_t i = 0; i < paletteSize; ++i) {
      const uint8_t* e = data + paletteAt + i * paletteEntry;
      palette[i][0] = e[2];
      palette[i][1] = e[1];
      palette[i][2] = e[0];
    }
  }

  const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
  const uint64_t needed = stride * static_cast<uint64_t>(height);
  if (pixelOffset > size || needed > size - pixelOffset) {
    return fail("a cut-off BMP: its " + std::to_string(width) + "x" + std::to_string(height) +
                " pixels need " + std::to_string(needed) + " bytes from byte " +
                std::to_string(pixelOffset) + ", the file has " + std::to_string(size));
  }

  const size_t w = static_cast<size_t>(width), rowsCount = static_cast<size_t>(height);
  std::vector<uint8_t> rgb(w * rowsCount * 3);
  std::vector<uint8_t> alphas(alpha.mask != 0 ? w * rowsCount : 0);
  bool anyAlpha = false;
  for (size_t row = 0; row < rowsCount; ++row) {
    const uint8_t* in = data + pixelOffset + row * stride;
    const size_t y = topDown ? row : rowsCount - 1 - row;
    uint8_t* out = &rgb[y * w * 3];
    for (size_t x = 0; x < w; ++x, out += 3) {
      if (bits <= 8) {
        const size_t bit = x * bits;
        const unsigned index = (in[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        if (index < paletteSize) std::memcpy(out, palette[index], 3);  // else black
      } else if (bits == 24) {
        out[0] = in[x * 3 + 2];
        out[1] = in[x * 3 + 1];
        out[2] = in[x * 3];
      } else {
        const uint32_t pixel = bits == 16 ? Le16(in + x * 2) : Le32(in + x * 4);
        out[0] = red.Of(pixel, 0);
        out[1] = green.Of(pixel, 0);
        out[2] = blue.Of(pixel, 0);
        if (!alphas.empty()) {
          alphas[y * w + x] = alpha.Of(pixel, 255);
          anyAlpha = anyAlpha || alphas[y * w + x] != 0;
        }
      }
    }
  }
  // Many writers leave the alpha channel all zero; only a used one counts.
  if (anyAlpha) {
    for (size_t i = 0; i < alphas.size(); ++i)
      for (size_t c = 0; c < 3; ++c)
        rgb[i * 3 + c] = static_cast<uint8_t>((rgb[i * 3 + c] * alphas[i] + 127) / 255);
  }
  picture->width = static_cast<int>(width);
  picture->height = static_cast<int>(height);
  picture->rgb = std::move(rgb);
  return true;
}

// ---------------------------------------------------------------------------
// Scaling.

struct Tap {
  size_t index;
  double weight;
};

// For each of `count` outputs along one axis, the source pixels it takes and
// their weights; the outputs cover [start, start + length) of `size` pixels.
std::vector<std::vector<Tap>> AxisTaps(int size, double start, double length, int count) {
  const double step = length / count;
  // Only pixels of the part shown are taken, even at its edges.
  const double first = std::max(0.0, std::floor(start));
  const double last = std::min(size - 1.0, std::ceil(start + length) - 1.0);
  auto clamp = [first, last](double i) { return static_cast<size_t>(std::clamp(i, first, last)); };
  std::vector<std::vector<Tap>> taps(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    std::vector<Tap>& t = taps[static_cast<size_t>(i)];
    if (step >= 1.0) {
      // Shrinking: every source pixel by how much of it the output covers.
      const double low = start + i * step;
      const double high = low + step;
      for (double j = std::floor(low); j < high; j += 1.0) {
        const double cover = std::min(high, j + 1.0) - std::max(low, j);
        if (cover > 1e-9) t.push_back({clamp(j), cover});
      }
    } else {
      // Enlarging: the two source pixels whose centres lie either side.
      const double x = start + (i + 0.5) * step - 0.5;
      const double j = std::floor(x);
      const double f = x - j;
      t.push_back({clamp(j), 1.0 - f});
      t.push_back({clamp(j + 1.0), f});
    }
    double sum = 0;
    for (const Tap& tap : t) sum += tap.weight;
    for (Tap& tap : t) tap.weight /= sum;
  }
  return taps;
}

}  // namespace

bool DecodePicture(const uint8_t* data, size_t size, Picture* picture, std::string* error) {
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size >= 8 && std::memcmp(data, kPngSignature, 8) == 0)
    return DecodePng(data, size, picture, error);
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return DecodeBmp(data, size, picture, error);
  *error = size == 0 ? "an empty file, not a picture" : "not a PNG or BMP picture";
  return false;
}

bool ReadPicture(const std::string& path, Picture* picture, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, kMaxFileBytes, &bytes, error)) return false;
  std::string reason;
  if (!DecodePicture(bytes.data(), bytes.size(), picture, &reason)) {
    *error = path + ": " + reason;
    return false;
  }
  return true;
}

std::vector<double> ResizeSquare(const Picture& picture, int side, Fit fit) {
  const int w = picture.width, h = picture.height;
  double x0 = 0, y0 = 0, cropW = w, cropH = h;
  if (fit == Fit::kCrop) {
    const double square = std::min(w, h);
    x0 = (w - square) / 2.0;
    y0 = (h - square) / 2.0;
    cropW = cropH = square;
  }
  const auto across = AxisTaps(w, x0, cropW, side);
  const auto down = AxisTaps(h, y0, cropH, side);
  std::vector<double> out(static_cast<size_t>(side) * static_cast<size_t>(side) * 3);
  std::vector<double> row(static_cast<size_t>(w) * 3);
  for (size_t oy = 0; oy < down.size(); ++oy) {
    // The source rows this output row covers, weighted into one ...
    std::fill(row.begin(), row.end(), 0.0);
    for (const Tap& tap : down[oy]) {
      const uint8_t* in = &picture.rgb[tap.index * static_cast<size_t>(w) * 3];
      for (size_t i = 0; i < row.size(); ++i) row[i] += tap.weight * in[i];
    }
    // ... then across it.
    for (size_t ox = 0; ox < across.size(); ++ox) {
      double* pixel = &out[(oy * static_cast<size_t>(side) + ox) * 3];
      for (const Tap& tap : across[ox])
        for (size_t c = 0; c < 3; ++c) pixel[c] += tap.weight * row[tap.index * 3 + c];
    }
  }
  return out;
}
