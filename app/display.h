// The full-screen display: the display object, the flipping chain and the
// 8-bit palette, the "Modes" menu, the frame step (DDApp::UpdateFrame) and
// the pause that hands the screen to the window system. Uses the frame's
// state and the frame-rate count; the window uses this, never the reverse.
#pragma once
#include <cstdint>

#include "app/frame_state.h"
#include "platform/ddraw.h"

// The display steps of device creation and release.
int32_t CreateDisplayDevice(plat::HWND window);
void ReleaseDisplayDevice();

// A "Modes" item's data: bits per pixel << 24 | height << 12 | width. Only
// sides that fit in 12 bits can be packed; AddModeItem lists no other.
constexpr uint32_t kMaxModeSide = 0xFFF;
constexpr uint32_t PackModeData(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
  return (bitsPerPixel << 24) | ((height & kMaxModeSide) << 12) | (width & kMaxModeSide);
}
constexpr DisplayMode UnpackModeData(uint32_t data) {
  return {static_cast<int32_t>(data & kMaxModeSide),
          static_cast<int32_t>((data >> 12) & kMaxModeSide), static_cast<int32_t>(data >> 24)};
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
