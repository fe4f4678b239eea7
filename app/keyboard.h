// The buffered keyboard, the frame-rate count and (in DDApp) the overlay text:
// what sits around each frame.
#pragma once
#include <cstdint>

#include "platform/dinput.h"

struct KeyEvent;

constexpr uint32_t kKeyBufferSize = 10;

extern plat::IDirectInput* dinput;
extern plat::IDirectInputDevice* keyboard;
extern plat::DIDEVICEOBJECTDATA keyBuffer[kKeyBufferSize];

// The keyboard steps of device creation; 0 at the first failing step but the
// last (the acquisition, whose result does not matter).
int32_t CreateKeyboard(plat::HINSTANCE instance, plat::HWND window);
// Unacquires and releases the keyboard, then releases DirectInput.
void ReleaseKeyboard();
// Hands each buffered key event to theApp's OnKeyEvent; re-acquires a lost
// keyboard; drops a batch that overflowed or failed.
void PollKeyboard();
// bits 0-6: scan code & 0x7F; bit 7: key down; bit 8: scan code 0x80 or above.
constexpr int32_t KeyCode(const plat::DIDEVICEOBJECTDATA& record) {
  return static_cast<int32_t>((record.dwData & 0x80) | ((record.dwOfs & 0x80) << 1) |
                              (record.dwOfs & 0x7F));
}

// Frame-rate state, all unsigned 32-bit with wrap-around arithmetic.
extern uint32_t frameCount;
extern uint32_t fpsTime;
extern uint32_t fpsFrames;
// Counts one drawn frame; recomputes fps once more than 1000 ms have passed.
void CountFrame();
