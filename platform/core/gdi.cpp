// GDI over memory: the screen's device context and device contexts on
// surfaces, the screen's capabilities and system palette, and text drawn
// with the one font into a surface or onto the GDI surface.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/core/internal.h"
#include "platform/font.h"

namespace plat {

struct DeviceContextObject {
  bool alive = true;
  bool screen = false;
  IDirectDrawSurface* surface = nullptr;
  // Kept for SetBkMode's answer only: text never fills its background here
  // (the program asks for a transparent one).
  int32_t bkMode = OPAQUE;
  COLORREF textColour = RGB(0, 0, 0);
};

}  // namespace plat

namespace {

using namespace plat;
using core::Mode;
using core::detail::Canvas;

struct GdiState {
  DeviceContextObject screenDc{true, true, nullptr};
  std::vector<std::unique_ptr<DeviceContextObject>> dcs;
};

GdiState& State() {
  static GdiState state;
  return state;
}

DeviceContextObject* LiveDc(HDC dc) {
  GdiState& s = State();
  if (dc == &s.screenDc) return dc;
  for (auto& d : s.dcs)
    if (d.get() == dc && d->alive) return dc;
  return nullptr;
}

}  // namespace

namespace plat::core::detail {

HDC OpenSurfaceDc(IDirectDrawSurface* surface) {
  // A frame's text takes one every frame.
  Prune(State().dcs, [](const DeviceContextObject& d) { return !d.alive; });
  auto object = std::make_unique<DeviceContextObject>();
  object->surface = surface;
  HDC dc = object.get();
  State().dcs.push_back(std::move(object));
  return dc;
}

void CloseDc(HDC dc) {
  if (DeviceContextObject* d = LiveDc(dc); d && !d->screen) d->alive = false;
}

void ResetGdi() { State() = GdiState{}; }

}  // namespace plat::core::detail

namespace plat {

HDC GetDC(HWND) { return &State().screenDc; }
int32_t ReleaseDC(HWND, HDC dc) { return dc == &State().screenDc ? 1 : 0; }

int32_t GetDeviceCaps(HDC dc, int32_t index) {
  if (!LiveDc(dc)) return 0;
  const Mode m = core::detail::ScreenMode();
  switch (index) {
    case RASTERCAPS: return m.bitsPerPixel == 8 ? RC_PALETTE : 0;
    case BITSPIXEL: return static_cast<int32_t>(m.bitsPerPixel);
    case HORZRES: return static_cast<int32_t>(m.width);
    case VERTRES: return static_cast<int32_t>(m.height);
    case SIZEPALETTE: return m.bitsPerPixel == 8 ? 256 : 0;
    default: return 0;
  }
}

uint32_t GetSystemPaletteEntries(HDC dc, uint32_t start, uint32_t count, PALETTEENTRY* entries) {
  if (!LiveDc(dc) || !entries || start >= 256) return 0;
  if (core::detail::ScreenMode().bitsPerPixel != 8) return 0;
  count = std::min<uint32_t>(count, 256 - start);
  std::memcpy(entries, core::SystemPalette() + start, count * sizeof(PALETTEENTRY));
  return count;
}

int32_t SetBkMode(HDC dc, int32_t mode) {
  DeviceContextObject* d = LiveDc(dc);
  if (!d || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  const int32_t old = d->bkMode;
  d->bkMode = mode;
  return old;
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
  DeviceContextObject* d = LiveDc(dc);
  if (!d) return 0xFFFFFFFFu;
  const COLORREF old = d->textColour;
  d->textColour = colour & 0xFFFFFF;
  return old;
}

BOOL TextOutA(HDC dc, int32_t x, int32_t y, const char* text, int32_t length) {
  DeviceContextObject* d = LiveDc(dc);
  if (!d || !text || length < 0) return 0;
  const Canvas c = d->screen ? core::detail::GdiCanvas() : core::detail::SurfaceCanvas(d->surface);
  if (!c.pixels) return 0;
  const font::Target target{c.pixels, c.width, c.height, c.bytesPerPixel};
  const uint32_t ink = core::detail::PixelFor(d->textColour, c);
  font::Inked inked;
  const bool drawn = font::DrawText(target, x, y, text, static_cast<size_t>(length), ink, &inked);
  if (c.written)
    c.written->Drew({inked.left, inked.top, inked.right, inked.bottom}, {0, 0, c.width, c.height});
  if (drawn && d->screen) core::TheDriver().ScreenChanged();
  return drawn ? 1 : 0;
}

}  // namespace plat
