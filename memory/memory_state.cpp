// memory_state.cpp - the memory manager's exported globals and private state, its two
// critical sections (each initialised once on first use) and the run-time entry lookup.
#include "memory/memory_internal.h"

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

enum : LONG { kUninitialised = 0, kInitialising = 1, kReady = 2 };
volatile LONG g_RingLockState = kUninitialised;
volatile LONG g_DefinitionLockState = kUninitialised;

// The library runs no code at load, so each section is initialised by whichever thread
// reaches it first; threads that arrive meanwhile wait until it is ready. Neither section
// is ever deleted: a tear-down keeps m_LockMemory usable for the rest of the process.
void InitialiseOnce(CRITICAL_SECTION& section, volatile LONG& state) {
  if (__atomic_load_n(&state, __ATOMIC_ACQUIRE) == kReady) return;
  if (::InterlockedCompareExchange(&state, kInitialising, kUninitialised) == kUninitialised) {
    ::InitializeCriticalSection(&section);
    __atomic_store_n(&state, static_cast<LONG>(kReady), __ATOMIC_RELEASE);
    return;
  }
  while (__atomic_load_n(&state, __ATOMIC_ACQUIRE) != kReady) ::Sleep(0);
}

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
    InitialiseOnce(m_LockMemory, g_RingLockState);
    return m_LockMemory;
  }
  InitialiseOnce(g_DefinitionLock, g_DefinitionLockState);
  return g_DefinitionLock;
}

}  // namespace jov::memory
