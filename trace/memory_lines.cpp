// memory_lines.cpp - while memory monitoring is on, the lines that report a change of the
// process's handle count, of the memory manager's pool counter or of its private bytes.
#include <cwchar>

#include "JOVPlatform.h"
#include "trace/trace_internal.h"

namespace {

using GetProcessMemoryInfoFn = BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);

// Opens the own process and finds GetProcessMemoryInfo in psapi.dll. A step that fails is
// tried again at the next line; what succeeded is kept until the object is destroyed.
void LocateMemoryQueries(HANDLE& process, HMODULE& psapi, GetProcessMemoryInfoFn& query,
                         unsigned long& lastHandleCount) {
  if (process == nullptr) {
    lastHandleCount = 0;
    process = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, ::GetCurrentProcessId());
    if (process == nullptr) return;
  }
  if (psapi == nullptr) psapi = ::LoadLibraryW(L"psapi.dll");
  if (psapi != nullptr) {
    query = reinterpret_cast<GetProcessMemoryInfoFn>(
        reinterpret_cast<void*>(::GetProcAddress(psapi, "GetProcessMemoryInfo")));
  }
}

}  // namespace

void JOVTraceAccess::MemoryLines(JOVDebug& d, unsigned long long poolBytes, int& stage) {
  const long long poolChange = static_cast<long long>(poolBytes - d.lastPoolBytes);
  PROCESS_MEMORY_COUNTERS counters;
  ::ZeroMemory(&counters, sizeof counters);

  if (JOV_IsWinNT() && d.getProcessMemoryInfo == nullptr) {
    LocateMemoryQueries(d.processHandle, d.psapiModule, d.getProcessMemoryInfo, d.lastHandleCount);
  }
  if (d.getProcessMemoryInfo != nullptr) {
    counters.cb = sizeof counters;
    if (!d.getProcessMemoryInfo(d.processHandle, &counters, sizeof counters)) {
      ::ZeroMemory(&counters, sizeof counters);
    }
  }

  if (d.processHandle != nullptr) {
    DWORD handles = 0;
    DWORD error = 0;
    if (!::GetProcessHandleCount(d.processHandle, &handles)) error = ::GetLastError();
    if (handles != d.lastHandleCount || error != 0) {
      d.lastHandleCount = handles;
      d.InsertMsgWait();
      wchar_t text[64];
      std::swprintf(text, 64, L"%d%ls%d.", static_cast<int>(handles),
                    jov::trace::format::wide::kHandleError, static_cast<int>(error));
      d.lineBuffer = jov::trace::format::wide::kHandleCount;
      d.lineBuffer += text;
      d.lineBuffer += L"\r\n";
      HandOver(d);
    }
  }

  const long privateChange =
      static_cast<long>(static_cast<unsigned long>(counters.PagefileUsage) -
                        static_cast<unsigned long>(d.lastMemoryCounters.PagefileUsage));
  stage = 300;

  // Small changes are not booked, so that they add up until they pass the threshold.
  const long poolChange32 = static_cast<long>(poolChange);
  const unsigned long poolMagnitude = poolChange32 < 0
                                          ? 0UL - static_cast<unsigned long>(poolChange32)
                                          : static_cast<unsigned long>(poolChange32);
  if (poolMagnitude >= d.memoryReportThreshold || privateChange != 0) {
    d.InsertMsgWait();
    wchar_t text[160];
    std::swprintf(text, 160, L"%lld%ls%+lld%ls%d%ls%+d", static_cast<long long>(poolBytes),
                  jov::trace::format::wide::kChange, poolChange,
                  jov::trace::format::wide::kProcessBytes, static_cast<int>(counters.PagefileUsage),
                  jov::trace::format::wide::kChange, static_cast<int>(privateChange));
    d.lineBuffer = jov::trace::format::wide::kMemory;
    d.lineBuffer += text;
    d.lineBuffer += L"\r\n";
    HandOver(d);
    d.lastPoolBytes = poolBytes;
    d.lastMemoryCounters = counters;
  }
}
