// Window-system services in the shape of USER32 and WINMM: window class and
// window, message queue, accelerators, menus with item data, a modal dialog,
// the cursor, system metrics and the millisecond clock. Each backend
// implements these free functions; an executable links exactly one backend.
#pragma once

#if defined(_WIN32) && !defined(KELVO_EMULATED_PLATFORM)
#include "platform/types.h"  // the SDK, and the words of message parameters
#else
#include <cstdint>
#include <cstdio>

#include "platform/ddraw.h"
#include "platform/types.h"

namespace plat {

struct IconObject;
struct CursorObject;
struct AccelObject;
using HICON = IconObject*;
using HCURSOR = CursorObject*;
using HACCEL = AccelObject*;
using HBRUSH = void*;
using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

constexpr UINT CS_VREDRAW = 0x1;
constexpr UINT CS_HREDRAW = 0x2;
constexpr uint32_t WS_POPUP = 0x80000000u;
constexpr uint32_t WS_CHILD = 0x40000000u;
constexpr uint32_t WS_VISIBLE = 0x10000000u;
constexpr uint32_t WS_CAPTION = 0x00C00000u;
constexpr uint32_t WS_SYSMENU = 0x00080000u;
constexpr uint32_t WS_GROUP = 0x00020000u;
constexpr uint32_t WS_TABSTOP = 0x00010000u;
constexpr uint32_t WS_EX_APPWINDOW = 0x00040000u;
constexpr uint32_t DS_SETFONT = 0x40;
constexpr uint32_t DS_MODALFRAME = 0x80;
constexpr uint32_t SS_CENTER = 0x1;
constexpr uint32_t SS_ICON = 0x3;
constexpr uint32_t BS_DEFPUSHBUTTON = 0x1;

constexpr int32_t SW_HIDE = 0;
constexpr int32_t SW_SHOWNORMAL = 1;
constexpr int32_t SW_SHOWMINIMIZED = 2;
constexpr int32_t SW_SHOW = 5;
constexpr int32_t SW_MINIMIZE = 6;
constexpr UINT PM_REMOVE = 0x1;
constexpr int32_t SM_CXSCREEN = 0;
constexpr int32_t SM_CYSCREEN = 1;
constexpr int32_t SM_CYCAPTION = 4;
constexpr int32_t SM_CYMENU = 15;
constexpr int32_t SM_CXFIXEDFRAME = 7;
constexpr int32_t SM_CYFIXEDFRAME = 8;
constexpr UINT SWP_NOSIZE = 0x1;
constexpr UINT SWP_NOMOVE = 0x2;
constexpr UINT SWP_NOZORDER = 0x4;
constexpr UINT SWP_NOACTIVATE = 0x10;
constexpr UINT RDW_FRAME = 0x400;
constexpr WPARAM SIZE_RESTORED = 0;
constexpr LPARAM HTNOWHERE = 0;
constexpr LPARAM HTCLIENT = 1;
constexpr LPARAM HTCAPTION = 2;
constexpr LPARAM HTMENU = 5;
constexpr WPARAM MK_LBUTTON = 0x1;
constexpr int32_t WHEEL_DELTA = 120;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_MOUSEMENU = 0xF090;
constexpr WPARAM SC_KEYMENU = 0xF100;
constexpr uint32_t BN_CLICKED = 0;

constexpr UINT MF_STRING = 0x0;
constexpr UINT MF_BYCOMMAND = 0x0;
constexpr UINT MF_UNCHECKED = 0x0;
constexpr UINT MF_GRAYED = 0x1;
constexpr UINT MF_DISABLED = 0x2;
constexpr UINT MF_CHECKED = 0x8;
constexpr UINT MF_POPUP = 0x10;
constexpr UINT MF_BYPOSITION = 0x400;
constexpr UINT MF_SEPARATOR = 0x800;
constexpr UINT MIIM_STATE = 0x1;
constexpr UINT MIIM_ID = 0x2;
constexpr UINT MIIM_SUBMENU = 0x4;
constexpr UINT MIIM_TYPE = 0x10;
constexpr UINT MIIM_DATA = 0x20;

constexpr uint8_t FVIRTKEY = 0x1;
constexpr uint8_t FNOINVERT = 0x2;
constexpr uint8_t FSHIFT = 0x4;
constexpr uint8_t FCONTROL = 0x8;
constexpr uint8_t FALT = 0x10;
constexpr uint16_t VK_BACK = 0x08;
constexpr uint16_t VK_TAB = 0x09;
constexpr uint16_t VK_CLEAR = 0x0C;
constexpr uint16_t VK_RETURN = 0x0D;
constexpr uint16_t VK_SHIFT = 0x10;
constexpr uint16_t VK_CONTROL = 0x11;
constexpr uint16_t VK_MENU = 0x12;
constexpr uint16_t VK_PAUSE = 0x13;
constexpr uint16_t VK_CAPITAL = 0x14;
constexpr uint16_t VK_ESCAPE = 0x1B;
constexpr uint16_t VK_SPACE = 0x20;
constexpr uint16_t VK_PRIOR = 0x21;
constexpr uint16_t VK_NEXT = 0x22;
constexpr uint16_t VK_END = 0x23;
constexpr uint16_t VK_HOME = 0x24;
constexpr uint16_t VK_LEFT = 0x25;
constexpr uint16_t VK_UP = 0x26;
constexpr uint16_t VK_RIGHT = 0x27;
constexpr uint16_t VK_DOWN = 0x28;
constexpr uint16_t VK_INSERT = 0x2D;
constexpr uint16_t VK_SNAPSHOT = 0x2C;
constexpr uint16_t VK_DELETE = 0x2E;
constexpr uint16_t VK_LWIN = 0x5B;
constexpr uint16_t VK_RWIN = 0x5C;
constexpr uint16_t VK_APPS = 0x5D;
constexpr uint16_t VK_NUMPAD0 = 0x60;
constexpr uint16_t VK_NUMPAD9 = 0x69;
constexpr uint16_t VK_MULTIPLY = 0x6A;
constexpr uint16_t VK_ADD = 0x6B;
constexpr uint16_t VK_SUBTRACT = 0x6D;
constexpr uint16_t VK_DECIMAL = 0x6E;
constexpr uint16_t VK_DIVIDE = 0x6F;
constexpr uint16_t VK_F1 = 0x70;
constexpr uint16_t VK_F10 = 0x79;
constexpr uint16_t VK_F11 = 0x7A;
constexpr uint16_t VK_F12 = 0x7B;
constexpr uint16_t VK_NUMLOCK = 0x90;
constexpr uint16_t VK_SCROLL = 0x91;
constexpr uint16_t VK_OEM_1 = 0xBA;     // ;:
constexpr uint16_t VK_OEM_PLUS = 0xBB;  // =+
constexpr uint16_t VK_OEM_COMMA = 0xBC;
constexpr uint16_t VK_OEM_MINUS = 0xBD;
constexpr uint16_t VK_OEM_PERIOD = 0xBE;
constexpr uint16_t VK_OEM_2 = 0xBF;    // /?
constexpr uint16_t VK_OEM_3 = 0xC0;    // `~
constexpr uint16_t VK_OEM_4 = 0xDB;    // [{
constexpr uint16_t VK_OEM_5 = 0xDC;    // \|
constexpr uint16_t VK_OEM_6 = 0xDD;    // ]}
constexpr uint16_t VK_OEM_7 = 0xDE;    // '"
constexpr uint16_t VK_OEM_102 = 0xE2;  // the extra key of ISO keyboards
constexpr int32_t IDOK = 1;
constexpr int32_t IDCANCEL = 2;

struct POINT {
  int32_t x;
  int32_t y;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  uint32_t time;
  POINT pt;
};

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int32_t cbClsExtra;
  int32_t cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
};

