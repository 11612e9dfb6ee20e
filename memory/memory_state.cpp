// memory_state.cpp - the memory manager's exported globals and private state, its two
// critical sections (each initialised once on first use) and the run-time entry lookup.
#include "memory/memory_internal.h"
#include "platform/once.h"

// Exported state, all zero at load.
enumJOVMemoryAlloc JOVMemAllocType = JOVMemAllocNone;
unsigned long JOVMemOptions = 0;
long JOV_MonitorMemory = 0;
volatile unsigned long long JOV_PoolMemBusy = 0;
JOV_MemCtlBlock* g_pJOVMemCtl = nullptr;
HANDLE hJOVHeap = nullptr;
CRITICAL_SECTION m_LockMemory;

namespace jov::memory {

SYSTEM_INFO g_JOVSysInfo;

namespace {

// Serialises JOV_MemoryDefine calls (the lazy one included) and the tear-down.
CRITICAL_SECTION g_DefinitionLock;

// The library runs no code at load, so each section is initialised by whichever thread
// reaches it first. Neither section is ever deleted: a tear-down keeps m_LockMemory usable
// for the rest of the process.
jov::Once g_RingLockOnce;
jov::Once g_DefinitionLockOnce;

}  // namespace

void* ResolveKernelEntry(const char* name) {
  HMODULE kernel = ::LoadLibraryW(L"KERNEL32.dll");
  if (!kernel) return nullptr;
  void* entry = reinterpret_cast<void*>(::GetProcAddress(kernel, name));
  ::FreeLibrary(kernel);
  return entry;
}

CRITICAL_SECTION& AcquireInitialisedLock(MemoryLock which) {
  if (which == MemoryLock::Ring) {
    g_RingLockOnce.Run([] { ::InitializeCriticalSection(&m_LockMemory); });
    return m_LockMemory;
  }
  g_DefinitionLockOnce.Run([] { ::InitializeCriticalSection(&g_DefinitionLock); });
  return g_DefinitionLock;
}

}  // namespace jov::memory
