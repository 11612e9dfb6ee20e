// allocator.cpp - JOV_MemoryGet, JOV_MemoryFree and JOV_MemoryFreePtr: the allocator front
// that every block of the library passes through, dispatching to the chosen strategy.
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "memory/memory_internal.h"

namespace jov::memory {
namespace {

// The system block for one get, by strategy; counts it while monitoring. Null when the
// allocator fails or the strategy is unknown (or is the private heap that could not be made).
void* ObtainSystemBlock(enumJOVMemoryAlloc strategy, std::size_t systemSize) {
  switch (strategy) {
    case JOVMemAllocMalloc: {
      void* block = std::malloc(systemSize);
      if (block && JOV_MonitorMemory != 0) AddPoolBytes(_msize(block));
      return block;
    }
    case JOVMemAllocNew:
      return ::operator new(systemSize);  // throws on exhaustion; the caller catches
    case JOVMemAllocHeap: {
      HANDLE heap = hJOVHeap;
      if (!heap) return nullptr;
      void* block = ::HeapAlloc(heap, 0, systemSize);
      if (block && JOV_MonitorMemory != 0) AddPoolBytes(::HeapSize(heap, 0, block));
      return block;
    }
    case JOVMemAllocVirtual:
      return ReserveGuardedPages(systemSize);
    default:
      return nullptr;
  }
}

// Gives a system block back by strategy; 0 or the HeapFree error, 87 for no strategy.
unsigned long ReleaseSystemBlock(enumJOVMemoryAlloc strategy, void* block) {
  switch (strategy) {
    case JOVMemAllocMalloc:
      if (JOV_MonitorMemory != 0) SubtractPoolBytes(_msize(block));
      std::free(block);
      return 0;
    case JOVMemAllocNew:
      ::operator delete(block);
      return 0;
    case JOVMemAllocHeap: {
      HANDLE heap = hJOVHeap;
      // No heap: creation failed or it was torn down, so no block can be ours.
      if (!heap) return ERROR_INVALID_HANDLE;
      if (JOV_MonitorMemory != 0) SubtractPoolBytes(::HeapSize(heap, 0, block));
      return ::HeapFree(heap, 0, block) ? 0 : ::GetLastError();
    }
    case JOVMemAllocVirtual:
      ReleaseGuardedPages(block);
      return 0;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

inline bool RingWanted() { return g_pJOVMemCtl != nullptr && JOV_MonitorMemory == 1; }

// Every get off the plain path: any strategy, frame, zero-fill, count and event.
__attribute__((noinline)) void* GetBlock(enumJOVMemoryAlloc strategy, unsigned long size,
                                         bool guarded, unsigned long effectiveFlags) {
  try {
    std::size_t systemSize = size;
    if (guarded) {
      if (size > 0xFFFFFFFFUL - kGuardFrameSize) return nullptr;
      systemSize += kGuardFrameSize;
    }
    void* block = ObtainSystemBlock(strategy, systemSize);
    if (!block) return nullptr;
    if (guarded) block = WriteGuardFrame(block, size);
    if (effectiveFlags & JOVMemOptZeroFill) std::memset(block, 0, size);
    if (RingWanted()) RecordEvent(block, size, L'G');
    return block;
  } catch (...) {
    return nullptr;
  }
}

// Every free off the plain path; throws for a damaged frame before anything is released,
// counted or recorded.
__attribute__((noinline)) unsigned long FreeBlock(void* block, bool guarded) {
  void* systemBlock = block;
  if (guarded) {
    systemBlock = CheckGuardFrame(block);
    if (!systemBlock) throw kDamagedFrame;
  }
  const unsigned long result = ReleaseSystemBlock(LoadStrategy(), systemBlock);
  if (RingWanted()) RecordEvent(block, 0, L'F');
  return result;
}

}  // namespace
}  // namespace jov::memory

// The definition check comes before the options are read, so that a block is framed by the
// same options that its free will see even when the lazy definition resets them to 0.
// Requests whose size with frame would not fit in 32 bits are refused. The plain path
// (runtime heap, no frame, no zero-fill, no monitoring) is decided by one combined test and
// goes straight to malloc, so that it costs next to nothing beside malloc itself.
void* JOV_MemoryGet(unsigned long size, unsigned long flags, const char* /*file*/, int /*line*/) {
  using namespace jov::memory;
  enumJOVMemoryAlloc strategy = LoadStrategy();
  if (__builtin_expect(strategy == JOVMemAllocNone, 0)) {
    DefineLazily();
    strategy = LoadStrategy();
  }
  const unsigned long options = JOVMemOptions;
  const unsigned long effectiveFlags = flags ? flags : (options & kDefaultFlagsMask);
  if (size == 0) return nullptr;
  if (strategy == JOVMemAllocMalloc &&
      ((options & JOVMemOptGuard) | (effectiveFlags & JOVMemOptZeroFill) | JOV_MonitorMemory) == 0)
    return std::malloc(size);
  return GetBlock(strategy, size, (options & JOVMemOptGuard) != 0, effectiveFlags);
}

// The guard bit in force now decides whether a frame is checked.
unsigned long JOV_MemoryFree(void* block) {
  using namespace jov::memory;
  if (!block) return 0;
  const bool guarded = (JOVMemOptions & JOVMemOptGuard) != 0;
  if (!guarded && JOV_MonitorMemory == 0 && LoadStrategy() == JOVMemAllocMalloc) {
    std::free(block);
    return 0;
  }
  return FreeBlock(block, guarded);
}

unsigned long JOV_MemoryFreePtr(void* pointerVariable) {
  if (!pointerVariable) return 0;
  void** variable = static_cast<void**>(pointerVariable);
  const unsigned long result = JOV_MemoryFree(*variable);  // may throw: variable kept
  *variable = nullptr;
  return result;
}
