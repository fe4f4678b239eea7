// The in-memory backend's driver: the user is a script whose steps run when
// the program looks for input, the clock is set by hand (and moves on with
// each flip if asked), and there is no monitor.
#include <cstdio>
#include <deque>

#include "platform/core/driver.h"
#include "platform/headless/headless.h"
#include "platform/winuser.h"

namespace headless {
namespace {

constexpr uint32_t kDefaultIdleLimit = 10000;

struct Step {
  uint32_t idleTurns;
  std::function<void()> action;
};

class ScriptedDriver final : public plat::core::Driver {
 public:
  bool Poll() override { return RunNextStep(false); }
  void Wait() override { RunNextStep(true); }
  void EmptyTurn() override { ++idleTurns_; }
  uint32_t Now() override { return clock_; }
  void Flipped() override { clock_ += timePerFlip_; }
  void Reset() override {
    steps_.clear();
    idleTurns_ = 0;
    idleLimit_ = kDefaultIdleLimit;
    stalled_ = false;
    clock_ = 0;
    timePerFlip_ = 0;
    // No monitor shows the price of checking the program's locks.
    plat::core::GuardUnlockedPixels(true);
  }

  // Nothing comes by itself here: the script is the user, and each of its
  // steps is something happening.
  bool RunNextStep(bool waiting) {
    if (steps_.empty()) {
      if (waiting || idleTurns_ >= idleLimit_) {
        if (!stalled_)
          std::fprintf(stderr, "headless: %s and no scripted step is left; ending the run\n",
                       waiting ? "the program waits for input" : "the program runs on");
        stalled_ = true;
        plat::PostQuitMessage(0);
        return true;
      }
      return false;
    }
    if (!waiting && idleTurns_ < steps_.front().idleTurns) return false;
    Step step = std::move(steps_.front());
    steps_.pop_front();
    idleTurns_ = 0;
    if (step.action) step.action();
    return true;
  }

  std::deque<Step> steps_;
  uint32_t idleTurns_ = 0;
  uint32_t idleLimit_ = kDefaultIdleLimit;
  bool stalled_ = false;
  uint32_t clock_ = 0;
  uint32_t timePerFlip_ = 0;
};

ScriptedDriver& Scripted() {
  static ScriptedDriver driver;
  return driver;
}

}  // namespace

void SetTime(uint32_t milliseconds) { Scripted().clock_ = milliseconds; }
void SetTimePerFlip(uint32_t milliseconds) { Scripted().timePerFlip_ = milliseconds; }

void AddStep(uint32_t idleTurns, std::function<void()> step) {
  Scripted().steps_.push_back({idleTurns, std::move(step)});
}
size_t PendingSteps() { return Scripted().steps_.size(); }
void SetIdleLimit(uint32_t idleTurns) { Scripted().idleLimit_ = idleTurns; }
bool Stalled() { return Scripted().stalled_; }

}  // namespace headless

namespace plat::core {

Driver& TheDriver() { return headless::Scripted(); }

}  // namespace plat::core
