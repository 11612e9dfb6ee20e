// teardown.cpp - JOV_MemoryPoolFree: destroys the private heap (returning the process to
// no strategy) and drops the event ring.
#include <cstdlib>

#include "memory/memory_internal.h"

// Holds the definition lock as well as m_LockMemory, so a tear-down never interleaves with
// a definition that is creating the heap or the ring. m_LockMemory stays initialised.
void JOV_MemoryPoolFree() {
  using namespace jov::memory;
  jov::ScopeLock definition(AcquireInitialisedLock(MemoryLock::Definition));
  jov::ScopeLock lock(AcquireInitialisedLock(MemoryLock::Ring));
  if (hJOVHeap) {
    ResetPoolBytes();
    ::HeapDestroy(hJOVHeap);
    hJOVHeap = nullptr;
    PublishStrategy(JOVMemAllocNone);  // the next get defines JOVMemAllocMalloc anew
  }
  if (g_pJOVMemCtl) {
    std::free(g_pJOVMemCtl);
    g_pJOVMemCtl = nullptr;
  }
}
