// What the display knows of one buffer's pixels without reading them, kept up
// to date by every way the core writes into the buffer or hands it out: a
// monitor then converts only the part that can have changed.
#pragma once
#include <algorithm>
#include <cstdint>

#include "platform/core/core.h"

namespace plat::core::detail {

inline bool IsEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

// The smallest rectangle holding both; empty ones count for nothing.
inline RECT Join(const RECT& a, const RECT& b) {
  if (IsEmpty(a)) return IsEmpty(b) ? RECT{0, 0, 0, 0} : b;
  if (IsEmpty(b)) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

// r cut to a buffer of width x height; empty when nothing of it is inside.
inline RECT ClipTo(const RECT& r, int32_t width, int32_t height) {
  const RECT c{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width),
               std::min(r.bottom, height)};
  return IsEmpty(c) ? RECT{0, 0, 0, 0} : c;
}

class WrittenRecord {
 public:
  // The whole buffer set to fill. The program may still write through an
  // address it locked before, until the chain flips.
  void Filled(uint32_t fill, int32_t width, int32_t height) {
    known_ = true;
    fill_ = fill;
    drawn_ = {};
    locked_ = lockOpen_ ? RECT{0, 0, width, height} : RECT{};
  }
  // The program has the pixels' address: it may write anywhere until the
  // chain flips, unless it says where it did.
  void Locked(int32_t width, int32_t height) {
    lockOpen_ = true;
    locked_ = {0, 0, width, height};
  }
  // The program's word: what it wrote through locked addresses since the
  // last fill lies in area.
  void ProgramWrote(const RECT& area, int32_t width, int32_t height) {
    locked_ = ClipTo(area, width, height);
  }
  // The core drew inside area.
  void Drew(const RECT& area, int32_t width, int32_t height) {
    drawn_ = Join(drawn_, ClipTo(area, width, height));
  }
  // The chain flipped: addresses locked before are no longer the program's
  // to write through.
  void Flipped() { lockOpen_ = false; }
  // Written in ways nobody bounded.
  void Lost() { known_ = false; }

  KnownPixels Known() const {
    if (!known_) return {};
    return {true, fill_, Join(drawn_, locked_)};
  }

 private:
  bool known_ = false;
  bool lockOpen_ = false;
  uint32_t fill_ = 0;
  RECT drawn_{0, 0, 0, 0};
  RECT locked_{0, 0, 0, 0};
};

}  // namespace plat::core::detail
