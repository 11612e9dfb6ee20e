// strategies_test.cpp - what needs a process of its own: the lazy definition, the strategies
// with their counting and failures, the ring's wrap, tear-down and compaction.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <malloc.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/import_patch.h"
#include "support/lane.h"

namespace {

using jovtest::ScopedImportPatch;
template <typename F>
void* Entry(F f) { return reinterpret_cast<void*>(f); }

HANDLE WINAPI FailingHeapCreate(DWORD, SIZE_T, SIZE_T) { return ::SetLastError(ERROR_NOT_ENOUGH_MEMORY), nullptr; }
BOOL WINAPI FailingHeapFree(HANDLE, DWORD, void*) { return ::SetLastError(ERROR_ACCESS_DENIED), FALSE; }
MEMORY_BASIC_INFORMATION Query(const void* at) {
  MEMORY_BASIC_INFORMATION m{};
  return ::VirtualQuery(at, &m, sizeof m), m;
}
int definitions = 0;
void WINAPI SlowGetSystemInfo(SYSTEM_INFO* info) { ++definitions, ::Sleep(100), ::GetNativeSystemInfo(info); }

}  // namespace

// The first get defines the runtime heap with options 0, even for 0 bytes and even when
// several race (every definition fetches the system information once).
FRESH_TEST(Memory, FirstGetsDefineMallocOnceWithNoOptions) {
  int local = 0;
  EXPECT_EQ(JOV_MemoryFree(&local), 87u);  // no strategy: nothing released, nothing defined
  JOVMemOptions = JOVMemOptZeroFill;
  ScopedImportPatch patch("GetSystemInfo", Entry(&SlowGetSystemInfo));
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) threads.emplace_back([] { JOV_MemoryGet(0, 0, nullptr, 0); });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(definitions, 1);
  EXPECT_EQ(JOVMemAllocType, JOVMemAllocMalloc);
  EXPECT_EQ(JOVMemOptions, 0u);
  JOV_MonitorMemory = 1;  // too late for a ring, counted from now on
  void* block = JOV_MemoryGet(8, 0, nullptr, 0);
  EXPECT_EQ(g_pJOVMemCtl, nullptr);
  EXPECT_EQ(JOV_PoolMemBusy, _msize(block));
  EXPECT_EQ(JOV_MemoryFree(block), 0u);
  EXPECT_EQ(JOV_PoolMemBusy, 0u);
}

FRESH_TEST(Memory, PrivateHeapThatCannotBeMadeIsRecordedAllTheSame) {
  ScopedImportPatch patch("HeapCreate", Entry(&FailingHeapCreate));
  EXPECT_EQ(JOV_MemoryDefine(JOVMemAllocHeap, 0, 0), 8u);
  EXPECT_EQ(JOV_MemoryGet(16, JOVMemOptZeroFill, nullptr, 0), nullptr);
  EXPECT_EQ(JOVMemAllocType, JOVMemAllocHeap);  // no lazy redefinition either
}

FRESH_TEST(Memory, PrivateHeapCountsHeapSizesAndReportsHeapFreeErrors) {
  JOV_MonitorMemory = 1;
  ASSERT_EQ(JOV_MemoryDefine(JOVMemAllocHeap, 0, 0), 0u);
  void* block = JOV_MemoryGet(300, 0, nullptr, 0);
  EXPECT_EQ(JOV_PoolMemBusy, ::HeapSize(hJOVHeap, 0, block));
  {
    ScopedImportPatch patch("HeapFree", Entry(&FailingHeapFree));
    EXPECT_EQ(JOV_MemoryFree(block), 5u);
  }
  EXPECT_EQ(g_pJOVMemCtl->Records[1].wOperation, 'F');  // recorded all the same
  EXPECT_EQ(JOV_PoolMemBusy, 0u);                       // taken off before the release failed
  JOV_PoolMemBusy = ::HeapSize(hJOVHeap, 0, block);
  EXPECT_EQ(JOV_MemoryFree(block), 0u);
  EXPECT_EQ(JOV_PoolMemBusy, 0u);
}

FRESH_TEST(Memory, VirtualBlockEndsWhereItsNoAccessPageBegins) {
  SYSTEM_INFO system;
  ::GetSystemInfo(&system);
  const std::uintptr_t page = system.dwPageSize;
  ASSERT_EQ(JOV_MemoryDefine(JOVMemAllocVirtual, 0, 0), 0u);
  auto* onePage = static_cast<char*>(JOV_MemoryGet(page, 0, nullptr, 0));
  auto* small = static_cast<char*>(JOV_MemoryGet(100, 0, nullptr, 0));
  const MEMORY_BASIC_INFORMATION committed = Query(onePage), reserved = Query(onePage + page);
  EXPECT_EQ(committed.AllocationBase, onePage);  // one committed page from the base, one reserved
  EXPECT_EQ(reserved.AllocationBase, onePage);
  EXPECT_EQ(committed.RegionSize + reserved.RegionSize, 2 * page);
  EXPECT_EQ(reserved.State, DWORD{MEM_RESERVE});
  EXPECT_EQ((std::uintptr_t(small) + 100) % page, 0u);
  EXPECT_EQ(Query(small + 100).State, DWORD{MEM_RESERVE});
  EXPECT_EQ(JOV_MemoryFree(onePage) + JOV_MemoryFree(small), 0u);
  EXPECT_EQ(Query(onePage).State + Query(small).State, 2 * DWORD{MEM_FREE});
  // Framed, the caller's block may start in the second page; the whole reservation goes.
  ASSERT_EQ(JOV_MemoryDefine(JOVMemAllocVirtual, 0, JOVMemOptGuard), 0u);
  const unsigned long size = page - 2 * (2 * sizeof(void*) + 16) + 10;
  auto* framed = static_cast<char*>(JOV_MemoryGet(size, 0, nullptr, 0));
  void* base = Query(framed).AllocationBase;
  EXPECT_EQ((std::uintptr_t(framed) + size + 2 * sizeof(void*) + 16) % page, 0u);
  EXPECT_EQ(JOV_MemoryFree(framed), 0u);
  EXPECT_EQ(Query(base).State, DWORD{MEM_FREE});
}

