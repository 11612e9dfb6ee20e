// handle_registry.h - the C interface's table of live handles. A handle is a slot number and
// the slot's generation, never an address, so a destroyed or foreign handle is recognised
// by a table lookup instead of being followed.
#pragma once

#include <atomic>
#include <cstdint>

namespace jov::capi {

// What a slot holds; a handle of one kind is not accepted for another.
enum class HandleKind : std::uint32_t { kTrace = 1, kMessage = 2 };

// The table: one static array of 65536 slots (1 MB of address space on x64, whose pages the
// system commits as slots are first used), read by a lookup without a lock or any other load.
// A slot's tag is (generation << 8 | kind) while live and 0 while free; the object pointer
// is written before the tag is published.
struct HandleSlot {
  std::atomic<std::uint32_t> tag;
  void* object;
};
constexpr std::uint32_t kSlots = 65536;  // live handles at most
extern HandleSlot g_handleSlots[kSlots];

// A handle's value: the mark, the generation (1..32767) in bits 16-30 and the slot index in
// bits 0-15. The mark sets bit 31, which no 32-bit program's pointer has without the
// large-address option, and on x64 also a constant in bits 32-63 that no canonical address
// has, so a pointer passed by mistake never looks like a handle.
constexpr std::uintptr_t kHandleMark =
    static_cast<std::uintptr_t>(sizeof(void*) == 8 ? 0x4A4F564380000000ull : 0x80000000ull);
constexpr std::uint32_t kMaxGeneration = 0x7FFF;

inline std::uint32_t Tag(std::uint32_t generation, HandleKind kind) {
  return generation << 8 | static_cast<std::uint32_t>(kind);
}

// The object of a live handle of this kind, or null for anything else. Inline: every call of
// the C interface starts with it, and a push and pop pair is only a few dozen nanoseconds.
inline void* FindHandle(HandleKind kind, const void* handle) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  if ((value & ~static_cast<std::uintptr_t>(0x7FFFFFFF)) != kHandleMark) return nullptr;
  const auto index = static_cast<std::uint32_t>(value & 0xFFFF);
  const auto generation = static_cast<std::uint32_t>(value >> 16 & kMaxGeneration);
  // A free slot's tag is 0, which no live handle's generation (never 0) gives.
  HandleSlot& slot = g_handleSlots[index];
  if (slot.tag.load(std::memory_order_acquire) != Tag(generation, kind)) return nullptr;
  return slot.object;
}

// A new handle for `object`, or null when all 65536 slots are live.
void* AddHandle(HandleKind kind, void* object) noexcept;
// Ends a live handle of this kind and returns its object (null when it was not live, which
// also makes a second destroy of the same handle harmless).
void* RemoveHandle(HandleKind kind, const void* handle) noexcept;

}  // namespace jov::capi
