// The desktop backend's driver: SDL's keyboard, mouse, focus and quit events
// become what Windows would deliver, the clock is SDL's, and one SDL window
// (full screen on the desktop at start, Alt+Enter for a window) is the
// monitor that shows the emulated screen.
#include <SDL.h>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/core/core.h"
#include "platform/core/driver.h"
#include "platform/core/present.h"
#include "platform/sdl2/keys.h"
#include "platform/winuser.h"

// Xlib's display, only ever pointed to.
struct _XDisplay;

namespace plat::sdl {
namespace {

constexpr int32_t kDefaultRefresh = 60;

// Written before the display can go, so that saying so needs no memory.
char displayGoneLine[160] = "kelvo-cube: lost the display\n";

// Xlib calls this when the X server closes the connection (the server ended,
// or the window was killed), and would then call exit(), whose exit hooks
// tear SDL down and wait forever for a dead server's replies. Nothing on the
// display can be saved: say so and end the process at once.
int DisplayGone(_XDisplay*) {
  const ssize_t written = write(STDERR_FILENO, displayGoneLine, std::strlen(displayGoneLine));
  (void)written;
  _exit(1);
}

// SDL 2 leaves Xlib's handler for a broken connection as it is; Xlib is
// already loaded by SDL, so it is looked up there rather than linked.
void WatchX11Connection() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || std::strcmp(driver, "x11") != 0) return;
  void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
  if (!xlib) return;
  using Handler = int (*)(_XDisplay*);
  using SetHandler = Handler (*)(Handler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(xlib, "XSetIOErrorHandler"))) {
    const char* name = std::getenv("DISPLAY");
    std::snprintf(displayGoneLine, sizeof displayGoneLine,
                  "kelvo-cube: lost the display %s (the X server closed the connection)\n",
                  name ? name : "");
    set(DisplayGone);
  }
  dlclose(xlib);  // only the reference taken here; SDL keeps its own
}

// SDL closes the display when it quits, and the GL library unloads its
// driver then: whatever the driver still held would look leaked to a leak
// checker, its pointers gone with the driver's data. Held here, the graphics
// libraries loaded by now stay to the end of the process.
void KeepGraphicsLibraries() {
  std::vector<std::string> names;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* found) {
        const char* name = info->dlpi_name;
        for (const char* part : {"_dri.so", "libgallium", "libGL", "libEGL"}) {
          if (name && std::strstr(name, part)) {
            static_cast<std::vector<std::string>*>(found)->push_back(name);
            break;
          }
        }
        return 0;
      },
      &names);
  for (const std::string& name : names) (void)dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD);
}

bool Listed(const char* list, const char* name) {
  const size_t length = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length)
    if ((p == list || p[-1] == ',') && (p[length] == ',' || p[length] == '\0')) return true;
  return false;
}

bool HasValue(const char* variable) {
  const char* value = std::getenv(variable);
  return value && *value;
}

// SDL's own choice, less the drivers that draw into nothing: those only when
// the user names them in SDL_VIDEODRIVER. Wayland only where a compositor
// may be listening, so that its library does not complain when there is none.
std::string RealDrivers() {
  std::string list;
  for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
    const char* name = SDL_GetVideoDriver(i);
    if (!name || Listed("offscreen,dummy,evdev", name)) continue;
    if (std::strcmp(name, "wayland") == 0 && !HasValue("WAYLAND_DISPLAY") &&
        !HasValue("XDG_RUNTIME_DIR"))
      continue;
    if (!list.empty()) list += ',';
    list += name;
  }
  return list;
}

[[noreturn]] void NoDisplay(const std::string& why) {
  std::fprintf(stderr,
               "kelvo-cube: no display to show the cube on (%s); kelvo-render draws its frames "
               "into PNG files without one\n",
               why.c_str());
  std::exit(1);
}

std::string WhyNoDisplay(const char* asked) {
  if (asked) return std::string("SDL_VIDEODRIVER=") + asked + ": " + SDL_GetError();
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (!HasValue("DISPLAY") && !HasValue("WAYLAND_DISPLAY"))
    return "DISPLAY and WAYLAND_DISPLAY are not set";
  std::string why;
  if (HasValue("DISPLAY")) why = std::string("cannot open DISPLAY=") + x11;
  if (HasValue("WAYLAND_DISPLAY"))
    why += std::string(why.empty() ? "" : " or ") + "cannot open WAYLAND_DISPLAY=" + wayland;
  return why;
}

