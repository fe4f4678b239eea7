// Pictures users bring for their own textures: PNG and BMP files read into
// plain RGB, and scaled to a square.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // rows top to bottom, 3 bytes a pixel, no padding
};

// Larger pictures are refused before any pixel memory is taken.
constexpr int kMaxPictureSide = 30000;
constexpr long kMaxPicturePixels = 50'000'000;

// A PNG (any colour type and bit depth, interlaced or not) or a BMP (1, 4, 8,
// 16, 24 or 32 bits, BI_RGB or BI_BITFIELDS, either row order). Transparent
// pixels are laid over black. False with a one-line reason naming the file
// for anything else, a damaged or cut-off file, or an absurd size.
bool ReadPicture(const std::string& path, Picture* picture, std::string* error);
// The same from bytes in memory; the reason does not name a file.
bool DecodePicture(const uint8_t* data, size_t size, Picture* picture, std::string* error);

enum class Fit {
  kCrop,     // the largest centred square of the picture, undistorted
  kStretch,  // the whole picture, squeezed to a square
};

// side x side colours (r, g, b in 0..255, rows top to bottom): each output
// pixel is the area average of what it covers when shrinking, and bilinear
// between the nearest four when enlarging.
std::vector<double> ResizeSquare(const Picture& picture, int side, Fit fit);
