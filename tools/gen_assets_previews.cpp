#include "tools/gen_assets_previews.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "tools/png_write.h"

namespace assets {
namespace {

class Image {
 public:
  Image(int width, int height, Rgb fill)
      : width_(width), height_(height), rgb_(static_cast<size_t>(width * height * 3)) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) Set(x, y, fill);
  }
  void Set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    const size_t at = static_cast<size_t>((y * width_ + x) * 3);
    rgb_[at] = static_cast<uint8_t>(c.r);
    rgb_[at + 1] = static_cast<uint8_t>(c.g);
    rgb_[at + 2] = static_cast<uint8_t>(c.b);
  }
  void Fill(int x0, int y0, int w, int h, Rgb c) {
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) Set(x, y, c);
  }
  bool Save(const std::filesystem::path& path) const {
    std::string error;
    if (!WritePng(path.string().c_str(), width_, height_, rgb_.data(), &error)) {
      std::fprintf(stderr, "kelvo-gen-assets: %s\n", error.c_str());
      return false;
    }
    return true;
  }

 private:
  int width_;
  int height_;
  std::vector<uint8_t> rgb_;
};

const Rgb kPreviewBack{40, 40, 44};

// Draws 128 x 128 palette indices (file order) as a picture, scaled.
template <typename IndexAt>
void DrawIndexed(Image& img, int x0, int y0, int scale, const Palette& p, IndexAt indexAt) {
  for (int py = 0; py < kTex; ++py) {
    for (int px = 0; px < kTex; ++px) {
      const Rgb c = p[indexAt(px, kTex - 1 - py)];
      img.Fill(x0 + px * scale, y0 + py * scale, scale, scale, c);
    }
  }
}

}  // namespace

