// The screen as the frame asks about it. Wine runs its 8-bit display modes
// on a true-colour X server and reports them as not palette-based (no
// RC_PALETTE, no system palette), though DirectDraw palettes work there; a
// display DC of 8 bits per pixel is palette-based on Windows by definition,
// and is reported so here, with Windows' static colours as its system
// palette when the real one cannot be read.
#include "platform/gdi.h"
#include "platform/static_colours.h"

namespace plat {
namespace {

bool EightBitDisplay(HDC dc) {
  return dc && ::GetDeviceCaps(dc, TECHNOLOGY) == DT_RASDISPLAY &&
         ::GetDeviceCaps(dc, BITSPIXEL) == 8;
}

PALETTEENTRY Entry(const uint8_t (&rgb)[3]) { return {rgb[0], rgb[1], rgb[2], 0}; }

}  // namespace

int GetDeviceCaps(HDC dc, int index) {
  int value = ::GetDeviceCaps(dc, index);
  if (index == RASTERCAPS && !(value & RC_PALETTE) && EightBitDisplay(dc)) value |= RC_PALETTE;
  return value;
}

UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries) {
  const UINT got = ::GetSystemPaletteEntries(dc, start, count, entries);
  if (got || !entries || start >= 256 || !EightBitDisplay(dc)) return got;
  const UINT n = count < 256 - start ? count : 256 - start;
  for (UINT i = 0; i < n; ++i) {
    const UINT at = start + i;
    entries[i] = at < 10     ? Entry(kStaticColoursLow[at])
                 : at >= 246 ? Entry(kStaticColoursHigh[at - 246])
                             : PALETTEENTRY{};
  }
  return n;
}

}  // namespace plat
