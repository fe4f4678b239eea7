// The full-screen display: the display object, the flipping chain and the
// 8-bit palette, the "Modes" menu, and the pause that hands the screen to the
// window system.
#pragma once
#include <cstdint>

#include "platform/ddraw.h"

extern plat::IDirectDraw* ddraw;
extern plat::IDirectDrawSurface* primarySurface;
extern plat::IDirectDrawSurface* backBuffer;
extern plat::IDirectDrawPalette* palette;

// The mode the last fully successful DDApp::SetMode entered; zeros before.
struct DisplayMode {
  int32_t width;
  int32_t height;
  int32_t bitsPerPixel;
};
extern DisplayMode currentMode;

// The display steps of device creation and release.
int32_t CreateDisplayDevice(plat::HWND window);
void ReleaseDisplayDevice();

// A "Modes" item's data: bits per pixel << 24 | height << 12 | width.
constexpr uint32_t PackModeData(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
  return (bitsPerPixel << 24) | ((height & 0xFFF) << 12) | (width & 0xFFF);
}
constexpr DisplayMode UnpackModeData(uint32_t data) {
  return {static_cast<int32_t>(data & 0xFFF), static_cast<int32_t>((data >> 12) & 0xFFF),
          static_cast<int32_t>(data >> 24)};
}

// EnumDisplayModes callback: appends one item per usable mode to the pop-up
// menu given as context.
plat::HRESULT CALLBACK AddModeItem(plat::DDSURFACEDESC* mode, void* context);

// theApp's SetMode; when that fails, back to the mode that was running so
// that something is drawn still (each failure told on standard error).
int32_t SwitchDisplayMode(int32_t width, int32_t height, int32_t bitsPerPixel);

// On: back to 640 x 480 x 8 from a Mode X mode, stop drawing, show the GDI
// surface with the menu bar. Off: draw again.
void SetPaused(int32_t on);
