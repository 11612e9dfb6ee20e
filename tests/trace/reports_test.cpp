// reports_test.cpp - heap reports of scripted walks (the DLL's HeapWalk replaced) row by row
// and of a real one, under the heap's lock, and the memory lines of the line writer while memory
// monitoring is on.
#include "support/test_prelude.h"

#include <memory>
#include "trace/trace_files.h"

namespace {

using jovtest::ScopedImportPatch;
using tracetest::Hex;
using tracetest::Lines;
constexpr int kDigits = 2 * sizeof(void*);

// A row: the type, the address, three numbers in 10 columns each, and what follows; a gap
// row stops after its length.
std::string Row(const char* type, std::uintptr_t at, unsigned long length, unsigned long overhead,
                unsigned region, const std::string& rest = " Flags=0x4") {
  char numbers[40];
  std::snprintf(numbers, sizeof numbers, " %10lu %10lu %10u", length, overhead, region);
  return type + Hex(at) + numbers + rest;
}
std::string Gap(std::uintptr_t at, unsigned long length) {
  return Row("-Gap-   ", at, length, 0, 0).substr(0, 19 + kDigits);
}

// The report's lines from its title to its end line, from a trace of its own.
Lines Report(HANDLE heap, unsigned long options, unsigned long dumpCount, long region) {
  Lines texts =
      tracetest::Traced([&](JOVDebug& d, auto&) { d.TraceHeap(heap, options, dumpCount, region); });
  return texts.size() < 3 ? texts
                          : Lines(texts.begin() + 2, texts.end() - 1);  // date, header; closing
}

std::vector<PROCESS_HEAP_ENTRY> script;
BOOL WINAPI ScriptedHeapWalk(HANDLE, LPPROCESS_HEAP_ENTRY entry) {
  static size_t next = 0;
  if (entry->lpData == nullptr) next = 0;
  if (next == script.size()) return FALSE;  // the end of the heap
  *entry = script[next++];
  return TRUE;
}
PROCESS_HEAP_ENTRY Entry(std::uintptr_t at, DWORD length, BYTE overhead, BYTE region, WORD flags) {
  return {reinterpret_cast<void*>(at), length, overhead, region, flags, {}};
}

int heapLocks = 0, writesWhileLocked = 0;
bool heapLocked = false;
decltype(&::HeapLock) realLock = nullptr;
decltype(&::HeapUnlock) realUnlock = nullptr;
decltype(&::WriteFile) realWrite = nullptr;
BOOL WINAPI CountedLock(HANDLE heap) {
  ++heapLocks;
  heapLocked = true;
  return realLock(heap);
}
BOOL WINAPI CountedUnlock(HANDLE heap) {
  heapLocked = false;
  return realUnlock(heap);
}
BOOL WINAPI NotedWrite(HANDLE h, LPCVOID b, DWORD n, LPDWORD w, LPOVERLAPPED o) {
  writesWhileLocked += heapLocked;
  return realWrite(h, b, n, w, o);
}
LPVOID WINAPI NoVirtualMemory(LPVOID, SIZE_T, DWORD, DWORD) { return nullptr; }

const std::string kHeader =
    "Type" + std::string(kDigits - 1, ' ') + "Start     Length   Overhead     Region";
const std::string kDetailed = "...>>> Detailed Heap Trace <<<...";
const std::string kCompressed = "...>>> Compressed Heap Trace <<<...";
const std::string kComplete = "HeapWalk complete.";
const std::string kTooSmall = "Trace buffer was too small for entire HeapWalk.";

}  // namespace

