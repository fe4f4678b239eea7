// A user of the whole program: the real frame and scene over the headless
// backend, run from start-up to quit while the input plays a user's actions.
// The first byte sets the machine up (bit 0: a 1366x768 desktop whose size
// joins the modes; bit 1: a display keeping 16 bits as 5-6-5; bit 2: one
// keeping 32 bits red first). Then each action is a byte, its top two bits
// the frames to wait before it and the rest its kind (mod kKinds), followed
// by up to three bytes of arguments.
#include <algorithm>
#include <iterator>

#include "app/frame_state.h"
#include "app/window.h"
#include "fuzz/fuzz_targets.h"
#include "platform/dinput.h"
#include "platform/headless/headless.h"
#include "platform/threads.h"
#include "platform/winuser.h"
#include "res/resources.h"
#include "scene/cube_app.h"
#include "scene/tables.h"

namespace {

using namespace plat;

// The keys the program knows, and a few it does not.
constexpr uint8_t kKeys[] = {DIK_1,       DIK_2,       DIK_3,       DIK_4,       DIK_5,
                             DIK_6,       DIK_NUMPAD2, DIK_NUMPAD4, DIK_NUMPAD5, DIK_NUMPAD6,
                             DIK_NUMPAD7, DIK_NUMPAD8, DIK_NUMPAD9, DIK_UP,      DIK_DOWN,
                             DIK_LEFT,    DIK_RIGHT,   DIK_HOME,    DIK_PRIOR,   DIK_F1,
                             DIK_F10,     DIK_LMENU,   DIK_RETURN,  DIK_ESCAPE,  DIK_SPACE,
                             DIK_TAB,     DIK_F12,     DIK_7,       DIK_A,       DIK_NUMPADENTER};

enum Kind {
  kKeyPress,
  kRawKey,  // any scan code, down or up
  kMouseMove,
  kMouseButton,
  kClick,
  kWheel,
  kOpenMenu,
  kChooseItem,  // of any pop-up, by position
  kChooseMode,  // an item of "Modes", whatever their number
  kCloseMenu,
  kPressButton,
  kForeground,
  kLoseSurfaces,
  kKinds
};

constexpr int kMaxActions = 48;

struct Action {
  int kind;
  uint8_t a, b, c;
};

struct Reader {
  const uint8_t* at;
  size_t left;
  uint8_t Next() {
    if (left == 0) return 0;
    --left;
    return *at++;
  }
};

// A point on the screen, a little past its edges too.
int32_t Across(uint8_t v) { return v * (GetSystemMetrics(SM_CXSCREEN) + 32) / 255 - 16; }
int32_t Down(uint8_t v) { return v * (GetSystemMetrics(SM_CYSCREEN) + 32) / 255 - 16; }

void Perform(const Action& act) {
  switch (act.kind) {
    case kKeyPress: headless::KeyPress(kKeys[act.a % std::size(kKeys)]); break;
    case kRawKey: headless::Key(act.a, headless::VirtualKeyOf(act.a), act.b & 1); break;
    case kMouseMove: headless::MouseMove(Across(act.a), Down(act.b)); break;
    case kMouseButton: headless::MouseButton(Across(act.a), Down(act.b), act.c & 1); break;
    case kClick: headless::Click(Across(act.a), Down(act.b)); break;
    case kWheel:
      headless::MouseWheel(Across(act.a), Down(act.b), static_cast<int8_t>(act.c) / 32);
      break;
    case kOpenMenu: headless::OpenMenu(act.a % 4); break;
    case kChooseItem: headless::ChooseMenuItem(act.a % 4, act.b % 8); break;
    case kChooseMode:
      if (mainWindow) {
        const int32_t count = GetMenuItemCount(GetSubMenu(GetMenu(mainWindow), 2));
        if (count > 0) headless::ChooseMenuItem(2, act.a % count);
      }
      break;
    case kCloseMenu: headless::CloseMenu(); break;
    case kPressButton: headless::PressButton(act.a & 1 ? IDOK : act.a >> 1); break;
    case kForeground: headless::SetForeground(act.a & 1); break;
    case kLoseSurfaces: headless::LoseSurfaces(); break;
    default: break;
  }
}

// The frame count when the last step ran.
uint32_t framesBefore = 0;

bool Drawing() {
  return mainWindow && active && !paused && !headless::MenuOpen() && !headless::OpenDialog();
}

bool FrontShowsSomething() {
  const headless::ScreenView view = headless::FrontView();
  if (!view.pixels) return false;
  const size_t bytes = size_t(view.width) * size_t(view.height) * size_t(view.bitsPerPixel / 8);
  return std::any_of(view.pixels, view.pixels + bytes, [](uint8_t b) { return b != 0; });
}

// What must hold whenever a step comes: nothing written through an old lock,
// and a program that is running unpaused in front draws. Of the empty turns
// before a step, one may be a modal loop's last look into the queue after
// the step that closed it, with no frame: two make sure of one.
void CheckSince(uint32_t turns) {
  fuzz::Require(headless::UnlockedWrites() == 0, "written through a lock's address after Unlock");
  if (turns >= 2 && Drawing()) {
    fuzz::Require(frameCount != framesBefore, "no frame drawn while active and unpaused");
    fuzz::Require(FrontShowsSomething(), "a frame drawn with nothing on it");
  }
  framesBefore = frameCount;
}

// Closes what is open, then asks the program to quit as Exit does.
void EndSession(int tries) {
  CheckSince(2);
  if (tries > 0 && (headless::MenuOpen() || headless::OpenDialog())) {
    if (headless::MenuOpen())
      headless::CloseMenu();
    else
      headless::PressButton(IDOK);
    headless::AddStep(2, [tries] { EndSession(tries - 1); });
    return;
  }
  if (mainWindow) PostMessageA(mainWindow, WM_CLOSE, 0, 0);
}

}  // namespace

