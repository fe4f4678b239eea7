// The real rasteriser against the plain reference, pixel for pixel, on
// screens where the scene's own guarantees hold (4:3 modes).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

#include "raster/raster.h"
#include "raster/raster_fixture.h"
#include "raster/reference_raster.h"
#include "scene/cube_model.h"
#include "scene/tables.h"

namespace {

using rastertest::SyntheticScene;
using rastertest::TestScreen;

struct Size {
  int32_t width, height, orientations;
};

std::string DescribeMismatch(const std::vector<uint8_t>& real, const std::vector<uint8_t>& ref,
                             int32_t width, int bytesPerPixel) {
  size_t count = 0, first = real.size();
  for (size_t i = 0; i < real.size(); ++i) {
    if (real[i] != ref[i]) {
      if (first == real.size()) first = i;
      ++count;
    }
  }
  if (count == 0) return "";
  const size_t pixelIndex = first / static_cast<size_t>(bytesPerPixel);
  std::ostringstream out;
  out << count << " bytes differ, first at pixel (" << pixelIndex % static_cast<size_t>(width)
      << ", " << pixelIndex / static_cast<size_t>(width) << ") byte "
      << first % static_cast<size_t>(bytesPerPixel) << ": real " << int{real[first]}
      << " reference " << int{ref[first]};
  return out.str();
}

bool SameVector(const Vector3& a, const Vector3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Compares the ten scanline buffers of the real rasteriser with the
// reference's over every entry.
std::string CompareBuffers(const RasterContext& c, reference::State& st) {
  for (int32_t i = 0; i < c.scanlineEntries; ++i) {
    if (c.leftX[i] != st.leftX[i] || c.rightX[i] != st.rightX[i] ||
        c.leftShade[i] != st.leftShade[i] || c.rightShade[i] != st.rightShade[i] ||
        c.leftAzimuth[i] != st.leftAzimuth[i] || c.rightAzimuth[i] != st.rightAzimuth[i] ||
        c.leftPolar[i] != st.leftPolar[i] || c.rightPolar[i] != st.rightPolar[i] ||
        c.inclineStep[i] != st.inclineStep[i] || c.inclineOffset[i] != st.inclineOffset[i]) {
      return "scanline buffers differ at entry " + std::to_string(i);
    }
  }
  return "";
}

void RunDifferential(const std::vector<Size>& sizes, uint32_t seed) {
  SyntheticScene scene(seed);
  int inclinedRows = 0, inclinedColumns = 0;
  for (const Size& size : sizes) {
    for (int32_t depth = 0; depth < 4; ++depth) {
      TestScreen screen(size.width, size.height, depth);
      reference::State state;
      state.SetScreen(screen.state(), 0, std::max(size.width, size.height));
      reference::Canvas canvas;
      std::mt19937 turns(seed + 1);
      std::mt19937 backgrounds(seed + 2);
      rastertest::StartCube();
      for (int32_t o = 0; o < size.orientations; ++o) {
        // The start position first: a face exactly parallel to the screen.
        if (o > 0) rastertest::RandomTurn(turns);
        for (int32_t mode = 0; mode < 6; ++mode) {
          shadingMode = mode;
          if (o % 2 == 0) {
            screen.Clear(0);
          } else {
            screen.FillRandom(backgrounds);
          }
          const std::vector<uint8_t> before = screen.Pixels();
          canvas.Reset(0, 0, size.width, size.height, screen.bytesPerPixel(), 0);
          canvas.bytes = before;
          screen.DrawCube();
          try {
            for (int32_t f = 0; f < 6; ++f) reference::DrawFace(state, canvas, depth, f);
          } catch (const std::exception& e) {
            FAIL() << "reference left its bounds: " << e.what();
          }
          const std::string where = std::to_string(size.width) + "x" + std::to_string(size.height) +
                                    " depth " + std::to_string(depth) + " mode " +
                                    std::to_string(mode) + " orientation " + std::to_string(o);
          const std::string mismatch =
              DescribeMismatch(screen.Pixels(), canvas.bytes, size.width, screen.bytesPerPixel());
          ASSERT_EQ(mismatch, "") << where;
          const RasterContext& c = screen.state();
          ASSERT_EQ(CompareBuffers(c, state), "") << where;
          if (depth < 2 || mode < 4) {
            ASSERT_TRUE(SameVector(c.uVector, state.u) && SameVector(c.vVector, state.v) &&
                        SameVector(c.wVector, state.w))
                << where;
            ASSERT_EQ(c.spanTop, state.spanTop) << where;
            ASSERT_EQ(c.spanBottom, state.spanBottom) << where;
          }
          if (mode == 5 && depth == 0) {
            (std::fabs(c.wVector.z) >= std::fabs(c.wVector.x) ? inclinedRows : inclinedColumns)++;
          }
        }
      }
      EXPECT_EQ(screen.DamagedGuards(), "");
    }
  }
  // Both inclined walkers must have been compared.
  EXPECT_GT(inclinedRows, 0);
  EXPECT_GT(inclinedColumns, 0);
}

TEST(RasterDifferential, MatchesReferenceAt640x480) { RunDifferential({{640, 480, 24}}, 11); }

TEST(RasterDifferential, MatchesReferenceAtOtherFourThreeModes) {
  RunDifferential({{320, 240, 10}, {800, 600, 4}, {1024, 768, 2}, {160, 120, 12}}, 23);
}

}  // namespace
