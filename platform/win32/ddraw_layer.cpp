// DirectDraw as the frame wants it: rows exactly the surface's width apart,
// pixels in the frame's own layout. The layer hands the frame wrappers of the
// real display object and surfaces that forward every call. Only when a
// locked surface's rows are longer than its width, or the display keeps
// another pixel layout (16 bits as 5-6-5, as today's drivers do), or
// KELVO_PITCH_COPY is set (to try this path on any device), does Lock hand
// out a buffer of our own instead (FrameCopy). What the frame drew there goes
// into the real surface, converted, before anything else touches its pixels
// -- the text's device context, a blit, the flip -- so the text lands on top
// of the faces. Colour fills are converted the same way.
#include <cstdlib>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "platform/ddraw.h"
#include "platform/frame_copy.h"

namespace plat {
namespace {

bool CopyForced() {
  static const bool forced = [] {
    const char* value = std::getenv("KELVO_PITCH_COPY");
    return value && *value && std::strcmp(value, "0") != 0;
  }();
  return forced;
}

// Every live wrapper, so that a surface handed back to us is known as ours
// before it is unwrapped (the real ones carry no type information to ask).
std::unordered_set<const IDirectDrawSurface*>& LiveSurfaces() {
  static std::unordered_set<const IDirectDrawSurface*> live;
  return live;
}

PixelLayout LayoutOf(const DDPIXELFORMAT& pf) {
  return {pf.dwRGBBitCount, pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask};
}

// Read once a surface is made: after every mode switch.
PixelLayout LayoutOf(IDirectDrawSurface* real) {
  DDPIXELFORMAT pf{};
  pf.dwSize = sizeof pf;
  return real->GetPixelFormat(&pf) == DD_OK ? LayoutOf(pf) : PixelLayout{};
}

class Surface final : public IDirectDrawSurface {
 public:
  explicit Surface(IDirectDrawSurface* real) : real_(real), copy_(LayoutOf(real)) {
    LiveSurfaces().insert(this);
  }
  ~Surface() {
    LiveSurfaces().erase(this);
    if (back_) back_->Release();
    real_->Release();
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  static Surface* Ours(IDirectDrawSurface* s) {
    return s && LiveSurfaces().count(s) ? static_cast<Surface*>(s) : nullptr;
  }
  static IDirectDrawSurface* Unwrap(IDirectDrawSurface* s) {
    Surface* ours = Ours(s);
    return ours ? ours->real_ : s;
  }

  // What the frame drew into our copy goes into the real surface.
  void Present() {
    if (!copy_.Pending()) return;
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    if (real_->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return;
    if (desc.lpSurface && desc.dwWidth == copy_.Width() && desc.dwHeight == copy_.Height())
      copy_.Deliver(static_cast<uint8_t*>(desc.lpSurface), desc.lPitch);
    real_->Unlock(nullptr);
  }
  void Drew(const RECT& area) { copy_.Drew(area.left, area.top, area.right, area.bottom); }

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID riid, void** out) override {
    return real_->QueryInterface(riid, out);
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++count_; }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }

