// handle_registry.h - the C interface's table of live handles. A handle is a slot number and
// the slot's generation, never an address, so a destroyed or foreign handle is recognised
// by a table lookup instead of being followed.
#pragma once

#include <atomic>
#include <cstdint>

namespace jov::capi {

// What a slot holds; a handle of one kind is not accepted for another.
enum class HandleKind : std::uint32_t { kTrace = 1, kMessage = 2 };

// The table: up to kChunks chunks of kChunkSlots slots, made on demand and never freed, so a
// lookup reads them without a lock. A slot's tag is (generation << 8 | kind) while live and
// 0 while free; the object pointer is written before the tag is published.
struct HandleSlot {
  std::atomic<std::uint32_t> tag;
  void* object;
};
constexpr std::uint32_t kChunkSlots = 256;
constexpr std::uint32_t kChunks = 256;  // 65536 live handles at most
extern std::atomic<HandleSlot*> g_handleChunks[kChunks];

// A handle's value: generation (1..65535) in bits 16-31, slot index in bits 0-15.
inline std::uint32_t Tag(std::uint32_t generation, HandleKind kind) {
  return generation << 8 | static_cast<std::uint32_t>(kind);
}

// The object of a live handle of this kind, or null for anything else. Inline: every call of
// the C interface starts with it.
inline void* FindHandle(HandleKind kind, const void* handle) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value > 0xFFFFFFFFu) return nullptr;
  const auto index = static_cast<std::uint32_t>(value & 0xFFFF);
  const auto generation = static_cast<std::uint32_t>(value >> 16);
  if (generation == 0) return nullptr;
  HandleSlot* chunk = g_handleChunks[index / kChunkSlots].load(std::memory_order_acquire);
  if (chunk == nullptr) return nullptr;
  HandleSlot& slot = chunk[index % kChunkSlots];
  if (slot.tag.load(std::memory_order_acquire) != Tag(generation, kind)) return nullptr;
  return slot.object;
}

// A new handle for `object`, or null when the table is full or no chunk can be had.
void* AddHandle(HandleKind kind, void* object) noexcept;
// Ends a live handle of this kind and returns its object (null when it was not live, which
// also makes a second destroy of the same handle harmless).
void* RemoveHandle(HandleKind kind, const void* handle) noexcept;

}  // namespace jov::capi
