// compaction.cpp - JOV_MemoryCompact: compacts the private heap (or the process heap) at
// most once per interval, through a HeapCompact entry point looked up at run time.
#include "JOVPlatform.h"
#include "memory/memory_internal.h"

namespace jov::memory {
namespace {

using HeapCompactFn = SIZE_T(WINAPI*)(HANDLE, DWORD);

HeapCompactFn g_pfnHeapCompact = nullptr;  // looked up once, under m_LockMemory
unsigned long long g_LastCompactTime = 0;  // JOV_TimerValue of the last compaction

}  // namespace
}  // namespace jov::memory

// Holds m_LockMemory throughout (initialising it if no definition has run yet), so the
// interval test and the compaction are one step for concurrent callers.
SIZE_T JOV_MemoryCompact(unsigned long long intervalMs, int alsoProcessHeap) {
  using namespace jov::memory;
  jov::ScopeLock lock(AcquireInitialisedLock(MemoryLock::Ring));
  if (!JOV_IsWinNT()) return 0;
  if (!g_pfnHeapCompact) {
    g_pfnHeapCompact = ResolveKernelFunction<HeapCompactFn>("HeapCompact");
    if (!g_pfnHeapCompact) return 0;
  }
  const unsigned long long now = JOV_TimerValue();
  if (now < g_LastCompactTime + intervalMs * 1000ULL) return 0;

  SIZE_T largestFree;
  if (hJOVHeap) {
    if (alsoProcessHeap) g_pfnHeapCompact(::GetProcessHeap(), 0);
    largestFree = g_pfnHeapCompact(hJOVHeap, 0);
  } else {
    largestFree = g_pfnHeapCompact(::GetProcessHeap(), 0);
  }
  g_LastCompactTime = JOV_TimerValue();
  return largestFree;
}
