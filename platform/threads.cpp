#include "platform/threads.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "platform/row_copy.h"

namespace plat {
namespace {

using Clock = std::chrono::steady_clock;

// A worker keeps looking for the next job this long before it sleeps: frames
// come faster than a sleeping thread wakes (tens of microseconds), while a
// program that stops drawing has its workers asleep at once.
constexpr auto kSpin = std::chrono::microseconds(200);

// Set on every thread while it runs a part: a job started there runs inline.
thread_local bool insidePart = false;

inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

constexpr uint64_t Pack(uint32_t generation, uint32_t parts, uint32_t next) {
  return (uint64_t{generation} << 32) | (uint64_t{parts} << 16) | next;
}
constexpr uint32_t Generation(uint64_t s) { return static_cast<uint32_t>(s >> 32); }
constexpr uint32_t Parts(uint64_t s) { return static_cast<uint32_t>(s >> 16) & 0xFFFFu; }
constexpr uint32_t Next(uint64_t s) { return static_cast<uint32_t>(s) & 0xFFFFu; }

}  // namespace

int32_t MachineThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<int32_t>(std::clamp<unsigned>(cores, 1u, kMaxThreads));
}

bool ParseThreadCount(std::string_view text, int32_t* count) {
  if (text.empty() || text.size() > 4) return false;
  int32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kMaxThreads) return false;
  *count = value;
  return true;
}

int32_t ThreadsFromEnvironment(const char* program) {
  const char* value = std::getenv("KELVO_THREADS");
  const int32_t machine = MachineThreads();
  if (value == nullptr) return machine;
  int32_t count = 0;
  if (ParseThreadCount(value, &count)) return count;
  // The value is quoted as it is, cut short: it may be anything.
  const std::string shown = std::string(value).substr(0, 40);
  std::fprintf(stderr,
               "%s: warning: KELVO_THREADS='%s' is not a thread count (1 to %d); using %d\n",
               program, shown.c_str(), static_cast<int>(kMaxThreads), static_cast<int>(machine));
  return machine;
}

WorkerPool::WorkerPool(int32_t threads) { Start(threads); }

WorkerPool::~WorkerPool() { Stop(); }

void WorkerPool::SetThreads(int32_t threads) {
  threads = std::clamp(threads, int32_t{1}, kMaxThreads);
  if (threads == this->threads()) return;
  Stop();
  Start(threads);
}

void WorkerPool::Start(int32_t threads) {
  threads = std::clamp(threads, int32_t{1}, kMaxThreads);
  stop_.store(false);
  // More threads than cores: a spinning worker would hold up one with work.
  const bool spin = threads <= MachineThreads();
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  // Built without threads (a web page without shared memory): none can
  // start, and without exceptions trying would abort.
  return;
#endif
  workers_.reserve(static_cast<size_t>(threads - 1));
  for (int32_t i = 1; i < threads; ++i) {
    try {
      workers_.emplace_back([this, spin] { WorkerLoop(spin); });
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the team is smaller
    }
  }
}

void WorkerPool::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_.store(true);
  }
  wake_.notify_all();
  for (std::thread& t : workers_) t.join();
  workers_.clear();
}

void WorkerPool::RunJob(int32_t parts, PartFn fn, void* arg) {
  if (parts <= 0) return;
  if (workers_.empty() || parts == 1 || insidePart || parts > kMaxParts) {
    for (int32_t i = 0; i < parts; ++i) fn(arg, i);
    return;
  }
  fn_ = fn;
  arg_ = arg;
  error_ = nullptr;
  remaining_.store(parts, std::memory_order_relaxed);
  const uint32_t generation = ++generation_;
  // Published: from here the job belongs to whoever claims its parts.
  claim_.store(Pack(generation, static_cast<uint32_t>(parts), 0));
  if (sleepers_.load() > 0) {
    { std::lock_guard<std::mutex> lock(mutex_); }
    wake_.notify_all();
  }
  TakeParts(generation);
  // The parts others claimed: they end soon, so the wait spins, giving the
  // core away when another thread could use it.
  for (uint32_t spins = 0; remaining_.load(std::memory_order_acquire) != 0; ++spins) {
    if (spins < 4096) {
      Pause();
    } else {
      std::this_thread::yield();
    }
  }
  if (error_) {
    std::exception_ptr error = error_;
    error_ = nullptr;
    std::rethrow_exception(error);
  }
}

