// Edge walker, scan conversion and the face drawers' choices: which pixels a
// face covers, which faces are drawn, and what each depth stores.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>

#include "raster/raster.h"
#include "raster/raster_fixture.h"
#include "scene/cube_model.h"
#include "scene/tables.h"

namespace {

using rastertest::SyntheticScene;
using rastertest::TestScreen;

// Pixels a draw covers: drawn once over 0x00 and once over 0xFF bytes; a pixel
// that comes out equal to its background both times was not written.
template <typename Draw>
std::vector<bool> Coverage(TestScreen& screen, Draw draw) {
  screen.Clear(0x00);
  draw();
  const std::vector<uint8_t> overZero = screen.Pixels();
  screen.Clear(0xFF);
  draw();
  const std::vector<uint8_t> overOnes = screen.Pixels();
  const size_t bpp = static_cast<size_t>(screen.bytesPerPixel());
  std::vector<bool> covered(overZero.size() / bpp);
  for (size_t p = 0; p < covered.size(); ++p) {
    for (size_t b = 0; b < bpp; ++b) {
      if (overZero[p * bpp + b] != 0x00 || overOnes[p * bpp + b] != 0xFF) covered[p] = true;
    }
  }
  return covered;
}

// Whether exactly the pixels of [x0, x1) x [y0, y1) of a 640 x 480 screen
// are covered.
std::string RectangleMismatch(const std::vector<bool>& covered, int32_t x0, int32_t x1, int32_t y0,
                              int32_t y1) {
  constexpr int32_t screenWidth = 640, screenHeight = 480;
  for (int32_t y = 0; y < screenHeight; ++y) {
    for (int32_t x = 0; x < screenWidth; ++x) {
      const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
      if (covered[static_cast<size_t>(y) * screenWidth + x] != inside) {
        return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") " +
               (inside ? "not covered" : "covered");
      }
    }
  }
  return "";
}

class EdgeWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    buffer_.fill(kUnwritten);
    bytes_.fill(77);
  }
  static constexpr int32_t kUnwritten = 0x5A5A5A5A;
  // Entries 4 .. 19 are the buffer of kEntries; four on each side must stay
  // untouched.
  static constexpr int32_t kEntries = 16;
  std::array<int32_t, 24> buffer_;
  std::array<int8_t, 24> bytes_;
  int32_t* buf() { return buffer_.data() + 4; }
  int8_t* byteBuf() { return bytes_.data() + 4; }
};

TEST_F(EdgeWalk, EmptyOrReversedRangesWriteNothing) {
  FillEdge(buf(), kEntries, 1.0, 5, 9.0, 5);
  FillEdge(buf(), kEntries, 1.0, 6, 9.0, 2);
  FillEdgeBytes(byteBuf(), kEntries, 1.0, 6, 9.0, 6);
  for (int32_t v : buffer_) EXPECT_EQ(v, kUnwritten);
  for (int8_t v : bytes_) EXPECT_EQ(v, 77);
}

TEST_F(EdgeWalk, WritesHalfOpenRangeTruncatingTowardZero) {
  FillEdge(buf(), kEntries, -1.5, 2, 1.5, 5);  // -1.5, -0.5, 0.5
  EXPECT_EQ(buf()[1], kUnwritten);
  EXPECT_EQ(buf()[2], -1);
  EXPECT_EQ(buf()[3], 0);
  EXPECT_EQ(buf()[4], 0);
  EXPECT_EQ(buf()[5], kUnwritten);
}

TEST_F(EdgeWalk, AccumulatesByRepeatedAddition) {
  // Ten additions of 0.1 give 0.9999999999999999, a product would give 1.
  ASSERT_NE(0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1, 10 * 0.1);
  FillEdge(buf(), kEntries, 0.0, 0, 1.6, 16);
  EXPECT_EQ(buf()[9], 0);
  EXPECT_EQ(buf()[10], 0);
  EXPECT_EQ(buf()[11], 1);
}

TEST_F(EdgeWalk, ClipsToTheBufferButKeepsTheUnclippedValues) {
  // From index -10 the accumulator passes ten hidden entries first.
  FillEdge(buf(), kEntries, 0.0, -10, 2.0, 10);
  EXPECT_EQ(buf()[0], 0);
  EXPECT_EQ(buf()[1], 1);
  EXPECT_EQ(buf()[9], 1);
  EXPECT_EQ(buf()[10], kUnwritten);
  FillEdge(buf(), kEntries, 100.0, 12, 300.0, 40);
  EXPECT_EQ(buf()[12], 100);
  EXPECT_EQ(buf()[15], 121);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(buffer_[i], kUnwritten);
    EXPECT_EQ(buffer_[20 + i], kUnwritten);
  }
  FillEdge(buf(), kEntries, 0.0, -30, 9.0, -1);
  FillEdge(buf(), kEntries, 0.0, 16, 9.0, 30);
  EXPECT_EQ(buf()[11], kUnwritten);
}

