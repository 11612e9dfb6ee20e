// concurrency_test.cpp - many threads through the allocator front at once: the pool count
// comes back to where it started and the event ring stays well formed.
#include <set>
#include <thread>
#include <vector>

#include "support/lane.h"
#include "memory_test_helpers.h"

namespace {

class ConcurrentUse : public memtest::PrivateHeapTest {
 protected:
  void SetUp() override { DefineHeap(0, /*monitor=*/1); }
};

TEST_F(ConcurrentUse, PoolCountReturnsAndRingStaysWellFormed) {
  JOV_REQUIRE_THREADS();
  ASSERT_NE(g_pJOVMemCtl, nullptr);
  constexpr int kThreads = 4;
  constexpr int kPairs = 100000;
  constexpr unsigned long kSize = 24;
  void* keep = JOV_MemoryGet(100, 0, nullptr, 0);  // a start value other than 0
  const unsigned long long start = JOV_PoolMemBusy;
  ASSERT_GT(start, 0u);

  std::vector<DWORD> threadIds(kThreads);
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      threadIds[t] = ::GetCurrentThreadId();
      for (int i = 0; i < kPairs; ++i) {
        void* block = JOV_MemoryGet(kSize, 0, nullptr, 0);
        if (!block || JOV_MemoryFree(block) != 0) ++failures[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
  EXPECT_EQ(JOV_PoolMemBusy, start);

  const JOV_MemCtlBlock* ring = g_pJOVMemCtl;
  ASSERT_GE(ring->pNextRecord, ring->Records);
  ASSERT_LT(ring->pNextRecord, ring->Records + JOV_MemCtlRecordCount);
  const std::set<DWORD> workers(threadIds.begin(), threadIds.end());
  int gets = 0, frees = 0;
  for (const JOV_MemCtlRecord& record : ring->Records) {
    ASSERT_TRUE(record.wOperation == 'G' || record.wOperation == 'F') << record.wOperation;
    EXPECT_EQ(record.nSize, record.wOperation == 'G' ? kSize : 0u);
    EXPECT_EQ(workers.count(record.dwThreadId), 1u);
    EXPECT_NE(record.pBlock, nullptr);
    EXPECT_EQ(record.wReserved, 0);
    EXPECT_NE(record.stTime.wYear, 0);
    (record.wOperation == 'G' ? gets : frees) += 1;
  }
  // Each thread alternates get and free, so neither kind can dominate the last 2047.
  EXPECT_LE(gets - frees, kThreads + 1);
  EXPECT_LE(frees - gets, kThreads + 1);
  EXPECT_EQ(JOV_MemoryFree(keep), 0u);
}

}  // namespace
