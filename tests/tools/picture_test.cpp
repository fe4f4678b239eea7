// Users' pictures: PNG and BMP files of every common kind read into RGB, and
// bad ones refused with a reason.
#include "tools/picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tools/files.h"
#include "tools/png_write.h"

namespace {

using testing_support::Put16;
using testing_support::Put32;
using testing_support::ScratchDir;

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
  return out << "(" << c.r << "," << c.g << "," << c.b << ")";
}

Rgb At(const Picture& p, int x, int y) {
  const size_t i = (static_cast<size_t>(y) * p.width + x) * 3;
  return {p.rgb[i], p.rgb[i + 1], p.rgb[i + 2]};
}

Picture Decode(const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
  Picture picture;
  std::string reason;
  if (!DecodePicture(bytes.data(), bytes.size(), &picture, &reason)) {
    if (error != nullptr) *error = reason;
    return {};
  }
  EXPECT_EQ(picture.rgb.size(), static_cast<size_t>(picture.width) * picture.height * 3);
  return picture;
}

// Checks every pixel against what the test meant to store.
void ExpectPixels(const Picture& p, int width, int height,
                  const std::function<Rgb(int, int)>& want) {
  ASSERT_EQ(p.width, width);
  ASSERT_EQ(p.height, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) ASSERT_EQ(At(p, x, y), want(x, y)) << "at " << x << "," << y;
}

// v as a 16-bit sample, off by `offset` (at most 128 either way, which still
// rounds to v), kept within 0..65535.
unsigned Wide(int v, int offset) {
  return static_cast<unsigned>(std::clamp(v * 257 + offset, 0, 65535));
}

int Over(int colour, int alpha) { return static_cast<int>(std::lround(colour * alpha / 255.0)); }

// ---------------------------------------------------------------------------
// Test pictures, written by hand.

enum ColourType { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };

struct PngShape {
  PngShape(int w, int h, int type, int bits) : width(w), height(h), colourType(type), depth(bits) {}
  int width, height;
  int colourType;
  int depth;
  bool interlaced = false;
  std::vector<Rgb> palette;
  std::vector<uint8_t> paletteAlpha;  // tRNS for palette pictures
  std::vector<unsigned> transparent;  // tRNS for grey and RGB pictures: the key's samples
  // Samples of pixel (x, y), one per channel, each 0 .. 2^depth - 1.
  std::function<std::vector<unsigned>(int, int)> samples;
};

uint32_t Crc(const uint8_t* p, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body) {
  PutBe32(out, static_cast<uint32_t>(body.size()));
  std::vector<uint8_t> typed(type, type + 4);
  typed.insert(typed.end(), body.begin(), body.end());
  out.insert(out.end(), typed.begin(), typed.end());
  PutBe32(out, Crc(typed.data(), typed.size()));
}

// A zlib stream of stored (uncompressed) blocks.
std::vector<uint8_t> Stored(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};
  size_t at = 0;
  do {
    const size_t n = std::min<size_t>(raw.size() - at, 65535);
    out.push_back(at + n == raw.size() ? 1 : 0);
    for (unsigned v : {unsigned(n), unsigned(~n & 0xFFFF)}) {
      out.push_back(static_cast<uint8_t>(v));
      out.push_back(static_cast<uint8_t>(v >> 8));
    }
    out.insert(out.end(), raw.begin() + static_cast<long>(at),
               raw.begin() + static_cast<long>(at + n));
    at += n;
  } while (at < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  PutBe32(out, b << 16 | a);
  return out;
}

std::vector<uint8_t> Header(int width, int height, int depth, int colourType, bool interlaced) {
  std::vector<uint8_t> ihdr;
  PutBe32(ihdr, static_cast<uint32_t>(width));
  PutBe32(ihdr, static_cast<uint32_t>(height));
  ihdr.insert(ihdr.end(), {uint8_t(depth), uint8_t(colourType), 0, 0, uint8_t(interlaced)});
  return ihdr;
}

