// define.cpp - JOV_MemoryDefine: chooses the process's allocation strategy once, creates
// the event ring and the private heap, and the race-free lazy definition used by gets.
#include <cstring>
#include <cstdlib>

#include "JOVPlatform.h"
#include "memory/memory_internal.h"

namespace jov::memory {
namespace {

using HeapSetInformationFn = BOOL(WINAPI*)(HANDLE, int, void*, SIZE_T);

// Switches the new private heap to the low-fragmentation heap and, on Vista and later with
// guard frames, to terminate on corruption. The entry point is looked up at run time
// because older systems lack it; every failure here is deliberately ignored.
void TuneHeap(HANDLE heap, unsigned long options) {
  if (!JOV_IsWinXP() || !(options & JOVMemOptLowFragHeap)) return;
  auto setInformation = ResolveKernelFunction<HeapSetInformationFn>("HeapSetInformation");
  if (!setInformation) return;
  unsigned long lowFragmentation = kLowFragmentationHeap;
  if (setInformation(heap, kHeapCompatibilityInformation, &lowFragmentation,
                     sizeof lowFragmentation) &&
      JOV_IsWinVista() && (options & JOVMemOptGuard)) {
    setInformation(heap, kHeapEnableTerminationOnCorruption, nullptr, 0);
  }
}

// The definition proper; the caller holds the definition lock.
unsigned long DefineLocked(enumJOVMemoryAlloc strategy, unsigned long heapInitial,
                           unsigned long options) {
  JOVMemOptions = options;
  ::GetSystemInfo(&g_JOVSysInfo);
  if (LoadStrategy() != JOVMemAllocNone) return 0;

  ResetPoolBytes();
  AcquireInitialisedLock(MemoryLock::Ring);  // first definition: m_LockMemory made usable

  if (JOV_MonitorMemory != 0 && !g_pJOVMemCtl) {
    auto* ring = static_cast<JOV_MemCtlBlock*>(std::malloc(sizeof(JOV_MemCtlBlock)));
    if (ring) {
      std::memset(ring, 0, sizeof(JOV_MemCtlBlock));
      g_pJOVMemCtl = ring;
    }
  }

  if (strategy == JOVMemAllocHeap) {
    HANDLE heap = ::HeapCreate(0, heapInitial ? heapInitial : kDefaultHeapInitial, 0);
    if (!heap) {
      unsigned long error = ::GetLastError();
      PublishStrategy(strategy);  // recorded all the same: later gets return null
      return error;
    }
    TuneHeap(heap, options);
    hJOVHeap = heap;
  }
  PublishStrategy(strategy);
  return 0;
}

}  // namespace

void DefineLazily() {
  jov::ScopeLock lock(AcquireInitialisedLock(MemoryLock::Definition));
  // Only the first of several racing gets defines; the others find a strategy here.
  if (LoadStrategy() == JOVMemAllocNone) DefineLocked(JOVMemAllocMalloc, 0, 0);
}

}  // namespace jov::memory

// Runs under a private definition lock, so that a client's definition and the lazy one of
// racing first gets never interleave (the ring and heap are made once). m_LockMemory is
// initialised here on the first definition unless compaction or tear-down did it earlier.
unsigned long JOV_MemoryDefine(enumJOVMemoryAlloc strategy, unsigned long heapInitial,
                               unsigned long options) {
  using namespace jov::memory;
  jov::ScopeLock lock(AcquireInitialisedLock(MemoryLock::Definition));
  return DefineLocked(strategy, heapInitial, options);
}
