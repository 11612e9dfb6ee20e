// event_ring.cpp - the ring of the last 2047 get/free events, written in place under
// m_LockMemory and read only by outside tools through g_pJOVMemCtl.
#include "memory/memory_internal.h"

namespace jov::memory {

// The ring pointer is read again under the lock: a tear-down may have freed it since the
// caller looked.
void RecordEvent(void* callerBlock, unsigned long size, wchar_t operation) {
  jov::ScopeLock lock(AcquireInitialisedLock(MemoryLock::Ring));
  JOV_MemCtlBlock* ring = g_pJOVMemCtl;
  if (!ring) return;
  JOV_MemCtlRecord* record = ring->pNextRecord ? ring->pNextRecord : ring->Records;
  record->pBlock = callerBlock;
  record->nSize = size;
  record->dwThreadId = ::GetCurrentThreadId();
  record->wOperation = static_cast<unsigned short>(operation);
  ::GetLocalTime(&record->stTime);
  ++record;
  ring->pNextRecord = record == ring->Records + JOV_MemCtlRecordCount ? ring->Records : record;
}

}  // namespace jov::memory