std::vector<uint8_t> Png(const std::vector<uint8_t>& ihdr,
                         const std::vector<std::pair<const char*, std::vector<uint8_t>>>& chunks) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Chunk(out, "IHDR", ihdr);
  for (const auto& [type, body] : chunks) Chunk(out, type, body);
  Chunk(out, "IEND", {});
  return out;
}

std::vector<uint8_t> EncodePng(const PngShape& shape) {
  // Rows as the file holds them, each after its filter byte (none): big-endian
  // 16-bit samples, small depths several to a byte; interlaced, the seven
  // passes' rows one after another.
  struct Pass {
    int x0, y0, dx, dy;
  };
  std::vector<Pass> passes = {{0, 0, 1, 1}};
  if (shape.interlaced)
    passes = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
              {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  std::vector<uint8_t> raw;
  for (const Pass& pass : passes) {
    if (pass.x0 >= shape.width) continue;  // an empty pass has no rows
    for (int y = pass.y0; y < shape.height; y += pass.dy) {
      raw.push_back(0);
      const size_t start = raw.size();
      unsigned bitsUsed = 0;
      for (int x = pass.x0; x < shape.width; x += pass.dx) {
        for (unsigned s : shape.samples(x, y)) {
          if (shape.depth == 16) {
            raw.push_back(static_cast<uint8_t>(s >> 8));
            raw.push_back(static_cast<uint8_t>(s));
          } else if (shape.depth == 8) {
            raw.push_back(static_cast<uint8_t>(s));
          } else {
            if (bitsUsed % 8 == 0) raw.push_back(0);
            raw.back() |= static_cast<uint8_t>(s << (8 - shape.depth - bitsUsed % 8));
            bitsUsed += static_cast<unsigned>(shape.depth);
          }
        }
      }
      EXPECT_GT(raw.size(), start);
    }
  }
  std::vector<std::pair<const char*, std::vector<uint8_t>>> chunks;
  if (!shape.palette.empty()) {
    std::vector<uint8_t> plte;
    for (const Rgb& c : shape.palette)
      plte.insert(plte.end(), {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)});
    chunks.push_back({"PLTE", plte});
  }
  if (!shape.paletteAlpha.empty()) chunks.push_back({"tRNS", shape.paletteAlpha});
  if (!shape.transparent.empty()) {
    std::vector<uint8_t> key;
    for (unsigned v : shape.transparent) key.insert(key.end(), {uint8_t(v >> 8), uint8_t(v)});
    chunks.push_back({"tRNS", key});
  }
  chunks.push_back({"IDAT", Stored(raw)});
  return Png(Header(shape.width, shape.height, shape.depth, shape.colourType, shape.interlaced),
             chunks);
}

struct BmpShape {
  BmpShape(int w, int h, int depth, uint32_t method = 0, uint32_t header = 40)
      : width(w), height(h), bits(depth), compression(method), headerSize(header) {}
  int width, height;
  int bits;
  uint32_t compression;
  uint32_t headerSize;
  bool topDown = false;
  uint32_t coloursUsed = 0;
  std::vector<Rgb> palette;
  std::vector<uint32_t> masks;  // after a 40-byte header, or inside a longer one
  // The value of pixel (x, y), y counted from the top: an index, a packed
  // pixel, or 0xRRGGBB for 24 bits.
  std::function<uint32_t(int, int)> value;
};

