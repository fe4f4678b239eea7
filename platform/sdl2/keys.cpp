#include "platform/sdl2/keys.h"

#include "platform/dinput.h"
#include "platform/winuser.h"

namespace plat::sdl {
namespace {

struct KeyRow {
  SDL_Scancode key;
  uint8_t scan;
  uint16_t vk;
};

// Everything but letters, which follow one pattern.
constexpr KeyRow kKeys[] = {
    {SDL_SCANCODE_1, DIK_1, '1'},
    {SDL_SCANCODE_2, DIK_2, '2'},
    {SDL_SCANCODE_3, DIK_3, '3'},
    {SDL_SCANCODE_4, DIK_4, '4'},
    {SDL_SCANCODE_5, DIK_5, '5'},
    {SDL_SCANCODE_6, DIK_6, '6'},
    {SDL_SCANCODE_7, DIK_7, '7'},
    {SDL_SCANCODE_8, DIK_8, '8'},
    {SDL_SCANCODE_9, DIK_9, '9'},
    {SDL_SCANCODE_0, DIK_0, '0'},
    {SDL_SCANCODE_RETURN, DIK_RETURN, VK_RETURN},
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE, VK_ESCAPE},
    {SDL_SCANCODE_BACKSPACE, DIK_BACK, VK_BACK},
    {SDL_SCANCODE_TAB, DIK_TAB, VK_TAB},
    {SDL_SCANCODE_SPACE, DIK_SPACE, VK_SPACE},
    {SDL_SCANCODE_MINUS, DIK_MINUS, VK_OEM_MINUS},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS, VK_OEM_PLUS},
    {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET, VK_OEM_4},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET, VK_OEM_6},
    {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH, VK_OEM_5},
    // The key left of Enter on ISO keyboards sits where the backslash is.
    {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH, VK_OEM_5},
    {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON, VK_OEM_1},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE, VK_OEM_7},
    {SDL_SCANCODE_GRAVE, DIK_GRAVE, VK_OEM_3},
    {SDL_SCANCODE_COMMA, DIK_COMMA, VK_OEM_COMMA},
    {SDL_SCANCODE_PERIOD, DIK_PERIOD, VK_OEM_PERIOD},
    {SDL_SCANCODE_SLASH, DIK_SLASH, VK_OEM_2},
    {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL, VK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1, VK_F1},
    {SDL_SCANCODE_F2, DIK_F2, VK_F1 + 1},
    {SDL_SCANCODE_F3, DIK_F3, VK_F1 + 2},
    {SDL_SCANCODE_F4, DIK_F4, VK_F1 + 3},
    {SDL_SCANCODE_F5, DIK_F5, VK_F1 + 4},
    {SDL_SCANCODE_F6, DIK_F6, VK_F1 + 5},
    {SDL_SCANCODE_F7, DIK_F7, VK_F1 + 6},
    {SDL_SCANCODE_F8, DIK_F8, VK_F1 + 7},
    {SDL_SCANCODE_F9, DIK_F9, VK_F1 + 8},
    {SDL_SCANCODE_F10, DIK_F10, VK_F10},
    {SDL_SCANCODE_F11, DIK_F11, VK_F11},
    {SDL_SCANCODE_F12, DIK_F12, VK_F12},
    {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ, VK_SNAPSHOT},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL, VK_SCROLL},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE, VK_PAUSE},
    // The cursor block: extended codes, the keypad's low seven bits.
    {SDL_SCANCODE_INSERT, DIK_INSERT, VK_INSERT},
    {SDL_SCANCODE_HOME, DIK_HOME, VK_HOME},
    {SDL_SCANCODE_PAGEUP, DIK_PRIOR, VK_PRIOR},
    {SDL_SCANCODE_DELETE, DIK_DELETE, VK_DELETE},
    {SDL_SCANCODE_END, DIK_END, VK_END},
    {SDL_SCANCODE_PAGEDOWN, DIK_NEXT, VK_NEXT},
    {SDL_SCANCODE_RIGHT, DIK_RIGHT, VK_RIGHT},
    {SDL_SCANCODE_LEFT, DIK_LEFT, VK_LEFT},
    {SDL_SCANCODE_DOWN, DIK_DOWN, VK_DOWN},
    {SDL_SCANCODE_UP, DIK_UP, VK_UP},
    {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK, VK_NUMLOCK},
    {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE, VK_DIVIDE},
    {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY, VK_MULTIPLY},
    {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT, VK_SUBTRACT},
    {SDL_SCANCODE_KP_PLUS, DIK_ADD, VK_ADD},
    {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER, VK_RETURN},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102, VK_OEM_102},
    {SDL_SCANCODE_APPLICATION, DIK_APPS, VK_APPS},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL, VK_CONTROL},
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT, VK_SHIFT},
    {SDL_SCANCODE_LALT, DIK_LMENU, VK_MENU},
    {SDL_SCANCODE_LGUI, DIK_LWIN, VK_LWIN},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL, VK_CONTROL},
    {SDL_SCANCODE_RSHIFT, DIK_RSHIFT, VK_SHIFT},
    {SDL_SCANCODE_RALT, DIK_RMENU, VK_MENU},
    {SDL_SCANCODE_RGUI, DIK_RWIN, VK_RWIN},
};

