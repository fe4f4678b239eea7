// DirectDraw over memory: a driver's mode list and the display mode, one
// flipping chain whose first buffer is the surface GDI draws on, 8-bit
// palettes, and what the screen shows.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/core/internal.h"
#include "platform/core/present.h"
#include "platform/core/written.h"
#include "platform/frame_copy.h"
#include "platform/threads.h"

namespace {

using namespace plat;
using core::Call;
using core::Mode;
using core::detail::Note;
using core::detail::Prune;
using core::detail::ShouldFail;

// What a guarded lock's memory holds while unlocked.
constexpr uint8_t kPoison = 0xA5;

// The largest side of a mode the list does not name.
constexpr uint32_t kMaxSide = 4095;
constexpr uint32_t kMaxBackBuffers = 3;

std::string ModeText(uint32_t w, uint32_t h, uint32_t bpp) {
  return std::to_string(w) + "x" + std::to_string(h) + "x" + std::to_string(bpp);
}

bool IsModeX(uint32_t w, uint32_t bpp) { return w == 320 && bpp == 8; }

bool Listed(const std::vector<Mode>& modes, uint32_t w, uint32_t h) {
  return core::detail::ListsSize(modes, w, h);
}

class EmulatedPalette;
class EmulatedSurface;
class EmulatedDirectDraw;

// The buffers of one flipping chain. Buffer 0 is the surface GDI draws on;
// order[position] names the buffer at each place, position 0 in front.
struct Chain {
  uint32_t width = 0, height = 0, bitsPerPixel = 0;
  PixelLayout layout;  // how the buffers hold their pixels
  LayoutConversion conversion;
  std::vector<std::vector<uint8_t>> buffers;
  std::vector<core::detail::WrittenRecord> written;  // one for each buffer
  std::vector<size_t> order;
  bool alive = true;
  bool lost = false;
  EmulatedPalette* palette = nullptr;
  EmulatedSurface* surfaces[kMaxBackBuffers + 1] = {};
  size_t BytesPerPixel() const { return bitsPerPixel / 8; }
  RECT All() const { return {0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)}; }
};

struct DisplayState {
  std::vector<Mode> modes = plat::core::ClassicModes();
  Mode mode{0, 0, 0};
  Mode desktop{1024, 768, 32};
  // Drivers of today store 16 bits as 5-6-5, say; the frame's own at start.
  PixelLayout layouts[3] = {FrameLayout(16), FrameLayout(24), FrameLayout(32)};
  // A lock's memory is moved while unlocked, and writes into it counted.
  bool guardUnlocked = false;
  uint32_t unlockedWrites = 0;
  uint64_t videoMemory = 8u << 20;
  PALETTEENTRY system[256];
  HWND cooperativeWindow = nullptr;
  bool exclusive = false;
  bool modeX = false;
  uint32_t flips = 0;
  std::shared_ptr<Chain> primary;  // the live primary chain, if any
  // The buffers of released chains, for the next chain: a program switching
  // modes back and forth would otherwise have the heap hand out and take back
  // blocks of ever other sizes, and keep growing.
  std::vector<std::vector<uint8_t>> spareBuffers;
  // Released objects go at the next creation of their kind.
  std::vector<std::unique_ptr<EmulatedDirectDraw>> ddraws;
  std::vector<std::unique_ptr<EmulatedPalette>> palettes;
  std::vector<std::unique_ptr<EmulatedSurface>> surfaces;
  DisplayState() {
    for (int i = 0; i < 256; ++i) system[i] = core::detail::DefaultSystemColour(i);
  }
};

DisplayState& State() {
  static DisplayState state;
  return state;
}

PixelLayout LayoutFor(uint32_t bitsPerPixel) {
  for (const PixelLayout& l : State().layouts)
    if (l.bitsPerPixel == bitsPerPixel) return l;
  return FrameLayout(bitsPerPixel);
}

// A buffer of `size` zero bytes, from a released chain where there is one:
// the largest, which most likely needs no new memory.
std::vector<uint8_t> TakeBuffer(size_t size) {
  std::vector<std::vector<uint8_t>>& spare = State().spareBuffers;
  std::vector<uint8_t> buffer;
  if (!spare.empty()) {
    auto largest = std::max_element(spare.begin(), spare.end(), [](const auto& a, const auto& b) {
      return a.capacity() < b.capacity();
    });
    buffer = std::move(*largest);
    spare.erase(largest);
  }
  buffer.assign(size, uint8_t{0});
  return buffer;
}