void WorkerPool::TakeParts(uint32_t generation) {
  uint64_t state = claim_.load(std::memory_order_acquire);
  for (;;) {
    if (Generation(state) != generation || Next(state) >= Parts(state)) return;
    if (claim_.compare_exchange_weak(state, state + 1, std::memory_order_acq_rel,
                                     std::memory_order_acquire)) {
      RunPart(static_cast<int32_t>(Next(state)));
      state = claim_.load(std::memory_order_acquire);
    }
  }
}

void WorkerPool::RunPart(int32_t index) {
  insidePart = true;
  try {
    fn_(arg_, index);
  } catch (...) {
    std::lock_guard<std::mutex> lock(errorMutex_);
    if (!error_) error_ = std::current_exception();
  }
  insidePart = false;
  remaining_.fetch_sub(1, std::memory_order_acq_rel);
}

uint64_t WorkerPool::WaitForJob(uint32_t seen, bool spin) {
  uint64_t state = 0;
  auto ready = [&] {
    state = claim_.load();
    return Generation(state) != seen || stop_.load(std::memory_order_relaxed);
  };
  if (spin) {
    const Clock::time_point start = Clock::now();
    for (uint32_t i = 1;; ++i) {
      if (ready()) return state;
      Pause();
      if ((i & 255) == 0 && Clock::now() - start > kSpin) break;
    }
  }
  std::unique_lock<std::mutex> lock(mutex_);
  sleepers_.fetch_add(1);
  wake_.wait(lock, ready);
  sleepers_.fetch_sub(1);
  return state;
}

void WorkerPool::WorkerLoop(bool spin) {
  uint32_t seen = Generation(claim_.load());
  for (;;) {
    const uint64_t state = WaitForJob(seen, spin);
    if (stop_.load()) return;
    seen = Generation(state);
    TakeParts(seen);
  }
}

void FillPixelsShared(WorkerPool& pool, uint8_t* pixels, size_t count, uint32_t bytesPerPixel,
                      uint32_t value) {
  if (bytesPerPixel < 1 || bytesPerPixel > 4 || pixels == nullptr) return;
  // A pixel whose bytes are all one value (black above all) is a byte fill.
  bool bytewise = true;
  for (uint32_t i = 1; i < bytesPerPixel; ++i)
    bytewise = bytewise && ((value >> (8 * i)) & 0xFF) == (value & 0xFF);
  // Below this a part is over before another thread could start on it.
  constexpr size_t kPartBytes = 64 * 1024;
  const size_t bytes = count * bytesPerPixel;
  const auto parts = static_cast<int32_t>(
      std::clamp<size_t>(bytes / kPartBytes, 1, static_cast<size_t>(pool.threads())));
  pool.Run(parts, [&](int32_t k) {
    const size_t first = count * static_cast<size_t>(k) / static_cast<size_t>(parts);
    const size_t last = count * static_cast<size_t>(k + 1) / static_cast<size_t>(parts);
    uint8_t* const at = pixels + first * bytesPerPixel;
    if (bytewise) {
      std::memset(at, static_cast<int>(value & 0xFF), (last - first) * bytesPerPixel);
    } else {
      FillPixels(at, last - first, bytesPerPixel, value);
    }
  });
}

WorkerPool& SharedPool() {
  static WorkerPool pool(MachineThreads());
  return pool;
}

void SetThreadCount(int32_t threads) { SharedPool().SetThreads(threads); }

int32_t ThreadCount() { return SharedPool().threads(); }

}  // namespace plat
