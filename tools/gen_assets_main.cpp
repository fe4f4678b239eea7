// kelvo-gen-assets OUTDIR [--png PREVIEWDIR] [--icons ICONDIR]
// kelvo-gen-assets --icons ICONDIR
// kelvo-gen-assets --texture N PICTURE [--out DIR] [--stretch]
//
// Writes the program's data files: the palette "CUBE.PAL", the shade table
// "PALTBL1.DAT", the blend table "PALTBL2.DAT", the face textures T1.BMP to
// T6.BMP and the icon AppIcon.ico (gen_assets.h says how they are made).
// With --png it also writes preview pictures, with --icons the icon as PNG
// pictures for the desktop. With --texture it turns a picture of the user's
// into one face texture instead.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tools/arguments.h"
#include "tools/files.h"
#include "tools/gen_assets.h"
#include "tools/gen_assets_previews.h"
#include "tools/picture.h"

namespace {

using namespace assets;

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& data) {
  std::string error;
  if (!WriteWholeFile(path.string(), data.data(), data.size(), &error)) {
    std::fprintf(stderr, "kelvo-gen-assets: %s\n", error.c_str());
    return false;
  }
  return true;
}

constexpr const char* kUsage =
    "Usage: kelvo-gen-assets OUTDIR [--png PREVIEWDIR] [--icons ICONDIR]\n"
    "  or:  kelvo-gen-assets --icons ICONDIR\n"
    "  or:  kelvo-gen-assets --texture N PICTURE [--out DIR] [--stretch]\n"
    "Writes the program's data files into OUTDIR (made if needed): the palette CUBE.PAL,\n"
    "the colour tables PALTBL1.DAT and PALTBL2.DAT, the face textures T1.BMP to T6.BMP\n"
    "and the icon AppIcon.ico, the same bytes on every run.\n"
    "  --png PREVIEWDIR     also write pictures of the data to look at\n"
    "  --icons ICONDIR      also, or alone, write the icon as the desktop shows it:\n"
    "                       icon-32.png, icon-64.png, icon-128.png and icon-256.png,\n"
    "                       enlarged by whole numbers, with transparency\n"
    "  --texture N PICTURE  make face N's texture (1-6) from your own picture instead:\n"
    "                       a PNG or BMP of any size becomes T<N>.BMP, 128x128 in the\n"
    "                       program's palette, in the current folder or --out DIR\n"
    "  --out DIR            the folder for --texture's file (made if needed)\n"
    "  --stretch            squeeze the whole picture into the square face; without it\n"
    "                       the face shows the picture's largest centred square\n"
    "  -h, --help           this text\n"
    "An existing file is replaced only once its new content is complete.\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 bad command line.\n";

int UsageError(const std::string& problem) {
  std::fprintf(stderr, "kelvo-gen-assets: %s (see --help)\n", problem.c_str());
  return 2;
}

bool MakeDirectory(const std::filesystem::path& dir) {
  std::string error;
  if (!MakeFolder(dir.string(), &error)) {
    std::fprintf(stderr, "kelvo-gen-assets: %s\n", error.c_str());
    return false;
  }
  return true;
}

// A picture of the user's as face texture `face` (0..5): scaled to 128 x 128,
// each texel the nearest usable palette entry, so every shading table applies.
int WriteOwnTexture(int face, const std::string& picturePath, const std::filesystem::path& outDir,
                    Fit fit) {
  Picture picture;
  std::string error;
  if (!ReadPicture(picturePath, &picture, &error)) {
    std::fprintf(stderr, "kelvo-gen-assets: %s\n", error.c_str());
    return 1;
  }
  const std::vector<double> colours = ResizeSquare(picture, kTex, fit);
  const Palette palette = BuildPalette();
  NearestColour nearest(palette);
  Texture tex(kTexBytes);
  for (int py = 0; py < kTex; ++py) {
    for (int px = 0; px < kTex; ++px) {
      const double* c = &colours[static_cast<size_t>((py * kTex + px) * 3)];
      // Bottom-up storage, as the generated faces.
      tex[static_cast<size_t>((kTex - 1 - py) * kTex + px)] = nearest(Colour{c[0], c[1], c[2]});
    }
  }
  if (!MakeDirectory(outDir)) return 1;
  const std::filesystem::path out = outDir / FaceFileName(face, "BMP");
  if (!WriteFile(out, MakeBmp(palette, tex))) return 1;
  const int side = std::min(picture.width, picture.height);
  const std::string part =
      fit == Fit::kStretch || picture.width == picture.height
          ? std::string("the whole picture")
          : "its centred " + std::to_string(side) + "x" + std::to_string(side) + " square";
  std::printf("wrote %s from %s (%dx%d, %s)\n", out.string().c_str(), picturePath.c_str(),
              picture.width, picture.height, part.c_str());
  return 0;
}