void GiveBackBuffers(std::vector<std::vector<uint8_t>>& buffers) {
  std::vector<std::vector<uint8_t>>& spare = State().spareBuffers;
  for (auto& b : buffers)
    if (spare.size() <= kMaxBackBuffers) spare.push_back(std::move(b));
  buffers.clear();
}

class EmulatedPalette final : public IDirectDrawPalette {
 public:
  explicit EmulatedPalette(const PALETTEENTRY* e) { std::memcpy(entries, e, sizeof entries); }
  ~EmulatedPalette() = default;
  uint32_t Release() override {
    if (refs == 0) return 0;
    if (--refs == 0) Note("Release palette");
    return refs;
  }
  void AddRef() { ++refs; }
  PALETTEENTRY entries[256];
  uint32_t refs = 1;
};

class EmulatedSurface final : public IDirectDrawSurface {
 public:
  EmulatedSurface(std::shared_ptr<Chain> chain, size_t position, uint32_t caps)
      : chain_(std::move(chain)), position_(position), caps_(caps), copy_(chain_->layout) {}
  ~EmulatedSurface() = default;

  uint32_t Release() override {
    if (refs_ == 0) return 0;
    if (--refs_ > 0) return refs_;
    Note(position_ == 0 ? "Release primary surface" : "Release back buffer");
    if (position_ == 0) {
      // The primary takes its whole chain with it.
      chain_->alive = false;
      GiveBackBuffers(chain_->buffers);
      if (chain_->palette) chain_->palette->Release();
      chain_->palette = nullptr;
      if (State().primary == chain_) State().primary.reset();
    }
    return 0;
  }

  HRESULT GetAttachedSurface(const DDSCAPS* caps, IDirectDrawSurface** out) override {
    if (!out || !caps) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (ShouldFail(Call::GetAttachedSurface)) return DDERR_NOTFOUND;
    if (!chain_->alive) return DDERR_SURFACELOST;
    if (!(caps->dwCaps & DDSCAPS_BACKBUFFER) || position_ + 1 >= chain_->order.size())
      return DDERR_NOTFOUND;
    EmulatedSurface* back = chain_->surfaces[position_ + 1];
    ++back->refs_;
    *out = back;
    Note("GetAttachedSurface back buffer");
    return DD_OK;
  }

