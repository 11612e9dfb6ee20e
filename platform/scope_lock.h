// scope_lock.h - ScopeLock, the library's one guard for a lock held over a scope: a critical
// section (waited for at once, or polled for first) or an SRW lock taken exclusively.
#pragma once

#include <windows.h>

namespace jov {

// How a thread that finds a critical section held waits for it.
enum class LockWait {
  kBlock,      // waits in the critical section at once
  kPollFirst,  // polls for it a while first (scope_lock.cpp says when that pays)
};

// Takes `section`, polling it for a while before it waits in the critical section.
void EnterPollingFirst(CRITICAL_SECTION& section);

// Holds a lock from its construction to the end of the scope. A critical section is
// re-entrant, so its owner may take it again in an inner scope; a null section (a list
// anchor without a lock) holds nothing.
class ScopeLock {
 public:
  explicit ScopeLock(CRITICAL_SECTION* section, LockWait wait = LockWait::kBlock)
      : section_(section) {
    if (section_ == nullptr) return;
    if (wait == LockWait::kPollFirst)
      EnterPollingFirst(*section_);
    else
      ::EnterCriticalSection(section_);
  }
  explicit ScopeLock(CRITICAL_SECTION& section, LockWait wait = LockWait::kBlock)
      : ScopeLock(&section, wait) {}
  // An SRW lock needs no initialisation at run time (SRWLOCK_INIT), so a static one is usable
  // before the library has run any code.
  explicit ScopeLock(SRWLOCK& lock) : srwLock_(&lock) { ::AcquireSRWLockExclusive(srwLock_); }
  ~ScopeLock() {
    if (section_ != nullptr) ::LeaveCriticalSection(section_);
    if (srwLock_ != nullptr) ::ReleaseSRWLockExclusive(srwLock_);
  }
  ScopeLock(const ScopeLock&) = delete;
  ScopeLock& operator=(const ScopeLock&) = delete;

 private:
  CRITICAL_SECTION* section_ = nullptr;
  SRWLOCK* srwLock_ = nullptr;
};

}  // namespace jov