std::vector<uint8_t> EncodeBmp(const BmpShape& s) {
  const bool core = s.headerSize == 12;
  const size_t stride = (static_cast<size_t>(s.width) * s.bits + 31) / 32 * 4;
  const size_t masksAfter = s.headerSize == 40 ? s.masks.size() * 4 : 0;
  const size_t paletteBytes = s.palette.size() * (core ? 3 : 4);
  const uint32_t offset = static_cast<uint32_t>(14 + s.headerSize + masksAfter + paletteBytes);
  std::vector<uint8_t> out = {'B', 'M'};
  Put32(out, static_cast<uint32_t>(offset + stride * s.height));
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, s.headerSize);
  if (core) {
    Put16(out, static_cast<uint32_t>(s.width));
    Put16(out, static_cast<uint32_t>(s.height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(s.bits));
  } else {
    Put32(out, static_cast<uint32_t>(s.width));
    Put32(out, static_cast<uint32_t>(s.topDown ? -s.height : s.height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(s.bits));
    Put32(out, s.compression);
    Put32(out, static_cast<uint32_t>(stride * s.height));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, s.coloursUsed);
    Put32(out, 0);
    std::vector<uint32_t> inHeader(s.headerSize > 40 ? (s.headerSize - 40) / 4 : 0, 0);
    for (size_t i = 0; i < s.masks.size() && i < inHeader.size(); ++i) inHeader[i] = s.masks[i];
    for (uint32_t v : inHeader) Put32(out, v);
    if (s.headerSize == 40)
      for (uint32_t m : s.masks) Put32(out, m);
  }
  for (const Rgb& c : s.palette) {
    out.push_back(static_cast<uint8_t>(c.b));
    out.push_back(static_cast<uint8_t>(c.g));
    out.push_back(static_cast<uint8_t>(c.r));
    if (!core) out.push_back(0);
  }
  for (int row = 0; row < s.height; ++row) {
    const int y = s.topDown ? row : s.height - 1 - row;
    std::vector<uint8_t> bytes(stride, 0);
    for (int x = 0; x < s.width; ++x) {
      const uint32_t v = s.value(x, y);
      const size_t bit = static_cast<size_t>(x) * s.bits;
      if (s.bits < 8) {
        bytes[bit / 8] |= static_cast<uint8_t>(v << (8 - s.bits - bit % 8));
      } else if (s.bits == 24) {
        bytes[bit / 8] = static_cast<uint8_t>(v);
        bytes[bit / 8 + 1] = static_cast<uint8_t>(v >> 8);
        bytes[bit / 8 + 2] = static_cast<uint8_t>(v >> 16);
      } else {
        for (int k = 0; k < s.bits / 8; ++k)
          bytes[bit / 8 + k] = static_cast<uint8_t>(v >> (8 * k));
      }
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

Rgb Mixed(int x, int y) {  // a different colour nearly everywhere
  return {(x * 37 + y * 11) & 255, (x * 5 + y * 71 + 30) & 255, (x * 97 + y * 3 + 200) & 255};
}

// ---------------------------------------------------------------------------

TEST(ReadPng, EveryColourTypeAndDepthBecomesRgb) {
  const int w = 13, h = 7;  // odd sizes: rows end inside a byte
  {
    SCOPED_TRACE("RGB 8, and interlaced");
    PngShape shape{w, h, kRgb, 8};
    shape.samples = [](int x, int y) {
      const Rgb c = Mixed(x, y);
      return std::vector<unsigned>{unsigned(c.r), unsigned(c.g), unsigned(c.b)};
    };
    ExpectPixels(Decode(EncodePng(shape)), w, h, Mixed);
    shape.interlaced = true;
    ExpectPixels(Decode(EncodePng(shape)), w, h, Mixed);
  }
  for (int depth : {1, 2, 4, 8}) {
    SCOPED_TRACE("grey " + std::to_string(depth));
    const unsigned top = (1u << depth) - 1;
    PngShape shape{w, h, kGrey, depth};
    shape.samples = [top](int x, int y) { return std::vector<unsigned>{(x + 3 * y) % (top + 1)}; };
    ExpectPixels(Decode(EncodePng(shape)), w, h, [top](int x, int y) {
      const int v = static_cast<int>(((x + 3 * y) % (top + 1)) * 255 / top);
      return Rgb{v, v, v};
    });
  }
  {
    SCOPED_TRACE("grey 16 and RGB 16, scaled to 8 bits");
    // k x 257 is exactly k in 8 bits; a small offset must not change that.
    PngShape shape{w, h, kGrey, 16};
    shape.samples = [](int x, int y) { return std::vector<unsigned>{Wide(Mixed(x, y).r, 60)}; };
    ExpectPixels(Decode(EncodePng(shape)), w, h, [](int x, int y) {
      const int v = Mixed(x, y).r;
      return Rgb{v, v, v};
    });
    shape.colourType = kRgb;
    shape.samples = [](int x, int y) {
      const Rgb c = Mixed(x, y);
      return std::vector<unsigned>{Wide(c.r, 0), Wide(c.g, 100), Wide(c.b, -100)};
    };
    ExpectPixels(Decode(EncodePng(shape)), w, h, Mixed);
  }
  {
    SCOPED_TRACE("palette 4 bits with transparency");
    PngShape shape{w, h, kPalette, 4};
    for (int i = 0; i < 16; ++i) shape.palette.push_back({i * 16, 255 - i * 9, i * 5 + 40});
    shape.paletteAlpha = {255, 0, 128, 200};  // the other entries are opaque
    shape.samples = [](int x, int y) { return std::vector<unsigned>{unsigned((x + y) % 16)}; };
    ExpectPixels(Decode(EncodePng(shape)), w, h, [&shape](int x, int y) {
      const int i = (x + y) % 16;
      const int a = i < 4 ? shape.paletteAlpha[static_cast<size_t>(i)] : 255;
      const Rgb& c = shape.palette[static_cast<size_t>(i)];
      return Rgb{Over(c.r, a), Over(c.g, a), Over(c.b, a)};
    });
  }
  {
    SCOPED_TRACE("grey with alpha, RGBA 8 and 16: laid over black");
    PngShape shape{w, h, kGreyAlpha, 8};
    shape.samples = [](int x, int y) { return std::vector<unsigned>{200, unsigned(x * 20 + y)}; };
    ExpectPixels(Decode(EncodePng(shape)), w, h, [](int x, int y) {
      const int v = Over(200, x * 20 + y);
      return Rgb{v, v, v};
    });
    shape.colourType = kRgba;
    shape.samples = [](int x, int y) {
      const Rgb c = Mixed(x, y);
      return std::vector<unsigned>{unsigned(c.r), unsigned(c.g), unsigned(c.b), unsigned(y * 40)};
    };
    auto over = [](int x, int y) {
      const Rgb c = Mixed(x, y);
      return Rgb{Over(c.r, y * 40), Over(c.g, y * 40), Over(c.b, y * 40)};
    };
    ExpectPixels(Decode(EncodePng(shape)), w, h, over);
    shape.depth = 16;
    shape.samples = [](int x, int y) {
      const Rgb c = Mixed(x, y);
      return std::vector<unsigned>{unsigned(c.r * 257), unsigned(c.g * 257), unsigned(c.b * 257),
                                   unsigned(y * 40 * 257)};
    };
    ExpectPixels(Decode(EncodePng(shape)), w, h, over);
  }
  {
    SCOPED_TRACE("RGB with one transparent colour");
    PngShape shape{w, h, kRgb, 8};
    shape.transparent = {10, 20, 30};
    shape.samples = [](int x, int y) {
      return x == y ? std::vector<unsigned>{10, 20, 30} : std::vector<unsigned>{90, 80, 70};
    };
    ExpectPixels(Decode(EncodePng(shape)), w, h, [](int x, int y) {
      return x == y ? Rgb{0, 0, 0} : Rgb{90, 80, 70};
    });
  }
}

TEST(ReadBmp, EveryCommonDepthAndLayoutBecomesRgb) {
  std::vector<Rgb> palette;
  for (int i = 0; i < 256; ++i) palette.push_back({i, (i * 7) & 255, 255 - i});
  auto indexed = [&palette](int bits) {
    return [&palette, bits](int x, int y) {
      return palette[static_cast<size_t>((x * 3 + y * 5) % (1 << bits))];
    };
  };
  for (int bits : {1, 4, 8}) {
    SCOPED_TRACE(std::to_string(bits) + "-bit");
    BmpShape shape{13, 5, bits};
    shape.palette.assign(palette.begin(), palette.begin() + (1 << bits));
    shape.value = [bits](int x, int y) { return uint32_t((x * 3 + y * 5) % (1 << bits)); };
    ExpectPixels(Decode(EncodeBmp(shape)), 13, 5, indexed(bits));
    shape.topDown = true;
    ExpectPixels(Decode(EncodeBmp(shape)), 13, 5, indexed(bits));
    shape.headerSize = 12;  // the old core header, 3-byte colour table entries
    shape.topDown = false;
    ExpectPixels(Decode(EncodeBmp(shape)), 13, 5, indexed(bits));
  }
  {
    SCOPED_TRACE("8-bit with a short colour table: the indices past it are black");
    BmpShape shape{4, 2, 8};
    shape.coloursUsed = 3;
    shape.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
    shape.value = [](int x, int) { return uint32_t(x + 1); };
    ExpectPixels(Decode(EncodeBmp(shape)), 4, 2, [&shape](int x, int) {
      return x + 1 < 3 ? shape.palette[static_cast<size_t>(x + 1)] : Rgb{0, 0, 0};
    });
  }
  auto five = [](int v) { return static_cast<int>(std::lround(v * 255 / 31.0)); };
  auto six = [](int v) { return static_cast<int>(std::lround(v * 255 / 63.0)); };
  {
    SCOPED_TRACE("16-bit 5-5-5 and, with colour masks, 5-6-5");
    BmpShape shape{7, 3, 16};
    shape.value = [](int x, int y) { return uint32_t((x * 4) << 10 | (y * 15) << 5 | (31 - x)); };
    ExpectPixels(Decode(EncodeBmp(shape)), 7, 3, [five](int x, int y) {
      return Rgb{five(x * 4), five(y * 15), five(31 - x)};
    });
    shape.compression = 3;
    shape.masks = {0xF800, 0x07E0, 0x001F};
    shape.value = [](int x, int y) { return uint32_t((x * 4) << 11 | (y * 31) << 5 | (31 - x)); };
    ExpectPixels(Decode(EncodeBmp(shape)), 7, 3, [five, six](int x, int y) {
      return Rgb{five(x * 4), six(y * 31), five(31 - x)};
    });
  }
  {
    SCOPED_TRACE("24-bit, both row orders");
    BmpShape shape{3, 4, 24};  // 9 bytes of pixels and 3 of padding a row
    shape.value = [](int x, int y) {
      const Rgb c = Mixed(x, y);
      return uint32_t(c.r << 16 | c.g << 8 | c.b);
    };
    ExpectPixels(Decode(EncodeBmp(shape)), 3, 4, Mixed);
    shape.topDown = true;
    ExpectPixels(Decode(EncodeBmp(shape)), 3, 4, Mixed);
  }
  {
    SCOPED_TRACE("32-bit: the fourth byte of BI_RGB is not alpha");
    BmpShape shape{5, 3, 32};
    shape.value = [](int x, int y) {
      const Rgb c = Mixed(x, y);
      return uint32_t((x * 50) << 24 | c.r << 16 | c.g << 8 | c.b);
    };
    ExpectPixels(Decode(EncodeBmp(shape)), 5, 3, Mixed);
  }
  {
    SCOPED_TRACE("32-bit with an alpha mask in a version 5 header: laid over black");
    BmpShape shape{5, 3, 32, 3, 124};
    shape.masks = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF};  // B, G, R, A bytes
    shape.value = [](int x, int y) {
      const Rgb c = Mixed(x, y);
      return uint32_t(c.r << 8 | c.g << 16 | uint32_t(c.b) << 24 | (x * 60));
    };
    ExpectPixels(Decode(EncodeBmp(shape)), 5, 3, [](int x, int y) {
      const Rgb c = Mixed(x, y);
      return Rgb{Over(c.r, x * 60), Over(c.g, x * 60), Over(c.b, x * 60)};
    });
    // An alpha channel left all zero by its writer shows the colours.
    shape.value = [](int x, int y) {
      const Rgb c = Mixed(x, y);
      return uint32_t(c.r << 8 | c.g << 16 | uint32_t(c.b) << 24);
    };
    ExpectPixels(Decode(EncodeBmp(shape)), 5, 3, Mixed);
  }
}

std::vector<uint8_t> SamplePng() {
  PngShape shape{20, 20, kRgb, 8};
  shape.samples = [](int x, int y) {
    const Rgb c = Mixed(x, y);
    return std::vector<unsigned>{unsigned(c.r), unsigned(c.g), unsigned(c.b)};
  };
  return EncodePng(shape);
}

std::vector<uint8_t> SampleBmp() {
  BmpShape shape{9, 6, 8};
  for (int i = 0; i < 256; ++i) shape.palette.push_back({i, i / 2, 255 - i});
  shape.value = [](int x, int y) { return uint32_t(x * 20 + y); };
  return EncodeBmp(shape);
}

std::string Reason(const std::vector<uint8_t>& bytes) {
  std::string error;
  Picture picture;
  EXPECT_FALSE(DecodePicture(bytes.data(), bytes.size(), &picture, &error));
  return error;
}

// A PNG of just a header, with a good checksum.
std::vector<uint8_t> PngHeaderOnly(uint32_t width, uint32_t height) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Chunk(out, "IHDR", Header(static_cast<int>(width), static_cast<int>(height), 8, kRgb, false));
  return out;
}

// The Mixed picture as the tools write PNG files: compressed, rows filtered.
std::vector<uint8_t> WrittenPng() {
  ScratchDir dir;
  std::vector<uint8_t> rgb;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const Rgb c = Mixed(x, y);
      rgb.insert(rgb.end(), {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)});
    }
  std::string error;
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(WritePng(dir.File("w.png").c_str(), 20, 20, rgb.data(), &error)) << error;
  EXPECT_TRUE(ReadWholeFile(dir.File("w.png"), 1 << 20, &bytes, &error)) << error;
  return bytes;
}

