// The platform core as a user meets it, through the in-memory backend: mouse
// input hit-tested onto the frame, menu bar, pop-ups and dialog buttons;
// menu mode by keyboard; characters and key repeat; what menus and dialogs
// cover being put back; the mnemonics' underlines on the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/core/core.h"
#include "platform/core/menu_layout.h"
#include "platform/ddraw.h"
#include "platform/dinput.h"
#include "platform/font.h"
#include "platform/headless/headless.h"
#include "platform/winuser.h"
#include "res/resources.h"

namespace {

using namespace plat;

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

std::vector<Seen> seen;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  seen.push_back({message, wParam, lParam});
  return DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return 1;
  if (message == WM_COMMAND && LowWord(wParam) == IDOK) EndDialog(dialog, 7);
  return 0;
}

class CoreInput : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    headless::SetModuleResources(&ProgramResources());
    headless::SetDataDirectory(KELVO_DATA_DIR);
    headless::SetIdleLimit(200);
    seen.clear();
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszMenuName = "AppMenu";
    wc.lpszClassName = "Recorder";
    ASSERT_TRUE(RegisterClassA(&wc));
    window = CreateWindowExA(0, "Recorder", "Recorder", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
                             640, 480, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
  }
  void TearDown() override {
    if (ddraw) ddraw->Release();
    headless::Reset();
  }

  // A screen whose GDI surface is shown, so that painting happens.
  void Screen(uint32_t width, uint32_t height, uint32_t bits) {
    ASSERT_EQ(DirectDrawCreate(nullptr, &ddraw, nullptr), DD_OK);
    ASSERT_EQ(
        ddraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWMODEX),
        DD_OK);
    ASSERT_EQ(ddraw->SetDisplayMode(width, height, bits), DD_OK);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    ASSERT_EQ(ddraw->CreateSurface(&desc, &primary, nullptr), DD_OK);
    DrawMenuBar(window);
  }

  // The program's side: a plain message loop until WM_QUIT.
  void Run() {
    headless::AddStep(0, [] { PostQuitMessage(0); });
    MSG m{};
    for (;;) {
      if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) break;
        TranslateMessage(&m);
        DispatchMessageA(&m);
      } else {
        WaitMessage();
      }
    }
    EXPECT_FALSE(headless::Stalled());
  }
  void Step(std::function<void()> action) { headless::AddStep(0, std::move(action)); }

  // The bar titles as the painter places them: 3-pixel frame, 19-pixel
  // caption. "AppMenu" has two; the third is where the frame adds "Modes".
  std::vector<RECT> Titles() const {
    std::vector<int32_t> widths;
    for (const char* t : {"Cube", "Options", "Modes"})
      widths.push_back(font::TextWidth(t, std::strlen(t)));
    return core::LayoutBar({3, 22, 637, 41}, widths);
  }
  static POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
  static void ClickAt(POINT p) {
    core::MouseButton(p.x, p.y, true);
    core::MouseButton(p.x, p.y, false);
  }
  std::vector<UINT> Commands() const {
    std::vector<UINT> commands;
    for (const Seen& s : seen)
      if (s.message == WM_COMMAND) commands.push_back(LowWord(s.wParam));
    return commands;
  }
  int Count(UINT message) const {
    int n = 0;
    for (const Seen& s : seen) n += s.message == message;
    return n;
  }
  core::MenuState State() const {
    core::MenuState state;
    EXPECT_TRUE(core::OpenMenuState(&state));
    return state;
  }

  HWND window = nullptr;
  IDirectDraw* ddraw = nullptr;
  IDirectDrawSurface* primary = nullptr;
};

