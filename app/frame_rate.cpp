#include "app/frame_rate.h"

#include "app/ddapp.h"
#include "app/frame_state.h"
#include "platform/winuser.h"

void CountFrame() {
  ++frameCount;
  const uint32_t now = plat::timeGetTime();
  const uint32_t elapsed = now - fpsTime;
  if (elapsed <= 1000) return;
  fpsTime = now;
  fps = (frameCount * 1000u - fpsFrames * 1000u) / elapsed;
  fpsFrames = frameCount;
}
