// The message loop with its idle step, the window procedure's pauses, the
// accelerators, the About box and the window's place on the screen.
#include "app/frame_view.h"
#include "frame_fixture.h"
#include "platform/dinput.h"

namespace frame_test {
namespace {

using namespace plat;

TEST_F(FrameTest, QuitEndsTheLoopBeforeAnotherIdleStep) {
  int framesAtQuit = -1;
  headless::AddStep(5, [&] {
    framesAtQuit = app.frames;
    PostMessageA(mainWindow, WM_USER, 0, 0);
    PostQuitMessage(0);
  });
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(framesAtQuit, 5);
  EXPECT_EQ(app.frames, framesAtQuit);
  // Posted messages still came first.
  EXPECT_TRUE(app.Called("Shutdown"));
  EXPECT_TRUE(app.devicesGoneAtShutdown);
}

TEST_F(FrameTest, EscapeClosesTheWindowThroughCommandTwoAndF12DoesNothing) {
  headless::AddStep(2, [] { headless::KeyPress(DIK_F12); });
  headless::AddStep(3, [&] {
    EXPECT_NE(mainWindow, nullptr);
    EXPECT_TRUE(app.commands.empty());
    headless::KeyPress(DIK_ESCAPE);
  });
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(app.commands, std::vector<uint32_t>{2});
  EXPECT_TRUE(app.Called("WM_DESTROY"));
  EXPECT_EQ(mainWindow, nullptr);
  EXPECT_TRUE(TraceHas("accelerator 2"));
}

TEST_F(FrameTest, AcceleratorsGoByTheModifiersHeldWhenTheKeyWasPressed) {
  headless::AddStep(2, [] {
    // All queued before the loop takes any of it: Shift is up again when the
    // Escape is taken, but it was Shift+Escape, which is no accelerator.
    headless::KeyDown(DIK_LSHIFT);
    headless::KeyPress(DIK_ESCAPE);
    headless::KeyUp(DIK_LSHIFT);
  });
  headless::AddStep(2, [&] {
    EXPECT_TRUE(app.commands.empty());
    EXPECT_NE(mainWindow, nullptr);
    // Escape alone, with Shift going down before the loop takes it.
    headless::KeyPress(DIK_ESCAPE);
    headless::KeyDown(DIK_LSHIFT);
  });
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(headless::PendingSteps(), 0u);
  EXPECT_EQ(app.commands, std::vector<uint32_t>{2});
  EXPECT_EQ(mainWindow, nullptr);
  EXPECT_FALSE(headless::Stalled());
}

TEST_F(FrameTest, ExitFromTheMenuQuitsToo) {
  headless::AddStep(2, [] { headless::ChooseMenuItem(0, 1); });
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(app.commands, std::vector<uint32_t>{2});
  EXPECT_FALSE(headless::Stalled());
}

TEST_F(FrameTest, AClickTogglesThePauseAndTheCursor) {
  int framesPaused = -1;
  headless::AddStep(3, [] { headless::Click(10, 10); });
  headless::AddStep(0, [&] {
    EXPECT_EQ(paused, 1);
    EXPECT_TRUE(headless::ShowingGdiSurface());
    EXPECT_NE(GetCursor(), nullptr);  // the class arrow
    framesPaused = app.frames;
  });
  // While paused the loop waits: these steps run without frames between.
  headless::AddStep(50, [&] { EXPECT_EQ(app.frames, framesPaused); });
  headless::AddStep(0, [] { headless::Click(10, 10); });
  headless::AddStep(4, [&] {
    EXPECT_EQ(paused, 0);
    EXPECT_EQ(app.frames, framesPaused + 4);
    headless::Click(20, 20);
    headless::Click(20, 20);
  });
  headless::AddStep(1, [] {
    // Taking the click hid the pointer again.
    EXPECT_EQ(paused, 0);
    EXPECT_EQ(GetCursor(), nullptr);
    headless::KeyPress(DIK_ESCAPE);
  });
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(framesPaused, 3);
}

TEST_F(FrameTest, OpeningAMenuPausesAndClosingItResumes) {
  int framesInMenu = -1;
  headless::AddStep(2, [] { headless::OpenMenu(1); });
  headless::AddStep(0, [&] {
    EXPECT_TRUE(headless::MenuOpen());
    EXPECT_EQ(paused, 1);
    framesInMenu = app.frames;
  });
  headless::AddStep(0, [] { headless::CloseMenu(); });
  headless::AddStep(3, [&] {
    EXPECT_FALSE(headless::MenuOpen());
    EXPECT_EQ(paused, 0);
    EXPECT_EQ(app.frames, framesInMenu + 3);
    EXPECT_TRUE(app.commands.empty());
    headless::KeyPress(DIK_ESCAPE);
  });
  EXPECT_EQ(Run(), 1);
}

TEST_F(FrameTest, AboutPausesForTheLifeOfTheBoxAndOnlyOkClosesIt) {
  int framesInBox = -1;
  headless::AddStep(2, [] { headless::KeyPress(DIK_F1); });
  headless::AddStep(0, [&] {
    EXPECT_EQ(headless::OpenDialogTemplate(), "AppAbout");
    EXPECT_EQ(paused, 1);
    EXPECT_FALSE(IsWindowEnabled(mainWindow));
    framesInBox = app.frames;
    headless::KeyPress(DIK_ESCAPE);  // IDCANCEL: not handled
    headless::KeyPress(DIK_F1);      // the box's loop has no accelerators
  });
  headless::AddStep(0, [&] {
    EXPECT_EQ(headless::OpenDialogTemplate(), "AppAbout");
    EXPECT_EQ(app.frames, framesInBox);
    headless::KeyPress(DIK_RETURN);  // the default button is OK
  });
  headless::AddStep(3, [&] {
    EXPECT_EQ(headless::OpenDialog(), nullptr);
    EXPECT_EQ(paused, 0);
    EXPECT_TRUE(IsWindowEnabled(mainWindow));
    EXPECT_EQ(app.frames, framesInBox + 3);
    headless::KeyPress(DIK_ESCAPE);
  });
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(TraceHas("EndDialog 1"));
  EXPECT_TRUE(TraceHas("DialogBox ended 1"));
  // About (1) and Exit (2) are forwarded once each after the frame handled them.
  EXPECT_EQ(app.commands, (std::vector<uint32_t>{1, 2}));
}

TEST_F(FrameTest, AboutDlgProcClosesOnOkOnly) {
  EXPECT_EQ(AboutDlgProc(nullptr, WM_INITDIALOG, 0, 0), 1);
  EXPECT_EQ(AboutDlgProc(nullptr, WM_COMMAND, IDCANCEL, 0), 0);
  EXPECT_EQ(AboutDlgProc(nullptr, WM_CLOSE, 0, 0), 0);
  // With a real box: OK ends it with 1.
  StartUp();
  headless::AddStep(0, [] { headless::PressButton(IDCANCEL); });
  headless::AddStep(0, [] {
    EXPECT_NE(headless::OpenDialog(), nullptr);
    headless::PressButton(IDOK);
  });
  EXPECT_EQ(DialogBoxParamA(appInstance, "AppAbout", mainWindow, AboutDlgProc, 0), 1);
}

TEST_F(FrameTest, NothingIsDrawnWhileInactiveAndTheWindowStaysPut) {
  RECT placed{};
  int framesAway = -1;
  headless::AddStep(3, [&] {
    GetWindowRect(mainWindow, &placed);
    headless::SetForeground(false);
  });
  headless::AddStep(0, [&] {
    EXPECT_EQ(active, 0);
    framesAway = app.frames;
    SendMessageA(mainWindow, WM_DISPLAYCHANGE, 16, MakeLParam(800, 600));
    SetWindowPos(mainWindow, nullptr, 5, 5, 100, 100, SWP_NOZORDER);
    headless::KeyPress(DIK_5);  // nobody's keyboard now
  });
  headless::AddStep(0, [&] {
    RECT r{};
    GetWindowRect(mainWindow, &r);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(app.frames, framesAway);
    headless::SetForeground(true);
  });
  headless::AddStep(3, [&] {
    EXPECT_EQ(active, 1);
    EXPECT_EQ(app.frames, framesAway + 3);
    // The lost surfaces were restored and the keyboard taken back.
    EXPECT_TRUE(TraceHas("Restore"));
    EXPECT_TRUE(TraceHas("keyboard lost"));
    EXPECT_EQ(headless::CallCount(headless::Call::Acquire), 2u);
    headless::KeyPress(DIK_6);
  });
  headless::AddStep(2, [] { headless::KeyPress(DIK_ESCAPE); });
  EXPECT_EQ(Run(), 1);
  ASSERT_GE(app.keys.size(), 2u);
  EXPECT_EQ(app.keys[0].code, 0x80 | DIK_6);  // the 5 pressed away never came
}

TEST_F(FrameTest, TheCaptionLiesAlongTheTopOfTheScreen) {
  StartUp();
  // Init switched to 640 x 480, which moved the window.
  RECT r{};
  ASSERT_TRUE(GetWindowRect(mainWindow, &r));
  const int32_t frame = GetSystemMetrics(SM_CXFIXEDFRAME);
  EXPECT_EQ(r.left, -frame);
  EXPECT_EQ(r.top, -frame);
  EXPECT_EQ(r.right, 640 + frame);
  EXPECT_EQ(r.bottom, 480 + frame);
  ASSERT_EQ(app.SetMode(800, 600, 16), 1);
  ASSERT_TRUE(GetWindowRect(mainWindow, &r));
  EXPECT_EQ(r.right, 800 + frame);
  EXPECT_EQ(r.bottom, 600 + frame);
  // Minimised, it is left alone.
  ShowWindow(mainWindow, SW_MINIMIZE);
  SendMessageA(mainWindow, WM_SIZE, 0, 0);
  SetWindowPos(mainWindow, nullptr, 7, 7, 10, 10, SWP_NOZORDER);
  ASSERT_TRUE(GetWindowRect(mainWindow, &r));
  EXPECT_EQ(r.left, 7);
}

TEST_F(FrameTest, OnIdleDrawsOnlyWhenActiveAndNotPaused) {
  StartUp();
  active = 0;
  EXPECT_EQ(OnIdle(), 1);
  active = 1;
  paused = 1;
  EXPECT_EQ(OnIdle(), 1);
  EXPECT_EQ(app.frames, 0);
  paused = 0;
  EXPECT_EQ(OnIdle(), 0);
  EXPECT_EQ(app.frames, 1);
  // A frame that cannot be drawn still does not make the loop wait.
  headless::Fail(headless::Call::Lock);
  EXPECT_EQ(OnIdle(), 0);
  EXPECT_EQ(app.frames, 1);
}

}  // namespace
}  // namespace frame_test
