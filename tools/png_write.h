// Minimal PNG output for tools and tests that need to show a picture.
#pragma once
#include <cstdint>
#include <string>

// Writes width x height 8-bit RGB pixels (rows top to bottom, 3 bytes a
// pixel, no padding) to path, through OutputFile (tools/files.h): a failed
// write leaves what was at path as it was. On failure returns false and, when
// error is not null, a one-line reason.
bool WritePng(const char* path, int width, int height, const uint8_t* rgb, std::string* error);
// The same for pixels with transparency: 4 bytes a pixel, red, green, blue
// and alpha (0 clear, 255 opaque).
bool WritePngRgba(const char* path, int width, int height, const uint8_t* rgba, std::string* error);
