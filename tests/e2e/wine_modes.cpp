// kelvo-wine-modes.exe: prints the display modes DirectDraw reports, one
// "WIDTHxHEIGHTxDEPTH" a line in the driver's order, as kelvo-cube.exe sees
// them in its "Modes" menu. The Wine test compares the menu with this list.
// clang-format off
#include <windows.h>
#include <ddraw.h>
// clang-format on

#include <cstdio>

namespace {

HRESULT WINAPI PrintMode(LPDDSURFACEDESC mode, LPVOID) {
  std::printf("%lux%lux%lu\n", mode->dwWidth, mode->dwHeight, mode->ddpfPixelFormat.dwRGBBitCount);
  return DDENUMRET_OK;
}

}  // namespace

int main() {
  // The process joins the virtual desktop, whose modes are the ones to list,
  // with its first window.
  HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  IDirectDraw* ddraw = nullptr;
  const HRESULT hr = DirectDrawCreate(nullptr, &ddraw, nullptr);
  if (hr != DD_OK) {
    std::fprintf(stderr, "kelvo-wine-modes: DirectDrawCreate failed (0x%08lX)\n",
                 static_cast<unsigned long>(hr));
    return 1;
  }
  ddraw->EnumDisplayModes(0, nullptr, nullptr, PrintMode);
  ddraw->Release();
  if (window) DestroyWindow(window);
  return 0;
}
