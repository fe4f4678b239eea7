// The browser backend's driver: the page's keyboard, mouse, focus and
// visibility events become what Windows would deliver, the clock is the
// page's, and a <canvas> is the monitor that shows the emulated screen. The
// program keeps its blocking loops: a flip waits for the browser's next
// animation frame and WaitMessage for the next event, both through Asyncify,
// so the page stays responsive while the program's stack is kept.
#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/core/core.h"
#include "platform/core/driver.h"
#include "platform/core/keys.h"
#include "platform/core/present.h"
#include "platform/web/web.h"
#include "platform/winuser.h"

// ---- The page's side ----
// Events wait in Module.kelvoEvents until the program polls: called from a
// listener while the program is suspended, the program itself must not run.

// clang-format off
EM_JS(int, kelvo_web_open, (), {
  const canvas = Module.canvas || document.getElementById("screen");
  if (!canvas) return 0;
  Module.canvas = canvas;
  const events = Module.kelvoEvents = [];
  Module.kelvoWake = null;
  const push = (e) => {
    events.push(e);
    if (Module.kelvoWake) { const wake = Module.kelvoWake; Module.kelvoWake = null; wake(); }
  };
  // The page's whole window is the monitor's output, in device pixels.
  const output = () => {
    const ratio = window.devicePixelRatio || 1;
    return [Math.max(1, Math.round(window.innerWidth * ratio)),
            Math.max(1, Math.round(window.innerHeight * ratio)), ratio];
  };
  Module.kelvoOutput = output;
  const key = (e, down) => {
    // Keys the program takes are not the page's: no scrolling, no browser menus.
    const alt = e.altKey;
    if (down && alt && (e.code === "Enter" || e.code === "NumpadEnter") && !e.repeat) {
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      else document.documentElement.requestFullscreen().catch(() => {});
    }
    if (e.code !== "F5" && e.code !== "F12" && !(e.ctrlKey && e.code === "KeyR")) e.preventDefault();
    const letter = e.key && e.key.length === 1 && e.key.charCodeAt(0) < 128 ? e.key.charCodeAt(0) : 0;
    push({type: down ? 1 : 2, code: e.code, a: letter, b: e.getModifierState("NumLock") ? 1 : 0,
          c: alt ? 1 : 0});
  };
  const point = (e) => {
    const ratio = window.devicePixelRatio || 1;
    return [Math.floor(e.clientX * ratio), Math.floor(e.clientY * ratio)];
  };
  window.addEventListener("keydown", (e) => key(e, true));
  window.addEventListener("keyup", (e) => key(e, false));
  window.addEventListener("mousemove", (e) => { const p = point(e); push({type: 3, a: p[0], b: p[1]}); });
  window.addEventListener("mousedown", (e) => {
    if (e.button !== 0) return;
    const p = point(e); push({type: 4, a: p[0], b: p[1]}); e.preventDefault();
  });
  window.addEventListener("mouseup", (e) => {
    if (e.button !== 0) return;
    const p = point(e); push({type: 5, a: p[0], b: p[1]});
  });
  window.addEventListener("wheel", (e) => {
    if (e.deltaY === 0) return;
    const p = point(e); push({type: 6, a: p[0], b: p[1], c: e.deltaY < 0 ? 1 : -1});
    e.preventDefault();
  }, {passive: false});
  window.addEventListener("contextmenu", (e) => e.preventDefault());
  // A hidden tab or a page in the background is a window in the background.
  const front = () => push({type: document.visibilityState === "visible" && document.hasFocus() ? 7 : 8});
  window.addEventListener("focus", front);
  window.addEventListener("blur", front);
  document.addEventListener("visibilitychange", front);
  window.addEventListener("resize", () => push({type: 9}));
  document.addEventListener("fullscreenchange", () => push({type: 9}));
  front();
  const stats = Module.kelvoStats = {fps: 0, frameMs: 0, drawMs: 0, presentMs: 0, frames: 0};
  Module.kelvoCount = {frames: 0, busy: 0, present: 0, since: performance.now()};
  window.kelvoStats = stats;
  return 1;
});

