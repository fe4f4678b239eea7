// SDL's keys as the program's platform knows them (platform/core/keys.h):
// SDL's scancodes are the keys' USB HID usages.
#pragma once
#include <SDL_keyboard.h>

#include <cstdint>

namespace plat::sdl {

// 0 for a key DirectInput has no code for.
uint8_t ScanCodeOf(SDL_Scancode key);
// By position; keypad digits give the navigation keys with NumLock off, as
// on Windows. 0 for none.
uint16_t VirtualKeyOf(SDL_Scancode key, bool numLock);
// As above, but a letter key gives the letter the keyboard layout puts on it
// (symbol is SDL's layout-aware keycode).
uint16_t VirtualKeyOf(SDL_Scancode key, SDL_Keycode symbol, bool numLock);

}  // namespace plat::sdl