TEST_F(EdgeWalk, BytesKeepTheLowEightBitsOfTheTruncatedValue) {
  FillEdgeBytes(byteBuf(), kEntries, 200.0, 0, 300.0, 2);  // 200, 250
  EXPECT_EQ(byteBuf()[0], -56);
  EXPECT_EQ(byteBuf()[1], -6);
  FillEdgeBytes(byteBuf(), kEntries, -1.5, 3, 0.5, 5);  // -1.5, -0.5
  EXPECT_EQ(byteBuf()[3], -1);
  EXPECT_EQ(byteBuf()[4], 0);
  EXPECT_EQ(byteBuf()[5], 77);
  EXPECT_EQ(bytes_[3], 77);
}

// At the start a 640 x 480 screen shows face 1 as the square of corners
// (224, 144) and (416, 336); face 3, behind it, spans (272, 192) to (368, 288).
class StartPosition : public ::testing::Test {
 protected:
  SyntheticScene scene_{5};
  void SetUp() override { rastertest::StartCube(); }
};

TEST_F(StartPosition, FrontFaceCoversHalfOpenRowsAndColumnsInEveryDepthAndMode) {
  for (int32_t depth = 0; depth < 4; ++depth) {
    TestScreen screen(640, 480, depth);
    screen.Project();
    for (int32_t mode = 0; mode < (depth < 2 ? 6 : 4); ++mode) {
      shadingMode = mode;
      const auto covered = Coverage(screen, [&screen] { screen.DrawFace(1); });
      EXPECT_EQ(RectangleMismatch(covered, 224, 416, 144, 336), "")
          << "depth " << depth << " mode " << mode;
    }
    EXPECT_EQ(screen.DamagedGuards(), "");
  }
}

TEST_F(StartPosition, BackFaceIsDrawnOnlyInTransparencyWithExchangedRoles) {
  for (int32_t depth = 0; depth < 4; ++depth) {
    TestScreen screen(640, 480, depth);
    screen.Project();
    RasterContext& c = screen.state();
    for (int32_t mode = 0; mode < 6; ++mode) {
      shadingMode = mode;
      c.leftX[250] = -7;
      c.rightX[250] = -7;
      const auto covered = Coverage(screen, [&screen] { screen.DrawFace(3); });
      if (mode == kTransparency && depth < 2) {
        EXPECT_EQ(RectangleMismatch(covered, 272, 368, 192, 288), "") << "depth " << depth;
        // Its descending edge (x = 272) bounds it on the left.
        EXPECT_EQ(c.leftX[250], 272);
        EXPECT_EQ(c.rightX[250], 368);
      } else {
        EXPECT_EQ(RectangleMismatch(covered, 0, 0, 0, 0), "")
            << "depth " << depth << " mode " << mode;
        EXPECT_EQ(c.leftX[250], -7) << "a culled face changed the buffers";
      }
    }
  }
}

TEST_F(StartPosition, TrueColourDepthsDrawNothingAndChangeNothingInModesFourAndFive) {
  for (int32_t depth = 2; depth < 4; ++depth) {
    TestScreen screen(640, 480, depth);
    std::mt19937 rng(3);
    for (int32_t mode = 4; mode < 6; ++mode) {
      shadingMode = mode;
      screen.FillRandom(rng);
      const auto before = screen.Pixels();
      screen.state().spanTop = -12345;
      screen.state().wVector = {1, 2, 3};
      screen.DrawCube();
      EXPECT_TRUE(screen.Pixels() == before) << "depth " << depth << " mode " << mode;
      EXPECT_EQ(screen.state().spanTop, -12345);
      EXPECT_EQ(screen.state().wVector.z, 3);
    }
  }
}

// Turned cubes: the six faces tile the silhouette without overlap or gap,
// and every depth covers the same pixels.
class TurnedCube : public ::testing::Test {
 protected:
  SyntheticScene scene_{8};
};