bool WritePreviews(const std::filesystem::path& dir, const Palette& p, const Table& shade,
                   const Table& blend, const std::vector<Texture>& tex, const IconPicture& icon) {
  bool ok = true;
  auto texel = [&tex](int face) {
    return [&tex, face](int u, int v) {
      return tex[static_cast<size_t>(face)][static_cast<size_t>(v * kTex + u)];
    };
  };

  {  // the six faces, twice their size
    const int gap = 8;
    Image img(3 * 256 + 4 * gap, 2 * 256 + 3 * gap, kPreviewBack);
    for (int f = 0; f < kFaces; ++f) {
      DrawIndexed(img, gap + (f % 3) * (256 + gap), gap + (f / 3) * (256 + gap), 2, p, texel(f));
    }
    ok = img.Save(dir / "faces.png") && ok;
  }
  for (int f = 0; f < kFaces; ++f) {  // each face four times its size
    Image img(512, 512, kPreviewBack);
    DrawIndexed(img, 0, 0, 4, p, texel(f));
    ok = img.Save(dir / FaceFileName(f, "png")) && ok;
  }
  {  // palette swatch; unusable entries crossed out
    Image img(16 * 20, 16 * 20, kPreviewBack);
    for (int i = 0; i < 256; ++i) {
      const int x0 = (i % 16) * 20 + 1;
      const int y0 = (i / 16) * 20 + 1;
      img.Fill(x0, y0, 18, 18, p[static_cast<size_t>(i)]);
      if (i < kFirstUsable || i > kLastUsable) {
        for (int k = 0; k < 18; ++k) {
          img.Set(x0 + k, y0 + k, {255, 0, 255});
          img.Set(x0 + 17 - k, y0 + k, {255, 0, 255});
        }
      }
    }
    ok = img.Save(dir / "palette.png") && ok;
  }
  {  // every face through the shade table at six levels
    const int levels[6] = {0, 50, 100, 150, 200, 255};
    const int gap = 4;
    Image img(6 * (kTex + gap) + gap, kFaces * (kTex + gap) + gap, kPreviewBack);
    for (int f = 0; f < kFaces; ++f) {
      for (int l = 0; l < 6; ++l) {
        const int level = levels[l];
        DrawIndexed(img, gap + l * (kTex + gap), gap + f * (kTex + gap), 1, p, [&](int u, int v) {
          return shade[static_cast<size_t>(level * 256 + texel(f)(u, v))];
        });
      }
    }
    ok = img.Save(dir / "shade.png") && ok;
  }
  {  // each face blended over black, over the next face and over itself;
     // then a Gouraud-like sweep of levels 20..255 across the face
    const int gap = 4;
    Image img(4 * (kTex + gap) + gap, kFaces * (kTex + gap) + gap, kPreviewBack);
    for (int f = 0; f < kFaces; ++f) {
      const int next = (f + 1) % kFaces;
      const int y0 = gap + f * (kTex + gap);
      DrawIndexed(img, gap, y0, 1, p,
                  [&](int u, int v) { return blend[static_cast<size_t>(texel(f)(u, v))]; });
      DrawIndexed(img, gap + (kTex + gap), y0, 1, p, [&](int u, int v) {
        return blend[static_cast<size_t>(texel(next)(u, v) * 256 + texel(f)(u, v))];
      });
      DrawIndexed(img, gap + 2 * (kTex + gap), y0, 1, p, [&](int u, int v) {
        return blend[static_cast<size_t>(texel(f)(u, v) * 256 + texel(f)(u, v))];
      });
      DrawIndexed(img, gap + 3 * (kTex + gap), y0, 1, p, [&](int u, int v) {
        const int level = 20 + u * (255 - 20) / (kTex - 1);
        return shade[static_cast<size_t>(level * 256 + texel(f)(u, v))];
      });
    }
    ok = img.Save(dir / "blend.png") && ok;
  }
  {  // shade sweeps: per ramp, a light and a mid entry over levels 0..255, the
     // table's result above the exact scaled colour
    const int entries[] = {RampEntry(0, 24), RampEntry(0, 14), RampEntry(1, 21), RampEntry(2, 21),
                           RampEntry(3, 21), RampEntry(4, 21), RampEntry(5, 21), RampEntry(6, 21),
                           RampEntry(7, 8),  RampEntry(10, 8)};
    const int count = static_cast<int>(sizeof entries / sizeof entries[0]);
    Image img(512 + 8, count * 44 + 4, kPreviewBack);
    for (int e = 0; e < count; ++e) {
      const Rgb& c = p[static_cast<size_t>(entries[e])];
      for (int x = 0; x < 512; ++x) {
        const int level = x / 2;
        const Rgb tableColour = p[shade[static_cast<size_t>(level * 256 + entries[e])]];
        auto scale = [level](int v) { return std::min(255, v * level / 200); };
        const Rgb exact{scale(c.r), scale(c.g), scale(c.b)};
        img.Fill(4 + x, 4 + e * 44, 1, 20, tableColour);
        img.Fill(4 + x, 4 + e * 44 + 20, 1, 20, exact);
      }
    }
    ok = img.Save(dir / "ramps.png") && ok;
  }
  {  // the icon, eight times its size, on a checkerboard where it is clear
    Image img(256, 256, kPreviewBack);
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        const size_t at = static_cast<size_t>(y * 32 + x);
        const Rgb checker = ((x + y) & 1) ? Rgb{90, 90, 96} : Rgb{150, 150, 156};
        img.Fill(x * 8, y * 8, 8, 8, icon.opaque[at] ? kIconColours[icon.index[at]] : checker);
      }
    }
    ok = img.Save(dir / "icon.png") && ok;
  }
  return ok;
}

bool WriteIconPictures(const std::filesystem::path& dir, const IconPicture& icon) {
  bool ok = true;
  for (const int side : kIconSides) {
    const int scale = side / 32;
    std::vector<uint8_t> rgba(static_cast<size_t>(side * side * 4));
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const size_t at = static_cast<size_t>(y / scale * 32 + x / scale);
        const Rgb c = kIconColours[icon.index[at]];
        uint8_t* p = &rgba[static_cast<size_t>((y * side + x) * 4)];
        p[0] = static_cast<uint8_t>(c.r);
        p[1] = static_cast<uint8_t>(c.g);
        p[2] = static_cast<uint8_t>(c.b);
        p[3] = icon.opaque[at] ? 255 : 0;
      }
    }
    const std::filesystem::path path = dir / ("icon-" + std::to_string(side) + ".png");
    std::string error;
    if (!WritePngRgba(path.string().c_str(), side, side, rgba.data(), &error)) {
      std::fprintf(stderr, "kelvo-gen-assets: %s\n", error.c_str());
      ok = false;
    }
  }
  return ok;
}

}  // namespace assets