TEST_F(CoreInput, AClickOnATitleOpensItsPopupAndAClickOnAnItemChoosesIt) {
  Screen(640, 480, 32);
  const std::vector<RECT> titles = Titles();
  Step([&] { ClickAt(Centre(titles[1])); });
  Step([&] {
    const core::MenuState s = State();
    EXPECT_EQ(s.barItem, 1);
    EXPECT_TRUE(s.popupOpen);
    EXPECT_EQ(s.item, -1);
    EXPECT_EQ(Count(WM_ENTERMENULOOP), 1);
    // "&Phong shading\t4", the fourth item, under the title.
    ClickAt({titles[1].left + 30, 41 + core::kPopupBorder + 3 * core::kMenuItemHeight + 9});
  });
  Run();
  EXPECT_FALSE(core::MenuOpen());
  EXPECT_EQ(Count(WM_EXITMENULOOP), 1);
  EXPECT_EQ(Commands(), std::vector<UINT>{40004});
}

TEST_F(CoreInput, ClicksOutsideThePopupOrOnItsTitleCloseTheMenuWithoutACommand) {
  Screen(640, 480, 32);
  const std::vector<RECT> titles = Titles();
  Step([&] { ClickAt(Centre(titles[0])); });
  Step([&] { ClickAt({500, 400}); });
  Step([&] {
    EXPECT_FALSE(core::MenuOpen());
    ClickAt(Centre(titles[1]));
  });
  Step([&] {
    EXPECT_EQ(State().barItem, 1);
    // Sliding over another title opens its pop-up instead.
    core::MouseMove(Centre(titles[0]).x, Centre(titles[0]).y);
  });
  Step([&] {
    EXPECT_EQ(State().barItem, 0);
    ClickAt(Centre(titles[0]));
  });
  Run();
  EXPECT_FALSE(core::MenuOpen());
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(Count(WM_ENTERMENULOOP), 2);
  EXPECT_EQ(Count(WM_EXITMENULOOP), 2);
  // The click on the client area went nowhere else.
  EXPECT_EQ(Count(WM_LBUTTONDOWN), 0);
}

TEST_F(CoreInput, ClicksOnTheClientAreaAndCaptionGoWhereWindowsSendsThem) {
  Step([] { ClickAt({103, 241}); });
  Step([] { ClickAt({100, 10}); });
  Run();
  ASSERT_EQ(Count(WM_LBUTTONDOWN), 1);
  for (const Seen& s : seen) {
    if (s.message == WM_LBUTTONDOWN) {
      EXPECT_EQ(s.lParam, MakeLParam(100, 200));  // client coordinates
      EXPECT_EQ(s.wParam, MK_LBUTTON);
    }
    if (s.message == WM_NCLBUTTONDOWN) {
      EXPECT_EQ(s.wParam, static_cast<WPARAM>(HTCAPTION));
    }
  }
  EXPECT_EQ(Count(WM_NCLBUTTONDOWN), 1);
  EXPECT_EQ(Count(WM_ENTERMENULOOP), 0);
}

TEST_F(CoreInput, AltAloneHighlightsTheFirstTitleAndArrowsEnterAndEscapeLeave) {
  Step([] { headless::KeyPress(DIK_LMENU); });
  Step([&] {
    const core::MenuState s = State();
    EXPECT_EQ(s.barItem, 0);
    EXPECT_FALSE(s.popupOpen);
    headless::KeyPress(DIK_DOWN);
  });
  Step([&] {
    const core::MenuState s = State();
    EXPECT_TRUE(s.popupOpen);
    EXPECT_EQ(s.item, 0);
    headless::KeyPress(DIK_RIGHT);
    headless::KeyPress(DIK_UP);  // wraps to the last item
  });
  Step([&] {
    const core::MenuState s = State();
    EXPECT_EQ(s.barItem, 1);
    EXPECT_EQ(s.item, 5);
    headless::KeyPress(DIK_ESCAPE);
  });
  Step([&] {
    const core::MenuState s = State();
    EXPECT_EQ(s.barItem, 1);
    EXPECT_FALSE(s.popupOpen);
    headless::KeyPress(DIK_ESCAPE);
  });
  Step([] { EXPECT_FALSE(core::MenuOpen()); });
  Run();
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(Count(WM_EXITMENULOOP), 1);
}

