// The few GDI services the frame uses: the screen's device context and its
// palette, and white text with a transparent background on a surface's DC.
#pragma once

#if defined(_WIN32) && !defined(KELVO_EMULATED_PLATFORM)
#include "platform/win32/sdk.h"
#else
#include <cstdint>

#include "platform/types.h"

namespace plat {

struct DeviceContextObject;
using HDC = DeviceContextObject*;
using COLORREF = uint32_t;

struct PALETTEENTRY {
  uint8_t peRed;
  uint8_t peGreen;
  uint8_t peBlue;
  uint8_t peFlags;
};

constexpr int32_t HORZRES = 8;
constexpr int32_t VERTRES = 10;
constexpr int32_t BITSPIXEL = 12;
constexpr int32_t RASTERCAPS = 38;
constexpr int32_t SIZEPALETTE = 104;
constexpr int32_t RC_PALETTE = 0x100;
constexpr int32_t TRANSPARENT = 1;
constexpr int32_t OPAQUE = 2;

constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
         (static_cast<COLORREF>(b) << 16);
}

// The screen's DC when window is null.
HDC GetDC(HWND window);
int32_t ReleaseDC(HWND window, HDC dc);
int32_t GetDeviceCaps(HDC dc, int32_t index);
uint32_t GetSystemPaletteEntries(HDC dc, uint32_t start, uint32_t count, PALETTEENTRY* entries);
// Each returns the previous setting.
int32_t SetBkMode(HDC dc, int32_t mode);
COLORREF SetTextColor(HDC dc, COLORREF color);
// The DC's default font, its cell's top-left corner at (x, y), clipped to the
// surface; length is in bytes. Only the glyphs are drawn: the background is
// left as it is, as TRANSPARENT has it (the only mode the program uses).
BOOL TextOutA(HDC dc, int32_t x, int32_t y, const char* text, int32_t length);

}  // namespace plat

#endif  // _WIN32 && !KELVO_EMULATED_PLATFORM
