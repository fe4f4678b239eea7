// PNG pictures read through stb_image, compiled in png_read.cpp alone with
// only what the picture reader uses.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The size a PNG's header gives, after a walk over its chunks: false with a
// reason for a file cut off inside a chunk or before its end, or a header
// stb_image cannot read. Nothing is decoded.
bool PngSize(const uint8_t* data, size_t size, int* width, int* height, std::string* error);

// The pixels of a PNG PngSize accepted, as 8-bit RGBA rows whatever the file
// holds: palettes and grey expanded, tRNS turned into alpha, 16-bit samples
// rounded to 8 bits. False with a reason for damaged data, and for data that
// would unpack to more than a picture of its size holds (refused before the
// memory is taken).
bool DecodePngRgba(const uint8_t* data, size_t size, std::vector<uint8_t>* rgba,
                   std::string* error);
