// handle_registry.cpp - handing out and taking back the C interface's handles. Lookups are
// lock-free (handle_registry.h); adding and removing, which are rare, take one lock.
#include "capi/handle_registry.h"

#include <windows.h>

#include "platform/scope_lock.h"

namespace jov::capi {

HandleSlot g_handleSlots[kSlots];

namespace {

// Guards the free list and the generations. A static initialiser: the library runs no code
// at load.
SRWLOCK g_registryLock = SRWLOCK_INIT;

// Slots given back, as a chain through this array (index + 1, 0 ends it); generation per
// slot. Slots never used are taken in order from g_slotsUsed on.
std::uint32_t g_nextFree[kSlots];
std::uint16_t g_generation[kSlots];
std::uint32_t g_freeHead = 0;   // first slot given back + 1, or 0
std::uint32_t g_slotsUsed = 0;  // slots below this have been used

// A free slot index; false when all are live. Called with the lock held.
bool TakeFreeSlot(std::uint32_t& index) {
  if (g_freeHead != 0) {
    index = g_freeHead - 1;
    g_freeHead = g_nextFree[index];
    return true;
  }
  if (g_slotsUsed == kSlots) return false;
  index = g_slotsUsed++;
  return true;
}

}  // namespace

void* AddHandle(HandleKind kind, void* object) noexcept {
  jov::ScopeLock lock(g_registryLock);
  std::uint32_t index = 0;
  if (!TakeFreeSlot(index)) return nullptr;
  // Generation 0 never names a live slot.
  std::uint16_t& generation = g_generation[index];
  generation = generation == kMaxGeneration ? 1 : generation + 1;
  HandleSlot& slot = g_handleSlots[index];
  slot.object = object;
  slot.tag.store(Tag(generation, kind), std::memory_order_release);
  return reinterpret_cast<void*>(kHandleMark | static_cast<std::uintptr_t>(generation) << 16 |
                                 index);
}

void* RemoveHandle(HandleKind kind, const void* handle) noexcept {
  jov::ScopeLock lock(g_registryLock);
  void* object = FindHandle(kind, handle);
  if (object == nullptr) return nullptr;
  const auto index = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle) & 0xFFFF);
  HandleSlot& slot = g_handleSlots[index];
  slot.tag.store(0, std::memory_order_release);
  slot.object = nullptr;
  g_nextFree[index] = g_freeHead;
  g_freeHead = index + 1;
  return object;
}

}  // namespace jov::capi