int fuzz::User(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    // Fixed, so that a finding repeats on any machine.
    plat::SetThreadCount(2);
    return true;
  }();
  Reader in{data, size};
  headless::Reset();
  ResetFrameState();
  headless::SetModuleResources(&ProgramResources());
  headless::SetDataDirectory(KELVO_DATA_DIR);
  SetAssetDirectory(KELVO_DATA_DIR);
  headless::SetTime(100000);
  headless::SetTimePerFlip(16);
  headless::SetIdleLimit(500);
  const uint8_t machine = in.Next();
  if (machine & 1) {
    headless::SetDesktopMode({1366, 768, 32});
    headless::SetModeList(headless::ModesWithDesktop(1366, 768));
  }
  if (machine & 2) headless::SetPixelLayout({16, 0xF800, 0x07E0, 0x001F});
  if (machine & 4) headless::SetPixelLayout({32, 0x0000FF, 0x00FF00, 0xFF0000});
  shadingMode = 0;
  framesBefore = 0;

  CubeApp cube;
  for (int n = 0; n < kMaxActions && in.left > 0 && ready; ++n) {
    const uint8_t op = in.Next();
    const uint32_t turns = op >> 6;
    const Action act{(op & 0x3F) % kKinds, in.Next(), in.Next(), in.Next()};
    headless::AddStep(turns, [turns, act] {
      CheckSince(turns);
      Perform(act);
    });
  }
  headless::AddStep(2, [] { EndSession(4); });
  Require(RunApplication() == 0, "the program did not start");
  Require(mainWindow == nullptr, "the program ended with its window open");
  Require(!headless::Stalled(), "the program did not quit when asked");
  Require(headless::UnlockedWrites() == 0, "written through a lock's address after Unlock");

  SetAssetDirectory("");
  headless::Reset();
  ResetFrameState();
  theApp = nullptr;
  return 0;
}
