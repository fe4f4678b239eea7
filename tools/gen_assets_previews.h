// Pictures of the generated data to look at (kelvo-gen-assets --png): the
// faces, the palette, the shade and blend tables at work, the ramps and the
// icon, as PNG files. Nothing here goes into the data itself.
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

}  // namespace assets