  HRESULT Blt(const RECT* dest, IDirectDrawSurface* source, const RECT*, uint32_t flags,
              const DDBLTFX* fx) override {
    if (dest || source || !(flags & DDBLT_COLORFILL) || !fx || fx->dwSize != sizeof(DDBLTFX))
      return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Usable(); hr != DD_OK) return hr;
    if (locked_ || dc_) return DDERR_SURFACEBUSY;
    CheckGuard();
    Note("Blt fill " + Hex(fx->dwFillColor));
    std::vector<uint8_t>& px = Pixels();
    const size_t bpp = chain_->BytesPerPixel();
    // The colour is the frame's; the buffer holds the display's layout.
    const uint32_t fill = copy_.DisplayPixel(fx->dwFillColor);
    copy_.Filled(fx->dwFillColor);
    // The frame's clear: at large sizes as much memory as the whole frame
    // draws, so it is shared by the threads that draw.
    FillPixelsShared(SharedPool(), px.data(), px.size() / bpp, static_cast<uint32_t>(bpp), fill);
    Written().Filled(fill, static_cast<int32_t>(bpp), chain_->All());
    return DD_OK;
  }

  HRESULT Lock(const RECT* rect, DDSURFACEDESC* desc, uint32_t, void*) override {
    if (rect || !desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if (ShouldFail(Call::Lock)) return DDERR_SURFACEBUSY;
    if (HRESULT hr = Usable(); hr != DD_OK) return hr;
    if (locked_ || dc_) return DDERR_SURFACEBUSY;
    CheckGuard();
    locked_ = true;
    Written().Locked(chain_->All());
    Note("Lock");
    const Chain& c = *chain_;
    const auto pitch = static_cast<int32_t>(c.width * c.BytesPerPixel());
    // Where the buffer holds another layout than the frame's, the frame
    // draws into a copy in its own, as the Windows layer does it.
    uint8_t* pixels = Pixels().data();
    PixelLayout layout = c.layout;
    if (copy_.Lock(c.width, c.height, pitch, false)) {
      pixels = copy_.Pixels();
      layout = FrameLayout(c.bitsPerPixel);
    }
    desc->dwFlags =
        DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_LPSURFACE | DDSD_PIXELFORMAT;
    desc->dwWidth = c.width;
    desc->dwHeight = c.height;
    desc->lPitch = pitch;
    desc->lpSurface = State().guardUnlocked ? HandOutGuarded(pixels) : pixels;
    desc->ddsCaps.dwCaps = caps_;
    DDPIXELFORMAT& pf = desc->ddpfPixelFormat;
    pf = DDPIXELFORMAT{};
    pf.dwSize = sizeof pf;
    pf.dwRGBBitCount = c.bitsPerPixel;
    pf.dwRBitMask = layout.red;
    pf.dwGBitMask = layout.green;
    pf.dwBBitMask = layout.blue;
    return DD_OK;
  }

  HRESULT Unlock(void*) override {
    if (!locked_) return DDERR_NOTLOCKED;
    locked_ = false;
    if (guardedTarget_) {
      // Back where it belongs; the memory handed out keeps a pattern that
      // any later write through the old address breaks.
      std::vector<uint8_t>& block = guard_[guardSlot_];
      std::memcpy(guardedTarget_, block.data(), block.size());
      std::fill(block.begin(), block.end(), kPoison);
      guardedTarget_ = nullptr;
      poisoned_ = true;
    }
    Note("Unlock");
    return DD_OK;
  }

  HRESULT Flip(IDirectDrawSurface* target, uint32_t) override {
    if (target || position_ != 0 || chain_->order.size() < 2) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Usable(); hr != DD_OK) return hr;
    for (size_t i = 0; i < chain_->order.size(); ++i) {
      const EmulatedSurface* s = chain_->surfaces[i];
      if (s->locked_ || s->dc_) return DDERR_SURFACEBUSY;
    }
    for (size_t i = 0; i < chain_->order.size(); ++i) chain_->surfaces[i]->Deliver();
    Rotate(*chain_);
    for (core::detail::WrittenRecord& w : chain_->written) w.Flipped();
    ++State().flips;
    core::detail::OnFlip();
    Note("Flip");
    return DD_OK;
  }

  HRESULT IsLost() override { return Usable(); }

  HRESULT Restore() override {
    if (ShouldFail(Call::Restore)) return DDERR_WRONGMODE;
    if (!chain_->alive) return DDERR_SURFACELOST;
    if (!chain_->lost) return DD_OK;
    const Mode& m = State().mode;
    if (!core::detail::AppInForeground() || m.width != chain_->width ||
        m.height != chain_->height || m.bitsPerPixel != chain_->bitsPerPixel)
      return DDERR_WRONGMODE;
    // The contents do not survive a loss.
    for (auto& b : chain_->buffers) std::fill(b.begin(), b.end(), uint8_t{0});
    for (core::detail::WrittenRecord& w : chain_->written) w.Lost();
    chain_->lost = false;
    Note("Restore");
    return DD_OK;
  }

  HRESULT GetCaps(DDSCAPS* caps) override {
    if (!caps) return DDERR_INVALIDPARAMS;
    caps->dwCaps = caps_;
    return DD_OK;
  }

  HRESULT GetDC(HDC* dc) override {
    if (!dc) return DDERR_INVALIDPARAMS;
    *dc = nullptr;
    if (ShouldFail(Call::SurfaceGetDC)) return DDERR_CANTCREATEDC;
    if (HRESULT hr = Usable(); hr != DD_OK) return hr;
    if (dc_) return DDERR_DCALREADYCREATED;
    if (locked_) return DDERR_SURFACEBUSY;
    Deliver();  // the text goes on top of what the frame drew
    dc_ = core::detail::OpenSurfaceDc(this);
    *dc = dc_;
    return DD_OK;
  }

  HRESULT ReleaseDC(HDC dc) override {
    if (!dc || dc != dc_) return DDERR_INVALIDPARAMS;
    core::detail::CloseDc(dc_);
    dc_ = nullptr;
    return DD_OK;
  }

  HRESULT SetPalette(IDirectDrawPalette* p) override {
    if (HRESULT hr = Usable(); hr != DD_OK && hr != DDERR_SURFACELOST) return hr;
    if (chain_->bitsPerPixel != 8) return DDERR_INVALIDPIXELFORMAT;
    auto* pal = static_cast<EmulatedPalette*>(p);
    if (pal) pal->AddRef();
    if (chain_->palette) chain_->palette->Release();
    chain_->palette = pal;
    Note(pal ? "SetPalette" : "SetPalette none");
    core::TheDriver().ScreenChanged();
    return DD_OK;
  }

  std::vector<uint8_t>& Pixels() { return chain_->buffers[chain_->order[position_]]; }
  // What the frame drew into its copy goes into the buffer, converted.
  void Deliver() {
    CheckGuard();
    copy_.Deliver(Pixels().data(), static_cast<ptrdiff_t>(chain_->width * chain_->BytesPerPixel()));
  }
  void ProgramDrew(const RECT& area) {
    CheckGuard();
    copy_.Drew(area.left, area.top, area.right, area.bottom);
  }
  // Counts a write made through a lock's address after its Unlock.
  void CheckGuard() {
    if (!poisoned_) return;
    std::vector<uint8_t>& block = guard_[guardSlot_];
    if (std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == kPoison; })) return;
    ++State().unlockedWrites;
    Note("written after Unlock");
    std::fill(block.begin(), block.end(), kPoison);
  }
  core::detail::WrittenRecord& Written() { return chain_->written[chain_->order[position_]]; }
  const Chain& chain() const { return *chain_; }
  // Released, and its chain gone with its primary. A device context left
  // open on it goes with it.
  bool Gone() {
    if (refs_ != 0 || chain_->alive) return false;
    if (dc_) core::detail::CloseDc(dc_);
    dc_ = nullptr;
    return true;
  }
  uint32_t refs_ = 1;

  static void Rotate(Chain& c) { std::rotate(c.order.begin(), c.order.begin() + 1, c.order.end()); }

 private:
  HRESULT Usable() const {
    if (!chain_->alive || chain_->lost || refs_ == 0) return DDERR_SURFACELOST;
    return DD_OK;
  }

  // The lock's pixels in memory of their own, at another address each time.
  uint8_t* HandOutGuarded(uint8_t* pixels) {
    guardSlot_ ^= 1;
    poisoned_ = false;
    std::vector<uint8_t>& block = guard_[guardSlot_];
    block.assign(pixels, pixels + Pixels().size());
    guardedTarget_ = pixels;
    return block.data();
  }

  std::shared_ptr<Chain> chain_;
  size_t position_;
  uint32_t caps_;
  bool locked_ = false;
  HDC dc_ = nullptr;
  FrameCopy copy_;
  std::vector<uint8_t> guard_[2];
  size_t guardSlot_ = 0;
  uint8_t* guardedTarget_ = nullptr;  // where a guarded lock's pixels go back
  bool poisoned_ = false;
};

