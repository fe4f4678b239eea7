// How a monitor shows the emulated screen in a window or on a real screen of
// another size: scaled with its aspect ratio kept and black bars beside it,
// by a whole number where twice the size or more fits (sharp pixels), shrunk
// by averaging where the screen is larger than the output, and the pixels of
// each depth as the display hardware would turn them into colours.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/core/core.h"
#include "platform/pixels.h"

namespace plat::core {

struct Placement {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// Where a screen of screenWidth x screenHeight goes in an output of
// outWidth x outHeight, centred: the largest whole-number scale when 2 or
// more fits; else the largest fraction that keeps the aspect ratio.
// Empty for empty sizes.
Placement FitScreen(int32_t screenWidth, int32_t screenHeight, int32_t outWidth, int32_t outHeight);
// An output pixel back onto the screen's pixel grid; false when it lies on
// the bars beside the picture.
bool OutputToScreen(const Placement& placement, int32_t screenWidth, int32_t screenHeight,
                    int32_t outX, int32_t outY, int32_t* x, int32_t* y);

// The view's pixels as 0xFFRRGGBB, rows `pitch` pixels apart: 8 bits through
// the palette, 16 bits as 5-5-5, 24 bits as blue, green, red bytes, 32 bits
// as blue, green, red, unused. Large views are shared out over the drawing
// threads (SharedPool) in bands of rows.
void ToArgb(const ScreenView& view, uint32_t* out, size_t pitch);
// The same as 8-bit red, green, blue triples, width * height * 3 bytes.
std::vector<uint8_t> ToRgb(const ScreenView& view);

// True when the placement shows the screen smaller than its own size.
bool Shrinks(const Placement& placement, int32_t screenWidth, int32_t screenHeight);

// Shrinks a screen for a smaller output: every output pixel is the average of
// the screen area it covers, so thin lines and text stay readable where
// dropping pixels would break them up. Keeps its working rows from call to
// call; shown again at the same sizes it allocates nothing. Large outputs are
// shared out over the drawing threads in bands of output rows, each with
// working rows of its own; the sums are whole numbers, so the picture is the
// same for any number of threads.
class AreaShrinker {
 public:
  // The view as width x height pixels of 0xFFRRGGBB, rows `pitch` pixels
  // apart. False, writing nothing, for an empty view or a size larger than
  // the view's in either direction.
  bool Shrink(const ScreenView& view, int32_t width, int32_t height, uint32_t* out, size_t pitch);

 private:
  // Where each screen column (or row) goes: the output pixel it starts in,
  // its weight there and its weight in the next one, in 1/4096 of an output
  // pixel; the weights of every output pixel add up to exactly 4096. It
  // closes the output pixel when it reaches that pixel's end.
  struct Share {
    int32_t first;
    uint32_t weight;
    uint32_t rest;
    bool closes;
  };
  static void Spread(int32_t from, int32_t to, std::vector<Share>* shares);
  // One band's working rows.
  struct Rows {
    std::vector<uint64_t> across;          // a screen row shrunk, channels side by side
    std::vector<uint64_t> redBlue, green;  // the output row being summed
  };
  // Screen row sy shrunk across into rows.across; palette: the 8-bit
  // screen's colours with their channels side by side.
  void Across(const ScreenView& view, const uint64_t* palette, size_t sy, Rows& rows) const;
  // Output rows [first, last) into out.
  void ShrinkBand(const ScreenView& view, const uint64_t* palette, int32_t first, int32_t last,
                  Rows& rows, uint32_t* out, size_t pitch) const;

  std::vector<Share> columns_;
  std::vector<Share> rows_;
  int32_t columnsFrom_ = 0, columnsTo_ = 0, rowsFrom_ = 0, rowsTo_ = 0;
  std::vector<Rows> bands_;
};

}  // namespace plat::core
