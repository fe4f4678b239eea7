// Command-line values the tools share.
#pragma once
#include <string_view>

// A whole number in [low, high], the whole text and nothing else.
bool ParseInt(std::string_view text, long low, long high, long* out);

struct RequestedMode {
  int width;
  int height;
  int bitsPerPixel;
};

// "WxHxBPP" with each side in [minSide, 4095] and a depth of 8, 16, 24 or 32.
// false for anything else; badDepth tells when only the depth was wrong.
bool ParseDisplayMode(std::string_view text, int minSide, RequestedMode* mode, bool* badDepth);