// The keypad: its DirectInput code, its virtual key with NumLock on, and
// with NumLock off.
struct PadRow {
  SDL_Scancode key;
  uint8_t scan;
  uint16_t numeric;
  uint16_t navigation;
};

constexpr PadRow kPad[] = {
    {SDL_SCANCODE_KP_7, DIK_NUMPAD7, VK_NUMPAD0 + 7, VK_HOME},
    {SDL_SCANCODE_KP_8, DIK_NUMPAD8, VK_NUMPAD0 + 8, VK_UP},
    {SDL_SCANCODE_KP_9, DIK_NUMPAD9, VK_NUMPAD0 + 9, VK_PRIOR},
    {SDL_SCANCODE_KP_4, DIK_NUMPAD4, VK_NUMPAD0 + 4, VK_LEFT},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5, VK_NUMPAD0 + 5, VK_CLEAR},
    {SDL_SCANCODE_KP_6, DIK_NUMPAD6, VK_NUMPAD0 + 6, VK_RIGHT},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1, VK_NUMPAD0 + 1, VK_END},
    {SDL_SCANCODE_KP_2, DIK_NUMPAD2, VK_NUMPAD0 + 2, VK_DOWN},
    {SDL_SCANCODE_KP_3, DIK_NUMPAD3, VK_NUMPAD0 + 3, VK_NEXT},
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0, VK_NUMPAD0, VK_INSERT},
    {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL, VK_DECIMAL, VK_DELETE},
};

// Set-1 codes of the letters A to Z, by their position on a US keyboard.
constexpr uint8_t kLetters[26] = {DIK_A, DIK_B, DIK_C, DIK_D, DIK_E, DIK_F, DIK_G, DIK_H, DIK_I,
                                  DIK_J, DIK_K, DIK_L, DIK_M, DIK_N, DIK_O, DIK_P, DIK_Q, DIK_R,
                                  DIK_S, DIK_T, DIK_U, DIK_V, DIK_W, DIK_X, DIK_Y, DIK_Z};

}  // namespace

uint8_t ScanCodeOf(SDL_Scancode key) {
  if (key >= SDL_SCANCODE_A && key <= SDL_SCANCODE_Z) return kLetters[key - SDL_SCANCODE_A];
  for (const PadRow& p : kPad)
    if (p.key == key) return p.scan;
  for (const KeyRow& k : kKeys)
    if (k.key == key) return k.scan;
  return 0;
}

uint16_t VirtualKeyOf(SDL_Scancode key, bool numLock) {
  if (key >= SDL_SCANCODE_A && key <= SDL_SCANCODE_Z)
    return static_cast<uint16_t>('A' + (key - SDL_SCANCODE_A));
  for (const PadRow& p : kPad)
    if (p.key == key) return numLock ? p.numeric : p.navigation;
  for (const KeyRow& k : kKeys)
    if (k.key == key) return k.vk;
  return 0;
}

uint16_t VirtualKeyOf(SDL_Scancode key, SDL_Keycode symbol, bool numLock) {
  const bool letterKey = (key >= SDL_SCANCODE_A && key <= SDL_SCANCODE_Z) ||
                         key == SDL_SCANCODE_SEMICOLON || key == SDL_SCANCODE_LEFTBRACKET ||
                         key == SDL_SCANCODE_APOSTROPHE || key == SDL_SCANCODE_COMMA;
  if (letterKey && symbol >= SDLK_a && symbol <= SDLK_z)
    return static_cast<uint16_t>('A' + (symbol - SDLK_a));
  return VirtualKeyOf(key, numLock);
}

}  // namespace plat::sdl
