// The contract between the application frame and the one application it
// drives: six virtual operations, three members, the screen, key events and
// the frame rate.
#pragma once
#include <cstdint>

#include "app/frame_view.h"
#include "platform/types.h"

struct KeyEvent {
  int32_t kind;  // always 1: a keyboard event
  int32_t time;  // milliseconds of the system clock
  int32_t code;  // bits 0-6 scan code & 0x7F, bit 7 key down, bit 8 extended
};

class DDApp {
 public:
  explicit DDApp(const char* name);
  // Not virtual: there is exactly one application object and it lives for the
  // whole process.
  ~DDApp() = default;
  DDApp(const DDApp&) = delete;
  DDApp& operator=(const DDApp&) = delete;

  virtual int32_t Init() = 0;
  virtual void Shutdown() = 0;
  virtual int32_t SetMode(int32_t width, int32_t height, int32_t bitsPerPixel);
  virtual void RenderFrame() = 0;
  virtual void OnKeyEvent(const KeyEvent* event) = 0;
  virtual plat::LRESULT HandleMessage(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                                      plat::LPARAM lParam) = 0;

  void UpdateFrame();
  // Ends the frame's hold on frameBuffer: draw the faces before the text.
  void DrawString(int32_t x, int32_t y, const char* text);

  // The back buffer's pixels, locked from before RenderFrame until its first
  // DrawString (or its end): not to be written through after that.
  void* frameBuffer = nullptr;
  const char* appName = nullptr;
  const uint8_t* paletteSource = nullptr;
  // Why Init failed, when the derived class can say; printed by the frame.
  const char* initError = nullptr;
  // Where RenderFrame stored pixels through frameBuffer, right and bottom
  // out: the whole screen before each RenderFrame, for the application to
  // narrow, so the display need show anew only that part (and the text).
  plat::RECT drawnArea = {0, 0, 0, 0};
};

extern DDApp* theApp;
// Frames per second over the last measured interval; the frame keeps it with
// its other counters.
extern uint32_t& fps;