TEST(ReadPicture, BadPicturesGiveAReason) {
  EXPECT_EQ(Reason({}), "an empty file, not a picture");
  EXPECT_EQ(Reason({'h', 'e', 'l', 'l', 'o'}), "not a PNG or BMP picture");

  EXPECT_NE(Reason(PngHeaderOnly(100000, 100000)).find("100000x100000 picture is too large"),
            std::string::npos);
  EXPECT_NE(Reason(PngHeaderOnly(0, 10)).find("0x10 picture has no pixels"), std::string::npos);
  EXPECT_NE(Reason(PngHeaderOnly(40, 40)).find("PNG"), std::string::npos);  // no pixels follow

  BmpShape shape{100000, 100000, 24};
  shape.value = [](int, int) { return 0u; };
  BmpShape small{4, 4, 24};
  small.value = shape.value;
  std::vector<uint8_t> header = EncodeBmp(small);
  auto withSize = [&header](int32_t w, int32_t h) {
    std::vector<uint8_t> b = header;
    for (int k = 0; k < 4; ++k) {
      b[18 + k] = static_cast<uint8_t>(static_cast<uint32_t>(w) >> (8 * k));
      b[22 + k] = static_cast<uint8_t>(static_cast<uint32_t>(h) >> (8 * k));
    }
    return b;
  };
  EXPECT_NE(Reason(withSize(100000, 100000)).find("100000x100000 picture is too large"),
            std::string::npos);
  EXPECT_NE(Reason(withSize(20000, 20000)).find("too large"), std::string::npos);  // 400 million
  EXPECT_NE(Reason(withSize(0, 4)).find("0x4 picture has no pixels"), std::string::npos);
  EXPECT_NE(Reason(withSize(4, 0)).find("has no pixels"), std::string::npos);
  EXPECT_NE(Reason(withSize(-4, 4)).find("negative width"), std::string::npos);
  EXPECT_NE(Reason(withSize(4, INT32_MIN)).find("too large"), std::string::npos);
  EXPECT_NE(Reason(withSize(40, 40)).find("cut-off BMP"), std::string::npos);

  std::vector<uint8_t> b = header;
  b[28] = 2;  // 2 bits a pixel
  EXPECT_NE(Reason(b).find("2-bit BMP"), std::string::npos);
  b = header;
  b[28] = 8;
  b[30] = 1;  // RLE8
  EXPECT_NE(Reason(b).find("RLE8"), std::string::npos);
  b = header;
  b[14] = 20;  // no such header
  EXPECT_NE(Reason(b).find("header of 20 bytes"), std::string::npos);
  b = header;
  b[30] = 3;  // colour masks on 24 bits
  EXPECT_NE(Reason(b).find("masks"), std::string::npos);
}

