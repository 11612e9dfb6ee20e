// JOVMemory.h - the allocator front under every allocation of JOVUtil32: one system
// allocator chosen per process, optional guard frames, a pool counter and a ring of the
// last 2047 get/free events that an outside tool reads through g_pJOVMemCtl.
//
// Sizes: the 32-bit build keeps every layout exactly as documented (32-byte ring records,
// a 65508-byte ring, 24-byte guard records, a 48-byte frame) and checks them at compile
// time. The 64-bit build widens only the fields that hold an address: the ring's pointer
// fields (40-byte records, an 81888-byte ring) and the guard records' two address words
// (32-byte records, so a 64-byte frame instead of 48).
#pragma once

#include <windows.h>

#include "JOVUtil_export.h"

// Where blocks come from. Chosen once per process by JOV_MemoryDefine, or by the first
// JOV_MemoryGet (JOVMemAllocMalloc).
enum enumJOVMemoryAlloc {
  JOVMemAllocNone = 0,     // nothing chosen yet
  JOVMemAllocNew = 1,      // operator new / operator delete
  JOVMemAllocMalloc = 2,   // malloc / free / _msize
  JOVMemAllocHeap = 3,     // a private growable Win32 heap (hJOVHeap)
  JOVMemAllocVirtual = 4,  // one reservation per block, ending at a no-access page
};

// Option bits of JOVMemOptions; other bits are carried along and ignored.
enum : unsigned long {
  JOVMemOptZeroFill = 0x00000008UL,     // JOV_MemoryGet zeroes the caller's bytes
  JOVMemOptLowFragHeap = 0x00100000UL,  // private heap switched to the low-fragmentation heap
  JOVMemOptGuard = 0x40000000UL,        // guard frame around every block, checked on free
};

// One event of the ring: 32 bytes on the 32-bit build (40 on the 64-bit one).
struct JOV_MemCtlRecord {
  SYSTEMTIME stTime;          // local time of the event
  void* pBlock;               // the caller's block address
  unsigned long nSize;        // bytes requested; 0 for a free
  unsigned long dwThreadId;   // the calling thread
  unsigned short wOperation;  // 'G' for a get, 'F' for a free
  unsigned short wReserved;   // never written
};

// Number of records in the event ring.
constexpr unsigned JOV_MemCtlRecordCount = 2047;

// The event ring: 65508 bytes on the 32-bit build (81888 on the 64-bit one). Written in
// place under m_LockMemory, never read back by the library. pNextRecord is null until the
// first event.
struct JOV_MemCtlBlock {
  JOV_MemCtlRecord* pNextRecord;                    // the record the next event overwrites
  JOV_MemCtlRecord Records[JOV_MemCtlRecordCount];  // the events, oldest overwritten first
};

// Process-wide state, all zero at load.
extern JOVUTIL_API enumJOVMemoryAlloc JOVMemAllocType;  // strategy in force, 0 = none yet
extern JOVUTIL_API unsigned long JOVMemOptions;         // option bits, set by JOV_MemoryDefine
// Set by the client before its first allocation. Non-zero: keep JOV_PoolMemBusy and create
// the ring at the first definition. Exactly 1: write events into the ring.
extern JOVUTIL_API long JOV_MonitorMemory;
// Bytes held through strategies 2 and 3 while monitoring (frames included), as the system
// allocator measures its blocks. Updated atomically.
extern JOVUTIL_API volatile unsigned long long JOV_PoolMemBusy;
extern JOVUTIL_API JOV_MemCtlBlock* g_pJOVMemCtl;  // the event ring, or null
extern JOVUTIL_API HANDLE hJOVHeap;                // the private heap of strategy 3, or null
// Guards the ring, compaction and tear-down. The library runs no code at load, so the
// section is initialised once, race-free, by the first JOV_MemoryDefine, JOV_MemoryCompact
// or JOV_MemoryPoolFree, and never deleted; a client may enter it once a strategy is defined.
extern JOVUTIL_API CRITICAL_SECTION m_LockMemory;

// Stores the options (every call) and chooses the strategy (first call only). Returns 0,
// or the Win32 error when the private heap could not be created (the strategy is recorded
// all the same, and every later get then returns null). heapInitial 0 means 131072.
// Definitions are serialised by a private lock (so are the lazy one of JOV_MemoryGet and
// JOV_MemoryPoolFree); the first one initialises m_LockMemory if nothing has yet.
JOVUTIL_API unsigned long JOV_MemoryDefine(enumJOVMemoryAlloc strategy, unsigned long heapInitial,
                                           unsigned long options);

// A block of at least size bytes, or null (size 0, no allocator, exhaustion, or a framed
// size that would pass 0xFFFFFFFF on either build). flags 0 stands for JOVMemOptions
// without the guard and low-fragmentation bits; of the flags only JOVMemOptZeroFill acts.
// file and line are accepted and not used. Never throws. When no strategy is defined yet,
// defines JOVMemAllocMalloc with options 0 first, exactly once however many first gets race;
// the options are read after that, so a block is framed as its free will expect.
JOVUTIL_API void* JOV_MemoryGet(unsigned long size, unsigned long flags, const char* file,
                                int line);

// Gives a block back; null returns 0 and records nothing. Returns 0, the HeapFree error,
// 87 when no strategy is defined, or 6 (invalid handle) under JOVMemAllocHeap when there is
// no private heap. With JOVMemOptGuard set, a damaged or foreign frame (one whose records
// are unreadable included) throws (long)9 and the block stays allocated and uncounted.
JOVUTIL_API unsigned long JOV_MemoryFree(void* block);

// Frees the block held in *pointerVariable (a void* variable) and nulls the variable.
// A null argument returns 0. If JOV_MemoryFree throws, the variable is left unchanged.
JOVUTIL_API unsigned long JOV_MemoryFreePtr(void* pointerVariable);

// Compacts the private heap (and the process heap first when alsoProcessHeap), or the
// process heap when there is no private heap, at most once per intervalMs. Returns the
// largest free committed block, or 0 (too early, not NT, no HeapCompact, failure). Holds
// m_LockMemory throughout, initialising it when no definition has run yet.
JOVUTIL_API SIZE_T JOV_MemoryCompact(unsigned long long intervalMs, int alsoProcessHeap);

// Destroys the private heap (back to no strategy, pool count 0) and the event ring; without
// a private heap only the ring goes. m_LockMemory stays initialised (made so if needed).
JOVUTIL_API void JOV_MemoryPoolFree();
