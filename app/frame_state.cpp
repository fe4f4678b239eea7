#include "app/frame_state.h"

#include <algorithm>
#include <cstring>

#include "app/ddapp.h"
#include "app/frame_view.h"

// Constant-initialised, so that no start-up code elsewhere sees it unset.
constinit FrameState frameState;
uint32_t& fps = frameState.fps;

const char* StartupFailure() { return frameState.startupFailure; }

void NoteStartupFailure(const std::string& reason) {
  char* failure = frameState.startupFailure;
  if (failure[0]) return;
  const size_t length = std::min(reason.size(), sizeof frameState.startupFailure - 1);
  std::memcpy(failure, reason.data(), length);
  failure[length] = '\0';
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
