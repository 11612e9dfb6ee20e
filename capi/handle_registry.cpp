// handle_registry.cpp - handing out and taking back the C interface's handles. Lookups are
// lock-free (handle_registry.h); adding and removing, which are rare, take one lock.
#include "capi/handle_registry.h"

#include <windows.h>

#include <new>

namespace jov::capi {

std::atomic<HandleSlot*> g_handleChunks[kChunks];

namespace {

// Guards the free list, the generations and the making of chunks. A static initialiser: the
// library runs no code at load.
SRWLOCK g_registryLock = SRWLOCK_INIT;

// Free slots as a chain through this array (index + 1, 0 ends it); generation per slot.
std::uint32_t g_nextFree[kChunks * kChunkSlots];
std::uint16_t g_generation[kChunks * kChunkSlots];
std::uint32_t g_freeHead = 0;   // first free slot + 1, or 0
std::uint32_t g_slotsMade = 0;  // slots of all chunks made so far

class RegistryLock {
 public:
  RegistryLock() { ::AcquireSRWLockExclusive(&g_registryLock); }
  ~RegistryLock() { ::ReleaseSRWLockExclusive(&g_registryLock); }
  RegistryLock(const RegistryLock&) = delete;
  RegistryLock& operator=(const RegistryLock&) = delete;
};

// A free slot index, making a new chunk when none is left; false when the table is full or
// the chunk cannot be allocated. Called with the lock held.
bool TakeFreeSlot(std::uint32_t& index) {
  if (g_freeHead == 0) {
    if (g_slotsMade == kChunks * kChunkSlots) return false;
    auto* chunk = new (std::nothrow) HandleSlot[kChunkSlots];
    if (chunk == nullptr) return false;
    for (std::uint32_t i = 0; i < kChunkSlots; ++i) {
      chunk[i].tag.store(0, std::memory_order_relaxed);
      chunk[i].object = nullptr;
      g_nextFree[g_slotsMade + i] = i + 1 < kChunkSlots ? g_slotsMade + i + 2 : 0;
    }
    g_handleChunks[g_slotsMade / kChunkSlots].store(chunk, std::memory_order_release);
    g_freeHead = g_slotsMade + 1;
    g_slotsMade += kChunkSlots;
  }
  index = g_freeHead - 1;
  g_freeHead = g_nextFree[index];
  return true;
}

}  // namespace

void* AddHandle(HandleKind kind, void* object) noexcept {
  RegistryLock lock;
  std::uint32_t index = 0;
  if (!TakeFreeSlot(index)) return nullptr;
  // Generation 0 never names a live slot.
  std::uint16_t& generation = g_generation[index];
  generation = generation == kMaxGeneration ? 1 : generation + 1;
  HandleSlot& slot = g_handleChunks[index / kChunkSlots].load()[index % kChunkSlots];
  slot.object = object;
  slot.tag.store(Tag(generation, kind), std::memory_order_release);
  return reinterpret_cast<void*>(kHandleMark | static_cast<std::uintptr_t>(generation) << 16 |
                                 index);
}

void* RemoveHandle(HandleKind kind, const void* handle) noexcept {
  RegistryLock lock;
  void* object = FindHandle(kind, handle);
  if (object == nullptr) return nullptr;
  const auto index = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle) & 0xFFFF);
  HandleSlot& slot = g_handleChunks[index / kChunkSlots].load()[index % kChunkSlots];
  slot.tag.store(0, std::memory_order_release);
  slot.object = nullptr;
  g_nextFree[index] = g_freeHead;
  g_freeHead = index + 1;
  return object;
}

}  // namespace jov::capi