class SdlDriver final : public core::Driver {
 public:
  bool Poll() override {
    if (!open_) return false;
    bool any = false;
    SDL_Event e;
    while (SDL_PollEvent(&e)) any = Handle(e) || any;
    if (dirty_) Present();
    return any;
  }

  void Wait() override {
    if (!open_) {
      // Nothing can ever come; do not spin.
      SDL_Delay(50);
      return;
    }
    if (dirty_) Present();
    SDL_Event e;
    // A quarter of a second at most, so a program that waits never misses
    // something the window system did by itself.
    if (!SDL_WaitEventTimeout(&e, 250)) return;
    bool any = Handle(e);
    while (SDL_PollEvent(&e)) any = Handle(e) || any;
    if (dirty_) Present();
    (void)any;
  }

  uint32_t Now() override { return SDL_GetTicks(); }

  bool OpenDisplay() override {
    if (open_) return true;
    if (failed_) return false;
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    // Without a display the program would run unseen for ever: it stops.
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (asked && !*asked) asked = nullptr;
    if (!asked) {
      const std::string real = RealDrivers();
      if (real.empty()) NoDisplay(WhyNoDisplay(nullptr));
      SDL_SetHint(SDL_HINT_VIDEODRIVER, real.c_str());
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) NoDisplay(WhyNoDisplay(asked));
    WatchX11Connection();
    std::atexit([] { Instance().Close(); });
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0 || desktop.w <= 0 || desktop.h <= 0)
      desktop = SDL_DisplayMode{SDL_PIXELFORMAT_UNKNOWN, 1024, 768, 0, nullptr};
    refresh_ = desktop.refresh_rate > 0 ? desktop.refresh_rate : kDefaultRefresh;
    desktopWidth_ = desktop.w;
    desktopHeight_ = desktop.h;
    core::SetDesktopMode({static_cast<uint32_t>(desktop.w), static_cast<uint32_t>(desktop.h), 32});
    core::SetModeList(
        core::ModesWithDesktop(static_cast<uint32_t>(desktop.w), static_cast<uint32_t>(desktop.h)));
    window_ = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, desktop.w,
                               desktop.h, SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_RESIZABLE);
    if (!window_) {
      std::fprintf(stderr, "kelvo-cube: cannot open a window: %s\n", SDL_GetError());
      failed_ = true;
      return false;
    }
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) {
      std::fprintf(stderr, "kelvo-cube: cannot draw into the window: %s\n", SDL_GetError());
      failed_ = true;
      return false;
    }
    KeepGraphicsLibraries();
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer_, &info) == 0)
      waitsForRefresh_ = (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
    open_ = true;
    lastFlip_ = SDL_GetPerformanceCounter();
    Present();
    return true;
  }

  void Flipped() override {
    Present();
    Pace();
  }

  void ScreenChanged() override { dirty_ = true; }

  void CursorChanged(bool shown) override {
    if (open_) SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
  }

  bool KeepsTrace() const override { return false; }

  static SdlDriver& Instance() {
    static SdlDriver driver;
    return driver;
  }

 private:
  void Close() {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    open_ = false;
    SDL_Quit();
  }

  // True when the program has something new to look at.
  bool Handle(const SDL_Event& e) {
    switch (e.type) {
      case SDL_QUIT:
        if (HWND main = core::MainWindow()) return PostMessageA(main, WM_CLOSE, 0, 0) != 0;
        return false;
      case SDL_KEYDOWN:
      case SDL_KEYUP: return Key(e.key);
      case SDL_MOUSEMOTION: {
        int32_t x = 0, y = 0;
        if (!ToScreen(e.motion.x, e.motion.y, &x, &y)) return false;
        core::MouseMove(x, y);
        return true;
      }
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        int32_t x = 0, y = 0;
        if (e.button.button != SDL_BUTTON_LEFT || !ToScreen(e.button.x, e.button.y, &x, &y))
          return false;
        core::MouseButton(x, y, e.type == SDL_MOUSEBUTTONDOWN);
        return true;
      }
      case SDL_MOUSEWHEEL: {
        int mx = 0, my = 0;
        SDL_GetMouseState(&mx, &my);
        int32_t x = 0, y = 0;
        if (e.wheel.y == 0 || !ToScreen(mx, my, &x, &y)) return false;
        const int32_t notches =
            e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        core::MouseWheel(x, y, notches);
        return true;
      }
      case SDL_WINDOWEVENT:
        switch (e.window.event) {
          case SDL_WINDOWEVENT_FOCUS_GAINED:
          case SDL_WINDOWEVENT_FOCUS_LOST: {
            const bool front = e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED;
            if (front == core::InForeground()) return false;
            core::SetForeground(front);
            dirty_ = true;
            return true;
          }
          case SDL_WINDOWEVENT_EXPOSED:
          case SDL_WINDOWEVENT_SIZE_CHANGED:
          case SDL_WINDOWEVENT_RESIZED:
          case SDL_WINDOWEVENT_RESTORED:
          case SDL_WINDOWEVENT_MAXIMIZED: dirty_ = true; return false;
          default: return false;
        }
      case SDL_RENDER_TARGETS_RESET:
        // What the texture held may be gone: all of the picture again.
        picture_.Reset();
        dirty_ = true;
        return false;
      case SDL_RENDER_DEVICE_RESET:
        // Every texture is gone: a new one, and all of the picture in it.
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = nullptr;
        textureWidth_ = textureHeight_ = 0;
        picture_.Reset();
        dirty_ = true;
        return false;
      default: return false;
    }
  }

  bool Key(const SDL_KeyboardEvent& k) {
    const bool down = k.state == SDL_PRESSED;
    const SDL_Scancode key = k.keysym.scancode;
    const uint8_t scan = ScanCodeOf(key);
    const uint16_t vk = VirtualKeyOf(key, k.keysym.sym, (k.keysym.mod & KMOD_NUM) != 0);
    // Alt+Enter switches between the full screen and a window; the program
    // sees the key on its keyboard device only.
    const bool enter = key == SDL_SCANCODE_RETURN || key == SDL_SCANCODE_KP_ENTER;
    if (enter && (k.keysym.mod & KMOD_ALT)) {
      if (down && !k.repeat) ToggleFullScreen();
      if (scan) core::Key(scan, vk, down, false);
      return false;
    }
    if (!scan && !vk) return false;
    core::Key(scan, vk, down);
    return true;
  }

  void ToggleFullScreen() {
    const bool full = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) ==
                      SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (full) {
      SDL_SetWindowFullscreen(window_, 0);
      // The screen's own size, or a whole multiple of it, within most of the desktop.
      const core::Mode m = core::CurrentMode();
      const int32_t w = m.width ? static_cast<int32_t>(m.width) : 640;
      const int32_t h = m.height ? static_cast<int32_t>(m.height) : 480;
      const core::Placement p =
          core::FitScreen(w, h, desktopWidth_ * 9 / 10, desktopHeight_ * 9 / 10);
      SDL_SetWindowSize(window_, std::max(p.width, 1), std::max(p.height, 1));
      SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    } else {
      // Without a window manager nobody else gives the window the screen.
      SDL_SetWindowPosition(window_, 0, 0);
      SDL_SetWindowSize(window_, desktopWidth_, desktopHeight_);
      SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    dirty_ = true;
  }

  bool ToScreen(int32_t windowX, int32_t windowY, int32_t* x, int32_t* y) const {
    if (!open_ || screenWidth_ <= 0) return false;
    // The renderer's pixels may be finer than the window's coordinates.
    int ww = 0, wh = 0, ow = 0, oh = 0;
    SDL_GetWindowSize(window_, &ww, &wh);
    SDL_GetRendererOutputSize(renderer_, &ow, &oh);
    const int32_t ox = ww > 0 ? static_cast<int32_t>(int64_t{windowX} * ow / ww) : windowX;
    const int32_t oy = wh > 0 ? static_cast<int32_t>(int64_t{windowY} * oh / wh) : windowY;
    return core::OutputToScreen(placement_, screenWidth_, screenHeight_, ox, oy, x, y);
  }

  void Present() {
    dirty_ = false;
    if (!open_) return;
    if (!titled_) {
      // The application's main window names the SDL window and gives its icon.
      if (HWND main = core::MainWindow()) {
        SDL_SetWindowTitle(window_, core::WindowTitle(main).c_str());
        SetIcon(main);
        titled_ = true;
      }
    }
    const core::ScreenView view = core::FrontView();
    int ow = 0, oh = 0;
    SDL_GetRendererOutputSize(renderer_, &ow, &oh);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    screenWidth_ = screenHeight_ = 0;
    const core::Placement placement = core::FitScreen(view.width, view.height, ow, oh);
    // A screen larger than the output is shrunk here, by averaging, and
    // copied pixel for pixel; a smaller one is enlarged by the renderer with
    // sharp pixels.
    const bool shrink = core::Shrinks(placement, view.width, view.height);
    const SDL_Rect used{0, 0, shrink ? placement.width : view.width,
                        shrink ? placement.height : view.height};
    if (view.pixels && placement.width > 0 && Texture(used.w, used.h)) {
      // Only what changed since the last frame goes to the texture; the
      // rest of it still holds the picture.
      const core::Rect changed = picture_.Update(view, used.w, used.h, core::FrontWritten());
      if (picture_.width() == used.w && picture_.height() == used.h) {
        if (!changed.empty()) {
          const SDL_Rect area{changed.x, changed.y, changed.width, changed.height};
          const uint32_t* from = picture_.pixels() +
                                 static_cast<size_t>(changed.y) * picture_.pitch() +
                                 static_cast<size_t>(changed.x);
          if (SDL_UpdateTexture(texture_, &area, from, static_cast<int>(picture_.pitch() * 4)) != 0)
            picture_.Reset();
        }
        placement_ = placement;
        screenWidth_ = view.width;
        screenHeight_ = view.height;
        const SDL_Rect target{placement.x, placement.y, placement.width, placement.height};
        SDL_RenderCopy(renderer_, texture_, &used, &target);
      }
    }
    SDL_RenderPresent(renderer_);
  }

  // One texture for every mode, as large as the largest picture so far, of
  // which each picture uses the top left corner. Made anew for every size,
  // the renderer's buffers of ever other sizes left the heap growing with
  // every mode switch.
  bool Texture(int32_t width, int32_t height) {
    if (texture_ && textureWidth_ >= width && textureHeight_ >= height) return true;
    if (texture_) SDL_DestroyTexture(texture_);
    // Nothing of the picture is in the new one yet.
    picture_.Reset();
    textureWidth_ = std::max(width, textureWidth_);
    textureHeight_ = std::max(height, textureHeight_);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                 textureWidth_, textureHeight_);
    if (!texture_) textureWidth_ = textureHeight_ = 0;
    return texture_ != nullptr;
  }

  void SetIcon(HWND main) {
    int32_t w = 0, h = 0;
    std::vector<uint8_t> rgba;
    if (!core::WindowIcon(main, &w, &h, &rgba)) return;
    SDL_Surface* icon =
        SDL_CreateRGBSurfaceWithFormatFrom(rgba.data(), w, h, 32, w * 4, SDL_PIXELFORMAT_RGBA32);
    if (!icon) return;
    SDL_SetWindowIcon(window_, icon);
    SDL_FreeSurface(icon);
  }

  // A flip waits for the display's refresh. Where presenting does not wait
  // (no vertical sync to be had), the refresh period is waited out here.
  void Pace() {
    const uint64_t frequency = SDL_GetPerformanceFrequency();
    const uint64_t period = frequency / static_cast<uint64_t>(refresh_);
    uint64_t now = SDL_GetPerformanceCounter();
    const uint64_t elapsed = now - lastFlip_;
    if (elapsed < period * 3 / 4 || !waitsForRefresh_) {
      if (elapsed < period) {
        SDL_Delay(static_cast<uint32_t>((period - elapsed) * 1000 / frequency));
        now = SDL_GetPerformanceCounter();
      }
    }
    lastFlip_ = now;
  }

  bool open_ = false;
  bool failed_ = false;
  bool dirty_ = false;
  bool titled_ = false;
  bool waitsForRefresh_ = false;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int32_t textureWidth_ = 0;
  int32_t textureHeight_ = 0;
  int32_t desktopWidth_ = 1024;
  int32_t desktopHeight_ = 768;
  int32_t refresh_ = kDefaultRefresh;
  int32_t screenWidth_ = 0;
  int32_t screenHeight_ = 0;
  core::Placement placement_;
  // The picture as the texture holds it, converted or shrunk from the
  // screen where it changed.
  core::ScreenPicture picture_;
  uint64_t lastFlip_ = 0;
};

}  // namespace
}  // namespace plat::sdl

namespace plat::core {

Driver& TheDriver() { return sdl::SdlDriver::Instance(); }

}  // namespace plat::core
