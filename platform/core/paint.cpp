// What Windows paints on the GDI surface: window frames with their caption,
// the menu bar with underlined mnemonics, the open pop-up with check marks
// and the selection, and dialog boxes; with what lies under menus and
// dialogs kept and put back.
#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/core/internal.h"
#include "platform/core/menu_layout.h"
#include "platform/font.h"
#include "platform/row_copy.h"

namespace {

using namespace plat;
using namespace plat::core::detail;

constexpr COLORREF kFace = RGB(192, 192, 192);
constexpr COLORREF kShadow = RGB(128, 128, 128);
constexpr COLORREF kHighlight = RGB(255, 255, 255);
constexpr COLORREF kTitle = RGB(0, 0, 128);
constexpr COLORREF kInactiveTitle = RGB(128, 128, 128);
constexpr COLORREF kSelection = RGB(0, 0, 128);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

struct Painter {
  Canvas c;

  void Fill(int32_t left, int32_t top, int32_t right, int32_t bottom, COLORREF colour) const {
    const uint32_t v = PixelFor(colour, c);
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, c.width);
    bottom = std::min(bottom, c.height);
    if (right <= left) return;
    const auto bpp = static_cast<uint32_t>(c.bytesPerPixel);
    const auto count = static_cast<size_t>(right - left);
    for (int32_t y = top; y < bottom; ++y) {
      const size_t at = static_cast<size_t>(y) * static_cast<size_t>(c.width) + left;
      FillPixels(c.pixels + at * bpp, count, bpp, v);
    }
  }
  void Fill(const RECT& r, COLORREF colour) const {
    Fill(r.left, r.top, r.right, r.bottom, colour);
  }
  // A raised 3-D edge, as buttons and menus have; sunken when pressed.
  void Raised(int32_t left, int32_t top, int32_t right, int32_t bottom, bool sunken = false) const {
    Fill(left, top, right, bottom, kFace);
    const COLORREF light = sunken ? kShadow : kHighlight, dark = sunken ? kHighlight : kShadow;
    Fill(left, top, right, top + 1, light);
    Fill(left, top, left + 1, bottom, light);
    Fill(left, bottom - 1, right, bottom, dark);
    Fill(right - 1, top, right, bottom, dark);
  }
  void Text(int32_t x, int32_t y, const std::string& text, COLORREF colour) const {
    font::DrawText({c.pixels, c.width, c.height, c.bytesPerPixel}, x, y, text.data(), text.size(),
                   PixelFor(colour, c));
  }
  // A label with its mnemonic underlined.
  void Label(int32_t x, int32_t y, const core::MenuText& text, COLORREF colour) const {
    Text(x, y, text.label, colour);
    const core::Underline u = core::MnemonicUnderline(
        text, [](char ch) { return font::TextWidth(&ch, 1); }, font::Ascent());
    if (u.present) Fill(x + u.left, y + u.row, x + u.right, y + u.row + 1, colour);
  }
  void Check(int32_t x, int32_t y, COLORREF colour) const {
    for (int32_t i = 0; i < 3; ++i) Fill(x + i, y + 2 + i, x + i + 1, y + 5 + i, colour);
    for (int32_t i = 0; i < 4; ++i) Fill(x + 3 + i, y + 3 - i, x + 4 + i, y + 6 - i, colour);
  }
  // A small triangle pointing up or down, centred in r.
  void Arrow(const RECT& r, bool up, COLORREF colour) const {
    const int32_t cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    for (int32_t i = 0; i < 4; ++i) {
      const int32_t y = up ? cy - 2 + i : cy + 1 - i;
      Fill(cx - i, y, cx + i + 1, y + 1, colour);
    }
  }
  void Icon(int32_t x, int32_t y, const IconObject& icon) const {
    for (int32_t r = 0; r < icon.height; ++r)
      for (int32_t col = 0; col < icon.width; ++col) {
        const uint8_t* p = &icon.rgba[(static_cast<size_t>(r) * static_cast<size_t>(icon.width) +
                                       static_cast<size_t>(col)) *
                                      4];
        if (p[3] >= 128) Fill(x + col, y + r, x + col + 1, y + r + 1, RGB(p[0], p[1], p[2]));
      }
  }
};

