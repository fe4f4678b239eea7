// The handful of window-system types and message numbers every part of the
// platform layer shares. A native Win32 backend maps them onto the real ones.
#pragma once
#include <cstdint>

#if defined(_WIN32) && !defined(KELVO_EMULATED_PLATFORM)
#include "platform/win32/sdk.h"
#else

// The calling conventions of 32-bit Windows callbacks; nothing elsewhere.
#ifndef CALLBACK
#define CALLBACK
#endif
#ifndef WINAPI
#define WINAPI
#endif

namespace plat {

struct WindowObject;
struct MenuObject;
struct InstanceObject;
using HWND = WindowObject*;
using HMENU = MenuObject*;
using HINSTANCE = InstanceObject*;
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using BOOL = int32_t;
using HRESULT = int32_t;
using DWORD = uint32_t;
using INT_PTR = intptr_t;

struct RECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_NCMOUSEMOVE = 0x00A0;
constexpr UINT WM_NCLBUTTONDOWN = 0x00A1;
constexpr UINT WM_NCLBUTTONUP = 0x00A2;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_INITMENU = 0x0116;
constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_ENTERMENULOOP = 0x0211;
constexpr UINT WM_EXITMENULOOP = 0x0212;
constexpr UINT WM_USER = 0x0400;

}  // namespace plat

#endif  // _WIN32 && !KELVO_EMULATED_PLATFORM

namespace plat {

// The words packed into message parameters.
constexpr uint32_t LowWord(uintptr_t v) { return static_cast<uint32_t>(v & 0xFFFF); }
constexpr uint32_t HighWord(uintptr_t v) { return static_cast<uint32_t>((v >> 16) & 0xFFFF); }
constexpr WPARAM MakeWParam(uint32_t low, uint32_t high) {
  return static_cast<WPARAM>((low & 0xFFFF) | ((high & 0xFFFF) << 16));
}
constexpr LPARAM MakeLParam(int32_t low, int32_t high) {
  return static_cast<LPARAM>(static_cast<int32_t>((static_cast<uint32_t>(low) & 0xFFFF) |
                                                  ((static_cast<uint32_t>(high) & 0xFFFF) << 16)));
}

}  // namespace plat