TEST_F(CoreInput, AltWithAMnemonicOpensThatPopupAndALetterChoosesTheItem) {
  Step([] {
    headless::KeyDown(DIK_LMENU);
    headless::KeyPress(DIK_O);
    headless::KeyUp(DIK_LMENU);  // after another key: no menu mode of its own
  });
  Step([&] {
    const core::MenuState s = State();
    EXPECT_EQ(s.barItem, 1);
    EXPECT_TRUE(s.popupOpen);
    headless::KeyPress(DIK_P);
  });
  Step([] { EXPECT_FALSE(core::MenuOpen()); });
  Run();
  EXPECT_EQ(Commands(), std::vector<UINT>{40004});
  EXPECT_EQ(Count(WM_ENTERMENULOOP), 1);
}

TEST_F(CoreInput, F10EntersMenuModeAndEnterChoosesTheSelectedItem) {
  Step([] { headless::KeyPress(DIK_F10); });
  Step([] {
    headless::KeyPress(DIK_RIGHT);
    headless::KeyPress(DIK_DOWN);
    headless::KeyPress(DIK_DOWN);
  });
  Step([&] {
    EXPECT_EQ(State().item, 1);
    headless::KeyPress(DIK_RETURN);
  });
  Run();
  EXPECT_EQ(Commands(), std::vector<UINT>{40005});
}

TEST_F(CoreInput, ALetterThatIsNoMnemonicEntersNoMenu) {
  Step([] {
    headless::KeyDown(DIK_LMENU);
    headless::KeyPress(DIK_Q);
    headless::KeyUp(DIK_LMENU);
  });
  Step([] { EXPECT_FALSE(core::MenuOpen()); });
  Run();
  EXPECT_EQ(Count(WM_ENTERMENULOOP), 0);
}

TEST_F(CoreInput, KeysGiveTheirCharacterRightAfterTheKeyMessage) {
  Step([] {
    headless::KeyPress(DIK_A);
    headless::KeyPress(DIK_F1);
    headless::KeyDown(DIK_LSHIFT);
    headless::KeyPress(DIK_B);
    headless::KeyUp(DIK_LSHIFT);
  });
  Run();
  std::vector<WPARAM> chars;
  for (size_t i = 0; i < seen.size(); ++i) {
    if (seen[i].message != WM_CHAR) continue;
    chars.push_back(seen[i].wParam);
    ASSERT_GT(i, 0u);
    EXPECT_EQ(seen[i - 1].message, WM_KEYDOWN);
  }
  EXPECT_EQ(chars, (std::vector<WPARAM>{'a', 'B'}));
}

