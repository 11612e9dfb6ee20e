// memory_internal.h - private state and helpers shared by the allocator front's files:
// the guard-frame layout, the lazily initialised locks and the event-ring writer.
#pragma once

#include <windows.h>

#include <cstddef>

#include "JOVMemory.h"
#include "platform/scope_lock.h"

namespace jov::memory {

// Options that flags 0 does not take over from JOVMemOptions (guard and low-fragmentation).
constexpr unsigned long kDefaultFlagsMask = 0xBFEFFFFFUL;

// Private heap size used when JOV_MemoryDefine is given 0.
constexpr unsigned long kDefaultHeapInitial = 131072UL;

// HeapSetInformation classes and the low-fragmentation value.
constexpr int kHeapCompatibilityInformation = 0;
constexpr int kHeapEnableTerminationOnCorruption = 1;
constexpr unsigned long kLowFragmentationHeap = 2;

// Thrown (as long) by JOV_MemoryFree for a damaged guard frame: ERROR_INVALID_BLOCK.
constexpr long kDamagedFrame = 9;

// One guard record: two address words and 16 pattern bytes. 24 bytes on the 32-bit build
// (six 32-bit words); the 64-bit build widens the address words only, to 32 bytes.
struct GuardRecord {
  void* frontRecord;  // address of the front record (the system block)
  void* rearRecord;   // address of the rear record
  unsigned char pattern[16];
};

constexpr std::size_t kGuardRecordSize = sizeof(GuardRecord);
constexpr std::size_t kGuardFrameSize = 2 * kGuardRecordSize;
constexpr unsigned char kGuardFill = 0xEA;

#if defined(_WIN64)
static_assert(kGuardRecordSize == 32, "64-bit guard record widens its two address words");
static_assert(sizeof(JOV_MemCtlRecord) == 40, "64-bit ring record widens its pointer");
static_assert(sizeof(JOV_MemCtlBlock) == 81888, "64-bit ring block");
#else
static_assert(kGuardRecordSize == 24, "guard record is six 32-bit words");
static_assert(kGuardFrameSize == 48, "guard frame is 48 bytes");
static_assert(sizeof(JOV_MemCtlRecord) == 32, "ring records are 32 bytes apart");
static_assert(sizeof(JOV_MemCtlBlock) == 65508, "the ring block is 65508 bytes");
#endif

// Fills the system block of systemSize bytes with 0xEA, writes both records around the
// caller's callerSize bytes and returns the caller's address (behind the front record).
void* WriteGuardFrame(void* systemBlock, std::size_t callerSize);

// Checks the frame around a caller's block; returns the system block (the front record),
// or null when any record is unreadable or does not match.
void* CheckGuardFrame(void* callerBlock);

// Appends a 'G' or 'F' event to the ring, if there is one. Takes m_LockMemory.
void RecordEvent(void* callerBlock, unsigned long size, wchar_t operation);

// Strategy 4: a block of systemSize bytes that ends where a no-access page begins, and
// its release. Null when the reservation or commit fails or the size cannot be reserved.
void* ReserveGuardedPages(std::size_t systemSize);
void ReleaseGuardedPages(void* systemBlock);

// Runs the lazy definition (JOVMemAllocMalloc, options 0) exactly once, however many
// first gets race; returns when a strategy is defined.
void DefineLazily();

// An entry point of KERNEL32.dll looked up at run time (older systems lack some), or null.
// KERNEL32 stays loaded for the life of the process, so the entry point outlives the
// FreeLibrary that balances the LoadLibraryW.
void* ResolveKernelEntry(const char* name);
template <typename Function>
Function ResolveKernelFunction(const char* name) {
  return reinterpret_cast<Function>(ResolveKernelEntry(name));
}

// Private state of the memory manager.
extern SYSTEM_INFO g_JOVSysInfo;  // fetched by every JOV_MemoryDefine (page size for strategy 4)

// The two critical sections of the memory manager, each initialised on first use (the
// library runs no code at load): m_LockMemory for the ring, compaction and tear-down, and
// a private one that serialises definitions against each other and against tear-down. Held
// for a scope with jov::ScopeLock lock(AcquireInitialisedLock(MemoryLock::Ring)).
enum class MemoryLock { Ring, Definition };
CRITICAL_SECTION& AcquireInitialisedLock(MemoryLock which);

// The strategy, read and published with acquire/release ordering so that a thread that
// sees a strategy also sees the heap and ring made before it.
inline enumJOVMemoryAlloc LoadStrategy() {
  return __atomic_load_n(&JOVMemAllocType, __ATOMIC_ACQUIRE);
}
inline void PublishStrategy(enumJOVMemoryAlloc strategy) {
  __atomic_store_n(&JOVMemAllocType, strategy, __ATOMIC_RELEASE);
}

// JOV_PoolMemBusy is 64-bit on both builds; the builtins keep it atomic on i686 too
// (lock cmpxchg8b there).
inline void AddPoolBytes(unsigned long long bytes) {
  __atomic_fetch_add(&JOV_PoolMemBusy, bytes, __ATOMIC_RELAXED);
}
inline void SubtractPoolBytes(unsigned long long bytes) {
  __atomic_fetch_sub(&JOV_PoolMemBusy, bytes, __ATOMIC_RELAXED);
}
inline void ResetPoolBytes() { __atomic_store_n(&JOV_PoolMemBusy, 0ULL, __ATOMIC_RELAXED); }

}  // namespace jov::memory