TEST(DISABLED_ExitMemory, VirtualBlockOverrunFaults) {
  JOV_MemoryDefine(JOVMemAllocVirtual, 0, 0);
  volatile char* block = static_cast<char*>(JOV_MemoryGet(100, 0, nullptr, 0));
  block[99] = 1;
  block[100] = 1;  // one byte past the end
}

TEST(MemoryStrategies, VirtualBlockOverrunByOneByteFaultsAtOnce) {
  JOV_SKIP_ON_EMULATED_LANE("child processes");
  EXPECT_EQ(jovtest::RunAlone("DISABLED_ExitMemory.VirtualBlockOverrunFaults").exitCode, 0xC0000005u);
}

// The ring holds the last 2047 events; a tear-down of the private heap returns to no
// strategy and drops the ring, one without it only drops the ring.
FRESH_TEST(Memory, RingWrapsAndPoolFreeTearsDown) {
  JOV_MonitorMemory = 1;
  ASSERT_EQ(JOV_MemoryDefine(JOVMemAllocHeap, 0, JOVMemOptGuard), 0u);
  std::vector<void*> blocks;
  for (unsigned long n = 1; n <= 2048; ++n) blocks.push_back(JOV_MemoryGet(n, 0, nullptr, 0));
  const JOV_MemCtlBlock* ring = g_pJOVMemCtl;
  EXPECT_EQ(ring->pNextRecord, &ring->Records[1]);
  EXPECT_EQ(ring->Records[0].pBlock, blocks[2047]);
  EXPECT_EQ(ring->Records[1].nSize, 2u);
  EXPECT_EQ(ring->Records[2046].pBlock, blocks[2046]);
  JOV_MemoryPoolFree();
  EXPECT_EQ(hJOVHeap, nullptr);
  EXPECT_EQ(g_pJOVMemCtl, nullptr);
  EXPECT_EQ(JOV_PoolMemBusy, 0u);
  EXPECT_EQ(JOVMemAllocType, JOVMemAllocNone);
  void* block = JOV_MemoryGet(64, 0, nullptr, 0);  // defines the runtime heap, with a new ring
  EXPECT_EQ(JOVMemAllocType, JOVMemAllocMalloc);
  EXPECT_EQ(g_pJOVMemCtl->pNextRecord, &g_pJOVMemCtl->Records[1]);
  const unsigned long long held = JOV_PoolMemBusy;
  JOV_MemoryPoolFree();
  EXPECT_EQ(g_pJOVMemCtl, nullptr);
  EXPECT_EQ(JOVMemAllocType, JOVMemAllocMalloc);
  EXPECT_EQ(JOV_PoolMemBusy, held);
  EXPECT_EQ(JOV_MemoryFree(block), 0u);
}

namespace {

// HeapCompact is looked up at run time: GetProcAddress hands out the test's own, which
// notes the heaps it is given.
std::vector<HANDLE> compacted;
bool offerHeapCompact = false;
SIZE_T WINAPI FakeHeapCompact(HANDLE heap, DWORD) { return compacted.push_back(heap), 0x1000 * compacted.size(); }
decltype(&::GetProcAddress) realGetProcAddress = nullptr;
FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
  if (reinterpret_cast<std::uintptr_t>(name) > 0xFFFF && !lstrcmpA(name, "HeapCompact"))
    return offerHeapCompact ? reinterpret_cast<FARPROC>(Entry(&FakeHeapCompact)) : nullptr;
  return realGetProcAddress(module, name);
}

}  // namespace

// At most once per interval; the process heap, or the private heap after the process heap
// when asked. It runs before any definition, so m_LockMemory must already be usable.
FRESH_TEST(Memory, CompactionAtMostOncePerInterval) {
  ScopedImportPatch lookup("GetProcAddress", Entry(&FakeGetProcAddress));
  realGetProcAddress = lookup.original<decltype(realGetProcAddress)>();
  EXPECT_EQ(JOV_MemoryCompact(0, 1), 0u);  // no entry point: 0, and looked up again later
  offerHeapCompact = true;
  EXPECT_EQ(JOV_MemoryCompact(0, 1), 0x1000u);
  EXPECT_EQ(JOV_MemoryCompact(1000, 0), 0u);  // within 1 s
  ASSERT_EQ(JOV_MemoryDefine(JOVMemAllocHeap, 0, 0), 0u);
  EXPECT_EQ(JOV_MemoryCompact(0, 0), 0x2000u);
  EXPECT_EQ(JOV_MemoryCompact(0, 1), 0x4000u);  // the private heap's answer
  EXPECT_EQ(compacted, (std::vector<HANDLE>{::GetProcessHeap(), hJOVHeap, ::GetProcessHeap(), hJOVHeap}));
}
