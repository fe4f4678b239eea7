// The picture reader behind kelvo-gen-assets --texture, and the scaling of
// what it read to a face, both ways a face can be fitted.
#include <cmath>

#include "fuzz/fuzz_targets.h"
#include "tools/picture.h"

int fuzz::Picture(const uint8_t* data, size_t size) {
  ::Picture picture;
  std::string error;
  if (!DecodePicture(data, size, &picture, &error)) {
    Require(OneLine(error), "refused without a one-line reason");
    return 0;
  }
  const auto width = static_cast<size_t>(picture.width);
  const auto height = static_cast<size_t>(picture.height);
  Require(picture.width > 0 && picture.height > 0, "a picture without pixels");
  Require(width <= kMaxPictureSide && height <= kMaxPictureSide &&
              width * height <= static_cast<size_t>(kMaxPicturePixels),
          "a picture past the size limits");
  Require(picture.rgb.size() == width * height * 3, "pixels of another size than the picture");
  constexpr int kSide = 128;
  for (Fit fit : {Fit::kCrop, Fit::kStretch}) {
    const std::vector<double> face = ResizeSquare(picture, kSide, fit);
    Require(face.size() == size_t{kSide} * kSide * 3, "a face of the wrong size");
    for (double c : face)
      Require(std::isfinite(c) && c >= -1e-9 && c <= 255 + 1e-9, "a colour out of 0..255");
  }
  return 0;
}
