// The PNG writer, read back through libpng.
#include "tools/png_write.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using testing_support::ScratchDir;

// Decodes an 8-bit RGB file; empty on any failure.
std::vector<uint8_t> ReadRgb(const std::string& path, int* width, int* height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  return pixels;
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
}

}  // namespace
