// computer_name.cpp - JOV_GetComputerName: the computer's name, asked of the system until
// it answers once and then kept for the life of the library.
#include "JOVNames.h"
#include "JOVPlatform.h"
#include "platform/scope_lock.h"

namespace {

constexpr DWORD kNameChars = 16;  // 15 characters of a computer name and the terminator

// The process-wide name and the lock that serialises filling it. Created on the first
// call (the compiler's guarded initialisation makes concurrent first calls wait for one
// construction) and destroyed with the library's other statics when it is unloaded.
class NameCache {
 public:
  NameCache() { ::InitializeCriticalSection(&lock_); }
  ~NameCache() { ::DeleteCriticalSection(&lock_); }
  NameCache(const NameCache&) = delete;
  NameCache& operator=(const NameCache&) = delete;

  JOVString Get() {
    jov::ScopeLock hold(lock_);
    if (name_.empty()) Fill();
    return name_;
  }

 private:
  // Leaves the name empty when the system cannot give it, so the next call asks again.
  void Fill() {
    if (JOV_IsWinNT()) {
      wchar_t buffer[kNameChars] = {};
      DWORD size = kNameChars;
      if (::GetComputerNameW(buffer, &size) && size < kNameChars) name_.assign(buffer, size);
      return;
    }
    char buffer[kNameChars + 1] = {};  // one more than announced: always terminated
    DWORD size = kNameChars;
    if (::GetComputerNameA(buffer, &size)) name_.assign(buffer);  // under the C locale
  }

  CRITICAL_SECTION lock_;
  JOVString name_;
};

}  // namespace

JOVString JOV_GetComputerName() {
  static NameCache cache;
  return cache.Get();
}
