#include "app/display.h"

#include <cstdio>
#include <string>

#include "app/ddapp.h"
#include "app/frame_rate.h"
#include "app/frame_view.h"
#include "platform/hex.h"
#include "platform/winuser.h"
#include "res/resource_ids.h"

using namespace plat;

namespace {

template <typename T>
void ReleaseObject(T*& object) {
  if (object) {
    object->Release();
    object = nullptr;
  }
}

}  // namespace

int32_t CreateDisplayDevice(HWND window) {
  // Qualified here and below: on Windows these are our layer's, beside the
  // SDK's functions of the same names.
  HRESULT hr = plat::DirectDrawCreate(nullptr, &ddraw, nullptr);
  if (hr != DD_OK) {
    ddraw = nullptr;
    NoteStartupFailure("cannot open the display (DirectDrawCreate " +
                       Hex(static_cast<uint32_t>(hr), 8) + ")");
    return 0;
  }
  const uint32_t level = DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWMODEX | DDSCL_ALLOWREBOOT;
  hr = ddraw->SetCooperativeLevel(window, level);
  if (hr != DD_OK) {
    NoteStartupFailure("cannot take the full screen (SetCooperativeLevel " +
                       Hex(static_cast<uint32_t>(hr), 8) + ")");
    return 0;
  }
  return 1;
}

void ReleaseDisplayDevice() {
  frameLocked = false;  // goes with the surface
  ReleaseObject(backBuffer);
  ReleaseObject(primarySurface);
  ReleaseObject(palette);
  ReleaseObject(ddraw);
}

HRESULT CALLBACK AddModeItem(DDSURFACEDESC* mode, void* context) {
  if (!mode) return DDENUMRET_OK;
  const uint32_t width = mode->dwWidth, height = mode->dwHeight;
  const uint32_t depth = mode->ddpfPixelFormat.dwRGBBitCount;
  if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return DDENUMRET_OK;
  // A side the item data cannot hold would come back as another mode.
  if (width == 0 || height == 0 || width > kMaxModeSide || height > kMaxModeSide)
    return DDENUMRET_OK;
  HMENU popup = static_cast<HMENU>(context);
  const int32_t count = GetMenuItemCount(popup);
  if (count < 0) return DDENUMRET_OK;
  const auto id = static_cast<UINT>(kCmdFirstMode + static_cast<uint32_t>(count));
  char label[40];
  std::snprintf(label, sizeof label, "%ux%ux%u", width, height, depth);
  AppendMenuA(popup, MF_STRING, id, label);
  MENUITEMINFOA info{};
  info.cbSize = kMenuItemInfoSize;
  info.fMask = MIIM_DATA;
  info.dwItemData = PackModeData(width, height, depth);
  SetMenuItemInfoA(popup, id, 0, &info);
  return DDENUMRET_OK;
}

int32_t DDApp::SetMode(int32_t width, int32_t height, int32_t bitsPerPixel) {
  if (!ddraw || width <= 0 || height <= 0 || bitsPerPixel <= 0) return 0;
  if (ddraw->SetDisplayMode(static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                            static_cast<uint32_t>(bitsPerPixel)) != DD_OK)
    return 0;
  screenWidth = width;
  screenHeight = height;
  centerX = width / 2;
  centerY = height / 2;

  frameLocked = false;  // goes with the surface
  ReleaseObject(backBuffer);
  ReleaseObject(primarySurface);
  ReleaseObject(palette);

  // Two back buffers in video memory, then one, then one anywhere.
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 2;
  desc.ddsCaps.dwCaps =
      DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
  if (ddraw->CreateSurface(&desc, &primarySurface, nullptr) != DD_OK) {
    primarySurface = nullptr;
    desc.dwBackBufferCount = 1;
    if (ddraw->CreateSurface(&desc, &primarySurface, nullptr) != DD_OK) {
      primarySurface = nullptr;
      desc.ddsCaps.dwCaps &= ~DDSCAPS_VIDEOMEMORY;
      if (ddraw->CreateSurface(&desc, &primarySurface, nullptr) != DD_OK) {
        primarySurface = nullptr;
        return 0;
      }
    }
  }

  DDSCAPS backCaps{DDSCAPS_BACKBUFFER};
  if (primarySurface->GetAttachedSurface(&backCaps, &backBuffer) != DD_OK) {
    backBuffer = nullptr;
    return 0;
  }

  HDC screen = GetDC(nullptr);
  if (plat::GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) {
    PALETTEENTRY entries[256]{};
    plat::GetSystemPaletteEntries(screen, 0, 256, entries);
    if (paletteSource) {
      for (int i = 10; i < 255; ++i) {
        entries[i].peRed = paletteSource[3 * i];
        entries[i].peGreen = paletteSource[3 * i + 1];
        entries[i].peBlue = paletteSource[3 * i + 2];
      }
    }
    if (ddraw->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr) == DD_OK)
      primarySurface->SetPalette(palette);
    else
      palette = nullptr;
  }
  ReleaseDC(nullptr, screen);
  currentMode = {width, height, bitsPerPixel};
  return 1;
}

void DDApp::UpdateFrame() {
  // After a failed mode switch there may be no chain to draw into.
  if (!primarySurface || !backBuffer) return;
  if (primarySurface->IsLost() == DDERR_SURFACELOST) primarySurface->Restore();

  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0;
  backBuffer->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);

  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  if (backBuffer->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return;
  frameBuffer = desc.lpSurface;
  // Held while the faces are drawn through frameBuffer: the memory may move
  // once unlocked. DrawString ends it before the text, else it ends here.
  frameLocked = true;
  drawnArea = {0, 0, static_cast<int32_t>(desc.dwWidth), static_cast<int32_t>(desc.dwHeight)};
  RenderFrame();
  UnlockBackBuffer(drawnArea);
  primarySurface->Flip(nullptr, DDFLIP_WAIT);
  CountFrame();
}

int32_t SwitchDisplayMode(int32_t width, int32_t height, int32_t bitsPerPixel) {
  const DisplayMode before = currentMode;
  if (theApp->SetMode(width, height, bitsPerPixel)) return 1;
  const char* name = theApp->appName ? theApp->appName : "";
  std::fprintf(stderr, "%s: cannot switch to %dx%dx%d", name, width, height, bitsPerPixel);
  if (before.width == 0) {
    std::fprintf(stderr, "\n");
    return 0;
  }
  std::fprintf(stderr, "; back to %dx%dx%d\n", before.width, before.height, before.bitsPerPixel);
  if (!theApp->SetMode(before.width, before.height, before.bitsPerPixel))
    std::fprintf(stderr, "%s: cannot go back to %dx%dx%d either\n", name, before.width,
                 before.height, before.bitsPerPixel);
  return 0;
}

void SetPaused(int32_t on) {
  if (!on) {
    paused = 0;
    return;
  }
  DDSCAPS caps{};
  if (primarySurface && primarySurface->GetCaps(&caps) == DD_OK && (caps.dwCaps & DDSCAPS_MODEX) &&
      theApp)
    SwitchDisplayMode(640, 480, 8);
  paused = 1;
  if (ddraw) ddraw->FlipToGDISurface();
  DrawMenuBar(mainWindow);
  RedrawWindow(mainWindow, nullptr, nullptr, RDW_FRAME);
}