// Writes the next event's numbers and key code; its type, 0 when none is left.
EM_JS(int, kelvo_web_next, (int32_t* numbers, char* code, int codeSize), {
  const e = Module.kelvoEvents.shift();
  if (!e) return 0;
  HEAP32[numbers >> 2] = e.a || 0;
  HEAP32[(numbers >> 2) + 1] = e.b || 0;
  HEAP32[(numbers >> 2) + 2] = e.c || 0;
  stringToUTF8(e.code || "", code, codeSize);
  return e.type;
});

EM_JS(void, kelvo_web_output, (int32_t* size), {
  const out = Module.kelvoOutput();
  HEAP32[size >> 2] = out[0];
  HEAP32[(size >> 2) + 1] = out[1];
});

// The canvas holds the picture at its own size, w x h, placed (in device
// pixels) where the screen goes; the browser enlarges it with sharp pixels.
// Only the changed rectangle of RGBA rows is written into it.
EM_JS(void, kelvo_web_show, (const uint8_t* rgba, int x, int y, int w, int h, int pictureW,
                              int pictureH, int px, int py, int pw, int ph), {
  const canvas = Module.canvas;
  canvas.hidden = false;
  if (canvas.width !== pictureW || canvas.height !== pictureH) {
    canvas.width = pictureW;
    canvas.height = pictureH;
  }
  const ratio = Module.kelvoOutput()[2];
  const place = [px / ratio + "px", py / ratio + "px", pw / ratio + "px", ph / ratio + "px"];
  const style = canvas.style;
  if (style.left !== place[0] || style.top !== place[1] || style.width !== place[2] ||
      style.height !== place[3]) {
    style.left = place[0];
    style.top = place[1];
    style.width = place[2];
    style.height = place[3];
  }
  if (w > 0 && h > 0) {
    const context = Module.kelvoContext || (Module.kelvoContext = canvas.getContext("2d", {alpha: false}));
    context.putImageData(new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, w * h * 4), w, h), x, y);
  }
});

// Nothing to show: the page's black.
EM_JS(void, kelvo_web_blank, (), { Module.canvas.hidden = true; });

// Until the browser's next animation frame: the page draws, takes input and
// counts the frame rate in real time meanwhile.
EM_ASYNC_JS(void, kelvo_web_frame, (double busyMs, double presentMs), {
  const count = Module.kelvoCount;
  count.frames++;
  count.busy += busyMs;
  count.present += presentMs;
  await new Promise((resolve) => requestAnimationFrame(resolve));
  const now = performance.now();
  if (now - count.since >= 1000) {
    const s = Module.kelvoStats;
    s.fps = count.frames * 1000 / (now - count.since);
    s.frameMs = count.busy / count.frames;
    s.presentMs = count.present / count.frames;
    s.drawMs = s.frameMs - s.presentMs;
    s.frames += count.frames;
    count.frames = 0; count.busy = 0; count.present = 0; count.since = now;
  }
});

// Until an event comes, or a quarter of a second at most.
EM_ASYNC_JS(void, kelvo_web_wait, (), {
  if (Module.kelvoEvents.length) return;
  await new Promise((resolve) => {
    const timer = setTimeout(() => { Module.kelvoWake = null; resolve(); }, 250);
    Module.kelvoWake = () => { clearTimeout(timer); resolve(); };
  });
});

EM_JS(void, kelvo_web_cursor, (int shown), {
  document.documentElement.style.cursor = shown ? "default" : "none";
});

EM_JS(void, kelvo_web_title, (const char* title, const uint8_t* rgba, int w, int h), {
  document.title = UTF8ToString(title);
  if (!rgba || w <= 0 || h <= 0) return;
  const icon = document.createElement("canvas");
  icon.width = w;
  icon.height = h;
  icon.getContext("2d").putImageData(new ImageData(new Uint8ClampedArray(HEAPU8.slice(rgba, rgba + w * h * 4)), w, h), 0, 0);
  let link = document.querySelector("link[rel=icon]");
  if (!link) { link = document.createElement("link"); link.rel = "icon"; document.head.appendChild(link); }
  link.href = icon.toDataURL("image/png");
});

