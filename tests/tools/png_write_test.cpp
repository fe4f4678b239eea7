// The PNG writer, read back through the picture reader.
#include "tools/png_write.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tools/picture.h"

namespace {

using testing_support::ScratchDir;

// Decodes a file; empty on any failure.
std::vector<uint8_t> ReadRgb(const std::string& path, int* width, int* height) {
  Picture picture;
  std::string error;
  if (!ReadPicture(path, &picture, &error)) {
    ADD_FAILURE() << error;
    return {};
  }
  *width = picture.width;
  *height = picture.height;
  return picture.rgb;
}

TEST(WritePng, PixelsSurviveTheRoundTrip) {
  ScratchDir dir;
  const int width = 5, height = 3;  // odd width: rows are not padded
  std::vector<uint8_t> rgb(width * height * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 37 + 11);
  std::string error = "untouched";
  ASSERT_TRUE(WritePng(dir.File("a.png").c_str(), width, height, rgb.data(), &error));
  EXPECT_EQ(error, "untouched");
  int w = 0, h = 0;
  EXPECT_EQ(ReadRgb(dir.File("a.png"), &w, &h), rgb);
  EXPECT_EQ(w, width);
  EXPECT_EQ(h, height);

  // Larger, smooth in places and noisy in others: each row filtered its own way.
  const int wide = 257, tall = 129;
  std::vector<uint8_t> big(wide * tall * 3);
  for (size_t i = 0; i < big.size(); ++i)
    big[i] = static_cast<uint8_t>(i / 3 % wide < 128 ? i / 700 : i * 2654435761u >> 24);
  ASSERT_TRUE(WritePng(dir.File("b.png").c_str(), wide, tall, big.data(), &error)) << error;
  EXPECT_EQ(ReadRgb(dir.File("b.png"), &w, &h), big);
  EXPECT_EQ(w, wide);
  EXPECT_EQ(h, tall);
}

TEST(WritePng, ReportsFailures) {
  ScratchDir dir;
  const uint8_t pixel[3] = {1, 2, 3};
  std::string error;
  EXPECT_FALSE(WritePng(dir.File("missing/folder/a.png").c_str(), 1, 1, pixel, &error));
  EXPECT_NE(error.find("missing/folder/a.png"), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(WritePng(dir.File("b.png").c_str(), 0, 1, pixel, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(WritePng(dir.File("c.png").c_str(), 1, -4, pixel, nullptr));
  EXPECT_FALSE(WritePng(dir.File("d.png").c_str(), 1, 1, nullptr, nullptr));
  EXPECT_FALSE(WritePng(nullptr, 1, 1, pixel, nullptr));
  // Too large for the writer: refused before a file is made or a pixel read.
  EXPECT_FALSE(WritePng(dir.File("e.png").c_str(), 100000, 100000, pixel, &error));
  EXPECT_NE(error.find("100000 x 100000"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(dir.File("e.png")));
}

}  // namespace
