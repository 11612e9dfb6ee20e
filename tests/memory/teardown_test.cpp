// teardown_test.cpp - JOV_MemoryPoolFree: back to no strategy with a private heap, only
// the ring dropped without one, and the lock kept for later definitions.
#include "memory_test_helpers.h"
#include "support/child_process.h"
#include "support/import_patch.h"

namespace {

int lockInitialisations = 0;
decltype(&::InitializeCriticalSection) realInitialize = nullptr;

void WINAPI CountingInitialize(CRITICAL_SECTION* section) {
  if (section == &m_LockMemory) ++lockInitialisations;
  realInitialize(section);
}

JOV_CHILD_CASE(mem_pool_free_private_heap) {
  jovtest::ScopedImportPatch patch("InitializeCriticalSection",
                                   reinterpret_cast<void*>(&CountingInitialize));
  realInitialize = patch.original<decltype(&::InitializeCriticalSection)>();
  JOV_MemoryPoolFree();  // before any definition: nothing to do, the lock made usable
  if (JOVMemAllocType != JOVMemAllocNone) return 1;

  JOV_MonitorMemory = 1;
  if (JOV_MemoryDefine(JOVMemAllocHeap, 0, JOVMemOptGuard) != 0) return 2;
  if (!JOV_MemoryGet(64, 0, nullptr, 0) || JOV_PoolMemBusy == 0 || !g_pJOVMemCtl) return 3;
  JOV_MemoryPoolFree();
  if (hJOVHeap || g_pJOVMemCtl || JOV_PoolMemBusy != 0) return 4;
  if (JOVMemAllocType != JOVMemAllocNone) return 5;

  // The next get defines the runtime heap anew, with options 0 and a new ring.
  void* block = JOV_MemoryGet(64, 0, nullptr, 0);
  if (!block || JOVMemAllocType != JOVMemAllocMalloc || JOVMemOptions != 0) return 6;
  if (!g_pJOVMemCtl || g_pJOVMemCtl->pNextRecord != &g_pJOVMemCtl->Records[1]) return 7;
  if (JOV_MemoryFree(block) != 0) return 8;
  return lockInitialisations == 1 ? 0 : 9;
}

TEST(MemoryTeardown, PrivateHeapTeardownReturnsToUndefinedAndKeepsTheLock) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_pool_free_private_heap").exitCode, 0u);
}

JOV_CHILD_CASE(mem_pool_free_without_heap) {
  JOV_MonitorMemory = 1;
  void* block = JOV_MemoryGet(64, 0, nullptr, 0);
  if (!block || !g_pJOVMemCtl) return 1;
  const unsigned long long held = JOV_PoolMemBusy;
  JOV_MemoryPoolFree();
  if (g_pJOVMemCtl || JOVMemAllocType != JOVMemAllocMalloc) return 2;
  if (JOV_PoolMemBusy != held) return 3;  // the count stays: the blocks still exist
  if (JOV_MemoryFree(block) != 0) return 4;
  return JOV_PoolMemBusy == 0 ? 0 : 5;
}

TEST(MemoryTeardown, WithoutPrivateHeapOnlyTheRingIsDropped) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_pool_free_without_heap").exitCode, 0u);
}

}  // namespace