void PaintFrame(const Painter& p, const RECT& r, const std::string& title, bool active) {
  // The border only: the client area keeps whatever was drawn there.
  p.Fill(r.left, r.top, r.right, r.top + kFrame, kFace);
  p.Fill(r.left, r.bottom - kFrame, r.right, r.bottom, kFace);
  p.Fill(r.left, r.top, r.left + kFrame, r.bottom, kFace);
  p.Fill(r.right - kFrame, r.top, r.right, r.bottom, kFace);
  p.Fill(r.left, r.top, r.right, r.top + 1, kHighlight);
  p.Fill(r.left, r.top, r.left + 1, r.bottom, kHighlight);
  p.Fill(r.left, r.bottom - 1, r.right, r.bottom, kBlack);
  p.Fill(r.right - 1, r.top, r.right, r.bottom, kBlack);
  const int32_t top = r.top + kFrame;
  p.Fill(r.left + kFrame, top, r.right - kFrame, top + kCaption - 1,
         active ? kTitle : kInactiveTitle);
  // The line under the caption.
  p.Fill(r.left + kFrame, top + kCaption - 1, r.right - kFrame, top + kCaption, kFace);
  p.Text(r.left + kFrame + 4, top + 3, title, active ? kWhite : kFace);
}

void PaintPopup(const Painter& p, const MenuObject& popup, const core::PopupLayout& l,
                int32_t selected) {
  p.Raised(l.box.left, l.box.top, l.box.right, l.box.bottom);
  // Columns are parted by an etched line.
  for (int32_t col = 1; col < l.columns; ++col) {
    const int32_t x = l.box.left + core::kPopupBorder + col * l.columnWidth;
    p.Fill(x - 1, l.box.top + 2, x, l.box.bottom - 2, kShadow);
    p.Fill(x, l.box.top + 2, x + 1, l.box.bottom - 2, kHighlight);
  }
  if (l.scrolls) {
    const auto count = static_cast<int32_t>(popup.items.size());
    p.Arrow(l.up, true, l.first > 0 ? kBlack : kShadow);
    p.Arrow(l.down, false, l.first + l.shown < count ? kBlack : kShadow);
  }
  for (size_t k = 0; k < popup.items.size() && k < l.items.size(); ++k) {
    const RECT& r = l.items[k];
    if (r.right <= r.left) continue;
    const MenuItem& item = popup.items[k];
    if (item.state & MF_SEPARATOR) {
      const int32_t y = (r.top + r.bottom) / 2;
      p.Fill(r.left + 1, y - 1, r.right - 1, y, kShadow);
      p.Fill(r.left + 1, y, r.right - 1, y + 1, kHighlight);
      continue;
    }
    const bool isSelected = static_cast<int32_t>(k) == selected;
    const bool grayed = (item.state & (MF_GRAYED | MF_DISABLED)) != 0;
    if (isSelected) p.Fill(r, kSelection);
    const COLORREF ink = grayed ? kShadow : (isSelected ? kWhite : kBlack);
    const core::MenuText text = core::ParseMenuText(item.text);
    if (item.state & MF_CHECKED) p.Check(r.left + 5, r.top + 5, ink);
    p.Label(r.left + core::kPopupTextLeft - core::kPopupBorder, r.top + 3, text, ink);
    if (!text.shortcut.empty())
      p.Text(r.right - core::kPopupTextRight + core::kPopupBorder - font::TextWidth(text.shortcut),
             r.top + 3, text.shortcut, ink);
  }
}