struct MENUITEMINFOA {
  UINT cbSize;
  UINT fMask;
  UINT fType;
  UINT fState;
  UINT wID;
  HMENU hSubMenu;
  void* hbmpChecked;
  void* hbmpUnchecked;
  uintptr_t dwItemData;
  char* dwTypeData;
  UINT cch;
};
constexpr UINT kMenuItemInfoSize = sizeof(MENUITEMINFOA);

// One accelerator: a virtual key (with FVIRTKEY) and the command it sends.
struct ACCEL {
  uint8_t fVirt;
  uint16_t key;
  uint16_t cmd;
};

// The program's own module; its resources come from the resource library.
HINSTANCE GetModuleHandleA(const char* moduleName);

BOOL RegisterClassA(const WNDCLASSA* wc);  // nonzero on success
HWND CreateWindowExA(uint32_t exStyle, const char* className, const char* title, uint32_t style,
                     int32_t x, int32_t y, int32_t width, int32_t height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param);
BOOL ShowWindow(HWND window, int32_t command);
BOOL UpdateWindow(HWND window);
BOOL DestroyWindow(HWND window);
BOOL IsIconic(HWND window);
BOOL IsWindowEnabled(HWND window);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL SetWindowPos(HWND window, HWND after, int32_t x, int32_t y, int32_t cx, int32_t cy,
                  UINT flags);
BOOL AdjustWindowRectEx(RECT* rect, uint32_t style, BOOL menu, uint32_t exStyle);
int32_t GetSystemMetrics(int32_t index);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
BOOL WaitMessage();
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int32_t exitCode);

HICON LoadIconA(HINSTANCE instance, const char* name);
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);  // null instance: system cursors
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
HBRUSH GetStockObject(int32_t object);
constexpr int32_t BLACK_BRUSH = 4;
extern const char* const IDC_ARROW;

HACCEL LoadAcceleratorsA(HINSTANCE instance, const char* name);
// Key-down messages matching an entry become WM_COMMAND, sent at once.
int32_t TranslateAcceleratorA(HWND window, HACCEL table, MSG* msg);

HMENU LoadMenuA(HINSTANCE instance, const char* name);
HMENU GetMenu(HWND window);
HMENU GetSubMenu(HMENU menu, int32_t position);
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);
BOOL AppendMenuA(HMENU menu, UINT flags, uintptr_t idOrPopup, const char* text);
int32_t GetMenuItemCount(HMENU menu);                       // -1 for a bad handle
uint32_t CheckMenuItem(HMENU menu, UINT item, UINT flags);  // previous state, or ~0u
uint32_t GetMenuState(HMENU menu, UINT item, UINT flags);   // MF_ flags, or ~0u
int32_t GetMenuStringA(HMENU menu, UINT item, char* text, int32_t size, UINT flags);
BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info);
BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOA* info);
BOOL DrawMenuBar(HWND window);
BOOL RedrawWindow(HWND window, const RECT* rect, void* region, UINT flags);

// Runs its own message loop until the dialog procedure calls EndDialog.
INT_PTR DialogBoxParamA(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc,
                        LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_ICONERROR = 0x10;
// The emulation draws no box: the message is for whoever started the
// program, which may have no window left to show it in. Caption and text go
// to standard error as one line, "caption: text"; the answer is IDOK.
inline int32_t MessageBoxA(HWND, const char* text, const char* caption, UINT) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "Error", text ? text : "");
  std::fflush(stderr);
  return IDOK;
}

uint32_t timeGetTime();

}  // namespace plat

#endif  // _WIN32 && !KELVO_EMULATED_PLATFORM