// Each walk runs under the heap's lock, with nothing written meanwhile.
TEST(HeapReport, ScriptedWalksRowByRowThenARealOne) {
  PROCESS_HEAP_ENTRY region = Entry(0x150000, 1024, 0, 0, PROCESS_HEAP_REGION);
  region.Region = {4096, 8192, reinterpret_cast<void*>(0x150400),
                   reinterpret_cast<void*>(0x153000)};
  // Reserved, not committed: what a block freed since the walk may have become.
  const auto gone = std::uintptr_t(::VirtualAlloc(nullptr, 0x10000, MEM_RESERVE, PAGE_NOACCESS));
  static const char hello[] = "Hello, world\0\0\0\0ABCDwxyz";
  const auto at = reinterpret_cast<std::uintptr_t>(hello);
  const std::string flags14 = " Flags=0x14";
  const struct {
    struct {
      unsigned long options, dump;
      long region;
    } asked;
    std::vector<PROCESS_HEAP_ENTRY> walk;
    Lines rows;  // between the column header and the end line
  } cases[] = {
      {{0, 0, -1},
       {region, Entry(0x152A40, 24, 8, 0, 4), Entry(0x152A60, 160, 8, 0, 0),
        Entry(0x153B08, 100, 12, 0, 4),
        Entry(0x154000, 0x3C000, 0, 0, PROCESS_HEAP_UNCOMMITTED_RANGE)},
       {Row("Region  ", 0x150000, 1024, 0, 0,
            " Committed=4096, Uncommitted=8192, FirstBlock=" + Hex(0x150400) +
                ", InvalidBlock=" + Hex(0x153000)),
        Gap(0x150400, 9792), Row("Busy    ", 0x152A40, 24, 8, 0),
        Row("   Free ", 0x152A60, 160, 8, 0, ""), Gap(0x152B08, 4096),
        Row("Busy    ", 0x153B08, 100, 12, 0), Gap(0x153B78, 1160),
        Row("Uncomit ", 0x154000, 245760, 0, 0, "")}},
      // Moveable and shared blocks are marked in the type word; busy-only leaves out free entries.
      {{0x2, 0, -1},
       {Entry(0x1000, 8, 8, 0, 0x14), Entry(0x1010, 8, 8, 0, 0), Entry(0x2000, 8, 8, 0, 0x24),
        Entry(0x3000, 8, 8, 1, 0x34)},
       {Row("BusyM   ", 0x1000, 8, 8, 0, flags14), Row("Busy D  ", 0x2000, 8, 8, 0, " Flags=0x24"),
        Row("BusyMD  ", 0x3000, 8, 8, 1, " Flags=0x34")}},
      // Runs merge only alike entries of one region, across entries the options leave out.
      {{0x3, 0, -1},
       {Entry(0x1000, 16, 16, 0, 4), Entry(0x1020, 32, 0, 0, 0), Entry(0x1020, 16, 16, 0, 4),
        Entry(0x1040, 16, 16, 0, 0x14), Entry(0x1060, 16, 16, 1, 0x14)},
       {Row("Busy    ", 0x1000, 32, 32, 0), Row("BusyM   ", 0x1040, 16, 16, 0, flags14),
        Row("BusyM   ", 0x1060, 16, 16, 1, flags14)}},
      {{0x1, 0, 1},
       {Entry(0x1000, 16, 16, 0, 4), Entry(0x1060, 16, 16, 1, 0x14), Entry(0x1080, 16, 16, 2, 4)},
       {Row("BusyM   ", 0x1060, 16, 16, 1, flags14)}},
      {{0x2, 32, -1},
       {Entry(gone, 40, 8, 0, 4)},
       {Row("Busy    ", gone, 40, 8, 0, std::string(37, ' ') + "*" + std::string(16, ' ') + "*")}},
      // The first 20 of 24 bytes beside the row and, with their address, on a row of their own.
      // (ReadProcessMemory misreads the own process when emulated: the last case is left out.)
      {{2, 20, -1},
       {Entry(at, 24, 8, 0, 4)},
       {Row("Busy    ", at, 24, 8, 0, " 48656C6C 6F2C2077 6F726C64 00000000 *Hello, world....*"),
        std::string(8, ' ') + Hex(at + 16) + std::string(34, ' ') + "41424344" +
            std::string(28, ' ') + "*ABCD" + std::string(12, ' ') + "*"}},
  };
  HANDLE heap = ::HeapCreate(0, 0, 0);  // a real heap behind the scripted walk, for its lock
  for (int i = 0; i < 50; ++i) ::HeapAlloc(heap, 0, 24 + i);
  ScopedImportPatch lock("HeapLock", &CountedLock, &realLock),
      unlock("HeapUnlock", &CountedUnlock, &realUnlock),
      write("WriteFile", &NotedWrite, &realWrite);
  auto walk = std::make_unique<ScopedImportPatch>("HeapWalk", &ScriptedHeapWalk);
  for (size_t i = 0; i < std::size(cases) - jovtest::kEmulatedLane; ++i) {
    script = cases[i].walk;
    const auto& [options, dump, regionIndex] = cases[i].asked;
    Lines expected = {options & 1 ? kCompressed : kDetailed, kHeader};
    expected.insert(expected.end(), cases[i].rows.begin(), cases[i].rows.end());
    expected.push_back(kComplete);
    EXPECT_EQ(Report(heap, options, dump, regionIndex), expected) << "case " << i;
  }
  // The work area holds 2340 records: a walk that fills it may be incomplete.
  script.assign(2340, Entry(0x100000, 16, 16, 0, 4));
  for (size_t i = 0; i < script.size(); ++i)
    script[i].lpData = reinterpret_cast<void*>(0x100000 + 32 * i);
  EXPECT_EQ(Report(heap, 0, 0, -1).back(), kTooSmall);
  script.pop_back();
  EXPECT_EQ(Report(heap, 0, 0, -1).back(), kComplete);
  EXPECT_EQ(heapLocks * 10 + heapLocked + writesWhileLocked,
            10 * int(std::size(cases) + 2 - jovtest::kEmulatedLane));
  walk.reset();  // the 50 blocks in a row, merged: a region and a run
  const Lines rows = Report(heap, 0x3, 0, -1);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[3].substr(0, 8) + rows[3].substr(8 + kDigits, 11),
            "Busy           " + std::to_string(2425));
  ScopedImportPatch area("VirtualAlloc", &NoVirtualMemory);
  heapLocks = 0;  // without a work area the heap is not locked and the report is incomplete
  EXPECT_EQ(Report(heap, 0, 0, -1), (Lines{kDetailed, kHeader, kTooSmall}));
  EXPECT_EQ(heapLocks, 0);
  ::VirtualFree(reinterpret_cast<void*>(gone), 0, MEM_RELEASE);
  ::HeapDestroy(heap);
}

