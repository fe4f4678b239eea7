// Turns a back buffer into an RGB picture, the way each depth is shown.
#pragma once
#include <cstdint>
#include <vector>

// pixels: height rows of exactly width pixels of bitsPerPixel (8: indices into
// palette, 768 bytes of RGB; 16: 5-5-5; 24: blue, green, red; 32: blue, green,
// red, unused). Returns width * height * 3 bytes, or nothing for another depth.
std::vector<uint8_t> FrameToRgb(const uint8_t* pixels, int width, int height, int bitsPerPixel,
                                const uint8_t* palette);
