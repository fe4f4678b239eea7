// The team of drawing threads: every part of a job runs once, the caller gets
// the job back only when all are done, failures come back to it, and the
// shared fill writes what a plain fill writes.
#include "platform/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "platform/row_copy.h"
#include "support/test_support.h"

namespace {

TEST(WorkerPool, EveryPartRunsOnceAndIsDoneOnReturn) {
  for (const int32_t threads : {1, 2, 3, 5}) {
    plat::WorkerPool pool(threads);
    EXPECT_EQ(pool.threads(), threads);
    for (const int32_t parts : {1, 2, 3, 7, 64, 1000}) {
      for (int32_t job = 0; job < 20; ++job) {
        // Plain ints written by the parts: the return must publish them.
        std::vector<int32_t> runs(static_cast<size_t>(parts), 0);
        pool.Run(parts, [&](int32_t i) { runs[static_cast<size_t>(i)] += 1; });
        for (int32_t i = 0; i < parts; ++i)
          ASSERT_EQ(runs[static_cast<size_t>(i)], 1)
              << threads << " threads, part " << i << " of " << parts;
      }
    }
  }
}

TEST(WorkerPool, TheTeamCanBeResizedBetweenJobs) {
  plat::WorkerPool pool(1);
  for (const int32_t threads : {4, 2, 1, 3, 0, 1000}) {
    pool.SetThreads(threads);
    const int32_t expected =
        threads < 1 ? 1 : (threads > plat::kMaxThreads ? plat::kMaxThreads : threads);
    EXPECT_EQ(pool.threads(), expected);
    std::atomic<int32_t> sum{0};
    pool.Run(100, [&](int32_t i) { sum += i; });
    EXPECT_EQ(sum.load(), 4950);
  }
}

TEST(WorkerPool, AFailingPartIsThrownToTheCallerAfterTheOthersFinish) {
  plat::WorkerPool pool(3);
  std::atomic<int32_t> finished{0};
  EXPECT_THROW(pool.Run(16,
                        [&](int32_t i) {
                          if (i == 5) throw std::runtime_error("part 5");
                          ++finished;
                        }),
               std::runtime_error);
  EXPECT_EQ(finished.load(), 15);
  // The team still works afterwards.
  std::atomic<int32_t> runs{0};
  pool.Run(8, [&](int32_t) { ++runs; });
  EXPECT_EQ(runs.load(), 8);
}

TEST(WorkerPool, AJobStartedInsideAPartRunsThere) {
  plat::WorkerPool pool(3);
  std::vector<int32_t> inner(4 * 5, 0);
  pool.Run(4, [&](int32_t i) {
    pool.Run(5, [&](int32_t j) { inner[static_cast<size_t>(i * 5 + j)] += 1; });
  });
  for (const int32_t runs : inner) EXPECT_EQ(runs, 1);
}

TEST(FillPixelsShared, WritesWhatAPlainFillWrites) {
  plat::WorkerPool pool(3);
  for (uint32_t bpp = 1; bpp <= 4; ++bpp) {
    for (const size_t count : {size_t{0}, size_t{1}, size_t{17}, size_t{100000}, size_t{777777}}) {
      for (const uint32_t value : {0u, 0x12345678u, 0xFFFFFFFFu, 0x00FF00FFu}) {
        // One guard byte each side: nothing outside the pixels is written.
        std::vector<uint8_t> shared(count * bpp + 2, 0xA5), plain(count * bpp + 2, 0xA5);
        plat::FillPixelsShared(pool, shared.data() + 1, count, bpp, value);
        plat::FillPixels(plain.data() + 1, count, bpp, value);
        ASSERT_EQ(shared, plain) << bpp << " bytes, " << count << " pixels, " << value;
      }
    }
  }
}

TEST(ThreadCount, OnlyWholeCountsInRangeAreTaken) {
  int32_t n = 0;
  EXPECT_TRUE(plat::ParseThreadCount("1", &n));
  EXPECT_EQ(n, 1);
  EXPECT_TRUE(plat::ParseThreadCount("64", &n));
  EXPECT_EQ(n, 64);
  for (const char* bad : {"", "0", "65", "-2", "3x", " 2", "2.0", "99999999999"})
    EXPECT_FALSE(plat::ParseThreadCount(bad, &n)) << "'" << bad << "'";
}

TEST(ThreadCount, TheEnvironmentSetsItAndABadValueFallsBackToTheCores) {
  testing_support::SetEnvironment("KELVO_THREADS", "3");
  EXPECT_EQ(plat::ThreadsFromEnvironment("test"), 3);
  testing_support::SetEnvironment("KELVO_THREADS", "many");
  testing::internal::CaptureStderr();
  EXPECT_EQ(plat::ThreadsFromEnvironment("test"), plat::MachineThreads());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("test: warning: KELVO_THREADS='many'"),
            std::string::npos);
  testing_support::SetEnvironment("KELVO_THREADS", nullptr);
  EXPECT_EQ(plat::ThreadsFromEnvironment("test"), plat::MachineThreads());
}

}  // namespace