TEST_F(CoreInput, AHeldKeyRepeatsItsMessageButTheKeyboardDeviceSeesOneChange) {
  IDirectInput* input = nullptr;
  IDirectInputDevice* device = nullptr;
  ASSERT_EQ(DirectInputCreateA(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, &input, nullptr),
            DI_OK);
  ASSERT_EQ(input->CreateDevice(GUID_SysKeyboard, &device, nullptr), DI_OK);
  ASSERT_EQ(device->SetDataFormat(&c_dfDIKeyboard), DI_OK);
  ASSERT_EQ(device->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  DIPROPDWORD size{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 10};
  ASSERT_EQ(device->SetProperty(DIPROP_BUFFERSIZE, &size.diph), DI_OK);
  ASSERT_EQ(device->Acquire(), DI_OK);
  core::Key(DIK_UP, VK_UP, true);
  core::Key(DIK_UP, VK_UP, true);
  core::Key(DIK_UP, VK_UP, false);
  DIDEVICEOBJECTDATA records[10];
  uint32_t count = 10;
  ASSERT_EQ(device->GetDeviceData(sizeof records[0], records, &count, 0), DI_OK);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(records[0].dwOfs, DIK_UP);
  EXPECT_EQ(records[0].dwData, 0x80u);
  EXPECT_EQ(records[1].dwData, 0u);
  Run();
  ASSERT_EQ(Count(WM_KEYDOWN), 2);
  std::vector<LPARAM> downs;
  for (const Seen& s : seen)
    if (s.message == WM_KEYDOWN) downs.push_back(s.lParam);
  EXPECT_EQ(static_cast<uint32_t>(downs[0]) & (1u << 30), 0u);
  EXPECT_NE(static_cast<uint32_t>(downs[1]) & (1u << 30), 0u);
  // The cursor block is extended: bit 24 and scan code 0x48 in bits 16-23.
  EXPECT_EQ((static_cast<uint32_t>(downs[0]) >> 16) & 0x1FF, 0x148u);
  device->Release();
  input->Release();
}

TEST_F(CoreInput, TheDialogsButtonIsClickedByTheMouseAndOnlyOverIt) {
  Screen(640, 480, 32);
  // The template's dialog units, 6 x 13 pixels a character of 4 x 8 units,
  // from the owner's client area (3, 41) past the frame and caption.
  const int32_t left = 3 + 22 * 6 / 4 + 3, top = 41 + 17 * 13 / 8 + 3 + 19;
  const POINT ok{left + (56 + 16) * 6 / 4, top + (62 + 7) * 13 / 8};
  intptr_t result = -1;
  Step([&] {
    result = DialogBoxParamA(GetModuleHandleA(nullptr), "AppAbout", window, AboutProc, 0);
  });
  Step([&] {
    EXPECT_EQ(core::OpenDialogTemplate(), "AppAbout");
    // Pressed over the button, released beside it: no click.
    core::MouseButton(ok.x, ok.y, true);
    core::MouseButton(ok.x + 60, ok.y, false);
    headless::KeyPress(DIK_ESCAPE);
  });
  Step([&] {
    EXPECT_EQ(core::OpenDialogTemplate(), "AppAbout");
    // The owner is disabled: a click on it does nothing.
    ClickAt({500, 400});
  });
  Step([&] {
    EXPECT_EQ(core::OpenDialogTemplate(), "AppAbout");
    ClickAt(ok);
  });
  Run();
  EXPECT_EQ(result, 7);
  EXPECT_EQ(core::OpenDialog(), nullptr);
  EXPECT_EQ(Count(WM_LBUTTONDOWN), 0);
}

TEST_F(CoreInput, WhatAMenuCoveredIsPutBackWhenItCloses) {
  Screen(640, 480, 32);
  const std::vector<uint8_t> before = core::FrontPixels();
  std::vector<uint8_t> open;
  Step([] { headless::OpenMenu(1); });
  Step([&] {
    open = core::FrontPixels();
    headless::KeyPress(DIK_LEFT);  // over to "&Cube", whose pop-up is narrower
  });
  Step([&] {
    // Where only the wider pop-up was, the screen is as before.
    const std::vector<uint8_t> now = core::FrontPixels();
    const std::vector<RECT> titles = Titles();
    const size_t at = (static_cast<size_t>(41 + 4 * core::kMenuItemHeight) * 640 +
                       static_cast<size_t>(titles[1].left + 5)) *
                      4;
    EXPECT_NE(open[at], before[at]);
    EXPECT_EQ(now[at], before[at]);
    headless::CloseMenu();
  });
  Run();
  EXPECT_NE(open, before);
  EXPECT_EQ(core::FrontPixels(), before);
}

TEST_F(CoreInput, WhatTheAboutBoxCoveredIsPutBackWhenItCloses) {
  Screen(640, 480, 32);
  const std::vector<uint8_t> before = core::FrontPixels();
  std::vector<uint8_t> open;
  Step([&] { DialogBoxParamA(GetModuleHandleA(nullptr), "AppAbout", window, AboutProc, 0); });
  Step([&] {
    open = core::FrontPixels();
    core::PressButton(IDOK);
  });
  Run();
  EXPECT_NE(open, before);
  // The caption is active again and the client area as it was.
  EXPECT_EQ(core::FrontPixels(), before);
}

TEST_F(CoreInput, APictureDrawnWhileAPopupWasOpenIsNotOverwrittenWhenItCloses) {
  Screen(640, 480, 32);
  std::vector<uint8_t> drawn;
  Step([] { headless::OpenMenu(1); });
  Step([&] {
    // The program flips twice, bringing the GDI surface back with a picture
    // of its own over the one the pop-up covered.
    ASSERT_EQ(primary->Flip(nullptr, 0), DD_OK);
    ASSERT_EQ(primary->Flip(nullptr, 0), DD_OK);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(primary->Lock(nullptr, &desc, 0, nullptr), DD_OK);
    auto* p = static_cast<uint8_t*>(desc.lpSurface);
    for (size_t i = 0; i < size_t{640} * 480 * 4; ++i) p[i] = static_cast<uint8_t>(i % 251);
    primary->Unlock(nullptr);
    drawn = core::FrontPixels();
    headless::CloseMenu();
  });
  Run();
  // In the client area the program's picture stays.
  const std::vector<uint8_t> now = core::FrontPixels();
  ASSERT_EQ(now.size(), drawn.size());
  ASSERT_EQ(now.size(), size_t{640} * 480 * 4);
  int differ = 0;
  for (size_t y = 41; y < 477; ++y)
    differ +=
        !std::equal(&now[(y * 640 + 3) * 4], &now[(y * 640 + 637) * 4], &drawn[(y * 640 + 3) * 4]);
  EXPECT_EQ(differ, 0);
}

TEST_F(CoreInput, MnemonicsAreUnderlinedOnTheMenuBar) {
  Screen(640, 480, 32);
  const std::vector<uint8_t> px = core::FrontPixels();
  const std::vector<RECT> titles = Titles();
  const int32_t row = 22 + 3 + font::Ascent() + 1;
  auto black = [&](int32_t x) {
    const uint8_t* p = &px[(static_cast<size_t>(row) * 640 + static_cast<size_t>(x)) * 4];
    return p[0] == 0 && p[1] == 0 && p[2] == 0;
  };
  // Under the C of "&Cube" and the O of "&Options", not past them.
  for (size_t t : {size_t{0}, size_t{1}}) {
    const int32_t x = titles[t].left + core::kBarItemPadding;
    const int32_t width = font::TextWidth(t == 0 ? "C" : "O", 1);
    for (int32_t i = 0; i < width - 1; ++i) EXPECT_TRUE(black(x + i)) << t << " at " << i;
    EXPECT_FALSE(black(x - 1)) << t;
  }
  // "Modes" has no mnemonic: nothing on that row.
  for (int32_t x = titles[2].left; x < titles[2].right; ++x) EXPECT_FALSE(black(x)) << x;
}

TEST_F(CoreInput, ALongPopupOnASmallScreenScrollsToTheItemsTheKeysReach) {
  HMENU modes = CreatePopupMenu();
  // += rather than "literal" + std::string, which trips GCC 12's -Wrestrict
  // in the 32-bit mingw build.
  for (int i = 0; i < 36; ++i)
    AppendMenuA(modes, MF_STRING, 100 + i,
                (std::string("1600x1200x") += std::to_string(i)).c_str());
  ASSERT_TRUE(AppendMenuA(GetMenu(window), MF_POPUP, reinterpret_cast<uintptr_t>(modes), "Modes"));
  Screen(320, 200, 16);
  Step([] { headless::OpenMenu(2); });
  Step([] { headless::KeyPress(DIK_END); });
  Step([&] {
    const core::MenuState s = State();
    EXPECT_EQ(s.item, 35);
    EXPECT_GT(s.firstShown, 0);
    headless::KeyPress(DIK_HOME);
  });
  Step([&] {
    const core::MenuState s = State();
    EXPECT_EQ(s.item, 0);
    EXPECT_EQ(s.firstShown, 0);
    headless::KeyPress(DIK_UP);  // wraps round to the last
  });
  Step([&] {
    EXPECT_GT(State().firstShown, 0);
    headless::KeyPress(DIK_RETURN);
  });
  Run();
  EXPECT_EQ(Commands(), std::vector<UINT>{135});
}

}  // namespace