// Every cut and a few thousand damaged copies: a reason or a picture, never
// a crash or a read outside the file (run it under the sanitize build).
TEST(ReadPicture, CutOffAndDamagedFilesAreSafe) {
  ASSERT_EQ(Decode(WrittenPng()).rgb, Decode(SamplePng()).rgb);
  for (const std::vector<uint8_t>& whole : {SamplePng(), WrittenPng(), SampleBmp()}) {
    ASSERT_GT(whole.size(), 100u);
    for (size_t keep = 0; keep < whole.size(); ++keep) {
      const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(keep));
      EXPECT_FALSE(Reason(cut).empty()) << keep;  // even without just the closing chunk
    }
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
      std::vector<uint8_t> damaged = whole;
      const int changes = 1 + round % 4;
      for (int k = 0; k < changes; ++k) {
        // Mostly the headers, where sizes and offsets live.
        const size_t span = round % 2 ? damaged.size() : std::min<size_t>(damaged.size(), 80);
        damaged[random() % span] = static_cast<uint8_t>(random());
      }
      Picture picture;
      std::string error;
      if (DecodePicture(damaged.data(), damaged.size(), &picture, &error)) {
        ASSERT_EQ(picture.rgb.size(), static_cast<size_t>(picture.width) * picture.height * 3);
        ASSERT_LE(static_cast<long>(picture.width) * picture.height, kMaxPicturePixels);
      } else {
        ASSERT_FALSE(error.empty());
      }
    }
  }
}