EM_JS(void, kelvo_web_desktop, (int32_t* size), {
  const ratio = window.devicePixelRatio || 1;
  HEAP32[size >> 2] = Math.round(screen.width * ratio);
  HEAP32[(size >> 2) + 1] = Math.round(screen.height * ratio);
});

EM_JS(void, kelvo_web_stopped, (int status), {
  if (Module.kelvoStopped) Module.kelvoStopped(status);
});
// clang-format on

namespace plat::web {
namespace {

enum Event { kNone, kKeyDown, kKeyUp, kMove, kDown, kUp, kWheel, kFront, kBack, kResize };

class WebDriver final : public core::Driver {
 public:
  bool Poll() override {
    if (!open_) return false;
    bool any = false;
    int32_t n[3];
    char code[32];
    while (int type = kelvo_web_next(n, code, sizeof code)) any = Handle(type, n, code) || any;
    if (dirty_) Present();
    return any;
  }

  void Wait() override {
    if (dirty_) Present();
    kelvo_web_wait();
    lastYield_ = emscripten_get_now();
    Poll();
  }

  // A loop that neither flips nor waits would hold the page still: it lets
  // the browser in now and then.
  void EmptyTurn() override {
    if (!open_ || emscripten_get_now() - lastYield_ < 50) return;
    emscripten_sleep(0);
    lastYield_ = emscripten_get_now();
  }

  uint32_t Now() override {
    return static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now()));
  }

  bool OpenDisplay() override {
    if (open_) return true;
    if (failed_) return false;
    if (!kelvo_web_open()) {
      std::fputs("kelvo-cube: the page has no canvas to show the cube on\n", stderr);
      failed_ = true;
      return false;
    }
    int32_t desktop[2] = {0, 0};
    kelvo_web_desktop(desktop);
    if (desktop[0] <= 0 || desktop[1] <= 0) {
      desktop[0] = 1024;
      desktop[1] = 768;
    }
    const auto w = static_cast<uint32_t>(std::min(desktop[0], 4095));
    const auto h = static_cast<uint32_t>(std::min(desktop[1], 4095));
    core::SetDesktopMode({w, h, 32});
    core::SetModeList(core::ModesWithDesktop(w, h));
    open_ = true;
    lastYield_ = emscripten_get_now();
    Present();
    return true;
  }

  void Flipped() override {
    const double start = emscripten_get_now();
    Present();
    Yield(start);
  }

  void ScreenChanged() override { dirty_ = true; }

  void CursorChanged(bool shown) override {
    if (open_) kelvo_web_cursor(shown ? 1 : 0);
  }

  bool KeepsTrace() const override { return false; }

  static WebDriver& Instance() {
    static WebDriver driver;
    return driver;
  }

 private:
  // Hands the page over until its next frame; the time since the last
  // frame went to the program, of which presentStart on to showing it.
  void Yield(double presentStart) {
    const double now = emscripten_get_now();
    kelvo_web_frame(now - lastYield_, now - presentStart);
    lastYield_ = emscripten_get_now();
  }

  bool Handle(int type, const int32_t* n, const char* code) {
    switch (type) {
      case kKeyDown:
      case kKeyUp: return Key(type == kKeyDown, code, n[0], n[1] != 0, n[2] != 0);
      case kMove: {
        int32_t x = 0, y = 0;
        if (!ToScreen(n[0], n[1], &x, &y)) return false;
        core::MouseMove(x, y);
        return true;
      }
      case kDown:
      case kUp: {
        int32_t x = 0, y = 0;
        if (!ToScreen(n[0], n[1], &x, &y)) return false;
        core::MouseButton(x, y, type == kDown);
        return true;
      }
      case kWheel: {
        int32_t x = 0, y = 0;
        if (!ToScreen(n[0], n[1], &x, &y)) return false;
        core::MouseWheel(x, y, n[2]);
        return true;
      }
      case kFront:
      case kBack: {
        const bool front = type == kFront;
        dirty_ = true;
        if (front == core::InForeground()) return false;
        core::SetForeground(front);
        return true;
      }
      case kResize: dirty_ = true; return false;
      default: return false;
    }
  }