void PaintMenuBar(const Painter& p, const WindowObject& w) {
  MenuObject* bar = LiveMenu(w.menu);
  if (!bar) return;
  const RECT c = ClientRect(w);
  p.Fill(c.left, c.top - kMenuBar, c.right, c.top, kFace);
  const WindowState& s = Windows();
  const bool inMenu = s.menuOpen && s.menu.window == &w;
  const std::vector<RECT> titles = BarLayoutOf(w);
  for (size_t i = 0; i < bar->items.size() && i < titles.size(); ++i) {
    const RECT& r = titles[i];
    const bool highlighted = inMenu && s.menu.bar == static_cast<int32_t>(i);
    if (highlighted) p.Fill(r.left, r.top + 1, r.right, r.bottom - 1, kSelection);
    const bool grayed = (bar->items[i].state & (MF_GRAYED | MF_DISABLED)) != 0;
    p.Label(r.left + core::kBarItemPadding, r.top + 3, core::ParseMenuText(bar->items[i].text),
            highlighted ? kWhite : (grayed ? kShadow : kBlack));
  }
}

void PaintDialog(const Painter& p, const WindowObject& d, bool active) {
  const DialogResource* t = d.dialogTemplate;
  if (!t) return;
  const DialogGeometry g = DialogLayout(d);
  PaintFrame(p, g.frame, d.title, active);
  p.Fill(g.client.left, g.client.top - 1, g.client.right, g.client.bottom, kFace);
  for (uint32_t i = 0; i < t->count && i < g.controls.size(); ++i) {
    const DialogItemTemplate& item = t->items[i];
    const RECT& r = g.controls[i];
    const std::string text = item.text ? item.text : "";
    if (std::strcmp(item.windowClass, "BUTTON") == 0) {
      const bool isDefault = (item.style & 0xF) == BS_DEFPUSHBUTTON;
      const bool pressed = d.pressedButton != 0 && d.pressedButton == item.id;
      p.Fill(r, kBlack);
      const int32_t inset = isDefault ? 2 : 1;
      p.Raised(r.left + inset, r.top + inset, r.right - inset, r.bottom - inset, pressed);
      const int32_t shift = pressed ? 1 : 0;
      p.Text((r.left + r.right - font::TextWidth(text)) / 2 + shift,
             (r.top + r.bottom - font::CellHeight()) / 2 + shift, text, kBlack);
    } else if ((item.style & 0xF) == SS_ICON) {
      if (d.icon) p.Icon(r.left, r.top, *d.icon);
    } else {
      const bool centred = (item.style & 0xF) == SS_CENTER;
      const int32_t x = centred ? (r.left + r.right - font::TextWidth(text)) / 2 : r.left;
      p.Text(x, r.top, text, kBlack);
    }
  }
}

// A pop-up or dialog on the screen and the pixels it covers, as a window
// with saved bits keeps them: put back when it goes, whatever made it go.
struct Layer {
  const void* owner = nullptr;  // the pop-up menu or the dialog window
  RECT box{};                   // clipped to the canvas
  Canvas canvas;
  uint32_t flips = 0;
  std::vector<uint8_t> under;
};

// What lies over the windows' frames and menu bars now, bottom first.
struct Overlay {
  const void* owner;
  RECT box;
  std::function<void(const Painter&)> paint;
};

std::vector<Layer>& Layers() {
  static std::vector<Layer> layers;
  return layers;
}

bool SameCanvas(const Canvas& a, const Canvas& b) {
  return a.pixels == b.pixels && a.width == b.width && a.height == b.height &&
         a.bytesPerPixel == b.bytesPerPixel;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT Clip(const RECT& r, const Canvas& c) {
  RECT out{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, c.width),
           std::min(r.bottom, c.height)};
  if (out.right < out.left) out.right = out.left;
  if (out.bottom < out.top) out.bottom = out.top;
  return out;
}

// The saved pixels are still what was under the box: the same surface, shown
// throughout (a flip hands the surface to the program, which draws on it).
bool StillValid(const Layer& l, const Canvas& c) {
  return c.pixels && SameCanvas(l.canvas, c) && l.flips == core::FlipCount();
}