  // IDirectDrawSurface
  STDMETHOD(AddAttachedSurface)(LPDIRECTDRAWSURFACE surface) override {
    return real_->AddAttachedSurface(Unwrap(surface));
  }
  STDMETHOD(AddOverlayDirtyRect)(LPRECT rect) override { return real_->AddOverlayDirtyRect(rect); }
  STDMETHOD(Blt)
  (LPRECT dest, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx) override {
    const bool fill = (flags & DDBLT_COLORFILL) && fx;
    const bool wholeFill = fill && !dest && !source;
    if (!wholeFill) Present();
    if (Surface* from = Ours(source)) from->Present();
    // The colour is the frame's; the device takes it in its own layout.
    DDBLTFX deviceFx{};
    if (fill) {
      deviceFx = *fx;
      deviceFx.dwFillColor = copy_.DisplayPixel(fx->dwFillColor);
    }
    const HRESULT hr = real_->Blt(dest, Unwrap(source), sourceRect, flags, fill ? &deviceFx : fx);
    if (hr == DD_OK && wholeFill) copy_.Filled(fx->dwFillColor);
    return hr;
  }
  STDMETHOD(BltBatch)(LPDDBLTBATCH batch, DWORD count, DWORD flags) override {
    Present();
    return real_->BltBatch(batch, count, flags);
  }
  STDMETHOD(BltFast)
  (DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans) override {
    Present();
    return real_->BltFast(x, y, Unwrap(source), sourceRect, trans);
  }
  STDMETHOD(DeleteAttachedSurface)(DWORD flags, LPDIRECTDRAWSURFACE surface) override {
    return real_->DeleteAttachedSurface(flags, Unwrap(surface));
  }
  STDMETHOD(EnumAttachedSurfaces)(LPVOID context, LPDDENUMSURFACESCALLBACK callback) override {
    return real_->EnumAttachedSurfaces(context, callback);
  }
  STDMETHOD(EnumOverlayZOrders)
  (DWORD flags, LPVOID context, LPDDENUMSURFACESCALLBACK callback) override {
    return real_->EnumOverlayZOrders(flags, context, callback);
  }
  STDMETHOD(Flip)(LPDIRECTDRAWSURFACE target, DWORD flags) override {
    if (back_) back_->Present();
    if (Surface* to = Ours(target)) to->Present();
    return real_->Flip(Unwrap(target), flags);
  }
  // The first back buffer is the one the frame draws into and this surface
  // flips: kept, so that the flip can present it first.
  STDMETHOD(GetAttachedSurface)(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* out) override {
    if (!out) return DDERR_INVALIDPARAMS;
    const bool back = caps && caps->dwCaps == DDSCAPS_BACKBUFFER;
    if (back && back_) {
      back_->AddRef();
      *out = back_;
      return DD_OK;
    }
    IDirectDrawSurface* real = nullptr;
    const HRESULT hr = real_->GetAttachedSurface(caps, &real);
    if (hr != DD_OK) return hr;
    auto* attached = new Surface(real);
    if (back) {
      back_ = attached;
      back_->AddRef();
    }
    *out = attached;
    return DD_OK;
  }
  STDMETHOD(GetBltStatus)(DWORD flags) override { return real_->GetBltStatus(flags); }
  STDMETHOD(GetCaps)(LPDDSCAPS caps) override { return real_->GetCaps(caps); }
  STDMETHOD(GetClipper)(LPDIRECTDRAWCLIPPER* clipper) override {
    return real_->GetClipper(clipper);
  }
  STDMETHOD(GetColorKey)(DWORD flags, LPDDCOLORKEY key) override {
    return real_->GetColorKey(flags, key);
  }
  STDMETHOD(GetDC)(HDC* dc) override {
    Present();
    return real_->GetDC(dc);
  }
  STDMETHOD(GetFlipStatus)(DWORD flags) override { return real_->GetFlipStatus(flags); }
  STDMETHOD(GetOverlayPosition)(LPLONG x, LPLONG y) override {
    return real_->GetOverlayPosition(x, y);
  }
  STDMETHOD(GetPalette)(LPDIRECTDRAWPALETTE* palette) override {
    return real_->GetPalette(palette);
  }
  STDMETHOD(GetPixelFormat)(LPDDPIXELFORMAT format) override {
    return real_->GetPixelFormat(format);
  }
  STDMETHOD(GetSurfaceDesc)(LPDDSURFACEDESC desc) override { return real_->GetSurfaceDesc(desc); }
  STDMETHOD(Initialize)(LPDIRECTDRAW dd, LPDDSURFACEDESC desc) override {
    return real_->Initialize(dd, desc);
  }
  STDMETHOD(IsLost)() override { return real_->IsLost(); }
  // The whole surface, as the frame locks it, may come from our own buffer;
  // a part of it is always the device's.
  STDMETHOD(Lock)(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override {
    Present();
    const HRESULT hr = real_->Lock(rect, desc, flags, event);
    if (hr != DD_OK || rect || !desc) return hr;
    const PixelLayout device = LayoutOf(desc->ddpfPixelFormat);
    if (!SameLayout(device, copy_.Display())) copy_ = FrameCopy(device);
    if (!copy_.Lock(desc->dwWidth, desc->dwHeight, desc->lPitch, CopyForced())) return hr;
    real_->Unlock(nullptr);
    // Same size, same place, from lock to lock.
    desc->lpSurface = copy_.Pixels();
    desc->lPitch = static_cast<LONG>(copy_.Pitch());
    const PixelLayout frame = FrameLayout(device.bitsPerPixel);
    desc->ddpfPixelFormat.dwRBitMask = frame.red;
    desc->ddpfPixelFormat.dwGBitMask = frame.green;
    desc->ddpfPixelFormat.dwBBitMask = frame.blue;
    shadowLocked_ = true;
    return DD_OK;
  }
  STDMETHOD(ReleaseDC)(HDC dc) override { return real_->ReleaseDC(dc); }
  STDMETHOD(Restore)() override { return real_->Restore(); }
  STDMETHOD(SetClipper)(LPDIRECTDRAWCLIPPER clipper) override { return real_->SetClipper(clipper); }
  STDMETHOD(SetColorKey)(DWORD flags, LPDDCOLORKEY key) override {
    return real_->SetColorKey(flags, key);
  }
  STDMETHOD(SetOverlayPosition)(LONG x, LONG y) override { return real_->SetOverlayPosition(x, y); }
  STDMETHOD(SetPalette)(LPDIRECTDRAWPALETTE palette) override { return real_->SetPalette(palette); }
  STDMETHOD(Unlock)(LPVOID data) override {
    if (shadowLocked_ && (!data || data == copy_.Pixels())) {
      shadowLocked_ = false;
      return DD_OK;  // the device's own lock ended in Lock
    }
    return real_->Unlock(data);
  }
  STDMETHOD(UpdateOverlay)
  (LPRECT sourceRect, LPDIRECTDRAWSURFACE dest, LPRECT destRect, DWORD flags,
   LPDDOVERLAYFX fx) override {
    return real_->UpdateOverlay(sourceRect, Unwrap(dest), destRect, flags, fx);
  }
  STDMETHOD(UpdateOverlayDisplay)(DWORD flags) override {
    return real_->UpdateOverlayDisplay(flags);
  }
  STDMETHOD(UpdateOverlayZOrder)(DWORD flags, LPDIRECTDRAWSURFACE reference) override {
    return real_->UpdateOverlayZOrder(flags, Unwrap(reference));
  }

 private:
  IDirectDrawSurface* real_;
  ULONG count_ = 1;
  Surface* back_ = nullptr;
  FrameCopy copy_;
  bool shadowLocked_ = false;  // the frame's lock is on our copy
};

struct Offer {
  LPDDENUMMODESCALLBACK callback;
  LPVOID context;
  static HRESULT WINAPI Each(LPDDSURFACEDESC mode, LPVOID context) {
    const auto* offer = static_cast<const Offer*>(context);
    // A driver that names no masks is judged at the lock instead.
    if (mode && (mode->ddpfPixelFormat.dwFlags & DDPF_RGB) &&
        (mode->ddpfPixelFormat.dwRBitMask | mode->ddpfPixelFormat.dwGBitMask |
         mode->ddpfPixelFormat.dwBBitMask) &&
        !FrameCanShow(LayoutOf(mode->ddpfPixelFormat), mode->dwWidth, mode->dwHeight))
      return DDENUMRET_OK;
    return offer->callback(mode, offer->context);
  }
};

class Display final : public IDirectDraw {
 public:
  explicit Display(IDirectDraw* real) : real_(real) {}
  ~Display() { real_->Release(); }
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID riid, void** out) override {
    return real_->QueryInterface(riid, out);
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++count_; }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }

