// compaction_test.cpp - heap compaction at most once per interval, which heaps it
// compacts, and the cases that answer 0 without compacting.
#include <cstdint>
#include <vector>

#include "memory_test_helpers.h"
#include "support/child_process.h"
#include "support/import_patch.h"

namespace {

// A HeapCompact that records the heaps it was given and answers a recognisable size.
std::vector<HANDLE> compacted;
bool offerHeapCompact = true;
decltype(&::GetProcAddress) realGetProcAddress = nullptr;

SIZE_T WINAPI FakeHeapCompact(HANDLE heap, DWORD flags) {
  compacted.push_back(heap);
  return flags == 0 ? 0x1000 * compacted.size() : 1;
}

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
  if (reinterpret_cast<std::uintptr_t>(name) > 0xFFFF && lstrcmpA(name, "HeapCompact") == 0) {
    if (!offerHeapCompact) return nullptr;
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeHeapCompact));
  }
  return realGetProcAddress(module, name);
}

struct WatchedCompaction {
  jovtest::ScopedImportPatch lookup{"GetProcAddress",
                                    reinterpret_cast<void*>(&FakeGetProcAddress)};
  WatchedCompaction() { realGetProcAddress = lookup.original<decltype(&::GetProcAddress)>(); }
};

// Runs before any definition, so m_LockMemory must already be usable.
JOV_CHILD_CASE(mem_compact_interval) {
  WatchedCompaction watch;
  if (JOV_MemoryCompact(0, 1) != 0x1000) return 1;
  if (compacted.size() != 1 || compacted[0] != ::GetProcessHeap()) return 2;
  if (JOV_MemoryCompact(1000, 0) != 0 || compacted.size() != 1) return 3;  // within 1 s
  if (JOV_MemoryCompact(1000, 1) != 0 || compacted.size() != 1) return 4;
  if (JOV_MemoryCompact(0, 0) != 0x2000 || compacted.size() != 2) return 5;
  return 0;
}

TEST(MemoryCompaction, SecondCallWithinTheIntervalReturnsZeroWithoutCompacting) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_compact_interval").exitCode, 0u);
}

JOV_CHILD_CASE(mem_compact_private_heap) {
  WatchedCompaction watch;
  if (JOV_MemoryDefine(JOVMemAllocHeap, 0, 0) != 0) return 1;
  if (JOV_MemoryCompact(0, 0) != 0x1000) return 2;
  if (compacted.size() != 1 || compacted[0] != hJOVHeap) return 3;
  // With the flag, the process heap first; the private heap's answer is returned.
  if (JOV_MemoryCompact(0, 1) != 0x3000) return 4;
  if (compacted.size() != 3 || compacted[1] != ::GetProcessHeap() || compacted[2] != hJOVHeap)
    return 5;
  return 0;
}

TEST(MemoryCompaction, PrivateHeapIsCompactedAndProcessHeapFirstWhenAsked) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_compact_private_heap").exitCode, 0u);
}

JOV_CHILD_CASE(mem_compact_without_entry_point) {
  offerHeapCompact = false;
  WatchedCompaction watch;
  if (JOV_MemoryCompact(0, 0) != 0) return 1;
  offerHeapCompact = true;  // looked up again while it was never found
  return JOV_MemoryCompact(0, 0) == 0x1000 ? 0 : 2;
}

TEST(MemoryCompaction, MissingHeapCompactAnswersZero) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_compact_without_entry_point").exitCode, 0u);
}

BOOL WINAPI FailingGetVersionEx(OSVERSIONINFOW*) {
  ::SetLastError(ERROR_INVALID_FUNCTION);
  return FALSE;
}

JOV_CHILD_CASE(mem_compact_not_nt) {
  WatchedCompaction watch;
  jovtest::ScopedImportPatch version("GetVersionExW",
                                     reinterpret_cast<void*>(&FailingGetVersionEx));
  if (JOV_MemoryCompact(0, 1) != 0) return 1;
  return compacted.empty() ? 0 : 2;
}

TEST(MemoryCompaction, OutsideTheNtFamilyAnswersZero) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_compact_not_nt").exitCode, 0u);
}

}  // namespace
