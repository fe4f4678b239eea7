// What differs from backend to backend, behind one small interface: where the
// user's input comes from when the program looks for messages, the clock, and
// the monitor that shows the screen. Each backend library defines
// TheDriver(); an executable links exactly one backend.
#pragma once
#include <cstdint>

#include "platform/types.h"

namespace plat::core {

class Driver {
 public:
  // The program found its queue empty: bring in what the user did since then
  // (through the core's user functions). True when anything was brought in.
  virtual bool Poll() = 0;
  // The program waits (WaitMessage) with nothing queued: block until the user
  // does something, or return when nothing can come any more.
  virtual void Wait() = 0;
  // One turn of the program's loop found nothing to take.
  virtual void EmptyTurn() {}
  // Milliseconds, for timeGetTime and message times.
  virtual uint32_t Now() = 0;
  // The display is about to be used (a top-level window or a DirectDraw
  // object is made). False when there is no display to be had.
  virtual bool OpenDisplay() { return true; }
  // A flip put another surface in front: show it; like a hardware flip this
  // may wait for the display's refresh.
  virtual void Flipped() {}
  // Something else changed what the screen shows (painting, palette, mode).
  virtual void ScreenChanged() {}
  // SetCursor was called: null hides the pointer.
  virtual void CursorChanged(bool shown) { (void)shown; }
  // Keep a trace of the calls (tests read it); a live program does not.
  virtual bool KeepsTrace() const { return true; }
  // Part of core::Reset.
  virtual void Reset() {}

 protected:
  ~Driver() = default;
};

Driver& TheDriver();

}  // namespace plat::core