class EmulatedDirectDraw final : public IDirectDraw {
 public:
  ~EmulatedDirectDraw() = default;

  uint32_t Release() override {
    if (refs_ == 0) return 0;
    if (--refs_ > 0) return refs_;
    Note("Release DirectDraw");
    DisplayState& s = State();
    if (s.exclusive && s.cooperativeWindow == window_) {
      // The display goes back to the desktop.
      s.exclusive = false;
      s.cooperativeWindow = nullptr;
      const bool changed = s.mode.width != 0;
      s.mode = {0, 0, 0};
      s.spareBuffers.clear();
      s.spareBuffers.shrink_to_fit();
      if (changed)
        core::detail::Broadcast(WM_DISPLAYCHANGE, s.desktop.bitsPerPixel,
                                MakeLParam(static_cast<int32_t>(s.desktop.width),
                                           static_cast<int32_t>(s.desktop.height)));
    }
    return 0;
  }

  HRESULT SetCooperativeLevel(HWND window, uint32_t flags) override {
    if (ShouldFail(Call::SetCooperativeLevel)) return DDERR_NOEXCLUSIVEMODE;
    const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    if (exclusive != ((flags & DDSCL_FULLSCREEN) != 0)) return DDERR_INVALIDPARAMS;
    DisplayState& s = State();
    if (exclusive && s.exclusive && s.cooperativeWindow != window) return DDERR_NOEXCLUSIVEMODE;
    window_ = window;
    exclusive_ = exclusive;
    s.exclusive = exclusive;
    s.cooperativeWindow = window;
    s.modeX = (flags & DDSCL_ALLOWMODEX) != 0;
    Note("SetCooperativeLevel " + Hex(flags));
    return DD_OK;
  }