int Run(int argc, char** argv) {
  Arguments args;
  std::string problem;
  if (!SplitArguments(
          argc, argv,
          {{"--png", 1}, {"--icons", 1}, {"--texture", 2}, {"--out", 1}, {"--stretch", 0}}, 1,
          &args, &problem))
    return UsageError(problem);
  if (args.help()) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  for (const char* flag : {"--png", "--icons", "--out"}) {
    if (args.Has(flag) && args.Value(flag).empty())
      return UsageError(std::string("empty folder name after ") + flag);
  }

  if (args.Has("--texture")) {
    long face = 0;
    const std::string number(args.Value("--texture", 0));
    if (!ParseInt(number, 1, kFaces, &face))
      return UsageError("bad face '" + number + "' after --texture (1-6)");
    if (!args.plain().empty())
      return UsageError("unknown argument '" + std::string(args.plain()[0]) +
                        "' (--texture writes into --out DIR)");
    if (args.Has("--png")) return UsageError("--png goes with OUTDIR, not with --texture");
    if (args.Has("--icons"))
      return UsageError("--icons goes with OUTDIR or alone, not with --texture");
    const std::string picture(args.Value("--texture", 1));
    if (picture.empty()) return UsageError("empty picture name after --texture");
    const std::filesystem::path outDir = args.Has("--out") ? args.Value("--out") : ".";
    return WriteOwnTexture(static_cast<int>(face) - 1, picture, outDir,
                           args.Has("--stretch") ? Fit::kStretch : Fit::kCrop);
  }
  if (args.Has("--out")) return UsageError("--out goes with --texture; give the folder as OUTDIR");
  if (args.Has("--stretch")) return UsageError("--stretch goes with --texture");
  const std::filesystem::path iconDir = args.Has("--icons") ? args.Value("--icons") : "";
  if (args.plain().empty() && !iconDir.empty()) {
    if (args.Has("--png")) return UsageError("--png goes with OUTDIR");
    return MakeDirectory(iconDir) && WriteIconPictures(iconDir, RenderIcon()) ? 0 : 1;
  }
  if (args.plain().empty() || args.plain()[0].empty()) return UsageError("no OUTDIR given");
  const std::filesystem::path outDir = args.plain()[0];
  const std::filesystem::path previewDir = args.Has("--png") ? args.Value("--png") : "";
  if (!MakeDirectory(outDir)) return 1;

  const Palette palette = BuildPalette();
  NearestColour nearest(palette);
  const Table shade = BuildShadeTable(palette, nearest);
  const Table blend = BuildBlendTable(palette, nearest);
  std::vector<Texture> textures;
  for (int f = 0; f < kFaces; ++f) textures.push_back(RenderFace(f, nearest));
  const IconPicture icon = RenderIcon();

  std::vector<uint8_t> pal;
  for (const Rgb& e : palette) {
    pal.push_back(static_cast<uint8_t>(e.r));
    pal.push_back(static_cast<uint8_t>(e.g));
    pal.push_back(static_cast<uint8_t>(e.b));
  }
  bool ok = WriteFile(outDir / "CUBE.PAL", pal);
  ok = WriteFile(outDir / "PALTBL1.DAT", shade) && ok;
  ok = WriteFile(outDir / "PALTBL2.DAT", blend) && ok;
  for (int f = 0; f < kFaces; ++f) {
    const Texture& texture = textures[static_cast<size_t>(f)];
    ok = WriteFile(outDir / FaceFileName(f, "BMP"), MakeBmp(palette, texture)) && ok;
  }
  ok = WriteFile(outDir / "AppIcon.ico", MakeIco(icon)) && ok;
  if (!previewDir.empty()) {
    ok = MakeDirectory(previewDir) &&
         WritePreviews(previewDir, palette, shade, blend, textures, icon) && ok;
  }
  if (!iconDir.empty()) ok = MakeDirectory(iconDir) && WriteIconPictures(iconDir, icon) && ok;
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  return GuardedMain("kelvo-gen-assets", [&] { return Run(argc, argv); });
}
