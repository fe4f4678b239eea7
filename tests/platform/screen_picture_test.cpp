// The desktop's picture kept from frame to frame: whatever changes on the
// screen, it is the picture a fresh conversion or shrink would give, and what
// it reports changed covers every pixel that did.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/core/present.h"
#include "platform/threads.h"

namespace {

using namespace plat;
using namespace plat::core;

// A screen of any depth whose bytes the tests change between frames.
struct Screen {
  Screen(int32_t w, int32_t h, int32_t bpp)
      : width(w), height(h), bitsPerPixel(bpp), bytes(size_t(w) * size_t(h) * size_t(bpp / 8)) {
    for (int i = 0; i < 256; ++i)
      palette[i] = {uint8_t(i * 3), uint8_t(255 - i), uint8_t(i * 7), 0};
  }
  ScreenView View() const { return {bytes.data(), width, height, bitsPerPixel, palette}; }
  size_t Pixel() const { return size_t(bitsPerPixel / 8); }
  // Random bytes in a random rectangle, or in one run of a row.
  void Scribble(std::mt19937& random) {
    const int32_t x = int32_t(random() % uint32_t(width)), y = int32_t(random() % uint32_t(height));
    const int32_t w = 1 + int32_t(random() % uint32_t(width - x));
    const int32_t h = random() % 3 == 0 ? 1 : 1 + int32_t(random() % uint32_t(height - y));
    for (int32_t row = y; row < y + h; ++row) {
      uint8_t* p = &bytes[(size_t(row) * size_t(width) + size_t(x)) * Pixel()];
      for (size_t i = 0; i < size_t(w) * Pixel(); ++i) p[i] = uint8_t(random());
    }
  }
  int32_t width, height, bitsPerPixel;
  std::vector<uint8_t> bytes;
  PALETTEENTRY palette[256];
};

// What the whole screen looks like at width x height, done from nothing.
std::vector<uint32_t> Fresh(const ScreenView& view, int32_t width, int32_t height) {
  std::vector<uint32_t> out(size_t(width) * size_t(height));
  if (width == view.width && height == view.height) {
    ToArgb(view, out.data(), size_t(width));
  } else {
    AreaShrinker shrinker;
    EXPECT_TRUE(shrinker.Shrink(view, width, height, out.data(), size_t(width)));
  }
  return out;
}

// One ScreenPicture through a run of screens, each picture checked against
// a fresh one, and every pixel that changed against the rectangle reported.
class PictureRun {
 public:
  void Show(const ScreenView& view, int32_t width, int32_t height, const std::string& what) {
    SCOPED_TRACE(what);
    const Rect changed = picture_.Update(view, width, height);
    ASSERT_EQ(picture_.width(), width);
    ASSERT_EQ(picture_.height(), height);
    ASSERT_EQ(picture_.pitch(), size_t(width));
    const std::vector<uint32_t> want = Fresh(view, width, height);
    const std::vector<uint32_t> got(picture_.pixels(), picture_.pixels() + want.size());
    for (size_t i = 0; i < want.size(); ++i)
      ASSERT_EQ(got[i], want[i]) << "pixel " << i % size_t(width) << "," << i / size_t(width);
    if (!changed.empty()) {
      EXPECT_GE(changed.x, 0);
      EXPECT_GE(changed.y, 0);
      EXPECT_LE(changed.x + changed.width, width);
      EXPECT_LE(changed.y + changed.height, height);
    }
    if (width != width_ || height != height_) {
      EXPECT_EQ(changed.x, 0);
      EXPECT_EQ(changed.y, 0);
      EXPECT_EQ(changed.width, width);
      EXPECT_EQ(changed.height, height);
    } else {
      for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
          const size_t i = size_t(y) * size_t(width) + size_t(x);
          if (got[i] == last_[i]) continue;
          ASSERT_TRUE(x >= changed.x && x < changed.x + changed.width && y >= changed.y &&
                      y < changed.y + changed.height)
              << "pixel " << x << "," << y << " changed outside " << changed.x << "," << changed.y
              << " " << changed.width << "x" << changed.height;
        }
    }
    last_ = got;
    width_ = width;
    height_ = height;
    lastChanged_ = changed;
  }
  Rect lastChanged() const { return lastChanged_; }
  ScreenPicture& picture() { return picture_; }

 private:
  ScreenPicture picture_;
  std::vector<uint32_t> last_;
  int32_t width_ = 0, height_ = 0;
  Rect lastChanged_;
};

// The test's thread count, and the program's back afterwards.
class Threads {
 public:
  explicit Threads(int32_t count) : saved_(ThreadCount()) { SetThreadCount(count); }
  ~Threads() { SetThreadCount(saved_); }
  Threads(const Threads&) = delete;
  Threads& operator=(const Threads&) = delete;

 private:
  int32_t saved_;
};

