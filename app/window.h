// The window, its procedure, the About box and the message loop with its idle
// step; the entry point and its start-up order. The top of the frame: it
// drives the display and the keyboard, which never call back up here.
#pragma once
#include <cstdint>

#include "app/frame_state.h"
#include "platform/winuser.h"

// 1 after a normal quit; 0 when start-up failed (StartupFailure() says why).
// Declared as the SDK declares it: on Windows the compiler knows the name.
int32_t WINAPI WinMain(plat::HINSTANCE instance, plat::HINSTANCE previous, char* commandLine,
                       int32_t showCommand);
// Window class, accelerators, window, devices and the "Modes" menu.
int32_t CreateMainWindow(plat::HINSTANCE instance, plat::HINSTANCE previous,
                         const char* commandLine, int32_t showCommand);
int32_t CreateDevices();
void ReleaseDevices();
// True when there is nothing to draw and the loop may wait for a message.
int32_t OnIdle();
void RunMessageLoop();
plat::LRESULT CALLBACK MainWndProc(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                                   plat::LPARAM lParam);
plat::INT_PTR CALLBACK AboutDlgProc(plat::HWND dialog, plat::UINT message, plat::WPARAM wParam,
                                    plat::LPARAM lParam);

// What a program's main() calls: runs WinMain for this module and gives the
// process exit code, 0 after a normal quit; a failed start-up gives 1 and
// says why in a message box ("<name>: start-up failed: <reason>" on standard
// error where the window system has no box to show). The window is shown
// normally, or as showCommand says.
int RunApplication();
int RunApplication(int32_t showCommand);
