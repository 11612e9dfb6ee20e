// event_ring_test.cpp - the ring of the last 2047 get/free events: record contents, the
// wrap after 2047 events, and the calls that write nothing.
#include <vector>

#include "memory_test_helpers.h"
#include "support/child_process.h"

namespace {

class EventRing : public memtest::PrivateHeapTest {
 protected:
  void SetUp() override { DefineHeap(JOVMemOptGuard, /*monitor=*/1); }
};

TEST_F(EventRing, GetAndFreeEventsNameCallerBlockSizeThreadAndTime) {
  ASSERT_NE(g_pJOVMemCtl, nullptr);
  EXPECT_EQ(g_pJOVMemCtl->pNextRecord, nullptr);  // null until the first event
  SYSTEMTIME before;
  ::GetLocalTime(&before);
  void* block = JOV_MemoryGet(77, 0, nullptr, 0);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(JOV_MemoryFree(block), 0u);

  const JOV_MemCtlRecord& get = g_pJOVMemCtl->Records[0];
  const JOV_MemCtlRecord& release = g_pJOVMemCtl->Records[1];
  EXPECT_EQ(g_pJOVMemCtl->pNextRecord, &g_pJOVMemCtl->Records[2]);
  EXPECT_EQ(get.wOperation, 'G');
  EXPECT_EQ(get.pBlock, block);  // the caller's address, behind the front record
  EXPECT_EQ(get.nSize, 77u);
  EXPECT_EQ(get.dwThreadId, ::GetCurrentThreadId());
  EXPECT_EQ(get.stTime.wYear, before.wYear);
  EXPECT_EQ(get.stTime.wMonth, before.wMonth);
  EXPECT_EQ(release.wOperation, 'F');
  EXPECT_EQ(release.pBlock, block);
  EXPECT_EQ(release.nSize, 0u);
  EXPECT_EQ(release.dwThreadId, ::GetCurrentThreadId());
  EXPECT_EQ(g_pJOVMemCtl->Records[2].wOperation, 0);
}

TEST_F(EventRing, NullFreesZeroSizesAndDamagedFramesWriteNoEvent) {
  void* empty = nullptr;
  EXPECT_EQ(JOV_MemoryFree(nullptr), 0u);
  EXPECT_EQ(JOV_MemoryFreePtr(&empty), 0u);
  EXPECT_EQ(JOV_MemoryFreePtr(nullptr), 0u);
  EXPECT_EQ(empty, nullptr);
  EXPECT_EQ(JOV_MemoryGet(0, 0, nullptr, 0), nullptr);
  EXPECT_EQ(g_pJOVMemCtl->pNextRecord, nullptr);

  auto* block = static_cast<unsigned char*>(JOV_MemoryGet(8, 0, nullptr, 0));
  ASSERT_NE(block, nullptr);
  block[8 + 2 * sizeof(void*)] ^= 0xFF;  // first rear pattern byte
  EXPECT_EQ(memtest::FreeCatching(block), 9L);
  EXPECT_EQ(g_pJOVMemCtl->pNextRecord, &g_pJOVMemCtl->Records[1]);  // the get only
  block[8 + 2 * sizeof(void*)] ^= 0xFF;
  EXPECT_EQ(JOV_MemoryFree(block), 0u);
}

TEST_F(EventRing, FreePtrFreesClearsAndRecordsTheBlock) {
  void* block = JOV_MemoryGet(12, 0, nullptr, 0);
  ASSERT_NE(block, nullptr);
  void* variable = block;
  EXPECT_EQ(JOV_MemoryFreePtr(&variable), 0u);
  EXPECT_EQ(variable, nullptr);
  EXPECT_EQ(g_pJOVMemCtl->Records[1].wOperation, 'F');
  EXPECT_EQ(g_pJOVMemCtl->Records[1].pBlock, block);
  EXPECT_EQ(JOV_PoolMemBusy, 0u);
}

TEST_F(EventRing, MonitoringOtherThanOneCountsButRecordsNothing) {
  JOV_MonitorMemory = 2;
  void* block = JOV_MemoryGet(12, 0, nullptr, 0);
  ASSERT_NE(block, nullptr);
  EXPECT_GT(JOV_PoolMemBusy, 12u);
  EXPECT_EQ(JOV_MemoryFree(block), 0u);
  EXPECT_EQ(g_pJOVMemCtl->pNextRecord, nullptr);
  EXPECT_EQ(JOV_PoolMemBusy, 0u);
}

JOV_CHILD_CASE(mem_ring_wraps) {
  JOV_MonitorMemory = 1;
  std::vector<void*> blocks;
  for (unsigned long n = 1; n <= 2048; ++n) blocks.push_back(JOV_MemoryGet(n, 0, nullptr, 0));
  const JOV_MemCtlBlock* ring = g_pJOVMemCtl;
  if (!ring) return 1;
  if (ring->pNextRecord != &ring->Records[1]) return 2;
  if (ring->Records[0].pBlock != blocks[2047] || ring->Records[0].nSize != 2048) return 3;
  if (ring->Records[1].pBlock != blocks[1] || ring->Records[1].nSize != 2) return 4;
  if (ring->Records[2046].pBlock != blocks[2046] || ring->Records[2046].nSize != 2047) return 5;
  for (void* block : blocks)
    if (!block || JOV_MemoryFree(block) != 0) return 6;
  return 0;
}

TEST(EventRingWrap, After2048GetsFirstRecordHoldsTheLastAndNextIsTheSecond) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_ring_wraps").exitCode, 0u);
}

JOV_CHILD_CASE(mem_ring_needs_monitoring_before_definition) {
  void* block = JOV_MemoryGet(8, 0, nullptr, 0);
  JOV_MonitorMemory = 1;  // too late for the ring; the count is kept from now on
  void* counted = JOV_MemoryGet(8, 0, nullptr, 0);
  if (g_pJOVMemCtl != nullptr || JOV_PoolMemBusy == 0) return 1;
  JOV_MonitorMemory = 0;
  return JOV_MemoryFree(block) == 0 && JOV_MemoryFree(counted) == 0 ? 0 : 2;
}

TEST(EventRingWrap, RingExistsOnlyWhenMonitoringPrecedesTheDefinition) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_ring_needs_monitoring_before_definition").exitCode, 0u);
}

}  // namespace
