// Everything the frame keeps from call to call -- the window and the loop's
// flags, the display and keyboard devices, the frame-rate counters, why
// start-up failed -- in one object, zero at start. The members go by the
// names the frame's code uses, so that code reads as if they were plain
// variables. Below the window, the display and the keyboard, which all use it.
#pragma once
#include <cstdint>
#include <string>

#include "platform/ddraw.h"
#include "platform/dinput.h"
#include "platform/winuser.h"

struct DisplayMode {
  int32_t width;
  int32_t height;
  int32_t bitsPerPixel;
};

constexpr uint32_t kKeyBufferSize = 10;

struct FrameState {
  // The window and the loop.
  plat::HINSTANCE appInstance = nullptr;
  plat::HWND mainWindow = nullptr;  // null again once the window is destroyed
  plat::HACCEL accelTable = nullptr;
  int32_t active = 0;  // wParam of the last WM_ACTIVATEAPP
  int32_t paused = 0;  // 0 or 1
  // The first reason start-up failed, or empty; a plain array, so the whole
  // state is constant-initialised on every compiler and library.
  char startupFailure[512] = {};

  // The display.
  plat::IDirectDraw* ddraw = nullptr;
  plat::IDirectDrawSurface* primarySurface = nullptr;
  plat::IDirectDrawSurface* backBuffer = nullptr;
  plat::IDirectDrawPalette* palette = nullptr;
  // The frame holds the back buffer locked while it draws the faces.
  bool frameLocked = false;
  // The mode the last fully successful DDApp::SetMode entered; zeros before.
  DisplayMode currentMode = {0, 0, 0};

  // The keyboard.
  plat::IDirectInput* dinput = nullptr;
  plat::IDirectInputDevice* keyboard = nullptr;
  plat::DIDEVICEOBJECTDATA keyBuffer[kKeyBufferSize] = {};

  // The frame rate, unsigned 32-bit with wrap-around arithmetic.
  uint32_t frameCount = 0;
  uint32_t fps = 0;
  uint32_t fpsTime = 0;
  uint32_t fpsFrames = 0;
};
extern FrameState frameState;

inline plat::HINSTANCE& appInstance = frameState.appInstance;
inline plat::HWND& mainWindow = frameState.mainWindow;
inline plat::HACCEL& accelTable = frameState.accelTable;
inline int32_t& active = frameState.active;
inline int32_t& paused = frameState.paused;
inline plat::IDirectDraw*& ddraw = frameState.ddraw;
inline plat::IDirectDrawSurface*& primarySurface = frameState.primarySurface;
inline plat::IDirectDrawSurface*& backBuffer = frameState.backBuffer;
inline plat::IDirectDrawPalette*& palette = frameState.palette;
inline bool& frameLocked = frameState.frameLocked;
inline DisplayMode& currentMode = frameState.currentMode;
inline plat::IDirectInput*& dinput = frameState.dinput;
inline plat::IDirectInputDevice*& keyboard = frameState.keyboard;
inline plat::DIDEVICEOBJECTDATA (&keyBuffer)[kKeyBufferSize] = frameState.keyBuffer;
inline uint32_t& frameCount = frameState.frameCount;
inline uint32_t& fpsTime = frameState.fpsTime;
inline uint32_t& fpsFrames = frameState.fpsFrames;
// fps is the application's too: ddapp.h names it.

// Ends the frame's lock on the back buffer, where it holds one, and tells the
// display that what the frame wrote through it lies in `drawn`: the memory is
// the program's only while locked, and the text's device context and the flip
// need the surface unlocked.
void UnlockBackBuffer(const plat::RECT& drawn);

// The first reason start-up failed, or empty; later reasons are dropped, and
// one longer than 511 bytes is cut there.
const char* StartupFailure();
void NoteStartupFailure(const std::string& reason);

// The frame's state and the screen it describes back to their zero start
// values, without releasing anything: for running the frame again in one
// process (tests, scripted runs) after the platform itself was reset.
void ResetFrameState();
