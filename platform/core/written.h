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

// r cut to the buffer's whole rectangle; empty when nothing of it is inside.
inline RECT ClipTo(const RECT& r, const RECT& all) {
  const RECT c{std::max(r.left, all.left), std::max(r.top, all.top), std::min(r.right, all.right),
               std::min(r.bottom, all.bottom)};
  return IsEmpty(c) ? RECT{0, 0, 0, 0} : c;
}

class WrittenRecord {
 public:
  // The whole buffer set to the low bytesPerPixel bytes of fill. The program
  // may still write through an address it locked before, until the chain
  // flips.
  void Filled(uint32_t fill, int32_t bytesPerPixel, const RECT& all) {
    known_ = true;
    fill_ = bytesPerPixel >= 4 ? fill : fill & ((1u << (8 * bytesPerPixel)) - 1);
    drawn_ = {};
    locked_ = lockOpen_ ? all : RECT{};
  }
  // The program has the pixels' address: it may write anywhere until the
  // chain flips, unless it says where it did.
  void Locked(const RECT& all) {
    lockOpen_ = true;
    locked_ = all;
  }
  // The program's word: what it wrote through locked addresses since the
  // last fill lies in area.
  void ProgramWrote(const RECT& area, const RECT& all) { locked_ = ClipTo(area, all); }
  // The core drew inside area.
  void Drew(const RECT& area, const RECT& all) { drawn_ = Join(drawn_, ClipTo(area, all)); }
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
