#include "app/frame_state.h"

#include "app/ddapp.h"
#include "app/frame_view.h"

// Constant-initialised, so that no start-up code elsewhere sees it unset; but
// clang 14 (the fuzz build's) cannot constant-initialise libstdc++'s string.
#if defined(__clang__) && __clang_major__ < 15
FrameState frameState;
#else
constinit FrameState frameState;
#endif
uint32_t& fps = frameState.fps;

const std::string& StartupFailure() { return frameState.startupFailure; }

void NoteStartupFailure(const std::string& reason) {
  if (frameState.startupFailure.empty()) frameState.startupFailure = reason;
}

void UnlockBackBuffer(const plat::RECT& drawn) {
  if (!frameLocked) return;
  frameLocked = false;
  if (!backBuffer) return;
  backBuffer->Unlock(nullptr);
  plat::NoteDrawnArea(backBuffer, &drawn);
}

void ResetFrameState() {
  frameState = FrameState{};
  frameView = FrameView{};
}
