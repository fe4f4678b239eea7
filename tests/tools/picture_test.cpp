// Users' pictures: PNG and BMP files of every common kind read into RGB, and
// bad ones refused with a reason.
#include "tools/picture.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"

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
// Test pictures, written with libpng and by hand.

struct PngShape {
  PngShape(int w, int h, int type, int bits) : width(w), height(h), colourType(type), depth(bits) {}
  int width, height;
  int colourType;
  int depth;
  bool interlaced = false;
  std::vector<png_color> palette;
  std::vector<uint8_t> paletteAlpha;          // tRNS for palette pictures
  const png_color_16* transparent = nullptr;  // tRNS for grey and RGB pictures
  // Samples of pixel (x, y), one per channel, each 0 .. 2^depth - 1.
  std::function<std::vector<unsigned>(int, int)> samples;
};

void AppendBytes(png_structp png, png_bytep data, size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

std::vector<uint8_t> EncodePng(const PngShape& shape) {
  // Rows packed as the file holds them: big-endian 16-bit samples, small
  // depths several to a byte.
  std::vector<std::vector<uint8_t>> rows;
  for (int y = 0; y < shape.height; ++y) {
    std::vector<uint8_t> row;
    unsigned bitsUsed = 0;
    for (int x = 0; x < shape.width; ++x) {
      for (unsigned s : shape.samples(x, y)) {
        if (shape.depth == 16) {
          row.push_back(static_cast<uint8_t>(s >> 8));
          row.push_back(static_cast<uint8_t>(s));
        } else if (shape.depth == 8) {
          row.push_back(static_cast<uint8_t>(s));
        } else {
          if (bitsUsed % 8 == 0) row.push_back(0);
          row.back() |= static_cast<uint8_t>(s << (8 - shape.depth - bitsUsed % 8));
          bitsUsed += static_cast<unsigned>(shape.depth);
        }
      }
    }
    rows.push_back(row);
  }
  std::vector<png_bytep> pointers;
  for (auto& row : rows) pointers.push_back(row.data());

  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "libpng could not write the test picture";
    return {};
  }
  png_set_write_fn(png, &out, AppendBytes, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(shape.width),
               static_cast<png_uint_32>(shape.height), shape.depth, shape.colourType,
               shape.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!shape.palette.empty())
    png_set_PLTE(png, info, shape.palette.data(), static_cast<int>(shape.palette.size()));
  if (!shape.paletteAlpha.empty() || shape.transparent != nullptr) {
    png_set_tRNS(png, info, shape.paletteAlpha.empty() ? nullptr : shape.paletteAlpha.data(),
                 static_cast<int>(shape.paletteAlpha.size()), shape.transparent);
  }
  png_write_info(png, info);
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
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
    PngShape shape{w, h, PNG_COLOR_TYPE_RGB, 8};
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
    PngShape shape{w, h, PNG_COLOR_TYPE_GRAY, depth};
    shape.samples = [top](int x, int y) { return std::vector<unsigned>{(x + 3 * y) % (top + 1)}; };
    ExpectPixels(Decode(EncodePng(shape)), w, h, [top](int x, int y) {
      const int v = static_cast<int>(((x + 3 * y) % (top + 1)) * 255 / top);
      return Rgb{v, v, v};
    });
  }
  {
    SCOPED_TRACE("grey 16 and RGB 16, scaled to 8 bits");
    // k x 257 is exactly k in 8 bits; a small offset must not change that.
    PngShape shape{w, h, PNG_COLOR_TYPE_GRAY, 16};
    shape.samples = [](int x, int y) { return std::vector<unsigned>{Wide(Mixed(x, y).r, 60)}; };
    ExpectPixels(Decode(EncodePng(shape)), w, h, [](int x, int y) {
      const int v = Mixed(x, y).r;
      return Rgb{v, v, v};
    });
    shape.colourType = PNG_COLOR_TYPE_RGB;
    shape.samples = [](int x, int y) {
      const Rgb c = Mixed(x, y);
      return std::vector<unsigned>{Wide(c.r, 0), Wide(c.g, 100), Wide(c.b, -100)};
    };
    ExpectPixels(Decode(EncodePng(shape)), w, h, Mixed);
  }
  {
    SCOPED_TRACE("palette 4 bits with transparency");
    PngShape shape{w, h, PNG_COLOR_TYPE_PALETTE, 4};
    for (int i = 0; i < 16; ++i)
      shape.palette.push_back({uint8_t(i * 16), uint8_t(255 - i * 9), uint8_t(i * 5 + 40)});
    shape.paletteAlpha = {255, 0, 128, 200};  // the other entries are opaque
    shape.samples = [](int x, int y) { return std::vector<unsigned>{unsigned((x + y) % 16)}; };
    ExpectPixels(Decode(EncodePng(shape)), w, h, [&shape](int x, int y) {
      const int i = (x + y) % 16;
      const int a = i < 4 ? shape.paletteAlpha[static_cast<size_t>(i)] : 255;
      const png_color& c = shape.palette[static_cast<size_t>(i)];
      return Rgb{Over(c.red, a), Over(c.green, a), Over(c.blue, a)};
    });
  }
  {
    SCOPED_TRACE("grey with alpha, RGBA 8 and 16: laid over black");
    PngShape shape{w, h, PNG_COLOR_TYPE_GRAY_ALPHA, 8};
    shape.samples = [](int x, int y) { return std::vector<unsigned>{200, unsigned(x * 20 + y)}; };
    ExpectPixels(Decode(EncodePng(shape)), w, h, [](int x, int y) {
      const int v = Over(200, x * 20 + y);
      return Rgb{v, v, v};
    });
    shape.colourType = PNG_COLOR_TYPE_RGBA;
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
    const png_color_16 key{0, 10, 20, 30, 0};
    PngShape shape{w, h, PNG_COLOR_TYPE_RGB, 8};
    shape.transparent = &key;
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
  PngShape shape{20, 20, PNG_COLOR_TYPE_RGB, 8};
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
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
  std::vector<uint8_t> chunk = {'I', 'H', 'D', 'R'};
  for (uint32_t v : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(static_cast<uint8_t>(v >> shift));
  chunk.insert(chunk.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  const uLong crc = crc32(0, chunk.data(), static_cast<uInt>(chunk.size()));
  out.insert(out.end(), chunk.begin(), chunk.end());
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(crc >> shift));
  return out;
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
  for (const std::vector<uint8_t>& whole : {SamplePng(), SampleBmp()}) {
    ASSERT_GT(whole.size(), 100u);
    for (size_t keep = 0; keep < whole.size(); ++keep) {
      const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(keep));
      Picture picture;
      std::string error;
      if (DecodePicture(cut.data(), cut.size(), &picture, &error)) {
        // Only the PNG's closing chunk may be missing.
        EXPECT_EQ(whole[0], 0x89) << keep;
        EXPECT_GE(keep, whole.size() - 12) << keep;
      } else {
        EXPECT_FALSE(error.empty()) << keep;
      }
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
