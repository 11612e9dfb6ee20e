// virtual_memory_report.cpp - TraceVirtualMemUsage: the process's address space walked region
// by region and summed into free, committed and reserved bytes on one trace line.
//
// The 32-bit build walks up to 0x7FFFFFFF, the classic user address space. The 64-bit build
// walks up to the highest address the system gives applications, the whole of its user
// space, and shows an address in an invalid-state line with all its digits.
#include <cstdint>
#include <cwchar>

#include "trace/dump_internal.h"
#include "trace/trace_format.h"

namespace {

std::uintptr_t WalkLimit() {
#ifdef _WIN64
  SYSTEM_INFO info;
  ::GetSystemInfo(&info);
  return reinterpret_cast<std::uintptr_t>(info.lpMaximumApplicationAddress);
#else
  return 0x7FFFFFFF;
#endif
}

}  // namespace

void JOVDebug::TraceVirtualMemUsage(unsigned long id) {
  if (!TraceAnyActive()) return;

  unsigned long long freeBytes = 0, committed = 0, reserved = 0;
  wchar_t line[256];
  const std::uintptr_t limit = WalkLimit();
  std::uintptr_t address = 0;
  while (address < limit) {
    MEMORY_BASIC_INFORMATION region;
    if (::VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == 0)
      break;  // the totals so far are still worth a line
    switch (region.State) {
      case MEM_COMMIT:
        committed += region.RegionSize;
        break;
      case MEM_RESERVE:
        reserved += region.RegionSize;
        break;
      case MEM_FREE:
        freeBytes += region.RegionSize;
        break;
      default:
        std::swprintf(line, 256,
                      L"JOVDebug::TraceVirtualMemUsage found invalid memory state = %d (0x%x), "
                      L"address = 0x%llx",
                      static_cast<int>(region.State), static_cast<unsigned>(region.State),
                      static_cast<unsigned long long>(address));
        InsertMsg(line);
        return;
    }
    const std::uintptr_t next =
        reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
    if (next <= address) break;  // a region that does not move the walk on would never end it
    address = next;
  }
  std::swprintf(line, 256, L"%ls%llu%ls%llu, Reserved = %llu, ID = %lu",
                jov::trace::format::wide::kVirtualMemory, freeBytes,
                jov::trace::format::wide::kVirtualCommitted, committed, reserved, id);
  InsertMsg(line);
}
