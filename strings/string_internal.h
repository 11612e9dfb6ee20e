// string_internal.h - helpers shared by the string subsystem's sources: the length limit,
// the fixed error texts, and an allocator block that gives itself back.
#pragma once

#include <new>
#include <stdexcept>

#include "JOVMemory.h"

namespace jov::strings {

// The growth step refuses lengths from this value on, so the longest string has 0x7FFFFFFC
// characters and its block (capacity * 2 + 2 bytes) still fits 32 bits.
constexpr unsigned kMaxSize = 0x7FFFFFFDu;
constexpr unsigned kNpos = 0xFFFFFFFFu;
constexpr wchar_t kBlank = L' ';
constexpr wchar_t kQuote = L'"';

// Fixed texts of the exceptions the class throws.
constexpr const char* kAtMessage = "JOVString::at invalid position argument";
constexpr const char* kGrowMessage = "JOVString::_Grow invalid length parameter";
constexpr const char* kAssignMessage = "JOVString::assign invalid length parameter";
constexpr const char* kAppendMessage = "JOVString::append invalid length parameter";
constexpr const char* kInsertMessage = "JOVString::insert invalid length parameter";
constexpr const char* kReplaceMessage = "JOVString::replace invalid length parameter";

// A block from JOV_MemoryGet(bytes, 0, null, 0); throws std::bad_alloc when there is none.
inline void* GetOrThrow(unsigned long bytes) {
  void* block = JOV_MemoryGet(bytes, 0, nullptr, 0);
  if (!block) throw std::bad_alloc();
  return block;
}

// An allocator block held for one scope (temporary conversions, copies set aside). A
// damaged guard frame found when it goes back ends the process, as any throw from a
// destructor does: such damage to a block only this library touched is not recoverable.
class ScopedBlock {
 public:
  ScopedBlock() = default;
  explicit ScopedBlock(unsigned long bytes) : block_(GetOrThrow(bytes)) {}
  ~ScopedBlock() {
    if (block_) JOV_MemoryFree(block_);
  }
  ScopedBlock(const ScopedBlock&) = delete;
  ScopedBlock& operator=(const ScopedBlock&) = delete;
  void Take(unsigned long bytes) {
    void* fresh = GetOrThrow(bytes);
    if (block_) JOV_MemoryFree(block_);
    block_ = fresh;
  }
  template <typename T>
  T* as() const {
    return static_cast<T*>(block_);
  }

 private:
  void* block_ = nullptr;
};

// Single-byte case folding of one 16-bit code value through the C runtime. Values above
// 255 are outside the single-byte functions' domain and stay as they are.
wchar_t FoldUpper(wchar_t c);
wchar_t FoldLower(wchar_t c);

// lstrlenW of a zero-terminated array, null counting as empty. The null test comes first so
// that the platform never has to catch its own access fault for a null array.
inline unsigned ArrayLength(const wchar_t* s) {
  return s ? static_cast<unsigned>(::lstrlenW(s)) : 0;
}

// The length of the piece of a source string that pos and n select: empty when pos is past
// its end, cut at the end otherwise.
inline unsigned PieceLength(unsigned sourceLength, unsigned pos, unsigned n) {
  if (pos > sourceLength) return 0;
  const unsigned rest = sourceLength - pos;
  return n < rest ? n : rest;
}

}  // namespace jov::strings
