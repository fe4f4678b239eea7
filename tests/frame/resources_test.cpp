// The resources as the running program gets them, and the window-system
// behaviour the frame relies on: menus, accelerators, the modal loop, quit.
#include "res/resources.h"

#include <cstring>

#include "frame_fixture.h"
#include "platform/dinput.h"
#include "platform/resource.h"

namespace frame_test {
namespace {

using namespace plat;

std::string ItemText(HMENU menu, UINT position) {
  char text[64] = {};
  GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
  return text;
}

TEST_F(FrameTest, TheMenuBarIsBuiltFromAppMenu) {
  StartUp();
  HMENU bar = GetMenu(mainWindow);
  HMENU cube = GetSubMenu(bar, 0);
  ASSERT_EQ(GetMenuItemCount(cube), 2);
  EXPECT_EQ(ItemText(cube, 0), "&About...\tF1");
  EXPECT_EQ(ItemText(cube, 1), "E&xit\tF12");
  HMENU options = GetSubMenu(bar, 1);
  ASSERT_EQ(GetMenuItemCount(options), 6);
  const char* texts[] = {"&No shading\t1",    "&Flat shading\t2", "&Goraud shading\t3",
                         "&Phong shading\t4", "&Transparency\t5", "&Inclined mapping\t6"};
  const UINT ids[] = {40001, 40005, 40003, 40004, 40006, 40007};
  for (UINT i = 0; i < 6; ++i) {
    EXPECT_EQ(ItemText(options, i), texts[i]);
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE;
    ASSERT_TRUE(GetMenuItemInfoA(options, i, 1, &info));
    EXPECT_EQ(info.wID, ids[i]);
    EXPECT_EQ(info.fState & MF_CHECKED, i == 0 ? MF_CHECKED : 0u) << texts[i];
  }
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID;
  ASSERT_TRUE(GetMenuItemInfoA(cube, 0, 1, &info));
  EXPECT_EQ(info.wID, 1u);
  ASSERT_TRUE(GetMenuItemInfoA(cube, 1, 1, &info));
  EXPECT_EQ(info.wID, 2u);
}

TEST_F(FrameTest, MenuItemsAreFoundByCommandInsidePopupsAndByPosition) {
  StartUp();
  HMENU bar = GetMenu(mainWindow);
  HMENU options = GetSubMenu(bar, 1);
  // By command from the bar reaches into the pop-ups.
  EXPECT_EQ(CheckMenuItem(bar, 40004, MF_BYCOMMAND | MF_CHECKED), MF_UNCHECKED);
  EXPECT_EQ(GetMenuState(options, 3, MF_BYPOSITION) & MF_CHECKED, MF_CHECKED);
  EXPECT_EQ(CheckMenuItem(options, 3, MF_BYPOSITION | MF_UNCHECKED), MF_CHECKED);
  EXPECT_EQ(CheckMenuItem(options, 6, MF_BYPOSITION | MF_CHECKED), ~0u);
  EXPECT_EQ(CheckMenuItem(bar, 12345, MF_BYCOMMAND | MF_CHECKED), ~0u);
  // Item data is 32 bits wide and needs a well-sized structure.
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_DATA;
  info.dwItemData = 0xFFFFFFFFu;
  EXPECT_TRUE(SetMenuItemInfoA(bar, 40007, 0, &info));
  info.dwItemData = 0;
  EXPECT_TRUE(GetMenuItemInfoA(options, 5, 1, &info));
  EXPECT_EQ(info.dwItemData, 0xFFFFFFFFu);
  info.cbSize = sizeof info - 4;  // a shorter structure, on 32-bit systems too
  EXPECT_FALSE(GetMenuItemInfoA(options, 5, 1, &info));
  EXPECT_EQ(GetMenuItemCount(nullptr), -1);
}

TEST_F(FrameTest, OnlyTheTwoAcceleratorsTranslate) {
  StartUp();
  const ResourceModule& r = ProgramResources();
  const AccelResource* table = FindNamedResource(r.accelerators, r.accelCount, "AppAccel");
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->count, 2u);
  for (uint32_t i = 0; i < 2; ++i) EXPECT_EQ(table->entries[i].fVirt, FVIRTKEY | FNOINVERT);

