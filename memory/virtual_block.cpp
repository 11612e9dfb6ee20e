// virtual_block.cpp - strategy 4: one virtual-memory reservation per block, the block
// placed so that it ends exactly where a reserved no-access page begins.
#include <cstdint>

#include "memory/memory_internal.h"

namespace jov::memory {

// Reserves (size - 1) / P + 2 pages and commits all but the last; the block ends at the end
// of the committed pages, so any overrun faults at once and the block always starts within
// the first page. The page count is worked out in 64 bits so that a huge size is refused
// rather than wrapped.
void* ReserveGuardedPages(std::size_t systemSize) {
  const unsigned long long page = g_JOVSysInfo.dwPageSize;
  if (page == 0 || systemSize == 0) return nullptr;
  const unsigned long long pages = (systemSize - 1) / page + 2;
  const unsigned long long reserved = pages * page;
  if (reserved > SIZE_MAX) return nullptr;
  const auto committed = static_cast<std::size_t>(reserved - page);

  auto* base = static_cast<unsigned char*>(
      ::VirtualAlloc(nullptr, static_cast<std::size_t>(reserved), MEM_RESERVE, PAGE_NOACCESS));
  if (!base) return nullptr;
  if (!::VirtualAlloc(base, committed, MEM_COMMIT, PAGE_READWRITE)) {
    ::VirtualFree(base, 0, MEM_RELEASE);
    return nullptr;
  }
  return base + committed - systemSize;
}

void ReleaseGuardedPages(void* systemBlock) {
  const std::uintptr_t page = g_JOVSysInfo.dwPageSize;
  if (page == 0) return;  // never defined: nothing of ours to release
  const auto address = reinterpret_cast<std::uintptr_t>(systemBlock);
  ::VirtualFree(reinterpret_cast<void*>(address - address % page), 0, MEM_RELEASE);
}

}  // namespace jov::memory
