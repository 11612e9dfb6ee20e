// strategies_test.cpp - where blocks come from under each strategy, what the pool counter
// counts, and the virtual-memory strategy's no-access page right behind every block.
#include <malloc.h>

#include <cstdint>
#include <new>

#include "memory_test_helpers.h"
#include "support/child_process.h"
#include "support/crash_exit.h"
#include "support/import_patch.h"

namespace {

JOV_CHILD_CASE(mem_malloc_counts_msize) {
  JOV_MonitorMemory = 2;  // count, but write no events
  auto* block = static_cast<unsigned char*>(JOV_MemoryGet(100, JOVMemOptZeroFill, nullptr, 0));
  if (!block || JOVMemAllocType != JOVMemAllocMalloc) return 1;
  if (JOV_PoolMemBusy != _msize(block)) return 2;
  for (int i = 0; i < 100; ++i)
    if (block[i] != 0) return 3;
  if (!g_pJOVMemCtl || g_pJOVMemCtl->pNextRecord != nullptr) return 4;  // ring made, unused
  if (JOV_MemoryFree(block) != 0) return 5;
  return JOV_PoolMemBusy == 0 ? 0 : 6;
}

TEST(MemoryStrategies, MallocCountsMsizeWhileMonitoring) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_malloc_counts_msize").exitCode, 0u);
}

void* ThrowingNew(std::size_t) { throw std::bad_alloc(); }

JOV_CHILD_CASE(mem_operator_new) {
  if (JOV_MemoryDefine(JOVMemAllocNew, 0, JOVMemOptGuard) != 0) return 1;
  void* block = JOV_MemoryGet(50, 0, nullptr, 0);
  if (!block) return 2;
  if (JOV_MemoryFree(block) != 0) return 3;
  // An allocation operator that throws on exhaustion gives a null block.
  jovtest::ScopedImportPatch patch(sizeof(void*) == 8 ? "_Znwy" : "_Znwj",
                                   reinterpret_cast<void*>(&ThrowingNew));
  return JOV_MemoryGet(50, 0, nullptr, 0) == nullptr ? 0 : 4;
}

TEST(MemoryStrategies, OperatorNewBlocksAndThrowingOperatorGivesNull) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_operator_new").exitCode, 0u);
}

BOOL WINAPI FailingHeapFree(HANDLE, DWORD, void*) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

JOV_CHILD_CASE(mem_private_heap) {
  JOV_MonitorMemory = 1;
  if (JOV_MemoryDefine(JOVMemAllocHeap, 0, 0) != 0) return 1;
  void* block = JOV_MemoryGet(300, 0, nullptr, 0);
  if (!block || JOV_PoolMemBusy != ::HeapSize(hJOVHeap, 0, block)) return 2;
  {
    // A failed HeapFree gives its error, and the free event is written all the same.
    jovtest::ScopedImportPatch patch("HeapFree", reinterpret_cast<void*>(&FailingHeapFree));
    if (JOV_MemoryFree(block) != ERROR_ACCESS_DENIED) return 3;
    const JOV_MemCtlRecord& last = g_pJOVMemCtl->Records[1];
    if (last.wOperation != 'F' || last.pBlock != block) return 4;
  }
  // The count was taken off before the failed release; give the bytes back again.
  JOV_PoolMemBusy += ::HeapSize(hJOVHeap, 0, block);
  if (JOV_MemoryFree(block) != 0) return 5;
  return JOV_PoolMemBusy == 0 ? 0 : 6;
}

TEST(MemoryStrategies, PrivateHeapCountsHeapSizeAndReportsHeapFreeErrors) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_private_heap").exitCode, 0u);
}

DWORD PageSize() {
  SYSTEM_INFO info;
  ::GetSystemInfo(&info);
  return info.dwPageSize;
}

MEMORY_BASIC_INFORMATION Query(const void* address) {
  MEMORY_BASIC_INFORMATION info{};
  ::VirtualQuery(address, &info, sizeof info);
  return info;
}

JOV_CHILD_CASE(mem_virtual_layout) {
  const DWORD page = PageSize();
  if (JOV_MemoryDefine(JOVMemAllocVirtual, 0, 0) != 0) return 1;
  // One page exactly: starts at the reservation base, one committed and one reserved page.
  auto* onePage = static_cast<unsigned char*>(JOV_MemoryGet(page, 0, nullptr, 0));
  if (!onePage) return 2;
  MEMORY_BASIC_INFORMATION info = Query(onePage);
  if (info.AllocationBase != onePage || info.State != MEM_COMMIT ||
      info.RegionSize != page || info.Protect != PAGE_READWRITE)
    return 3;
  info = Query(onePage + page);
  if (info.AllocationBase != onePage || info.State != MEM_RESERVE || info.RegionSize != page)
    return 4;
  // A small block ends exactly at the end of its committed page.
  auto* small = static_cast<unsigned char*>(JOV_MemoryGet(100, 0, nullptr, 0));
  if (!small || reinterpret_cast<std::uintptr_t>(small + 100) % page != 0) return 5;
  if (Query(small + 100).State != MEM_RESERVE) return 6;
  if (JOV_MemoryFree(onePage) != 0 || JOV_MemoryFree(small) != 0) return 7;
  if (Query(onePage).State != MEM_FREE || Query(small).State != MEM_FREE) return 8;

  // Framed: the caller's block may start in the second page; the whole reservation goes.
  if (JOV_MemoryDefine(JOVMemAllocVirtual, 0, JOVMemOptGuard) != 0) return 9;
  const unsigned long size = page - 2 * memtest::kRecordSize + 10;
  auto* framed = static_cast<unsigned char*>(JOV_MemoryGet(size, 0, nullptr, 0));
  if (!framed) return 10;
  void* base = Query(framed).AllocationBase;
  if (reinterpret_cast<std::uintptr_t>(framed + size + memtest::kRecordSize) % page != 0)
    return 11;
  if (JOV_MemoryFree(framed) != 0) return 12;
  return Query(base).State == MEM_FREE ? 0 : 13;
}

TEST(MemoryStrategies, VirtualBlockEndsWhereTheNoAccessPageBegins) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_virtual_layout").exitCode, 0u);
}

JOV_CHILD_CASE(mem_virtual_overrun) {
  jovtest::ExitWithExceptionCodeOnCrash();
  if (JOV_MemoryDefine(JOVMemAllocVirtual, 0, 0) != 0) return 1;
  auto* block = static_cast<volatile unsigned char*>(JOV_MemoryGet(100, 0, nullptr, 0));
  if (!block) return 2;
  block[99] = 1;
  block[100] = 1;  // one byte past the end
  return 3;
}

TEST(MemoryStrategies, VirtualBlockOverrunByOneByteFaultsAtOnce) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_virtual_overrun").exitCode, 0xC0000005u);
}

}  // namespace
