// Pictures of the generated data to look at (kelvo-gen-assets --png): the
// faces, the palette, the shade and blend tables at work, the ramps and the
// icon, as PNG files; and the icon as a desktop shows it (--icons). Nothing
// here goes into the data itself.
#pragma once
#include <filesystem>
#include <vector>

#include "tools/gen_assets.h"

namespace assets {

// faces.png, T1.png to T6.png, palette.png, shade.png, blend.png, ramps.png
// and icon.png in `dir`; false, having said why on standard error, when one
// could not be written.
bool WritePreviews(const std::filesystem::path& dir, const Palette& p, const Table& shade,
                   const Table& blend, const std::vector<Texture>& tex, const IconPicture& icon);

// The sides of the icon's pictures: whole multiples of its own 32, so every
// pixel stays sharp.
constexpr int kIconSides[] = {32, 64, 128, 256};

// icon-32.png, icon-64.png, icon-128.png and icon-256.png in `dir`: the icon
// enlarged, clear where it is clear; false, having said why, on failure.
bool WriteIconPictures(const std::filesystem::path& dir, const IconPicture& icon);

}  // namespace assets