  HRESULT EnumDisplayModes(uint32_t flags, DDSURFACEDESC*, void* context,
                           LPDDENUMMODESCALLBACK callback) override {
    if (!callback) return DDERR_INVALIDPARAMS;
    Note("EnumDisplayModes " + Hex(flags));
    // A copy: the callback may do anything, even change the list.
    const std::vector<Mode> modes = State().modes;
    for (const auto& m : modes) {
      // What the Windows layer leaves out, so is it here.
      const PixelLayout layout = LayoutFor(m.bitsPerPixel);
      if (!FrameCanShow(layout, m.width, m.height)) continue;
      DDSURFACEDESC desc{};
      desc.dwSize = sizeof desc;
      desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
      desc.dwWidth = m.width;
      desc.dwHeight = m.height;
      desc.lPitch = static_cast<int32_t>(m.width * (m.bitsPerPixel / 8));
      desc.ddpfPixelFormat.dwSize = sizeof desc.ddpfPixelFormat;
      desc.ddpfPixelFormat.dwRGBBitCount = m.bitsPerPixel;
      desc.ddpfPixelFormat.dwRBitMask = layout.red;
      desc.ddpfPixelFormat.dwGBitMask = layout.green;
      desc.ddpfPixelFormat.dwBBitMask = layout.blue;
      if (callback(&desc, context) == DDENUMRET_CANCEL) break;
    }
    return DD_OK;
  }

  HRESULT SetDisplayMode(uint32_t w, uint32_t h, uint32_t bpp) override {
    if (ShouldFail(Call::SetDisplayMode)) return DDERR_INVALIDMODE;
    DisplayState& s = State();
    if (!exclusive_ || !s.exclusive) return DDERR_NOEXCLUSIVEMODE;
    if (w == 0 || h == 0 || ((w > kMaxSide || h > kMaxSide) && !Listed(s.modes, w, h)))
      return DDERR_INVALIDMODE;
    if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return DDERR_INVALIDMODE;
    if (IsModeX(w, bpp) && !s.modeX) return DDERR_INVALIDMODE;
    s.mode = {w, h, bpp};
    // Surfaces made for another mode are of no use now.
    if (s.primary) s.primary->lost = true;
    Note("SetDisplayMode " + ModeText(w, h, bpp));
    core::TheDriver().ScreenChanged();
    core::detail::Broadcast(WM_DISPLAYCHANGE, bpp,
                            MakeLParam(static_cast<int32_t>(w), static_cast<int32_t>(h)));
    return DD_OK;
  }

  HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, void*) override {
    if (!desc || !out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    const uint32_t caps = desc->ddsCaps.dwCaps;
    const uint32_t backs = (desc->dwFlags & DDSD_BACKBUFFERCOUNT) ? desc->dwBackBufferCount : 0;
    Note("CreateSurface backs=" + std::to_string(backs) + " caps=" + Hex(caps));
    const bool video = (caps & DDSCAPS_VIDEOMEMORY) != 0;
    if (ShouldFail(Call::CreateSurface)) return video ? DDERR_OUTOFVIDEOMEMORY : DDERR_OUTOFMEMORY;
    DisplayState& s = State();
    if (desc->dwSize != sizeof(DDSURFACEDESC) || !(desc->dwFlags & DDSD_CAPS))
      return DDERR_INVALIDPARAMS;
    // Only the primary chain is needed here.
    if (!(caps & DDSCAPS_PRIMARYSURFACE) || !s.exclusive || s.mode.width == 0)
      return DDERR_INVALIDPARAMS;
    if ((caps & DDSCAPS_FLIP) && (!(caps & DDSCAPS_COMPLEX) || backs == 0))
      return DDERR_INVALIDPARAMS;
    if (!(caps & DDSCAPS_FLIP) && backs != 0) return DDERR_INVALIDPARAMS;
    if (backs > kMaxBackBuffers) return DDERR_INVALIDPARAMS;
    if (s.primary) return DDERR_PRIMARYSURFACEALREADYEXISTS;
    const Mode m = s.mode;
    const uint64_t bytes =
        uint64_t{m.width} * m.height * (m.bitsPerPixel / 8) * (uint64_t{backs} + 1);
    if (video && bytes > s.videoMemory) return DDERR_OUTOFVIDEOMEMORY;

    Prune(s.surfaces, [](EmulatedSurface& x) { return x.Gone(); });
    auto chain = std::make_shared<Chain>();
    chain->width = m.width;
    chain->height = m.height;
    chain->bitsPerPixel = m.bitsPerPixel;
    chain->layout = LayoutFor(m.bitsPerPixel);
    chain->conversion = LayoutConversion(chain->layout);
    const size_t size = size_t{m.width} * m.height * (m.bitsPerPixel / 8);
    for (uint32_t i = 0; i <= backs; ++i) {
      chain->buffers.push_back(TakeBuffer(size));
      chain->order.push_back(i);
    }
    chain->written.resize(chain->buffers.size());
    const uint32_t common = (caps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX)) |
                            (video ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY) |
                            (IsModeX(m.width, m.bitsPerPixel) ? DDSCAPS_MODEX : 0);
    for (uint32_t i = 0; i <= backs; ++i) {
      const uint32_t own =
          i == 0 ? DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER : (i == 1 ? DDSCAPS_BACKBUFFER : 0);
      auto surface = std::make_unique<EmulatedSurface>(chain, i, common | own);
      chain->surfaces[i] = surface.get();
      s.surfaces.push_back(std::move(surface));
    }
    // Back buffers live as long as their chain, through the primary.
    for (uint32_t i = 1; i <= backs; ++i) chain->surfaces[i]->refs_ = 0;
    s.primary = chain;
    *out = chain->surfaces[0];
    return DD_OK;
  }

  HRESULT CreatePalette(uint32_t flags, const PALETTEENTRY* entries, IDirectDrawPalette** out,
                        void*) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (ShouldFail(Call::CreatePalette)) return DDERR_OUTOFMEMORY;
    if (!(flags & DDPCAPS_8BIT) || !entries) return DDERR_INVALIDPARAMS;
    Prune(State().palettes, [](const EmulatedPalette& x) { return x.refs == 0; });
    auto palette = std::make_unique<EmulatedPalette>(entries);
    *out = palette.get();
    State().palettes.push_back(std::move(palette));
    Note("CreatePalette");
    return DD_OK;
  }

  HRESULT FlipToGDISurface() override {
    Note("FlipToGDISurface");
    DisplayState& s = State();
    if (!s.primary || !s.primary->alive) return DD_OK;
    while (s.primary->order[0] != 0) EmulatedSurface::Rotate(*s.primary);
    core::TheDriver().ScreenChanged();
    return DD_OK;
  }

  uint32_t refs_ = 1;

 private:
  HWND window_ = nullptr;
  bool exclusive_ = false;
};

}  // namespace

namespace plat::core::detail {

Mode ScreenMode() {
  const DisplayState& s = State();
  return s.mode.width ? s.mode : s.desktop;
}

Canvas GdiCanvas() {
  DisplayState& s = State();
  if (!s.primary || !s.primary->alive || s.primary->lost || s.primary->order[0] != 0) return {};
  Chain& c = *s.primary;
  // GDI paints windows and menus anywhere on it.
  c.written[0].Lost();
  return {c.buffers[0].data(),
          static_cast<int32_t>(c.width),
          static_cast<int32_t>(c.height),
          static_cast<int32_t>(c.BytesPerPixel()),
          nullptr,
          c.conversion.None() ? nullptr : &c.conversion};
}

void ForegroundChanged(bool appActive) {
  DisplayState& s = State();
  // An exclusive display loses its surfaces to whoever takes the screen.
  if (!appActive && s.exclusive && s.primary) s.primary->lost = true;
}

void ResetDisplay() { State() = DisplayState{}; }

const PALETTEENTRY* AttachedPalette() {
  const DisplayState& s = State();
  return s.primary && s.primary->alive && s.primary->palette ? s.primary->palette->entries
                                                             : nullptr;
}

Canvas SurfaceCanvas(IDirectDrawSurface* surface) {
  auto* s = static_cast<EmulatedSurface*>(surface);
  if (!s || !s->chain().alive) return {};
  const Chain& c = s->chain();
  return {s->Pixels().data(),
          static_cast<int32_t>(c.width),
          static_cast<int32_t>(c.height),
          static_cast<int32_t>(c.BytesPerPixel()),
          &s->Written(),
          c.conversion.None() ? nullptr : &c.conversion};
}

}  // namespace plat::core::detail

