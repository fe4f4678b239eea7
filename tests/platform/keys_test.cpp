// The one key table every backend's driver maps through: USB usages and
// browser key names to DirectInput scan codes and Windows virtual keys.
#include "platform/core/keys.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "platform/dinput.h"
#include "platform/winuser.h"

namespace {

using namespace plat;
using namespace plat::core;

// Every usage of the keyboard page.
constexpr int kUsages = 256;

// The usage of a name made by printf ("Key%c" and 'Q': KeyQ).
int UsageOf(const char* format, int n) {
  char code[16];
  std::snprintf(code, sizeof code, format, n);
  return UsageOfCode(code);
}

TEST(Keys, EveryNameLeadsBackToItsKeyAndNoTwoKeysShareANameOrScanCode) {
  std::set<std::string> names;
  std::set<int> scans;
  int named = 0;
  for (int usage = 0; usage < kUsages; ++usage) {
    const char* code = CodeOfUsage(usage);
    if (!code) continue;
    ++named;
    EXPECT_TRUE(names.insert(code).second) << code;
    EXPECT_EQ(UsageOfCode(code), usage) << code;
    EXPECT_TRUE(scans.insert(ScanCodeOfUsage(usage)).second) << code;
    EXPECT_NE(ScanCodeOfUsage(usage), 0) << code;
    EXPECT_NE(VirtualKeyOfUsage(usage, true), 0) << code;
  }
  // Letters, digits, F1 to F12, the keypad and the modifiers at least.
  EXPECT_GE(named, 26 + 10 + 12 + 17 + 8);
}

TEST(Keys, BrowserNamesAreTheUsbUsagesSdlAlsoUses) {
  // Usages from the USB HID keyboard page, one or two from each block.
  const struct {
    const char* code;
    int usage;
  } keys[] = {{"KeyA", 0x04},        {"KeyZ", 0x1D},     {"Digit1", 0x1E},
              {"Digit0", 0x27},      {"Enter", 0x28},    {"Escape", 0x29},
              {"Backquote", 0x35},   {"F1", 0x3A},       {"F12", 0x45},
              {"ArrowRight", 0x4F},  {"ArrowUp", 0x52},  {"NumpadEnter", 0x58},
              {"Numpad1", 0x59},     {"Numpad0", 0x62},  {"IntlBackslash", 0x64},
              {"ControlLeft", 0xE0}, {"AltRight", 0xE6}, {"MetaRight", 0xE7}};
  for (const auto& k : keys) EXPECT_EQ(UsageOfCode(k.code), k.usage) << k.code;
}

TEST(Keys, LettersDigitsAndFunctionKeysGiveTheirOwnVirtualKeys) {
  for (char c = 'A'; c <= 'Z'; ++c) {
    const int usage = UsageOf("Key%c", c);
    EXPECT_EQ(VirtualKeyOfUsage(usage, false), c) << c;
  }
  EXPECT_EQ(ScanCodeOfUsage(UsageOfCode("KeyQ")), DIK_Q);
  EXPECT_EQ(ScanCodeOfUsage(UsageOfCode("KeyM")), DIK_M);
  for (char c = '0'; c <= '9'; ++c) {
    const int usage = UsageOf("Digit%c", c);
    EXPECT_EQ(VirtualKeyOfUsage(usage, true), c) << c;
  }
  for (int n = 1; n <= 12; ++n) {
    const int usage = UsageOf("F%d", n);
    EXPECT_EQ(VirtualKeyOfUsage(usage, true), VK_F1 + n - 1) << n;
  }
  EXPECT_EQ(ScanCodeOfUsage(UsageOfCode("F11")), DIK_F11);
  // Both Enter keys are Return to the program; DirectInput tells them apart.
  EXPECT_EQ(VirtualKeyOfUsage(UsageOfCode("NumpadEnter"), true), VK_RETURN);
  EXPECT_EQ(ScanCodeOfUsage(UsageOfCode("NumpadEnter")), DIK_NUMPADENTER);
  EXPECT_EQ(VirtualKeyOfUsage(UsageOfCode("AltRight"), true), VK_MENU);
}

TEST(Keys, TheKeypadFollowsNumLockAndTheCursorBlockIsItsExtendedTwin) {
  const struct {
    const char* pad;
    const char* block;
  } pairs[] = {{"Numpad8", "ArrowUp"},     {"Numpad2", "ArrowDown"}, {"Numpad4", "ArrowLeft"},
               {"Numpad6", "ArrowRight"},  {"Numpad7", "Home"},      {"Numpad9", "PageUp"},
               {"Numpad1", "End"},         {"Numpad3", "PageDown"},  {"Numpad0", "Insert"},
               {"NumpadDecimal", "Delete"}};
  for (const auto& p : pairs) {
    const int pad = UsageOfCode(p.pad), block = UsageOfCode(p.block);
    EXPECT_EQ(ScanCodeOfUsage(pad) & 0x80, 0) << p.pad;
    EXPECT_EQ(ScanCodeOfUsage(block), ScanCodeOfUsage(pad) | 0x80) << p.block;
    EXPECT_EQ(VirtualKeyOfUsage(pad, false), VirtualKeyOfUsage(block, true)) << p.pad;
    EXPECT_EQ(VirtualKeyOfUsage(block, false), VirtualKeyOfUsage(block, true)) << p.block;
  }
  for (char c = '0'; c <= '9'; ++c) {
    const int usage = UsageOf("Numpad%c", c);
    EXPECT_EQ(VirtualKeyOfUsage(usage, true), VK_NUMPAD0 + (c - '0')) << c;
  }
  EXPECT_EQ(VirtualKeyOfUsage(UsageOfCode("Numpad5"), false), VK_CLEAR);
  EXPECT_EQ(VirtualKeyOfUsage(UsageOfCode("NumpadDecimal"), true), VK_DECIMAL);
  // NumLock moves nothing but the keypad's digits and point.
  int moved = 0;
  for (int usage = 0; usage < kUsages; ++usage)
    moved += VirtualKeyOfUsage(usage, true) != VirtualKeyOfUsage(usage, false);
  EXPECT_EQ(moved, 11);
}

TEST(Keys, ALetterFollowsTheLayoutOnlyOnKeysThatCarryLetters) {
  const int q = UsageOfCode("KeyQ");
  // A French layout puts A where Q is; the scan code stays the position's.
  EXPECT_EQ(VirtualKeyOfUsage(q, 'a', true), 'A');
  EXPECT_EQ(VirtualKeyOfUsage(q, 'A', true), 'A');
  EXPECT_EQ(VirtualKeyOfUsage(UsageOfCode("Semicolon"), 'm', true), 'M');
  // No letter, or not one of a to z: the positional key.
  EXPECT_EQ(VirtualKeyOfUsage(q, 0, true), 'Q');
  EXPECT_EQ(VirtualKeyOfUsage(q, '1', true), 'Q');
  EXPECT_EQ(VirtualKeyOfUsage(q, static_cast<char>(0xC3), true), 'Q');
  EXPECT_EQ(VirtualKeyOfUsage(UsageOfCode("F1"), 'a', true), VK_F1);
  EXPECT_EQ(VirtualKeyOfUsage(UsageOfCode("Digit2"), 'e', true), '2');
  EXPECT_EQ(VirtualKeyOfUsage(UsageOfCode("Numpad5"), 'a', false), VK_CLEAR);
}

TEST(Keys, UnknownKeysAndNamesGiveNone) {
  for (const char* code : {static_cast<const char*>(nullptr), "", "keya", "KeyA ", "Key", "Numpad",
                           "Numpad10", "F13", "Fn", "Unidentified"})
    EXPECT_EQ(UsageOfCode(code), 0) << (code ? code : "nullptr");
  for (int usage : {0, -1, 0x68 /* F13 */, 0xE8, 0x104, 100000}) {
    EXPECT_EQ(ScanCodeOfUsage(usage), 0) << usage;
    EXPECT_EQ(VirtualKeyOfUsage(usage, true), 0) << usage;
    EXPECT_EQ(VirtualKeyOfUsage(usage, 'a', true), 0) << usage;
    EXPECT_EQ(CodeOfUsage(usage), nullptr) << usage;
  }
  // The ISO key left of Enter has a code but no name of its own: browsers
  // report it as the backslash it stands in for.
  EXPECT_EQ(ScanCodeOfUsage(0x32), ScanCodeOfUsage(UsageOfCode("Backslash")));
  EXPECT_EQ(CodeOfUsage(0x32), nullptr);
}

}  // namespace
