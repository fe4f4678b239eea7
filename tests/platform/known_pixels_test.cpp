// What the display knows of a surface's pixels without reading them, and the
// desktop's picture that trusts it: every pixel written since a fill lies in
// the area known, through every way the core writes or hands out a surface,
// and the picture stays exactly a fresh one while comparing only that area.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/core/present.h"
#include "platform/ddraw.h"
#include "platform/headless/headless.h"
#include "platform/threads.h"

namespace {

using namespace plat;
using plat::core::KnownPixels;
using plat::core::Rect;
using plat::core::ScreenPicture;
using plat::core::ScreenView;

bool SameArea(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class KnownSurface : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    ASSERT_EQ(DirectDrawCreate(nullptr, &ddraw_, nullptr), DD_OK);
    ASSERT_EQ(ddraw_->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(ddraw_->SetDisplayMode(320, 200, 16), DD_OK);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 2;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    ASSERT_EQ(ddraw_->CreateSurface(&desc, &primary_, nullptr), DD_OK);
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    ASSERT_EQ(primary_->GetAttachedSurface(&caps, &back_), DD_OK);
  }
  void TearDown() override {
    if (ddraw_) ddraw_->Release();
    headless::Reset();
  }

  void Fill(uint32_t colour) {
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = colour;
    ASSERT_EQ(back_->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  }
  uint16_t* Lock() {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    EXPECT_EQ(back_->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    back_->Unlock(nullptr);
    return static_cast<uint16_t*>(desc.lpSurface);
  }
  // What is known of the back buffer once it is shown.
  KnownPixels Shown() {
    EXPECT_EQ(primary_->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    return headless::FrontWritten();
  }

  IDirectDraw* ddraw_ = nullptr;
  IDirectDrawSurface* primary_ = nullptr;
  IDirectDrawSurface* back_ = nullptr;
};

TEST_F(KnownSurface, AFrameIsItsFillButWhereTheProgramSaidItDrewAndTheTextWent) {
  // Nothing is known of a new chain.
  EXPECT_FALSE(headless::FrontWritten().known);
  Fill(0x12345);
  KnownPixels k = Shown();
  EXPECT_TRUE(k.known);
  EXPECT_EQ(k.fill, 0x2345u);  // the 16 bits stored
  EXPECT_TRUE(SameArea(k.area, RECT{0, 0, 0, 0}));

  // A lock alone: the program may have written anywhere.
  Fill(0);
  Lock();
  k = Shown();
  EXPECT_TRUE(k.known);
  EXPECT_TRUE(SameArea(k.area, RECT{0, 0, 320, 200}));

  // Its word narrows that, cut to the surface; the text joins it.
  Fill(0);
  uint16_t* pixels = Lock();
  pixels[50 * 320 + 60] = 0x7FFF;
  const RECT said{60, 50, 400, 51};
  EXPECT_EQ(NoteDrawnArea(back_, &said), DD_OK);
  HDC dc = nullptr;
  ASSERT_EQ(back_->GetDC(&dc), DD_OK);
  SetTextColor(dc, RGB(255, 255, 255));
  ASSERT_TRUE(TextOutA(dc, 5, 150, "Wg 123", 6));
  back_->ReleaseDC(dc);
  k = Shown();
  ASSERT_TRUE(k.known);
  EXPECT_EQ(k.area.left, 5);
  EXPECT_EQ(k.area.top, 50);
  EXPECT_EQ(k.area.right, 320);
  EXPECT_GT(k.area.bottom, 150);
  EXPECT_LE(k.area.bottom, 150 + 13);
  // Every pixel that is not the fill lies inside.
  const ScreenView view = headless::FrontView();
  const auto* shown = reinterpret_cast<const uint16_t*>(view.pixels);
  int32_t inked = 0;
  for (int32_t y = 0; y < 200; ++y)
    for (int32_t x = 0; x < 320; ++x) {
      if (shown[y * 320 + x] == 0) continue;
      ++inked;
      EXPECT_TRUE(x >= k.area.left && x < k.area.right && y >= k.area.top && y < k.area.bottom)
          << x << "," << y;
    }
  EXPECT_GT(inked, 10);
}

TEST_F(KnownSurface, AnAddressLockedBeforeTheFillStaysTheProgramsUntilTheFlip) {
  Fill(0);
  Lock();
  const RECT nothing{0, 0, 0, 0};
  NoteDrawnArea(back_, &nothing);
  Fill(0);  // the program may still write through what it locked
  KnownPixels k = Shown();
  EXPECT_TRUE(SameArea(k.area, RECT{0, 0, 320, 200}));
  // After a flip it is not, so a fill starts clean.
  Fill(0);
  k = Shown();
  EXPECT_TRUE(SameArea(k.area, RECT{0, 0, 0, 0}));
}

TEST_F(KnownSurface, NothingIsKnownAfterWhatNobodyBounded) {
  // A restore zeroes the buffers behind the record's back.
  Fill(0);
  EXPECT_TRUE(Shown().known);
  headless::LoseSurfaces();
  ASSERT_EQ(primary_->Restore(), DD_OK);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(Shown().known) << i;

  // GDI painting on the surface it owns (menus, windows): anywhere.
  for (int i = 0; i < 3; ++i) {
    Fill(0);
    Shown();
  }
  ASSERT_EQ(ddraw_->FlipToGDISurface(), DD_OK);
  EXPECT_TRUE(headless::FrontWritten().known);
  HDC screen = GetDC(nullptr);
  ASSERT_TRUE(TextOutA(screen, 0, 0, "menu", 4));
  ReleaseDC(nullptr, screen);
  EXPECT_FALSE(headless::FrontWritten().known);
}

// A screen the test fills and writes into, telling the picture what it did,
// as the display does.
struct Frame {
  Frame(int32_t w, int32_t h, int32_t bpp)
      : width(w), height(h), bytesPer(size_t(bpp / 8)), bytes(size_t(w) * size_t(h) * bytesPer) {
    for (int i = 0; i < 256; ++i)
      palette[i] = {uint8_t(i * 5), uint8_t(255 - i), uint8_t(i * 11), 0};
    view = {bytes.data(), w, h, bpp, palette};
  }
  void Fill(uint32_t colour) {
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(colour >> (8 * (i % bytesPer)));
    known = {true, colour & (bytesPer == 4 ? 0xFFFFFFFFu : (1u << (8 * bytesPer)) - 1), {}};
  }
  // Random bytes in a random rectangle, which the known area takes in.
  void Scribble(std::mt19937& random) {
    const int32_t x = int32_t(random() % uint32_t(width)), y = int32_t(random() % uint32_t(height));
    const int32_t w = 1 + int32_t(random() % uint32_t(width - x));
    const int32_t h = 1 + int32_t(random() % uint32_t(height - y));
    for (int32_t row = y; row < y + h; ++row)
      for (size_t i = 0; i < size_t(w) * bytesPer; ++i)
        bytes[(size_t(row) * size_t(width) + size_t(x)) * bytesPer + i] = uint8_t(random());
    const RECT r{x, y, x + w, y + h};
    known.area =
        known.area.right == 0
            ? r
            : RECT{std::min(known.area.left, r.left), std::min(known.area.top, r.top),
                   std::max(known.area.right, r.right), std::max(known.area.bottom, r.bottom)};
  }
  int32_t width, height;
  size_t bytesPer;
  std::vector<uint8_t> bytes;
  PALETTEENTRY palette[256];
  ScreenView view;
  KnownPixels known;
};

std::vector<uint32_t> Fresh(const ScreenView& view, int32_t width, int32_t height) {
  std::vector<uint32_t> out(size_t(width) * size_t(height));
  if (width == view.width && height == view.height) {
    core::ToArgb(view, out.data(), size_t(width));
  } else {
    core::AreaShrinker shrinker;
    EXPECT_TRUE(shrinker.Shrink(view, width, height, out.data(), size_t(width)));
  }
  return out;
}

TEST(KnownPicture, EqualsAFreshPictureWhateverIsKnownAtEveryDepthAndSize) {
  const int32_t saved = ThreadCount();
  std::mt19937 random(11);
  for (const int32_t threads : {1, 2}) {
    SetThreadCount(threads);
    for (const int32_t bpp : {8, 16, 24, 32}) {
      for (const bool shrink : {false, true}) {
        Frame frame(203, 151, bpp);
        const int32_t w = shrink ? 97 : frame.width, h = shrink ? 70 : frame.height;
        ScreenPicture picture;
        for (int32_t step = 0; step < 40; ++step) {
          SCOPED_TRACE(::testing::Message()
                       << bpp << " bits, " << threads << " threads, "
                       << (shrink ? "shrunk" : "own size") << ", step " << step);
          // Mostly frames of one fill with a little drawn; now and then
          // another fill, a frame nothing is known of, or nothing drawn.
          const uint32_t kind = random() % 8;
          frame.Fill(kind == 0 ? uint32_t(random()) : 0x00A0B0C0u);
          const int32_t scribbles = kind == 1 ? 0 : 1 + int32_t(random() % 3);
          for (int32_t i = 0; i < scribbles; ++i) frame.Scribble(random);
          const KnownPixels known = kind == 2 ? KnownPixels{} : frame.known;
          picture.Update(frame.view, w, h, known);
          const std::vector<uint32_t> want = Fresh(frame.view, w, h);
          ASSERT_EQ(picture.width(), w);
          ASSERT_EQ(picture.height(), h);
          for (size_t i = 0; i < want.size(); ++i)
            ASSERT_EQ(picture.pixels()[i], want[i])
                << "pixel " << i % size_t(w) << "," << i / size_t(w);
        }
      }
    }
  }
  SetThreadCount(saved);
}

TEST(KnownPicture, APictureTooLargeForTheCachesIsTheSame) {
  // 2304x2048 pixels of 4 bytes pass 16 MiB: written around the caches, from
  // odd columns so the rows start off the 16-byte grid.
  Frame frame(2304, 2048, 8);
  ScreenPicture picture;
  std::mt19937 random(5);
  for (int32_t step = 0; step < 4; ++step) {
    frame.Fill(3);
    for (int32_t i = 0; i < 2; ++i) frame.Scribble(random);
    picture.Update(frame.view, frame.width, frame.height, frame.known);
    const std::vector<uint32_t> want = Fresh(frame.view, frame.width, frame.height);
    ASSERT_EQ(std::vector<uint32_t>(picture.pixels(), picture.pixels() + want.size()), want)
        << "step " << step;
  }
}

TEST(KnownPicture, RedoesOnlyTheAreasWrittenSinceTheFills) {
  // A view that breaks its word: a pixel outside both areas changed. The
  // picture keeps what it showed there, which shows it never looked.
  Frame frame(64, 48, 32);
  ScreenPicture picture;
  frame.Fill(0);
  frame.known.area = {10, 10, 20, 20};
  picture.Update(frame.view, 64, 48, frame.known);
  frame.bytes[(40 * 64 + 50) * 4] = 0xFF;
  frame.bytes[(12 * 64 + 12) * 4] = 0x7F;
  frame.known.area = {0, 0, 0, 0};
  const Rect changed = picture.Update(frame.view, 64, 48, frame.known);
  EXPECT_EQ(picture.pixels()[40 * 64 + 50], 0xFF000000u);
  EXPECT_EQ(picture.pixels()[12 * 64 + 12], 0xFF00007Fu);
  // It redid the area written before, and reports that.
  EXPECT_EQ(changed.x, 10);
  EXPECT_EQ(changed.y, 10);
  EXPECT_EQ(changed.width, 10);
  EXPECT_EQ(changed.height, 10);
  // Told nothing, it compares the whole screen.
  picture.Update(frame.view, 64, 48);
  EXPECT_EQ(picture.pixels()[40 * 64 + 50], 0xFF0000FFu);
}

}  // namespace
