// lists_internal.h - helpers shared by the list and message-record sources.
#pragma once

#include <windows.h>

#include "JOVLists.h"

namespace jov::lists {

// Holds an anchor's lock, if it has one, for a scope. The lock is a critical section, so
// the owning thread may take it again (JOV_LinkPopFirst relies on that).
class AnchorLock {
 public:
  explicit AnchorLock(const JOVLinkAnchor* anchor) : lock_(anchor->pLock) {
    if (lock_ != nullptr) ::EnterCriticalSection(lock_);
  }
  ~AnchorLock() {
    if (lock_ != nullptr) ::LeaveCriticalSection(lock_);
  }
  AnchorLock(const AnchorLock&) = delete;
  AnchorLock& operator=(const AnchorLock&) = delete;

 private:
  CRITICAL_SECTION* lock_;
};

}  // namespace jov::lists