  // IDirectDraw
  STDMETHOD(Compact)() override { return real_->Compact(); }
  STDMETHOD(CreateClipper)(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) override {
    return real_->CreateClipper(flags, clipper, outer);
  }
  STDMETHOD(CreatePalette)
  (DWORD flags, LPPALETTEENTRY entries, LPDIRECTDRAWPALETTE* palette, IUnknown* outer) override {
    return real_->CreatePalette(flags, entries, palette, outer);
  }
  STDMETHOD(CreateSurface)
  (LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out, IUnknown* outer) override {
    if (!out) return DDERR_INVALIDPARAMS;
    IDirectDrawSurface* real = nullptr;
    const HRESULT hr = real_->CreateSurface(desc, &real, outer);
    if (hr != DD_OK) return hr;
    *out = new Surface(real);
    return DD_OK;
  }
  STDMETHOD(DuplicateSurface)(LPDIRECTDRAWSURFACE surface, LPDIRECTDRAWSURFACE* out) override {
    if (!out) return DDERR_INVALIDPARAMS;
    IDirectDrawSurface* real = nullptr;
    const HRESULT hr = real_->DuplicateSurface(Surface::Unwrap(surface), &real);
    if (hr != DD_OK) return hr;
    *out = new Surface(real);
    return DD_OK;
  }
  // Modes whose pixel layout the frame's pixels cannot be converted to are
  // left out, each named on standard error.
  STDMETHOD(EnumDisplayModes)
  (DWORD flags, LPDDSURFACEDESC desc, LPVOID context, LPDDENUMMODESCALLBACK callback) override {
    if (!callback) return real_->EnumDisplayModes(flags, desc, context, callback);
    Offer offer{callback, context};
    return real_->EnumDisplayModes(flags, desc, &offer, &Offer::Each);
  }
  STDMETHOD(EnumSurfaces)
  (DWORD flags, LPDDSURFACEDESC desc, LPVOID context, LPDDENUMSURFACESCALLBACK callback) override {
    return real_->EnumSurfaces(flags, desc, context, callback);
  }
  STDMETHOD(FlipToGDISurface)() override { return real_->FlipToGDISurface(); }
  STDMETHOD(GetCaps)(LPDDCAPS driver, LPDDCAPS emulation) override {
    return real_->GetCaps(driver, emulation);
  }
  STDMETHOD(GetDisplayMode)(LPDDSURFACEDESC desc) override { return real_->GetDisplayMode(desc); }
  STDMETHOD(GetFourCCCodes)(LPDWORD count, LPDWORD codes) override {
    return real_->GetFourCCCodes(count, codes);
  }
  STDMETHOD(GetGDISurface)(LPDIRECTDRAWSURFACE* surface) override {
    return real_->GetGDISurface(surface);
  }
  STDMETHOD(GetMonitorFrequency)(LPDWORD frequency) override {
    return real_->GetMonitorFrequency(frequency);
  }
  STDMETHOD(GetScanLine)(LPDWORD line) override { return real_->GetScanLine(line); }
  STDMETHOD(GetVerticalBlankStatus)(WINBOOL* inBlank) override {
    return real_->GetVerticalBlankStatus(inBlank);
  }
  STDMETHOD(Initialize)(GUID* guid) override { return real_->Initialize(guid); }
  STDMETHOD(RestoreDisplayMode)() override { return real_->RestoreDisplayMode(); }
  STDMETHOD(SetCooperativeLevel)(HWND window, DWORD flags) override {
    return real_->SetCooperativeLevel(window, flags);
  }
  STDMETHOD(SetDisplayMode)(DWORD width, DWORD height, DWORD bitsPerPixel) override {
    return real_->SetDisplayMode(width, height, bitsPerPixel);
  }
  STDMETHOD(WaitForVerticalBlank)(DWORD flags, HANDLE event) override {
    return real_->WaitForVerticalBlank(flags, event);
  }

 private:
  IDirectDraw* real_;
  ULONG count_ = 1;
};

}  // namespace

HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** out, IUnknown* outer) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  IDirectDraw* real = nullptr;
  const HRESULT hr = ::DirectDrawCreate(guid, &real, outer);
  if (hr != DD_OK) return hr;
  *out = new Display(real);
  return DD_OK;
}

// Where the frame drew since the last fill: all that needs converting.
HRESULT NoteDrawnArea(IDirectDrawSurface* surface, const RECT* area) {
  if (!surface) return DDERR_INVALIDPARAMS;
  if (Surface* ours = Surface::Ours(surface); ours && area) ours->Drew(*area);
  return DD_OK;
}

}  // namespace plat