TEST(ScreenPicture, EqualsAFreshPictureFrameAfterFrameAtEveryDepth) {
  const struct {
    int32_t w, h, shrinkW, shrinkH;
  } sizes[] = {{1, 1, 1, 1},         {3, 5, 2, 3},     {4095, 2, 1280, 1}, {37, 23, 5, 3},
               {400, 300, 251, 173}, {64, 48, 32, 24}, {17, 9, 16, 9}};
  for (const int32_t threads : {1, 2}) {
    const Threads team(threads);
    for (const int32_t bpp : {8, 16, 24, 32}) {
      for (const auto& size : sizes) {
        for (const bool shrink : {false, true}) {
          if (shrink && size.shrinkW == size.w && size.shrinkH == size.h) continue;
          const int32_t w = shrink ? size.shrinkW : size.w, h = shrink ? size.shrinkH : size.h;
          const std::string name = std::to_string(size.w) + "x" + std::to_string(size.h) + "x" +
                                   std::to_string(bpp) + " to " + std::to_string(w) + "x" +
                                   std::to_string(h) + ", " + std::to_string(threads) +
                                   " threads, frame ";
          std::mt19937 random(uint32_t(size.w * 7 + size.h + bpp));
          Screen screen(size.w, size.h, bpp);
          for (uint8_t& b : screen.bytes) b = uint8_t(random());
          PictureRun run;
          run.Show(screen.View(), w, h, name + "first");
          if (HasFatalFailure()) return;
          // Shown again unchanged: nothing to do.
          run.Show(screen.View(), w, h, name + "again");
          EXPECT_TRUE(run.lastChanged().empty()) << name;
          for (int frame = 0; frame < 12; ++frame) {
            const int scribbles = 1 + int(random() % 3);
            for (int i = 0; i < scribbles; ++i) screen.Scribble(random);
            if (frame == 6 && bpp == 8) screen.palette[screen.bytes[0]].peGreen ^= 0x55;
            run.Show(screen.View(), w, h, name + std::to_string(frame));
            if (HasFatalFailure()) return;
          }
          // One byte at either end of the screen.
          screen.bytes.front() ^= 0x81;
          run.Show(screen.View(), w, h, name + "first byte");
          EXPECT_FALSE(run.lastChanged().empty()) << name;
          screen.bytes.back() ^= 0x18;
          run.Show(screen.View(), w, h, name + "last byte");
          // A 32-bit screen's last byte is one no colour uses: it may be
          // seen as a change or not.
          EXPECT_TRUE(bpp == 32 || !run.lastChanged().empty()) << name;
          screen.bytes[screen.bytes.size() - screen.Pixel()] ^= 0x42;
          run.Show(screen.View(), w, h, name + "last pixel");
          EXPECT_FALSE(run.lastChanged().empty()) << name;
          if (HasFatalFailure()) return;
        }
      }
    }
  }
}

TEST(ScreenPicture, StartsAgainOnAnyChangeButThePixels) {
  for (const int32_t threads : {1, 2}) {
    const Threads team(threads);
    std::mt19937 random(11);
    Screen eight(300, 240, 8), sixteen(300, 240, 16), small(31, 17, 8);
    for (Screen* s : {&eight, &sixteen, &small})
      for (uint8_t& b : s->bytes) b = uint8_t(random());
    PictureRun run;
    // Each step reports the whole picture (checked by Show) and matches a
    // fresh one: a depth change with the same size, a size change, a change
    // of output size, shrunk and back to its own size.
    run.Show(eight.View(), 300, 240, "8 bits");
    run.Show(sixteen.View(), 300, 240, "16 bits, same size");
    run.Show(small.View(), 31, 17, "smaller");
    run.Show(eight.View(), 300, 240, "larger");
    run.Show(eight.View(), 150, 120, "shrunk");
    eight.Scribble(random);
    run.Show(eight.View(), 150, 120, "shrunk, changed");
    run.Show(eight.View(), 149, 120, "shrunk to another size");
    run.Show(eight.View(), 300, 240, "its own size");
    // A palette entry no pixel uses: the same picture, all of it redone.
    for (uint8_t& b : eight.bytes) b &= 0x7F;
    run.Show(eight.View(), 300, 240, "first half of the palette");
    eight.palette[200].peRed ^= 0xFF;
    run.Show(eight.View(), 300, 240, "unused entry");
    EXPECT_EQ(run.lastChanged().width, 300);
    // Reset: the picture was lost where it went.
    run.picture().Reset();
    run.Show(eight.View(), 300, 240, "after Reset");
    EXPECT_EQ(run.lastChanged().width, 300);
    EXPECT_EQ(run.lastChanged().height, 240);
    run.Show(eight.View(), 300, 240, "unchanged after Reset");
    EXPECT_TRUE(run.lastChanged().empty());
  }
}

TEST(ScreenPicture, RefusesWhatItCannotShowAndStartsAgainAfter) {
  Screen s(20, 10, 32);
  ScreenPicture picture;
  ASSERT_EQ(picture.Update(s.View(), 20, 10).width, 20);
  const ScreenView views[] = {{nullptr, 20, 10, 32, nullptr},
                              {s.bytes.data(), 0, 10, 32, nullptr},
                              {s.bytes.data(), 20, 10, 4, nullptr}};
  for (const ScreenView& view : views) {
    EXPECT_TRUE(picture.Update(view, 20, 10).empty());
    EXPECT_EQ(picture.width(), 0);
  }
  EXPECT_TRUE(picture.Update(s.View(), 21, 10).empty());  // wider than the screen
  EXPECT_TRUE(picture.Update(s.View(), 20, 0).empty());
  EXPECT_EQ(picture.height(), 0);
  const Rect again = picture.Update(s.View(), 20, 10);
  EXPECT_EQ(again.width, 20);
  EXPECT_EQ(again.height, 10);
}

}  // namespace
