// definition_test.cpp - choosing the strategy: the lazy definition by the first get (once,
// even when gets race), later definitions that only replace the options, a private heap
// that cannot be created, and the heap tuning requested by the options.
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "memory_test_helpers.h"
#include "support/child_process.h"
#include "support/import_patch.h"

namespace {

JOV_CHILD_CASE(mem_lazy_definition_on_zero_size) {
  if (JOVMemAllocType != JOVMemAllocNone) return 1;
  JOVMemOptions = JOVMemOptZeroFill;  // the lazy definition stores options 0
  if (JOV_MemoryGet(0, 0, nullptr, 0) != nullptr) return 2;
  if (JOVMemAllocType != JOVMemAllocMalloc) return 3;
  if (JOVMemOptions != 0) return 4;
  void* block = JOV_MemoryGet(16, 0, nullptr, 0);
  if (!block) return 5;
  return JOV_MemoryFree(block) == 0 ? 0 : 6;
}

TEST(MemoryDefinition, ZeroSizeGetReturnsNullButDefinesMallocWithNoOptions) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_lazy_definition_on_zero_size").exitCode, 0u);
}

JOV_CHILD_CASE(mem_second_define_keeps_strategy) {
  if (JOV_MemoryDefine(JOVMemAllocHeap, 0, 0) != 0) return 1;
  HANDLE heap = hJOVHeap;
  if (!heap) return 2;
  if (JOV_MemoryDefine(JOVMemAllocVirtual, 4096, JOVMemOptZeroFill | 0x2) != 0) return 3;
  if (JOVMemAllocType != JOVMemAllocHeap || hJOVHeap != heap) return 4;
  if (JOVMemOptions != (JOVMemOptZeroFill | 0x2)) return 5;
  auto* block = static_cast<unsigned char*>(JOV_MemoryGet(8, 0, nullptr, 0));
  if (!block || ::HeapSize(heap, 0, block) < 8) return 6;  // still from the private heap
  for (int i = 0; i < 8; ++i)
    if (block[i] != 0) return 7;  // the replaced options act
  return JOV_MemoryFree(block) == 0 ? 0 : 8;
}

TEST(MemoryDefinition, SecondDefineKeepsStrategyAndReplacesOptions) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_second_define_keeps_strategy").exitCode, 0u);
}

JOV_CHILD_CASE(mem_free_before_definition) {
  int local = 0;
  if (JOV_MemoryFree(nullptr) != 0) return 1;
  if (JOV_MemoryFree(&local) != ERROR_INVALID_PARAMETER) return 2;
  return JOVMemAllocType == JOVMemAllocNone ? 0 : 3;  // a free defines nothing
}

TEST(MemoryDefinition, FreeBeforeAnyDefinitionReturns87AndDefinesNothing) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_free_before_definition").exitCode, 0u);
}

JOV_CHILD_CASE(mem_unknown_strategy) {
  const auto strategy = static_cast<enumJOVMemoryAlloc>(7);
  if (JOV_MemoryDefine(strategy, 0, 0) != 0 || JOVMemAllocType != strategy) return 1;
  if (JOV_MemoryGet(16, 0, nullptr, 0) != nullptr) return 2;
  int local = 0;
  return JOV_MemoryFree(&local) == ERROR_INVALID_PARAMETER ? 0 : 3;
}

TEST(MemoryDefinition, UnknownStrategyGetsNullAndFreesReturn87) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_unknown_strategy").exitCode, 0u);
}

HANDLE WINAPI FailingHeapCreate(DWORD, SIZE_T, SIZE_T) {
  ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

JOV_CHILD_CASE(mem_heap_create_fails) {
  jovtest::ScopedImportPatch patch("HeapCreate", reinterpret_cast<void*>(&FailingHeapCreate));
  if (JOV_MemoryDefine(JOVMemAllocHeap, 0, 0) != ERROR_NOT_ENOUGH_MEMORY) return 1;
  if (JOVMemAllocType != JOVMemAllocHeap || hJOVHeap != nullptr) return 2;
  if (JOV_MemoryGet(16, 0, nullptr, 0) != nullptr) return 3;
  if (JOV_MemoryGet(16, JOVMemOptZeroFill, nullptr, 0) != nullptr) return 4;
  return JOVMemAllocType == JOVMemAllocHeap ? 0 : 5;  // no lazy redefinition either
}

TEST(MemoryDefinition, HeapCreateFailureRecordsHeapStrategyAndGetsReturnNull) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_heap_create_fails").exitCode, 0u);
}

// Captures what the library asks of HeapCreate and HeapSetInformation.
struct HeapCalls {
  SIZE_T initialSize = 0, maximumSize = 1;
  DWORD createFlags = 1;
  int setCalls = 0;
  int classes[4] = {-1, -1, -1, -1};
  unsigned long compatibilityValue = 0;
  bool terminationArgumentsEmpty = false;
  BOOL setResult = TRUE;
};
HeapCalls calls;
decltype(&::HeapCreate) realHeapCreate = nullptr;
decltype(&::GetProcAddress) realGetProcAddress = nullptr;

HANDLE WINAPI CapturingHeapCreate(DWORD flags, SIZE_T initial, SIZE_T maximum) {
  calls.createFlags = flags;
  calls.initialSize = initial;
  calls.maximumSize = maximum;
  return realHeapCreate(flags, initial, maximum);
}

