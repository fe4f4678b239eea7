#include "platform/core/keys.h"

#include <cstring>

#include "platform/dinput.h"
#include "platform/winuser.h"

namespace plat::core {
namespace {

struct KeyRow {
  uint8_t usage;  // USB HID keyboard page
  uint8_t scan;
  uint16_t vk;
  // With NumLock off, where it differs (the keypad).
  uint16_t vkNavigation;
  // Where layouts put letters (AZERTY's M on the semicolon, for one).
  bool letterKey;
  const char* code;
};

constexpr KeyRow kKeys[] = {
    {0x04, DIK_A, 'A', 0, true, "KeyA"},
    {0x05, DIK_B, 'B', 0, true, "KeyB"},
    {0x06, DIK_C, 'C', 0, true, "KeyC"},
    {0x07, DIK_D, 'D', 0, true, "KeyD"},
    {0x08, DIK_E, 'E', 0, true, "KeyE"},
    {0x09, DIK_F, 'F', 0, true, "KeyF"},
    {0x0A, DIK_G, 'G', 0, true, "KeyG"},
    {0x0B, DIK_H, 'H', 0, true, "KeyH"},
    {0x0C, DIK_I, 'I', 0, true, "KeyI"},
    {0x0D, DIK_J, 'J', 0, true, "KeyJ"},
    {0x0E, DIK_K, 'K', 0, true, "KeyK"},
    {0x0F, DIK_L, 'L', 0, true, "KeyL"},
    {0x10, DIK_M, 'M', 0, true, "KeyM"},
    {0x11, DIK_N, 'N', 0, true, "KeyN"},
    {0x12, DIK_O, 'O', 0, true, "KeyO"},
    {0x13, DIK_P, 'P', 0, true, "KeyP"},
    {0x14, DIK_Q, 'Q', 0, true, "KeyQ"},
    {0x15, DIK_R, 'R', 0, true, "KeyR"},
    {0x16, DIK_S, 'S', 0, true, "KeyS"},
    {0x17, DIK_T, 'T', 0, true, "KeyT"},
    {0x18, DIK_U, 'U', 0, true, "KeyU"},
    {0x19, DIK_V, 'V', 0, true, "KeyV"},
    {0x1A, DIK_W, 'W', 0, true, "KeyW"},
    {0x1B, DIK_X, 'X', 0, true, "KeyX"},
    {0x1C, DIK_Y, 'Y', 0, true, "KeyY"},
    {0x1D, DIK_Z, 'Z', 0, true, "KeyZ"},
    {0x1E, DIK_1, '1', 0, false, "Digit1"},
    {0x1F, DIK_2, '2', 0, false, "Digit2"},
    {0x20, DIK_3, '3', 0, false, "Digit3"},
    {0x21, DIK_4, '4', 0, false, "Digit4"},
    {0x22, DIK_5, '5', 0, false, "Digit5"},
    {0x23, DIK_6, '6', 0, false, "Digit6"},
    {0x24, DIK_7, '7', 0, false, "Digit7"},
    {0x25, DIK_8, '8', 0, false, "Digit8"},
    {0x26, DIK_9, '9', 0, false, "Digit9"},
    {0x27, DIK_0, '0', 0, false, "Digit0"},
    {0x28, DIK_RETURN, VK_RETURN, 0, false, "Enter"},
    {0x29, DIK_ESCAPE, VK_ESCAPE, 0, false, "Escape"},
    {0x2A, DIK_BACK, VK_BACK, 0, false, "Backspace"},
    {0x2B, DIK_TAB, VK_TAB, 0, false, "Tab"},
    {0x2C, DIK_SPACE, VK_SPACE, 0, false, "Space"},
    {0x2D, DIK_MINUS, VK_OEM_MINUS, 0, false, "Minus"},
    {0x2E, DIK_EQUALS, VK_OEM_PLUS, 0, false, "Equal"},
    {0x2F, DIK_LBRACKET, VK_OEM_4, 0, true, "BracketLeft"},
    {0x30, DIK_RBRACKET, VK_OEM_6, 0, false, "BracketRight"},
    {0x31, DIK_BACKSLASH, VK_OEM_5, 0, false, "Backslash"},
    // The key left of Enter on ISO keyboards sits where the backslash is;
    // browsers call it "Backslash" too.
    {0x32, DIK_BACKSLASH, VK_OEM_5, 0, false, nullptr},
    {0x33, DIK_SEMICOLON, VK_OEM_1, 0, true, "Semicolon"},
    {0x34, DIK_APOSTROPHE, VK_OEM_7, 0, true, "Quote"},
    {0x35, DIK_GRAVE, VK_OEM_3, 0, false, "Backquote"},
    {0x36, DIK_COMMA, VK_OEM_COMMA, 0, true, "Comma"},
    {0x37, DIK_PERIOD, VK_OEM_PERIOD, 0, false, "Period"},
    {0x38, DIK_SLASH, VK_OEM_2, 0, false, "Slash"},
    {0x39, DIK_CAPITAL, VK_CAPITAL, 0, false, "CapsLock"},
    {0x3A, DIK_F1, VK_F1, 0, false, "F1"},
    {0x3B, DIK_F2, VK_F1 + 1, 0, false, "F2"},
    {0x3C, DIK_F3, VK_F1 + 2, 0, false, "F3"},
    {0x3D, DIK_F4, VK_F1 + 3, 0, false, "F4"},
    {0x3E, DIK_F5, VK_F1 + 4, 0, false, "F5"},
    {0x3F, DIK_F6, VK_F1 + 5, 0, false, "F6"},
    {0x40, DIK_F7, VK_F1 + 6, 0, false, "F7"},
    {0x41, DIK_F8, VK_F1 + 7, 0, false, "F8"},
    {0x42, DIK_F9, VK_F1 + 8, 0, false, "F9"},
    {0x43, DIK_F10, VK_F10, 0, false, "F10"},
    {0x44, DIK_F11, VK_F11, 0, false, "F11"},
    {0x45, DIK_F12, VK_F12, 0, false, "F12"},
    {0x46, DIK_SYSRQ, VK_SNAPSHOT, 0, false, "PrintScreen"},
    {0x47, DIK_SCROLL, VK_SCROLL, 0, false, "ScrollLock"},
    {0x48, DIK_PAUSE, VK_PAUSE, 0, false, "Pause"},
    // The cursor block: extended codes, the keypad's low seven bits.
    {0x49, DIK_INSERT, VK_INSERT, 0, false, "Insert"},
    {0x4A, DIK_HOME, VK_HOME, 0, false, "Home"},
    {0x4B, DIK_PRIOR, VK_PRIOR, 0, false, "PageUp"},
    {0x4C, DIK_DELETE, VK_DELETE, 0, false, "Delete"},
    {0x4D, DIK_END, VK_END, 0, false, "End"},
    {0x4E, DIK_NEXT, VK_NEXT, 0, false, "PageDown"},
    {0x4F, DIK_RIGHT, VK_RIGHT, 0, false, "ArrowRight"},
    {0x50, DIK_LEFT, VK_LEFT, 0, false, "ArrowLeft"},
    {0x51, DIK_DOWN, VK_DOWN, 0, false, "ArrowDown"},
    {0x52, DIK_UP, VK_UP, 0, false, "ArrowUp"},
    {0x53, DIK_NUMLOCK, VK_NUMLOCK, 0, false, "NumLock"},
    {0x54, DIK_DIVIDE, VK_DIVIDE, 0, false, "NumpadDivide"},
    {0x55, DIK_MULTIPLY, VK_MULTIPLY, 0, false, "NumpadMultiply"},
    {0x56, DIK_SUBTRACT, VK_SUBTRACT, 0, false, "NumpadSubtract"},
    {0x57, DIK_ADD, VK_ADD, 0, false, "NumpadAdd"},
    {0x58, DIK_NUMPADENTER, VK_RETURN, 0, false, "NumpadEnter"},
    {0x59, DIK_NUMPAD1, VK_NUMPAD0 + 1, VK_END, false, "Numpad1"},
    {0x5A, DIK_NUMPAD2, VK_NUMPAD0 + 2, VK_DOWN, false, "Numpad2"},
    {0x5B, DIK_NUMPAD3, VK_NUMPAD0 + 3, VK_NEXT, false, "Numpad3"},
    {0x5C, DIK_NUMPAD4, VK_NUMPAD0 + 4, VK_LEFT, false, "Numpad4"},
    {0x5D, DIK_NUMPAD5, VK_NUMPAD0 + 5, VK_CLEAR, false, "Numpad5"},
    {0x5E, DIK_NUMPAD6, VK_NUMPAD0 + 6, VK_RIGHT, false, "Numpad6"},
    {0x5F, DIK_NUMPAD7, VK_NUMPAD0 + 7, VK_HOME, false, "Numpad7"},
    {0x60, DIK_NUMPAD8, VK_NUMPAD0 + 8, VK_UP, false, "Numpad8"},
    {0x61, DIK_NUMPAD9, VK_NUMPAD0 + 9, VK_PRIOR, false, "Numpad9"},
    {0x62, DIK_NUMPAD0, VK_NUMPAD0, VK_INSERT, false, "Numpad0"},
    {0x63, DIK_DECIMAL, VK_DECIMAL, VK_DELETE, false, "NumpadDecimal"},
    {0x64, DIK_OEM_102, VK_OEM_102, 0, false, "IntlBackslash"},
    {0x65, DIK_APPS, VK_APPS, 0, false, "ContextMenu"},
    {0xE0, DIK_LCONTROL, VK_CONTROL, 0, false, "ControlLeft"},
    {0xE1, DIK_LSHIFT, VK_SHIFT, 0, false, "ShiftLeft"},
    {0xE2, DIK_LMENU, VK_MENU, 0, false, "AltLeft"},
    {0xE3, DIK_LWIN, VK_LWIN, 0, false, "MetaLeft"},
    {0xE4, DIK_RCONTROL, VK_CONTROL, 0, false, "ControlRight"},
    {0xE5, DIK_RSHIFT, VK_SHIFT, 0, false, "ShiftRight"},
    {0xE6, DIK_RMENU, VK_MENU, 0, false, "AltRight"},
    {0xE7, DIK_RWIN, VK_RWIN, 0, false, "MetaRight"},
};

const KeyRow* RowOf(int usage) {
  for (const KeyRow& k : kKeys)
    if (k.usage == usage) return &k;
  return nullptr;
}

}  // namespace

uint8_t ScanCodeOfUsage(int usage) {
  const KeyRow* k = RowOf(usage);
  return k ? k->scan : 0;
}

uint16_t VirtualKeyOfUsage(int usage, bool numLock) {
  const KeyRow* k = RowOf(usage);
  if (!k) return 0;
  return numLock || !k->vkNavigation ? k->vk : k->vkNavigation;
}

uint16_t VirtualKeyOfUsage(int usage, char layoutLetter, bool numLock) {
  const KeyRow* k = RowOf(usage);
  if (k && k->letterKey) {
    if (layoutLetter >= 'a' && layoutLetter <= 'z')
      return static_cast<uint16_t>('A' + (layoutLetter - 'a'));
    if (layoutLetter >= 'A' && layoutLetter <= 'Z') return static_cast<uint16_t>(layoutLetter);
  }
  return VirtualKeyOfUsage(usage, numLock);
}

int UsageOfCode(const char* code) {
  if (!code || !*code) return 0;
  for (const KeyRow& k : kKeys)
    if (k.code && std::strcmp(k.code, code) == 0) return k.usage;
  return 0;
}

const char* CodeOfUsage(int usage) {
  const KeyRow* k = RowOf(usage);
  return k ? k->code : nullptr;
}

}  // namespace plat::core
