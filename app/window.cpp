#include "app/window.h"

#include <string>

#include "app/ddapp.h"
#include "app/display.h"
#include "app/keyboard.h"
#include "res/resource_ids.h"

using namespace plat;

namespace {

// A mode item was chosen.
void ChooseMode(HWND window, UINT command) {
  MENUITEMINFOA info{};
  info.cbSize = kMenuItemInfoSize;
  info.fMask = MIIM_DATA;
  if (!GetMenuItemInfoA(GetMenu(window), command, 0, &info)) return;
  const DisplayMode wanted = UnpackModeData(static_cast<uint32_t>(info.dwItemData));
  SwitchDisplayMode(wanted.width, wanted.height, wanted.bitsPerPixel);
}

}  // namespace

int32_t CreateMainWindow(HINSTANCE instance, HINSTANCE previous, const char*, int32_t showCommand) {
  appInstance = instance;
  if (!previous) {
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "AppIcon");
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszMenuName = "AppMenu";
    wc.lpszClassName = theApp->appName;
    if (!RegisterClassA(&wc)) {
      NoteStartupFailure("cannot register the window class");
      return 0;
    }
  }
  accelTable = LoadAcceleratorsA(instance, "AppAccel");
  mainWindow = CreateWindowExA(WS_EX_APPWINDOW, theApp->appName, theApp->appName,
                               WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 640, 480, nullptr, nullptr,
                               instance, nullptr);
  ShowWindow(mainWindow, showCommand);
  UpdateWindow(mainWindow);
  if (!CreateDevices()) {
    if (!mainWindow) NoteStartupFailure("the main window could not be created");
    return 0;
  }
  HMENU modes = CreatePopupMenu();
  ddraw->EnumDisplayModes(0, nullptr, modes, AddModeItem);
  AppendMenuA(GetMenu(mainWindow), MF_POPUP, reinterpret_cast<uintptr_t>(modes), "Modes");
  return 1;
}

int32_t CreateDevices() {
  if (!CreateDisplayDevice(mainWindow)) return 0;
  return CreateKeyboard(appInstance, mainWindow);
}

void ReleaseDevices() {
  ReleaseDisplayDevice();
  ReleaseKeyboard();
}

int32_t OnIdle() {
  if (!active || paused) return 1;
  theApp->UpdateFrame();
  PollKeyboard();
  return 0;
}

void RunMessageLoop() {
  MSG msg{};
  for (;;) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) break;
      if (mainWindow && TranslateAcceleratorA(mainWindow, accelTable, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else if (OnIdle()) {
      WaitMessage();
    }
  }
}

int32_t WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, char* commandLine,
                       int32_t showCommand) {
  if (!theApp) {
    NoteStartupFailure("there is no application object");
    return 0;
  }
  if (!CreateMainWindow(instance, previous, commandLine, showCommand)) return 0;
  if (!theApp->Init()) {
    NoteStartupFailure(theApp->initError && *theApp->initError
                           ? theApp->initError
                           : "the application could not initialise");
    return 0;
  }
  RunMessageLoop();
  ReleaseDevices();
  theApp->Shutdown();
  return 1;
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATEAPP: active = static_cast<int32_t>(wParam); break;
    case WM_DESTROY:
      mainWindow = nullptr;
      PostQuitMessage(0);
      break;
    case WM_MOVE:
    case WM_SIZE:
    case WM_DISPLAYCHANGE:
      // The caption along the top edge, the client area below it to the
      // bottom, full width.
      if (active && !IsIconic(window)) {
        RECT r{0, GetSystemMetrics(SM_CYCAPTION), GetSystemMetrics(SM_CXSCREEN),
               GetSystemMetrics(SM_CYSCREEN)};
        AdjustWindowRectEx(&r, WS_POPUP | WS_CAPTION, 0, 0);
        SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      }
      break;
    case WM_SETCURSOR:
      if (active && !paused) {
        SetCursor(nullptr);
        return 1;
      }
      break;
    case WM_COMMAND: {
      const uint32_t command = LowWord(wParam);
      if (command == kCmdAbout) {
        SetPaused(1);
        DialogBoxParamA(appInstance, "AppAbout", window, AboutDlgProc, 0);
        SetPaused(0);
      } else if (command == kCmdExit) {
        PostMessageA(window, WM_CLOSE, 0, 0);
      } else if (command >= kCmdFirstMode && command <= kCmdLastMode) {
        ChooseMode(window, command);
        return 0;
      }
      break;
    }
    case WM_LBUTTONDOWN: SetPaused(paused ? 0 : 1); break;
    case WM_ENTERMENULOOP: SetPaused(1); break;
    case WM_EXITMENULOOP: SetPaused(0); break;
    default: break;
  }
  return theApp ? theApp->HandleMessage(window, message, wParam, lParam)
                : DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return 1;
    case WM_COMMAND:
      if (LowWord(wParam) == IDOK) EndDialog(dialog, 1);
      return 0;
    default: return 0;
  }
}

int RunApplication() { return RunApplication(SW_SHOWNORMAL); }

int RunApplication(int32_t showCommand) {
  char commandLine[] = "";
  if (WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, showCommand)) return 0;
  const std::string reason = StartupFailure();
  const std::string text =
      "start-up failed: " + (reason.empty() ? std::string("unknown reason") : reason);
  MessageBoxA(nullptr, text.c_str(), theApp && theApp->appName ? theApp->appName : "kelvo-cube",
              MB_OK | MB_ICONERROR);
  return 1;
}
