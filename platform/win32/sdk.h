// The real USER32, GDI32, WINMM, DirectDraw and DirectInput 5 under the names
// the frame uses. Only this header includes the SDK: the frame reaches it
// through platform/*.h, which come here on Windows. The SDK's constants are
// macros and work unqualified; the types and functions join namespace plat.
#pragma once

// windows.h before the others, which build on it.
// clang-format off
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <mmsystem.h>
#include <ddraw.h>
#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0500
#endif
#if DIRECTINPUT_VERSION != 0x0500
#error "the keyboard is read through DirectInput 5"
#endif
#include <dinput.h>
// clang-format on

#include <cstddef>
#include <cstdint>

namespace plat {

// Types. IDirectInput and IDirectInputDevice are macros for their A forms.
using ::ACCEL;
using ::BOOL;
using ::COLORREF;
using ::DDBLTFX;
using ::DDPIXELFORMAT;
using ::DDSCAPS;
using ::DDSURFACEDESC;
using ::DIDATAFORMAT;
using ::DIDEVICEOBJECTDATA;
using ::DIOBJECTDATAFORMAT;
using ::DIPROPDWORD;
using ::DIPROPHEADER;
using ::DLGPROC;
using ::DWORD;
using ::GUID;
using ::HACCEL;
using ::HBRUSH;
using ::HCURSOR;
using ::HDC;
using ::HICON;
using ::HINSTANCE;
using ::HMENU;
using ::HRESULT;
using ::HWND;
using ::IDirectDraw;
using ::IDirectDrawPalette;
using ::IDirectDrawSurface;
using ::IDirectInputA;
using ::IDirectInputDeviceA;
using ::INT_PTR;
using ::LPARAM;
using ::LPDDENUMMODESCALLBACK;
using ::LRESULT;
using ::MENUITEMINFOA;
using ::MSG;
using ::PALETTEENTRY;
using ::POINT;
using ::RECT;
using ::UINT;
using ::WNDCLASSA;
using ::WNDPROC;
using ::WPARAM;

// USER32 and KERNEL32.
using ::AdjustWindowRectEx;
using ::AppendMenuA;
using ::CheckMenuItem;
using ::CreatePopupMenu;
using ::CreateWindowExA;
using ::DefWindowProcA;
using ::DestroyMenu;
using ::DestroyWindow;
using ::DialogBoxParamA;
using ::DispatchMessageA;
using ::DrawMenuBar;
using ::EnableWindow;
using ::EndDialog;
using ::GetCursor;
using ::GetMenu;
using ::GetMenuItemCount;
using ::GetMenuItemInfoA;
using ::GetMenuState;
using ::GetMenuStringA;
using ::GetModuleHandleA;
using ::GetSubMenu;
using ::GetSystemMetrics;
using ::GetWindowRect;
using ::IsIconic;
using ::IsWindowEnabled;
using ::LoadAcceleratorsA;
using ::LoadCursorA;
using ::LoadIconA;
using ::LoadMenuA;
using ::MessageBoxA;
using ::PeekMessageA;
using ::PostMessageA;
using ::PostQuitMessage;
using ::RedrawWindow;
using ::RegisterClassA;
using ::SendMessageA;
using ::SetCursor;
using ::SetMenuItemInfoA;
using ::SetWindowPos;
using ::ShowWindow;
using ::TranslateAcceleratorA;
using ::TranslateMessage;
using ::UpdateWindow;
using ::WaitMessage;

// GDI32 and WINMM.
using ::GetDC;
using ::GetStockObject;
using ::ReleaseDC;
using ::SetBkMode;
using ::SetTextColor;
using ::TextOutA;
using ::timeGetTime;

// DirectInput; its keyboard format and device GUID come from the SDK's libraries.
using ::c_dfDIKeyboard;
using ::DirectInputCreateA;
using ::GUID_SysKeyboard;

// The size of MENUITEMINFOA before hbmpItem was added (44 bytes on 32-bit
// Windows), which every version of Windows accepts.
constexpr UINT kMenuItemInfoSize = offsetof(MENUITEMINFOA, hbmpItem);
static_assert(sizeof(void*) != 4 || kMenuItemInfoSize == 44);

// A thin layer of our own (platform/win32) where Windows and Wine differ
// from what the frame needs. These share the SDK's names, so the frame calls
// them qualified.
// DirectDraw whose surfaces' rows, when longer than their width, are drawn
// through a contiguous copy.
HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** out, IUnknown* outer);
// Where the frame drew, for monitors that show only what changed; a real
// display shows the surface as it is, so nothing is done with it.
HRESULT NoteDrawnArea(IDirectDrawSurface* surface, const RECT* area);
// An 8-bit display DC is palette-based, even where Wine says otherwise.
int GetDeviceCaps(HDC dc, int index);
UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries);

}  // namespace plat
