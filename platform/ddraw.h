// Display services in the shape of DirectDraw: a display object with modes and
// a flipping chain of surfaces, an 8-bit palette, and a device context on a
// surface for text. Each backend implements these; the frame sees nothing else.
#pragma once

#if defined(_WIN32) && !defined(KELVO_EMULATED_PLATFORM)
#include "platform/win32/sdk.h"
#else
#include <cstdint>

#include "platform/gdi.h"
#include "platform/types.h"

namespace plat {

constexpr HRESULT DD_OK = 0;
constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DDERR_INVALIDMODE = static_cast<HRESULT>(0x88760078u);
constexpr HRESULT DDERR_NOTFOUND = static_cast<HRESULT>(0x887600FFu);
constexpr HRESULT DDERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017Cu);
constexpr HRESULT DDERR_SURFACELOST = static_cast<HRESULT>(0x887601C2u);
constexpr HRESULT DDERR_NOEXCLUSIVEMODE = static_cast<HRESULT>(0x887600E1u);
constexpr HRESULT DDERR_CANTCREATEDC = static_cast<HRESULT>(0x88760245u);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = static_cast<HRESULT>(0x88760091u);
constexpr HRESULT DDERR_SURFACEBUSY = static_cast<HRESULT>(0x887601AEu);
constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = static_cast<HRESULT>(0x88760234u);
constexpr HRESULT DDERR_NOTLOCKED = static_cast<HRESULT>(0x88760248u);
constexpr HRESULT DDERR_WRONGMODE = static_cast<HRESULT>(0x8876024Bu);
constexpr HRESULT DDERR_DCALREADYCREATED = static_cast<HRESULT>(0x8876026Cu);

constexpr uint32_t DDSCL_FULLSCREEN = 0x1;
constexpr uint32_t DDSCL_ALLOWREBOOT = 0x2;
constexpr uint32_t DDSCL_EXCLUSIVE = 0x10;
constexpr uint32_t DDSCL_ALLOWMODEX = 0x40;

constexpr uint32_t DDSD_CAPS = 0x1;
constexpr uint32_t DDSD_HEIGHT = 0x2;
constexpr uint32_t DDSD_WIDTH = 0x4;
constexpr uint32_t DDSD_PITCH = 0x8;
constexpr uint32_t DDSD_BACKBUFFERCOUNT = 0x20;
constexpr uint32_t DDSD_LPSURFACE = 0x800;
constexpr uint32_t DDSD_PIXELFORMAT = 0x1000;

constexpr uint32_t DDSCAPS_BACKBUFFER = 0x4;
constexpr uint32_t DDSCAPS_COMPLEX = 0x8;
constexpr uint32_t DDSCAPS_FLIP = 0x10;
constexpr uint32_t DDSCAPS_FRONTBUFFER = 0x20;
constexpr uint32_t DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr uint32_t DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr uint32_t DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr uint32_t DDSCAPS_MODEX = 0x200000;

constexpr uint32_t DDBLT_COLORFILL = 0x400;
constexpr uint32_t DDBLT_WAIT = 0x1000000;
constexpr uint32_t DDLOCK_WAIT = 0x1;
constexpr uint32_t DDFLIP_WAIT = 0x1;
constexpr uint32_t DDPCAPS_8BIT = 0x4;
constexpr HRESULT DDENUMRET_CANCEL = 0;
constexpr HRESULT DDENUMRET_OK = 1;

struct DDPIXELFORMAT {
  uint32_t dwSize;
  uint32_t dwFlags;
  uint32_t dwFourCC;
  uint32_t dwRGBBitCount;
  uint32_t dwRBitMask;
  uint32_t dwGBitMask;
  uint32_t dwBBitMask;
  uint32_t dwRGBAlphaBitMask;
};

struct DDSCAPS {
  uint32_t dwCaps;
};

struct DDSURFACEDESC {
  uint32_t dwSize;
  uint32_t dwFlags;
  uint32_t dwHeight;
  uint32_t dwWidth;
  int32_t lPitch;
  uint32_t dwBackBufferCount;
  uint32_t dwRefreshRate;
  void* lpSurface;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS ddsCaps;
};

struct DDBLTFX {
  uint32_t dwSize;
  uint32_t dwFillColor;
};

class IDirectDrawPalette {
 public:
  virtual uint32_t Release() = 0;

 protected:
  ~IDirectDrawPalette() = default;
};

class IDirectDrawSurface {
 public:
  virtual uint32_t Release() = 0;
  virtual HRESULT GetAttachedSurface(const DDSCAPS* caps, IDirectDrawSurface** out) = 0;
  virtual HRESULT Blt(const RECT* dest, IDirectDrawSurface* source, const RECT* sourceRect,
                      uint32_t flags, const DDBLTFX* fx) = 0;
  // Pixels are rows of exactly the surface's width; lPitch reports it in bytes.
  // The address is the program's until Unlock: the memory may move after.
  virtual HRESULT Lock(const RECT* rect, DDSURFACEDESC* desc, uint32_t flags, void* event) = 0;
  virtual HRESULT Unlock(void* rect) = 0;
  virtual HRESULT Flip(IDirectDrawSurface* target, uint32_t flags) = 0;
  virtual HRESULT IsLost() = 0;
  virtual HRESULT Restore() = 0;
  virtual HRESULT GetCaps(DDSCAPS* caps) = 0;
  virtual HRESULT GetDC(HDC* dc) = 0;
  virtual HRESULT ReleaseDC(HDC dc) = 0;
  virtual HRESULT SetPalette(IDirectDrawPalette* palette) = 0;

 protected:
  ~IDirectDrawSurface() = default;
};

using LPDDENUMMODESCALLBACK = HRESULT(CALLBACK*)(DDSURFACEDESC* mode, void* context);

class IDirectDraw {
 public:
  virtual uint32_t Release() = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, uint32_t flags) = 0;
  virtual HRESULT EnumDisplayModes(uint32_t flags, DDSURFACEDESC* templ, void* context,
                                   LPDDENUMMODESCALLBACK callback) = 0;
  virtual HRESULT SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel) = 0;
  virtual HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, void* outer) = 0;
  virtual HRESULT CreatePalette(uint32_t flags, const PALETTEENTRY* entries,
                                IDirectDrawPalette** out, void* outer) = 0;
  virtual HRESULT FlipToGDISurface() = 0;

 protected:
  ~IDirectDraw() = default;
};

// Null guid: the active display driver.
HRESULT DirectDrawCreate(const void* guid, IDirectDraw** out, void* outer);

// Not DirectDraw's: the program's word that every pixel it wrote through a
// locked address of the surface since the surface was last filled whole lies
// inside *area (null: anywhere). A monitor that shows the surface then
// converts only that part; without a word the whole surface counts as
// written.
HRESULT NoteDrawnArea(IDirectDrawSurface* surface, const RECT* area);

}  // namespace plat

#endif  // _WIN32 && !KELVO_EMULATED_PLATFORM