// ---- Memory lines: JOV_MonitorMemory must be set before the process's first allocation ----
namespace {

BOOL WINAPI FailingHandleCount(HANDLE, PDWORD count) {
  *count = 0;
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
SIZE_T privateBytes = 1000000;  // the real figure moves with every page the process commits
BOOL WINAPI FakeMemoryInfo(HANDLE, PPROCESS_MEMORY_COUNTERS counters, DWORD size) {
  std::memset(counters, 0, size);
  counters->cb = size;
  counters->PagefileUsage = privateBytes;
  return TRUE;
}
decltype(&::GetProcAddress) realGetProcAddress = nullptr;
FARPROC WINAPI RedirectingGetProcAddress(HMODULE module, LPCSTR name) {
  if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF && !std::strcmp(name, "GetProcessMemoryInfo"))
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeMemoryInfo));
  return realGetProcAddress(module, name);
}

}  // namespace

// Pool changes add up until they reach 1024 bytes; a change of private bytes alone makes a
// line; the closing line always gets one; a failed handle count is reported.
FRESH_TEST(Trace, MemoryLinesWhileMonitoring) {
  JOV_MonitorMemory = 1;
  ScopedImportPatch lookup("GetProcAddress", &RedirectingGetProcAddress, &realGetProcAddress);
  unsigned long long pool = 0;
  const Lines lines = tracetest::Traced([&pool](JOVDebug& trace, auto&) {
    trace.InsertMsg(L"settled");
    void* blocks[3] = {JOV_MemoryGet(4096, 0, nullptr, 0)};
    trace.InsertMsg(L"base");
    blocks[1] = JOV_MemoryGet(1023, 0, nullptr, 0);
    trace.InsertMsg(L"step 1");
    blocks[2] = JOV_MemoryGet(1, 0, nullptr, 0);
    pool = JOV_PoolMemBusy;
    trace.InsertMsg(L"step 2");
    privateBytes += 4096;
    trace.InsertMsg(L"step 3");
    ScopedImportPatch count("GetProcessHandleCount", &FailingHandleCount);
    trace.InsertMsg(L"failing");
    for (void* block : blocks) JOV_MemoryFree(block);
  });
  const std::string changed = "...Memory use changed. Internal Pool=" + std::to_string(pool);
  const auto at = std::find(lines.begin(), lines.end(), "base");
  ASSERT_GE(lines.end() - at, 10);
  EXPECT_EQ(Lines(at - 1, lines.end()),
            (Lines{at[-1], "base", "step 1",
                   changed + ", Change=+1024. Process Bytes Allocated=1000000, Change=+0", "step 2",
                   changed + ", Change=+0. Process Bytes Allocated=1004096, Change=+4096", "step 3",
                   "...Process Handle Count=0, ErrorCode=5.", "failing", lines.end()[-2],
                   "Trace Closed."}));
  EXPECT_EQ(at[-1].substr(0, 22) + lines.end()[-2].substr(0, 22),
            "...Memory use changed....Memory use changed.");
}