// Copies the box's rows between the canvas and the layer's store.
template <typename Copy>
void ForEachRow(const Layer& l, Copy copy) {
  const auto bpp = static_cast<size_t>(l.canvas.bytesPerPixel);
  const auto rowBytes = static_cast<size_t>(l.box.right - l.box.left) * bpp;
  size_t at = 0;
  for (int32_t y = l.box.top; y < l.box.bottom; ++y, at += rowBytes) {
    uint8_t* row = l.canvas.pixels + (static_cast<size_t>(y) * static_cast<size_t>(l.canvas.width) +
                                      static_cast<size_t>(l.box.left)) *
                                         bpp;
    copy(row, at, rowBytes);
  }
}

void Save(const void* owner, const RECT& box, const Canvas& c) {
  Layer l;
  l.owner = owner;
  l.box = Clip(box, c);
  l.canvas = c;
  l.flips = core::FlipCount();
  l.under.resize(static_cast<size_t>(l.box.right - l.box.left) *
                 static_cast<size_t>(l.box.bottom - l.box.top) *
                 static_cast<size_t>(c.bytesPerPixel));
  ForEachRow(l, [&](const uint8_t* row, size_t at, size_t n) {
    std::memcpy(l.under.data() + at, row, n);
  });
  Layers().push_back(std::move(l));
}

// Takes off the top layer, putting back what it covered if that is still
// the picture under it.
void PutBackTop(const Canvas& c) {
  Layer& l = Layers().back();
  if (StillValid(l, c))
    ForEachRow(
        l, [&](uint8_t* row, size_t at, size_t n) { std::memcpy(row, l.under.data() + at, n); });
  Layers().pop_back();
}

std::vector<Overlay> Overlays() {
  std::vector<Overlay> out;
  const WindowState& s = Windows();
  if (s.menuOpen && s.menu.popupOpen && Live(s.menu.window)) {
    const WindowObject& w = *s.menu.window;
    if (MenuObject* popup = PopupOf(w, s.menu.bar)) {
      const core::PopupLayout l = PopupLayoutOf(w, s.menu.bar, s.menu.first);
      const int32_t selected = s.menu.item;
      out.push_back({popup, l.box, [popup, l, selected](const Painter& p) {
                       PaintPopup(p, *popup, l, selected);
                     }});
    }
  }
  for (HWND d : s.dialogs) {
    if (!Live(d)) continue;
    const bool active = d == s.dialogs.back();
    out.push_back(
        {d, DialogLayout(*d).frame, [d, active](const Painter& p) { PaintDialog(p, *d, active); }});
  }
  return out;
}

}  // namespace

namespace plat::core::detail {

void ResetPainting() { Layers().clear(); }

void PaintScreen() {
  const Canvas canvas = GdiCanvas();
  const std::vector<Overlay> overlays = Overlays();
  // Layers stay while the same things lie in the same places, bottom up;
  // the rest go, topmost first, each putting back what it covered.
  std::vector<Layer>& layers = Layers();
  size_t kept = 0;
  while (kept < layers.size() && kept < overlays.size() &&
         layers[kept].owner == overlays[kept].owner &&
         SameRect(layers[kept].box, Clip(overlays[kept].box, canvas)) &&
         StillValid(layers[kept], canvas))
    ++kept;
  while (layers.size() > kept) PutBackTop(canvas);
  if (!canvas.pixels) return;
  const Painter p{canvas};
  const WindowState& s = Windows();
  const bool dialogOpen = !s.dialogs.empty();
  for (auto& w : s.windows) {
    if (!w->alive || !w->visible || w->dialog || (w->style & WS_CHILD)) continue;
    if ((w->style & WS_CAPTION) == WS_CAPTION) PaintFrame(p, w->rect, w->title, !dialogOpen);
    PaintMenuBar(p, *w);
  }
  for (size_t i = 0; i < overlays.size(); ++i) {
    if (i >= kept) Save(overlays[i].owner, overlays[i].box, canvas);
    overlays[i].paint(p);
  }
  TheDriver().ScreenChanged();
}

}  // namespace plat::core::detail