namespace plat::core {

void SetModeList(const std::vector<Mode>& modes) { State().modes = modes; }
Mode CurrentMode() { return State().mode; }
void SetDesktopMode(Mode mode) { State().desktop = mode; }

ScreenView FrontView() {
  DisplayState& s = State();
  // A lost chain still shows its last picture until it is restored.
  if (!s.primary || !s.primary->alive) return {};
  const Chain& c = *s.primary;
  ScreenView view;
  view.pixels = c.buffers[c.order[0]].data();
  view.width = static_cast<int32_t>(c.width);
  view.height = static_cast<int32_t>(c.height);
  view.bitsPerPixel = static_cast<int32_t>(c.bitsPerPixel);
  view.palette = c.palette ? c.palette->entries : s.system;
  return view;
}

KnownPixels FrontWritten() {
  const std::shared_ptr<Chain>& c = State().primary;
  return c && c->alive ? c->written[c->order[0]].Known() : KnownPixels{};
}
void SetVideoMemory(uint64_t bytes) { State().videoMemory = bytes; }

void SetPixelLayout(const PixelLayout& layout) {
  for (PixelLayout& l : State().layouts)
    if (l.bitsPerPixel == layout.bitsPerPixel) l = layout;
}

void GuardUnlockedPixels(bool on) { State().guardUnlocked = on; }

uint32_t UnlockedWrites() {
  for (const auto& s : State().surfaces) s->CheckGuard();
  return State().unlockedWrites;
}

std::vector<uint8_t> FrontPixels() {
  DisplayState& s = State();
  if (!s.primary || !s.primary->alive) return {};
  return s.primary->buffers[s.primary->order[0]];
}

std::vector<uint8_t> FrontImageRgb() { return ToRgb(FrontView()); }

bool FrontPalette(PALETTEENTRY out[256]) {
  DisplayState& s = State();
  if (!s.primary || !s.primary->alive || !s.primary->palette) return false;
  std::memcpy(out, s.primary->palette->entries, 256 * sizeof(PALETTEENTRY));
  return true;
}

const PALETTEENTRY* SystemPalette() { return State().system; }
void SetSystemPalette(const PALETTEENTRY entries[256]) {
  std::memcpy(State().system, entries, sizeof State().system);
}

bool ShowingGdiSurface() {
  DisplayState& s = State();
  return !s.primary || !s.primary->alive || s.primary->order[0] == 0;
}

uint32_t FlipCount() { return State().flips; }

void LoseSurfaces() {
  if (State().primary) State().primary->lost = true;
  Note("surfaces lost");
}

}  // namespace plat::core

namespace plat {

HRESULT DirectDrawCreate(const void* guid, IDirectDraw** out, void*) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (ShouldFail(Call::DirectDrawCreate)) return DDERR_GENERIC;
  if (guid) return DDERR_INVALIDPARAMS;  // only the active display driver is here
  if (!core::TheDriver().OpenDisplay()) return DDERR_GENERIC;
  core::detail::Prune(State().ddraws, [](const EmulatedDirectDraw& d) { return d.refs_ == 0; });
  auto object = std::make_unique<EmulatedDirectDraw>();
  *out = object.get();
  State().ddraws.push_back(std::move(object));
  Note("DirectDrawCreate");
  return DD_OK;
}

HRESULT NoteDrawnArea(IDirectDrawSurface* surface, const RECT* area) {
  // Every surface here is the core's.
  auto* s = static_cast<EmulatedSurface*>(surface);
  if (!s) return DDERR_INVALIDPARAMS;
  if (!s->chain().alive) return DDERR_SURFACELOST;
  const RECT all = s->chain().All();
  s->Written().ProgramWrote(area ? *area : all, all);
  s->ProgramDrew(area ? *area : all);
  return DD_OK;
}

}  // namespace plat
