// The keyboard's keys as the program knows them, the same for every backend:
// each physical key, named by its USB HID keyboard usage (SDL's scancodes are
// these numbers) or by a browser's KeyboardEvent.code, gives the DirectInput
// scan code (set 1, extended keys with bit 7) and the virtual key Windows
// would give it for accelerators and menus.
#pragma once
#include <cstdint>

namespace plat::core {

// 0 for a key DirectInput has no code for.
uint8_t ScanCodeOfUsage(int usage);
// By position; keypad digits give the navigation keys with NumLock off, as
// on Windows. 0 for none.
uint16_t VirtualKeyOfUsage(int usage, bool numLock);
// As above, but a letter key gives the letter the keyboard layout puts on it
// (a to z in either case; anything else, or 0, keeps the positional key):
// SDL's keycode, or a browser's KeyboardEvent.key when it is one character.
uint16_t VirtualKeyOfUsage(int usage, char layoutLetter, bool numLock);

// The usage of a KeyboardEvent.code ("KeyA", "Numpad5", "ArrowLeft"); 0 for
// an unknown name, an empty one or nullptr.
int UsageOfCode(const char* code);
// The other way; nullptr for a usage the table has no name for.
const char* CodeOfUsage(int usage);

}  // namespace plat::core
