// Worker threads for work that splits into independent parts (the rows of a
// frame): a team started once and kept, handed one job at a time. The thread
// that hands a job over takes parts of it too, and gets it back only when
// every part is done, so to the caller a job is one plain call. Standard C++
// threads only, the same on every system.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>
#include <type_traits>
#include <vector>

namespace plat {

// The most threads a program draws with.
constexpr int32_t kMaxThreads = 64;

// The machine's cores as the system reports them: at least 1, at most
// kMaxThreads.
int32_t MachineThreads();

// A thread count from 1 to kMaxThreads, the whole text and nothing else.
bool ParseThreadCount(std::string_view text, int32_t* count);

// The count the environment's KELVO_THREADS asks for, else MachineThreads().
// A value that is no count gives one line on standard error,
// "<program>: warning: KELVO_THREADS=...", and MachineThreads().
int32_t ThreadsFromEnvironment(const char* program);

class WorkerPool {
 public:
  // threads counts the calling thread: threads - 1 workers are started.
  explicit WorkerPool(int32_t threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int32_t threads() const { return static_cast<int32_t>(workers_.size()) + 1; }
  // Stops the workers (they finish nothing: no job runs between calls) and
  // starts the new team. Clamped to 1..kMaxThreads.
  void SetThreads(int32_t threads);

  // Calls part(i) once for every i in [0, parts), spread over the team, and
  // returns when all are done. Parts run at the same time, in no set order;
  // each must touch only what is its own. The first exception a part throws
  // is thrown here once every part has finished. A job started from inside a
  // part, or on a team of one, runs its parts in order on the calling thread.
  // Allocates nothing. parts is at most kMaxParts.
  static constexpr int32_t kMaxParts = 0xFFFF;
  template <typename Part>
  void Run(int32_t parts, Part&& part) {
    using P = std::remove_reference_t<Part>;
    RunJob(
        parts, [](void* p, int32_t i) { (*static_cast<P*>(p))(i); },
        const_cast<void*>(static_cast<const void*>(&part)));
  }

 private:
  using PartFn = void (*)(void*, int32_t);
  void RunJob(int32_t parts, PartFn fn, void* arg);
  void Start(int32_t threads);
  void Stop();
  // spin: wait for the next job awake a little before sleeping.
  void WorkerLoop(bool spin);
  // Claims and runs parts of the job of `generation` while any are left.
  void TakeParts(uint32_t generation);
  void RunPart(int32_t index);
  uint64_t WaitForJob(uint32_t seen, bool spin);

  // The job's state in one word, so that a part is claimed for the job it
  // belongs to and no other: generation (32 bits), parts, next part.
  alignas(64) std::atomic<uint64_t> claim_{0};
  alignas(64) std::atomic<int32_t> remaining_{0};
  alignas(64) std::atomic<int32_t> sleepers_{0};
  std::atomic<bool> stop_{false};
  // Written before a job is published and read only by threads that have
  // claimed one of its parts.
  PartFn fn_ = nullptr;
  void* arg_ = nullptr;
  uint32_t generation_ = 0;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::mutex errorMutex_;
  std::exception_ptr error_;
  std::vector<std::thread> workers_;
};

// count pixels of bytesPerPixel bytes (1 to 4), each the low bytes of value in
// little-endian order, as a colour-fill blit writes them: split over the team
// in parts of whole pixels, or on the calling thread alone where the fill is
// too small to be worth a hand-over.
void FillPixelsShared(WorkerPool& pool, uint8_t* pixels, size_t count, uint32_t bytesPerPixel,
                      uint32_t value);

// The team every drawing of the program shares (the frame's bands, the
// back buffer's fill, the monitor's conversion), started at first use with
// MachineThreads() threads.
WorkerPool& SharedPool();
// The shared team's size; set before drawing starts.
void SetThreadCount(int32_t threads);
int32_t ThreadCount();

}  // namespace plat