TEST_F(TurnedCube, FacesSharingAnEdgeNeitherOverlapNorLeaveAGap) {
  TestScreen screen(320, 240, 0);
  std::mt19937 turns(17);
  rastertest::StartCube();
  shadingMode = kNoShading;
  for (int o = 0; o < 60; ++o) {
    rastertest::RandomTurn(turns);
    screen.Project();
    std::vector<int> count(320 * 240, 0);
    for (int32_t f = 0; f < 6; ++f) {
      const auto covered = Coverage(screen, [&screen, f] { DrawFace8(screen.Context(), f); });
      for (size_t p = 0; p < covered.size(); ++p) count[p] += covered[p] ? 1 : 0;
    }
    for (int32_t y = 0; y < 240; ++y) {
      int32_t first = -1, last = -1;
      for (int32_t x = 0; x < 320; ++x) {
        const int c = count[static_cast<size_t>(y) * 320 + x];
        ASSERT_LE(c, 1) << "overlap at (" << x << ", " << y << ") orientation " << o;
        if (c == 1) {
          if (first < 0) first = x;
          last = x;
        }
      }
      // The cube's outline is convex: each row's pixels form one run.
      for (int32_t x = first; first >= 0 && x <= last; ++x) {
        ASSERT_EQ(count[static_cast<size_t>(y) * 320 + x], 1)
            << "gap at (" << x << ", " << y << ") orientation " << o;
      }
    }
  }
}

TEST_F(TurnedCube, EveryDepthCoversThePixelsOfTheEightBitDrawing) {
  std::mt19937 turns(29);
  rastertest::StartCube();
  for (int o = 0; o < 12; ++o) {
    rastertest::RandomTurn(turns);
    for (int32_t mode = 0; mode < 6; ++mode) {
      shadingMode = mode;
      std::vector<bool> eightBit;
      for (int32_t depth = 0; depth < (mode < 4 ? 4 : 2); ++depth) {
        TestScreen screen(400, 300, depth);
        const auto covered = Coverage(screen, [&screen] { screen.DrawCube(); });
        if (depth == 0) {
          eightBit = covered;
          ASSERT_GT(std::count(covered.begin(), covered.end(), true), 1000)
              << "mode " << mode << " turn " << o;
        } else {
          ASSERT_TRUE(covered == eightBit) << "depth " << depth << " mode " << mode;
        }
      }
    }
  }
}

TEST_F(TurnedCube, ThirtyTwoBitPixelsKeepTheirFourthByteZero) {
  TestScreen screen(320, 240, 3);
  std::mt19937 turns(31);
  rastertest::StartCube();
  for (int o = 0; o < 10; ++o) {
    rastertest::RandomTurn(turns);
    for (int32_t mode = 0; mode < 4; ++mode) {
      shadingMode = mode;
      screen.Clear(0xFF);
      screen.DrawCube();
      const auto pixels = screen.Pixels();
      size_t written = 0;
      for (size_t p = 0; p < pixels.size(); p += 4) {
        const bool untouched = pixels[p] == 0xFF && pixels[p + 1] == 0xFF &&
                               pixels[p + 2] == 0xFF && pixels[p + 3] == 0xFF;
        if (!untouched) {
          ASSERT_EQ(pixels[p + 3], 0) << "pixel " << p / 4;
          ++written;
        }
      }
      EXPECT_GT(written, 500u);
    }
  }
}

TEST_F(TurnedCube, SixteenBitBlendOverBlackShowsTheTexelsOwnColour) {
  // The split tables as built: row 0 of the low table 0, of the high table
  // the palette colour.
  std::memset(blendLow16, 0, 256);
  std::memcpy(blendHigh16, palette16, sizeof palette16);
  TestScreen screen(320, 240, 1);
  std::mt19937 turns(37);
  rastertest::StartCube();
  for (int o = 0; o < 10; ++o) {
    rastertest::RandomTurn(turns);
    screen.Project();
    for (int32_t f = 0; f < 6; ++f) {
      shadingMode = kNoShading;
      screen.Clear(0);
      DrawFace16(screen.Context(), f);
      const auto plain = screen.Pixels();
      shadingMode = kTransparency;
      screen.Clear(0);
      DrawFace16(screen.Context(), f);
      // A front face covers the same pixels both ways; a back face draws
      // only in transparency, so compare front faces.
      if (std::count(plain.begin(), plain.end(), 0) != static_cast<long>(plain.size())) {
        EXPECT_TRUE(screen.Pixels() == plain) << "face " << f << " orientation " << o;
      }
    }
  }
}

}  // namespace
