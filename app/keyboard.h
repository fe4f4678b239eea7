// The buffered keyboard: created with the devices, read after every frame,
// each event handed to the application. Uses the frame's state.
#pragma once
#include <cstdint>

#include "app/frame_state.h"
#include "platform/dinput.h"

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