  static bool Key(bool down, const char* code, int32_t letter, bool numLock, bool alt) {
    const int usage = core::UsageOfCode(code);
    const uint8_t scan = core::ScanCodeOfUsage(usage);
    const uint16_t vk = core::VirtualKeyOfUsage(usage, static_cast<char>(letter), numLock);
    // Alt+Enter is the page's full screen; the program sees the key on its
    // keyboard device only, as on the desktop.
    const bool enter =
        usage == core::UsageOfCode("Enter") || usage == core::UsageOfCode("NumpadEnter");
    if (alt && enter) {
      if (scan) core::Key(scan, vk, down, false);
      return false;
    }
    if (!scan && !vk) return false;
    core::Key(scan, vk, down);
    return true;
  }

  bool ToScreen(int32_t outX, int32_t outY, int32_t* x, int32_t* y) const {
    if (!open_ || screenWidth_ <= 0) return false;
    return core::OutputToScreen(placement_, screenWidth_, screenHeight_, outX, outY, x, y);
  }

  void Present() {
    dirty_ = false;
    if (!open_) return;
    if (!titled_) {
      if (HWND main = core::MainWindow()) {
        int32_t w = 0, h = 0;
        std::vector<uint8_t> icon;
        const bool hasIcon = core::WindowIcon(main, &w, &h, &icon);
        kelvo_web_title(core::WindowTitle(main).c_str(), hasIcon ? icon.data() : nullptr, w, h);
        titled_ = true;
      }
    }
    int32_t out[2] = {0, 0};
    kelvo_web_output(out);
    const core::ScreenView view = core::FrontView();
    const core::Placement placement = core::FitScreen(view.width, view.height, out[0], out[1]);
    screenWidth_ = screenHeight_ = 0;
    if (!view.pixels || placement.width <= 0) {
      kelvo_web_blank();
      return;
    }
    // Shrunk here by averaging; enlarged by the canvas with sharp pixels.
    const bool shrink = core::Shrinks(placement, view.width, view.height);
    const int32_t w = shrink ? placement.width : view.width;
    const int32_t h = shrink ? placement.height : view.height;
    // A new size (a new canvas) gives the whole picture as changed.
    core::Rect changed = picture_.Update(view, w, h, core::FrontWritten());
    if (picture_.width() != w || picture_.height() != h) {
      kelvo_web_blank();
      return;
    }
    if (changed.empty()) changed = {};
    // 0xFFRRGGBB to the canvas' red, green, blue, alpha bytes.
    rgba_.resize(static_cast<size_t>(changed.width) * static_cast<size_t>(changed.height));
    for (int32_t row = 0; row < changed.height; ++row) {
      const uint32_t* from = picture_.pixels() +
                             static_cast<size_t>(changed.y + row) * picture_.pitch() +
                             static_cast<size_t>(changed.x);
      uint32_t* to = rgba_.data() + static_cast<size_t>(row) * static_cast<size_t>(changed.width);
      for (int32_t i = 0; i < changed.width; ++i) {
        const uint32_t p = from[i];
        to[i] = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
      }
    }
    kelvo_web_show(reinterpret_cast<const uint8_t*>(rgba_.data()), changed.x, changed.y,
                   changed.width, changed.height, w, h, placement.x, placement.y, placement.width,
                   placement.height);
    placement_ = placement;
    screenWidth_ = view.width;
    screenHeight_ = view.height;
  }

  bool open_ = false;
  bool failed_ = false;
  bool dirty_ = false;
  bool titled_ = false;
  int32_t screenWidth_ = 0, screenHeight_ = 0;
  core::Placement placement_;
  core::ScreenPicture picture_;
  std::vector<uint32_t> rgba_;
  double lastYield_ = 0;
};

}  // namespace

void Stopped(int status) { kelvo_web_stopped(status); }

}  // namespace plat::web

namespace plat::core {

Driver& TheDriver() { return web::WebDriver::Instance(); }

}  // namespace plat::core
