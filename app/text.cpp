// The overlay text: DDApp::DrawString.
#include <cstring>

#include "app/ddapp.h"
#include "app/frame_state.h"
#include "platform/gdi.h"

using namespace plat;

void DDApp::DrawString(int32_t x, int32_t y, const char* text) {
  if (!backBuffer || !text) return;
  // The faces are drawn by now, and GetDC wants the surface unlocked.
  UnlockBackBuffer(drawnArea);
  HDC dc = nullptr;
  if (backBuffer->GetDC(&dc) != DD_OK) return;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  const size_t length = std::strlen(text);
  TextOutA(dc, x, y, text, length > INT32_MAX ? INT32_MAX : static_cast<int32_t>(length));
  backBuffer->ReleaseDC(dc);
}
