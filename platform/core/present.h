// How a monitor shows the emulated screen in a window or on a real screen of
// another size: scaled with its aspect ratio kept and black bars beside it,
// by a whole number where twice the size or more fits (sharp pixels), shrunk
// by averaging where the screen is larger than the output, and the pixels of
// each depth as the display hardware would turn them into colours.
#pragma once
#include <array>
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
// A rectangle of pixels; empty when either side is 0.
struct Rect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
};
// The smallest rectangle holding both.
Rect Union(const Rect& a, const Rect& b);

// Where a row of the screen changed: its pixels [left, right); none when
// left >= right.
struct RowChange {
  int32_t left = 0;
  int32_t right = 0;
};

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
  // Where out holds the shrunk picture of a screen that differed from the
  // view only where `changes` (one for each screen row) say, brings it up to
  // the view by averaging again only the output pixels whose area holds a
  // changed pixel, in groups of a few output rows: the same picture as
  // Shrink gives. A rectangle holding every output pixel rewritten goes to
  // *written (empty when nothing changed). False as Shrink, writing nothing.
  bool Shrink(const ScreenView& view, int32_t width, int32_t height, const RowChange* changes,
              uint32_t* out, size_t pitch, Rect* written);
  // For tests: the code for machines without SSE2, which gives the same
  // picture.
  void UsePlainCode(bool plain) { plain_ = plain; }

 private:
  // Where each screen column (or row) goes: the output pixel it starts in,
  // its weight there and its weight in the next one, in 1/4096 of an output
  // pixel; the weights of every output pixel add up to exactly 4096.
  struct Share {
    int32_t first;
    uint32_t weight;
    uint32_t rest;
  };
  static void Spread(int32_t from, int32_t to, std::vector<Share>* shares);
  // Output pixels [*first, *last) that screen pixels [begin, end) reach.
  static void Reach(const std::vector<Share>& shares, int32_t to, int32_t begin, int32_t end,
                    int32_t* first, int32_t* last);
  bool Prepare(const ScreenView& view, int32_t width, int32_t height);
  // A screen row summed down into an output row, with its weight there.
  struct Term {
    const uint8_t* row;
    uint32_t weight;
  };
  // One band's working rows.
  struct Rows {
    // An output row summed down the screen rows, per screen column: blue,
    // green, red and a lane not shown, 3 apart for 24-bit screens, else 4.
    std::vector<uint32_t> down;
    std::vector<Term> terms;  // the screen rows of that output row
  };
  // The output columns [left, right) to average: the screen columns that
  // start in them and the one before, where it reaches into left.
  struct Span {
    int32_t left, right;
    size_t begin, end;
  };
  // Output rows [first, last) of the span's columns into out; palette: the
  // 8-bit screen's colours as 16-bit blue, green, red.
  void ShrinkBand(const ScreenView& view, const uint64_t* palette, int32_t first, int32_t last,
                  const Span& span, Rows& rows, uint32_t* out, size_t pitch) const;
  // Working rows for `parts` bands.
  void PrepareBands(int32_t parts);
  static void LevelPalette(const ScreenView& view, uint64_t* palette);
  // A few output rows to average again: rows [top, bottom) of the span.
  struct Group {
    int32_t top, bottom;
    Span span;
  };

  std::vector<Share> columns_;
  std::vector<Share> rows_;
  std::vector<size_t> starts_;     // each output column's first screen column, and the end
  std::vector<size_t> rowStarts_;  // each output row's first screen row, and the end
  // Each output column's screen columns, the one before spilling into it
  // first where it does: `acrossCount_` from acrossFirst_[ox] on, the
  // same count for all, their weights (0 past the output column's) four
  // times each, every one twice in 32 bits for the vector code; the one
  // weight of them all where every output column has that many screen
  // columns of the same weight (4096 / that count), else 0.
  std::vector<uint32_t> acrossFirst_, acrossWeights_;
  size_t acrossCount_ = 0;
  uint32_t acrossUniform_ = 0;
  int32_t columnsFrom_ = 0, columnsTo_ = 0, rowsFrom_ = 0, rowsTo_ = 0;
  std::vector<Rows> bands_;
  std::vector<Group> groups_;
  bool plain_ = false;
};

// The desktop's picture of the screen kept from frame to frame: each call
// compares the screen with a copy of the one shown before and converts (or
// shrinks) only what changed, so a frame where little moves costs little.
// Where the caller says what is known of the view's pixels (written), and
// the screen shown before was filled with the same colour, only the two
// areas written since the fills are redone, without comparing: nothing
// else can differ. The
// picture is always exactly what ToArgb or AreaShrinker::Shrink would give
// for the whole screen. Shown again at the same sizes it allocates nothing.
class ScreenPicture {
 public:
  // Brings the picture up to the view shown at width x height: its own size
  // (converted), or smaller (shrunk). Returns the rectangle of the picture
  // that may have changed since the last call: all of it after a change of
  // size, depth or palette, at the first call and after Reset(); empty when
  // nothing changed. Empty, and the picture emptied, for an empty view or a
  // size the view cannot be shrunk to.
  Rect Update(const ScreenView& view, int32_t width, int32_t height,
              const KnownPixels& written = {});
  // The next Update redoes the whole picture (the place it was copied to
  // was lost).
  void Reset() { whole_ = true; }

  // width() x height() pixels of 0xFFRRGGBB, rows pitch() pixels apart.
  const uint32_t* pixels() const { return picture_.data(); }
  size_t pitch() const { return static_cast<size_t>(width_); }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

 private:
  // Compares the view row by row with what was shown: with the copy of its
  // bytes (brought up to it, what differs converted into picture_ where
  // convert), or else with the picture itself, converted. Each row's
  // changes go to changes_; returns the changed screen rectangle.
  Rect Compare(const ScreenView& view, bool convert);
  // Whether what is known of the view and of the screen shown before bounds
  // where they can differ: then *window holds it.
  bool MayDiffer(const ScreenView& view, const KnownPixels& written, Rect* window) const;
  // A picture this large is past the caches of a desktop processor.
  static constexpr size_t kStreamBytes = size_t{16} << 20;
  // Whether the bytes last shown are kept: not where the picture, at the
  // screen's size, holds them all.
  static bool KeepsCopy(int32_t bitsPerPixel, bool shrink) { return shrink || bitsPerPixel != 32; }

  std::vector<uint8_t> screen_;    // the bytes last shown, where kept
  std::vector<uint32_t> picture_;  // what they look like
  std::vector<RowChange> changes_;
  std::array<uint32_t, 256> colours_{};
  int32_t screenWidth_ = 0, screenHeight_ = 0, bitsPerPixel_ = 0;
  int32_t width_ = 0, height_ = 0;
  bool whole_ = true;
  KnownPixels shown_;       // what was known of the screen shown before
  bool copyStale_ = false;  // screen_ missed what known frames redid
  AreaShrinker shrinker_;
};

}  // namespace plat::core
