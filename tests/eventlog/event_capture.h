// event_capture.h - records what JOVUtil32.dll hands to the event-log calls, in place of
// the system's event log, for the scope of one object.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/import_patch.h"

struct CapturedEvent {
  HANDLE handle;
  WORD type;
  WORD category;
  DWORD eventId;
  bool hasSid;
  std::vector<std::wstring> strings;
  DWORD dataSize;
};

class EventCapture {
 public:
  static inline std::vector<std::wstring> registered;  // source names, in order
  static inline std::vector<bool> registeredLocally;   // server name was null
  static inline std::vector<CapturedEvent> events;
  static inline std::vector<HANDLE> deregistered;
  static inline bool refuseRegistration = false;
  // Called for each report when set (child processes print what reaches the event log).
  static inline void (*onReport)(const CapturedEvent&) = nullptr;

  EventCapture() {
    registered.clear();
    registeredLocally.clear();
    events.clear();
    deregistered.clear();
    refuseRegistration = false;
  }
  ~EventCapture() { refuseRegistration = false; }
  EventCapture(const EventCapture&) = delete;
  EventCapture& operator=(const EventCapture&) = delete;

 private:
  static HANDLE WINAPI Register(LPCWSTR server, LPCWSTR source) {
    registered.push_back(source != nullptr ? source : L"<null>");
    registeredLocally.push_back(server == nullptr);
    if (refuseRegistration) {
      ::SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
    return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x5000 + registered.size()));
  }
  static BOOL WINAPI Report(HANDLE handle, WORD type, WORD category, DWORD eventId, PSID sid,
                            WORD count, DWORD dataSize, LPCWSTR* strings, LPVOID) {
    CapturedEvent e{handle, type, category, eventId, sid != nullptr, {}, dataSize};
    for (WORD i = 0; i < count; ++i) e.strings.emplace_back(strings[i]);
    events.push_back(e);
    if (onReport != nullptr) onReport(e);
    return TRUE;
  }
  static BOOL WINAPI Deregister(HANDLE handle) {
    deregistered.push_back(handle);
    return TRUE;
  }

  jovtest::ScopedImportPatch registerPatch_{"RegisterEventSourceW",
                                            reinterpret_cast<const void*>(&Register)};
  jovtest::ScopedImportPatch reportPatch_{"ReportEventW", reinterpret_cast<const void*>(&Report)};
  jovtest::ScopedImportPatch deregisterPatch_{"DeregisterEventSource",
                                              reinterpret_cast<const void*>(&Deregister)};
};
