#include "platform/sdl2/keys.h"

#include "platform/core/keys.h"

namespace plat::sdl {

uint8_t ScanCodeOf(SDL_Scancode key) { return core::ScanCodeOfUsage(key); }

uint16_t VirtualKeyOf(SDL_Scancode key, bool numLock) {
  return core::VirtualKeyOfUsage(key, numLock);
}

uint16_t VirtualKeyOf(SDL_Scancode key, SDL_Keycode symbol, bool numLock) {
  const char letter = symbol >= SDLK_a && symbol <= SDLK_z ? static_cast<char>(symbol) : 0;
  return core::VirtualKeyOfUsage(key, letter, numLock);
}

}  // namespace plat::sdl
