// The failure plan, the trace, and Reset for the whole core.
#include <array>

#include "platform/core/internal.h"

namespace plat::core {
namespace {

constexpr size_t kTraceLimit = 20000;
constexpr size_t kCalls = static_cast<size_t>(Call::kCount);

struct Plan {
  uint32_t skip = 0;
  uint32_t fail = 0;
  uint32_t made = 0;
};

struct Control {
  std::array<Plan, kCalls> plans{};
  std::vector<std::string> trace;
};

Control& State() {
  static Control control;
  return control;
}

}  // namespace

namespace detail {

bool ShouldFail(Call call) {
  Plan& p = State().plans[static_cast<size_t>(call)];
  ++p.made;
  if (p.skip > 0) {
    --p.skip;
    return false;
  }
  if (p.fail > 0) {
    --p.fail;
    return true;
  }
  return false;
}

void Note(const std::string& entry) {
  if (!TheDriver().KeepsTrace()) return;
  auto& trace = State().trace;
  if (trace.size() >= kTraceLimit) trace.erase(trace.begin(), trace.begin() + kTraceLimit / 2);
  trace.push_back(entry);
}

uint32_t Now() { return TheDriver().Now(); }

void OnFlip() { TheDriver().Flipped(); }

}  // namespace detail

void Reset() {
  State() = Control{};
  detail::ResetInput();
  detail::ResetWindows();
  detail::ResetDisplay();
  detail::ResetGdi();
  detail::ResetPainting();
  TheDriver().Reset();
}

void Fail(Call call, uint32_t times, uint32_t after) {
  if (call == Call::kCount) return;
  Plan& p = State().plans[static_cast<size_t>(call)];
  p.skip = after;
  p.fail = times;
}

uint32_t CallCount(Call call) {
  return call == Call::kCount ? 0 : State().plans[static_cast<size_t>(call)].made;
}

const std::vector<std::string>& Trace() { return State().trace; }
void ClearTrace() { State().trace.clear(); }

}  // namespace plat::core

namespace plat {

uint32_t timeGetTime() { return core::detail::Now(); }

}  // namespace plat