  auto translate = [&](uint16_t vk) {
    MSG m{mainWindow, WM_KEYDOWN, vk, 0, 0, {0, 0}};
    return TranslateAcceleratorA(mainWindow, accelTable, &m);
  };
  EXPECT_EQ(translate(VK_F12), 0);
  EXPECT_EQ(translate(VK_RETURN), 0);
  EXPECT_TRUE(app.commands.empty());
  EXPECT_EQ(translate(VK_F1 + 1), 0);
  headless::AddStep(0, [] { headless::PressButton(IDOK); });
  EXPECT_EQ(translate(VK_F1), 1);
  EXPECT_EQ(app.commands, std::vector<uint32_t>{1});
  // Shift+Escape is not Escape. Modifiers count as the messages taken so
  // far have them.
  auto takeAll = [] {
    MSG m{};
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
  };
  headless::KeyDown(DIK_LSHIFT);
  takeAll();
  EXPECT_EQ(translate(VK_ESCAPE), 0);
  headless::KeyUp(DIK_LSHIFT);
  takeAll();
  EXPECT_EQ(translate(VK_ESCAPE), 1);
  EXPECT_EQ(app.commands, (std::vector<uint32_t>{1, 2}));
  // Key-up messages never translate.
  MSG up{mainWindow, WM_KEYUP, VK_ESCAPE, 0, 0, {0, 0}};
  EXPECT_EQ(TranslateAcceleratorA(mainWindow, accelTable, &up), 0);
}

TEST_F(FrameTest, TheAboutTemplateIsAsDescribed) {
  const ResourceModule& r = ProgramResources();
  const DialogResource* about = FindNamedResource(r.dialogs, r.dialogCount, "AppAbout");
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->style, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT);
  EXPECT_STREQ(about->caption, "About Textured Cube");
  EXPECT_STREQ(about->fontName, "MS Sans Serif");
  EXPECT_EQ(about->pointSize, 8);
  EXPECT_EQ((std::vector<int>{about->x, about->y, about->cx, about->cy}),
            (std::vector<int>{22, 17, 145, 82}));
  ASSERT_EQ(about->count, 3u);
  const DialogItemTemplate& text = about->items[0];
  EXPECT_STREQ(text.text, "DirectDraw Textured Cube Demo");
  EXPECT_EQ(text.id, -1);
  EXPECT_EQ(text.style & (SS_CENTER | WS_GROUP), SS_CENTER | WS_GROUP);
  EXPECT_EQ((std::vector<int>{text.x, text.y, text.cx, text.cy}), (std::vector<int>{25, 6, 93, 8}));
  const DialogItemTemplate& icon = about->items[1];
  EXPECT_STREQ(icon.text, "AppIcon");
  EXPECT_EQ(icon.style & 0xF, SS_ICON);
  EXPECT_EQ((std::vector<int>{icon.x, icon.y, icon.cx, icon.cy}),
            (std::vector<int>{62, 20, 18, 20}));
  const DialogItemTemplate& ok = about->items[2];
  EXPECT_STREQ(ok.text, "OK");
  EXPECT_EQ(ok.id, 1);
  EXPECT_EQ(ok.style & (BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP),
            BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP);
  EXPECT_EQ((std::vector<int>{ok.x, ok.y, ok.cx, ok.cy}), (std::vector<int>{56, 62, 32, 14}));
}

std::vector<UINT> dialogMessages;
INT_PTR RecordingDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  dialogMessages.push_back(message);
  if (message == WM_INITDIALOG) {
    EXPECT_EQ(lParam, 77);
  }
  if (message == WM_COMMAND && LowWord(wParam) == 9) EndDialog(dialog, 42);
  return message == WM_INITDIALOG;
}

TEST_F(FrameTest, ADialogRunsItsOwnLoopUntilEndDialog) {
  StartUp();
  dialogMessages.clear();
  headless::AddStep(0, [] {
    EXPECT_EQ(headless::OpenDialogTemplate(), "AppAbout");
    headless::PressButton(3);
  });
  headless::AddStep(0, [] { headless::PressButton(9); });
  EXPECT_EQ(DialogBoxParamA(appInstance, "AppAbout", mainWindow, RecordingDlgProc, 77), 42);
  ASSERT_FALSE(dialogMessages.empty());
  EXPECT_EQ(dialogMessages.front(), WM_INITDIALOG);
  EXPECT_EQ(std::count(dialogMessages.begin(), dialogMessages.end(), WM_COMMAND), 2);
  EXPECT_EQ(headless::OpenDialog(), nullptr);
  EXPECT_EQ(DialogBoxParamA(appInstance, "NoSuchBox", mainWindow, RecordingDlgProc, 0), -1);

  // A quit inside the box ends it and still reaches the outer loop.
  headless::AddStep(0, [] { PostQuitMessage(3); });
  DialogBoxParamA(appInstance, "AppAbout", mainWindow, RecordingDlgProc, 77);
  EXPECT_EQ(headless::OpenDialog(), nullptr);
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.wParam, 3u);
}

TEST_F(FrameTest, QuitComesAfterPostedMessagesAndARunNeverHangs) {
  StartUp();
  PostQuitMessage(0);
  PostMessageA(mainWindow, WM_USER, 1, 2);
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_QUIT);

  // Paused with nothing scripted: the backend ends the run.
  paused = 1;
  testing::internal::CaptureStderr();
  RunMessageLoop();
  EXPECT_NE(testing::internal::GetCapturedStderr().find("waits for input"), std::string::npos);
  EXPECT_TRUE(headless::Stalled());
}

}  // namespace
}  // namespace frame_test
