// SDL's keys turned into DirectInput scan codes and Windows virtual keys.
#include "platform/sdl2/keys.h"

#include <gtest/gtest.h>

#include "platform/core/keys.h"
#include "platform/dinput.h"
#include "platform/winuser.h"

namespace {

using namespace plat;
using plat::sdl::ScanCodeOf;
using plat::sdl::VirtualKeyOf;

TEST(SdlKeys, TheSceneKeysHaveTheirSetOneCodes) {
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_1), DIK_1);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_6), DIK_6);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_0), DIK_0);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_ESCAPE), DIK_ESCAPE);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_F1), DIK_F1);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_F10), DIK_F10);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_F12), DIK_F12);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_KP_5), DIK_NUMPAD5);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_KP_8), DIK_NUMPAD8);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_KP_7), DIK_NUMPAD7);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_KP_3), DIK_NUMPAD3);
}

TEST(SdlKeys, LettersGoByPositionOnTheKeyboard) {
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_Q), DIK_Q);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_A), DIK_A);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_Z), DIK_Z);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_M), DIK_M);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_P), DIK_P);
  for (int k = SDL_SCANCODE_A; k <= SDL_SCANCODE_Z; ++k) {
    EXPECT_NE(ScanCodeOf(static_cast<SDL_Scancode>(k)), 0) << k;
    EXPECT_EQ(VirtualKeyOf(static_cast<SDL_Scancode>(k), false), 'A' + (k - SDL_SCANCODE_A)) << k;
  }
}

TEST(SdlKeys, TheCursorBlockIsExtendedAndSharesTheKeypadsLowBits) {
  const struct {
    SDL_Scancode block;
    SDL_Scancode pad;
  } pairs[] = {
      {SDL_SCANCODE_UP, SDL_SCANCODE_KP_8},     {SDL_SCANCODE_DOWN, SDL_SCANCODE_KP_2},
      {SDL_SCANCODE_LEFT, SDL_SCANCODE_KP_4},   {SDL_SCANCODE_RIGHT, SDL_SCANCODE_KP_6},
      {SDL_SCANCODE_HOME, SDL_SCANCODE_KP_7},   {SDL_SCANCODE_PAGEUP, SDL_SCANCODE_KP_9},
      {SDL_SCANCODE_END, SDL_SCANCODE_KP_1},    {SDL_SCANCODE_PAGEDOWN, SDL_SCANCODE_KP_3},
      {SDL_SCANCODE_INSERT, SDL_SCANCODE_KP_0}, {SDL_SCANCODE_DELETE, SDL_SCANCODE_KP_PERIOD}};
  for (const auto& p : pairs) {
    const uint8_t block = ScanCodeOf(p.block), pad = ScanCodeOf(p.pad);
    EXPECT_NE(block & 0x80, 0) << p.block;
    EXPECT_EQ(pad & 0x80, 0) << p.pad;
    EXPECT_EQ(block & 0x7F, pad) << p.block;
    // With NumLock off the keypad moves like the cursor block.
    EXPECT_EQ(VirtualKeyOf(p.pad, false), VirtualKeyOf(p.block, false)) << p.pad;
  }
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_KP_ENTER), DIK_NUMPADENTER);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_RCTRL), DIK_RCONTROL);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_RALT), DIK_RMENU);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_KP_DIVIDE), DIK_DIVIDE);
}

TEST(SdlKeys, VirtualKeysForAcceleratorsAndMenus) {
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_ESCAPE, true), VK_ESCAPE);
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_F1, true), VK_F1);
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_F10, true), VK_F10);
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_F12, true), VK_F12);
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_RETURN, true), VK_RETURN);
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_KP_ENTER, true), VK_RETURN);
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_LALT, true), VK_MENU);
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_RALT, true), VK_MENU);
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_4, true), '4');
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_KP_5, true), VK_NUMPAD0 + 5);
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_KP_5, false), VK_CLEAR);
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_UP, true), VK_UP);
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_UP, false), VK_UP);
}

TEST(SdlKeys, ALetterFollowsTheLayoutOnlyForLetters) {
  // A French layout puts A where Q is; the scan code stays the position's.
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_Q, SDLK_a, true), 'A');
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_Q), DIK_Q);
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_SEMICOLON, SDLK_m, true), 'M');
  // A key that gives no letter keeps its positional key.
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_A, SDLK_UNKNOWN, true), 'A');
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_F1, SDLK_a, true), VK_F1);
}

TEST(SdlKeys, ABrowsersKeyNameGivesWhatSdlGivesForTheSameKey) {
  // SDL's names for a few keys of each block against the browser's.
  const struct {
    const char* code;
    SDL_Scancode key;
  } same[] = {{"KeyQ", SDL_SCANCODE_Q},
              {"Digit7", SDL_SCANCODE_7},
              {"Enter", SDL_SCANCODE_RETURN},
              {"Backquote", SDL_SCANCODE_GRAVE},
              {"Quote", SDL_SCANCODE_APOSTROPHE},
              {"F10", SDL_SCANCODE_F10},
              {"PrintScreen", SDL_SCANCODE_PRINTSCREEN},
              {"ArrowLeft", SDL_SCANCODE_LEFT},
              {"NumLock", SDL_SCANCODE_NUMLOCKCLEAR},
              {"Numpad5", SDL_SCANCODE_KP_5},
              {"NumpadDecimal", SDL_SCANCODE_KP_PERIOD},
              {"NumpadEnter", SDL_SCANCODE_KP_ENTER},
              {"IntlBackslash", SDL_SCANCODE_NONUSBACKSLASH},
              {"ContextMenu", SDL_SCANCODE_APPLICATION},
              {"AltRight", SDL_SCANCODE_RALT},
              {"MetaLeft", SDL_SCANCODE_LGUI}};
  for (const auto& k : same) EXPECT_EQ(core::UsageOfCode(k.code), k.key) << k.code;
  // Every key SDL has a code for, but the ISO key browsers call Backslash,
  // has a browser name that leads to the same codes.
  for (int k = 0; k < SDL_NUM_SCANCODES; ++k) {
    const auto key = static_cast<SDL_Scancode>(k);
    if (!ScanCodeOf(key) || key == SDL_SCANCODE_NONUSHASH) continue;
    const char* code = core::CodeOfUsage(k);
    ASSERT_NE(code, nullptr) << SDL_GetScancodeName(key);
    const int usage = core::UsageOfCode(code);
    EXPECT_EQ(core::ScanCodeOfUsage(usage), ScanCodeOf(key)) << code;
    for (bool numLock : {false, true})
      EXPECT_EQ(core::VirtualKeyOfUsage(usage, numLock), VirtualKeyOf(key, numLock)) << code;
  }
}

TEST(SdlKeys, KeysWithoutACodeGiveNone) {
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_UNKNOWN), 0);
  EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_UNKNOWN, true), 0);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_F24), 0);
  EXPECT_EQ(ScanCodeOf(SDL_SCANCODE_AUDIOPLAY), 0);
}

}  // namespace