BOOL WINAPI FakeHeapSetInformation(HANDLE, int infoClass, void* info, SIZE_T length) {
  if (calls.setCalls < 4) calls.classes[calls.setCalls] = infoClass;
  ++calls.setCalls;
  if (infoClass == 0 && info && length == sizeof(unsigned long))
    calls.compatibilityValue = *static_cast<unsigned long*>(info);
  if (infoClass == 1) calls.terminationArgumentsEmpty = !info && length == 0;
  return calls.setResult;
}

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
  if (reinterpret_cast<std::uintptr_t>(name) > 0xFFFF && lstrcmpA(name, "HeapSetInformation") == 0)
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeHeapSetInformation));
  return realGetProcAddress(module, name);
}

BOOL WINAPI WindowsXpVersion(OSVERSIONINFOW* info) {
  info->dwMajorVersion = 5;
  info->dwMinorVersion = 1;
  info->dwBuildNumber = 2600;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  return TRUE;
}

// Defines the private heap with `options` while HeapCreate and HeapSetInformation are
// watched (on Windows XP when asked), and reports what was asked as an exit code:
// 100 * set calls + 10 * (first class + 1) + (second class + 1); 900+ for other faults.
int DefineWatchedHeap(unsigned long heapInitial, unsigned long options, bool asWindowsXp,
                      BOOL setResult) {
  calls.setResult = setResult;
  jovtest::ScopedImportPatch create("HeapCreate", reinterpret_cast<void*>(&CapturingHeapCreate));
  jovtest::ScopedImportPatch lookup("GetProcAddress",
                                    reinterpret_cast<void*>(&FakeGetProcAddress));
  realHeapCreate = create.original<decltype(&::HeapCreate)>();
  realGetProcAddress = lookup.original<decltype(&::GetProcAddress)>();
  std::unique_ptr<jovtest::ScopedImportPatch> version;
  if (asWindowsXp)
    version = std::make_unique<jovtest::ScopedImportPatch>(
        "GetVersionExW", reinterpret_cast<void*>(&WindowsXpVersion));
  if (JOV_MemoryDefine(JOVMemAllocHeap, heapInitial, options) != 0 || !hJOVHeap) return 901;
  if (calls.createFlags != 0 || calls.maximumSize != 0) return 902;
  if (calls.initialSize != (heapInitial ? heapInitial : 131072)) return 903;
  if (calls.setCalls > 0 && calls.compatibilityValue != 2) return 904;
  if (calls.setCalls > 1 && !calls.terminationArgumentsEmpty) return 905;
  return 100 * calls.setCalls + 10 * (calls.classes[0] + 1) + (calls.classes[1] + 1);
}

JOV_CHILD_CASE(mem_heap_low_fragmentation_vista_guard) {
  return DefineWatchedHeap(65536, JOVMemOptLowFragHeap | JOVMemOptGuard, false, TRUE);
}
JOV_CHILD_CASE(mem_heap_low_fragmentation_xp_guard) {
  return DefineWatchedHeap(0, JOVMemOptLowFragHeap | JOVMemOptGuard, true, TRUE);
}
JOV_CHILD_CASE(mem_heap_low_fragmentation_refused) {
  return DefineWatchedHeap(0, JOVMemOptLowFragHeap | JOVMemOptGuard, false, FALSE);
}

TEST(MemoryDefinition, GrowableHeapSwitchedToLowFragmentationThenTerminationOnVista) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_heap_low_fragmentation_vista_guard").exitCode, 212u);
  EXPECT_EQ(jovtest::RunChild("mem_heap_low_fragmentation_xp_guard").exitCode, 110u);
  // A refused switch to the low-fragmentation heap asks nothing more.
  EXPECT_EQ(jovtest::RunChild("mem_heap_low_fragmentation_refused").exitCode, 110u);
}

std::atomic<int> systemInfoCalls{0};
decltype(&::GetSystemInfo) realGetSystemInfo = nullptr;

void WINAPI SlowGetSystemInfo(SYSTEM_INFO* info) {
  ++systemInfoCalls;
  ::Sleep(100);  // long enough for every racer to reach the definition
  realGetSystemInfo(info);
}

// Every definition fetches the system information, so one call means one definition.
JOV_CHILD_CASE(mem_racing_first_gets) {
  jovtest::ScopedImportPatch patch("GetSystemInfo", reinterpret_cast<void*>(&SlowGetSystemInfo));
  realGetSystemInfo = patch.original<decltype(&::GetSystemInfo)>();
  JOV_MonitorMemory = 1;
  HANDLE go = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<std::thread> threads;
  std::atomic<int> nulls{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      ::WaitForSingleObject(go, INFINITE);
      void* block = JOV_MemoryGet(32, 0, nullptr, 0);
      if (!block) ++nulls;
      JOV_MemoryFree(block);
    });
  }
  ::SetEvent(go);
  for (auto& thread : threads) thread.join();
  ::CloseHandle(go);
  if (nulls != 0) return 1;
  if (systemInfoCalls != 1) return 10 + systemInfoCalls;
  if (JOVMemAllocType != JOVMemAllocMalloc || !g_pJOVMemCtl) return 2;
  // All 16 events went into the one ring.
  return g_pJOVMemCtl->pNextRecord == g_pJOVMemCtl->Records + 16 ? 0 : 3;
}

TEST(MemoryDefinition, RacingFirstGetsDefineExactlyOnce) {
  JOV_REQUIRE_CHILD_PROCESSES();
  EXPECT_EQ(jovtest::RunChild("mem_racing_first_gets").exitCode, 0u);
}

}  // namespace