// A few hundred bytes of deflate data that would unpack to 16 MiB for one
// pixel: refused once they pass what the picture can hold, never unpacked.
TEST(ReadPicture, DataUnpackingPastThePictureAreRefusedAsTheyGrow) {
  // Fixed Huffman codes: a literal 0, then "258 bytes from 1 back" again and
  // again. Codes go in most significant bit first, everything else least.
  std::vector<uint8_t> deflate = {0x78, 0x01};
  uint32_t bits = 0;
  int count = 0;
  auto put = [&](uint32_t value, int n, bool code) {
    for (int i = 0; i < n; ++i) {
      const uint32_t bit = code ? value >> (n - 1 - i) & 1 : value >> i & 1;
      bits |= bit << count;
      if (++count == 8) {
        deflate.push_back(static_cast<uint8_t>(bits));
        bits = 0;
        count = 0;
      }
    }
  };
  put(1, 1, false);    // the last block
  put(1, 2, false);    // of fixed codes
  put(0x30, 8, true);  // literal 0
  constexpr uint32_t kCopies = (16 << 20) / 258;
  for (uint32_t i = 0; i < kCopies; ++i) {
    put(0xC5, 8, true);  // length 258
    put(0, 5, true);     // distance 1
  }
  put(0, 7, true);  // end of block
  put(0, 7, false);
  PutBe32(deflate, (1 + 258 * kCopies) % 65521 << 16 | 1);  // Adler-32 of that many zeros
  const std::vector<uint8_t> bomb = Png(Header(1, 1, 8, kRgb, false), {{"IDAT", deflate}});
  ASSERT_LT(bomb.size(), 120000u);
  EXPECT_EQ(Reason(bomb), "a damaged PNG: its data unpack to more than a 1x1 picture holds");
}

TEST(ReadPicture, NamesTheFile) {
  ScratchDir dir;
  dir.Write("note.png", {'n', 'o', 't', 'e'});
  Picture picture;
  std::string error;
  EXPECT_FALSE(ReadPicture(dir.File("note.png"), &picture, &error));
  EXPECT_EQ(error, dir.File("note.png") + ": not a PNG or BMP picture");
  EXPECT_FALSE(ReadPicture(dir.path(), &picture, &error));
  EXPECT_EQ(error, dir.path() + ": is a folder");
  dir.Write("good.bmp", SampleBmp());
  ASSERT_TRUE(ReadPicture(dir.File("good.bmp"), &picture, &error)) << error;
  EXPECT_EQ(picture.width, 9);
  EXPECT_EQ(picture.height, 6);
}

}  // namespace
