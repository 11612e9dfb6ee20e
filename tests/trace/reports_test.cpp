// reports_test.cpp - heap reports of scripted walks (the DLL's HeapWalk replaced) row by row
// and of a real private heap, the report's own trace and the heap's lock, and the memory
// lines of the line writer while memory monitoring is on.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/lane.h"
#include "trace/trace_files.h"

namespace {

using jovtest::ScopedImportPatch;
using tracetest::Lines;

std::string Hex(const void* p) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*llX", int(2 * sizeof p), static_cast<unsigned long long>(std::uintptr_t(p)));
  return text;
}
std::string Hex(std::uintptr_t p) { return Hex(reinterpret_cast<const void*>(p)); }
// A row: the type, the address, three numbers in 10 columns each, and what follows.
std::string Row(const char* type, std::uintptr_t at, unsigned long length, unsigned long overhead, unsigned region, const std::string& rest) {
  char numbers[40];
  std::snprintf(numbers, sizeof numbers, " %10lu %10lu %10u", length, overhead, region);
  return type + Hex(at) + numbers + rest;
}
bool Has(const Lines& rows, const std::string& row) { return std::find(rows.begin(), rows.end(), row) != rows.end(); }

// The report's lines from its title to its end line, from a trace of its own.
Lines Report(HANDLE heap, unsigned long options, unsigned long dumpCount, long region) {
  Lines texts = tracetest::Traced([&](JOVDebug& d, auto&) { d.TraceHeap(heap, options, dumpCount, region); });
  texts.erase(texts.begin(), texts.begin() + std::min<size_t>(2, texts.size()));  // date and header
  if (!texts.empty()) texts.pop_back();  // the closing line
  return texts;
}

std::vector<PROCESS_HEAP_ENTRY> script;
BOOL WINAPI ScriptedHeapWalk(HANDLE, LPPROCESS_HEAP_ENTRY entry) {
  static size_t next = 0;
  if (entry->lpData == nullptr) next = 0;
  return next < script.size() ? (*entry = script[next++], TRUE) : (::SetLastError(ERROR_NO_MORE_ITEMS), FALSE);
}
PROCESS_HEAP_ENTRY Entry(std::uintptr_t at, DWORD length, BYTE overhead, BYTE region, WORD flags) {
  PROCESS_HEAP_ENTRY e{};
  e.lpData = reinterpret_cast<void*>(at), e.cbData = length, e.cbOverhead = overhead, e.iRegionIndex = region, e.wFlags = flags;
  return e;
}

const std::string kHeader = "Type" + std::string(4 + 2 * sizeof(void*) - 5, ' ') + "Start     Length   Overhead     Region";
const std::string kDetailed = "...>>> Detailed Heap Trace <<<...", kCompressed = "...>>> Compressed Heap Trace <<<...";
const std::string kComplete = "HeapWalk complete.", kTooSmall = "Trace buffer was too small for entire HeapWalk.";

}  // namespace

TEST(HeapReport, ScriptedWalksRowByRow) {
  PROCESS_HEAP_ENTRY region = Entry(0x150000, 1024, 0, 0, PROCESS_HEAP_REGION);
  region.Region.dwCommittedSize = 4096, region.Region.dwUnCommittedSize = 8192;
  region.Region.lpFirstBlock = reinterpret_cast<void*>(0x150400), region.Region.lpLastBlock = reinterpret_cast<void*>(0x153000);
  // Reserved, not committed: what a block freed since the walk may have become.
  void* gone = ::VirtualAlloc(nullptr, 0x10000, MEM_RESERVE, PAGE_NOACCESS);
  const auto at = reinterpret_cast<std::uintptr_t>(gone);
  const struct {
    std::vector<PROCESS_HEAP_ENTRY> walk;
    unsigned long options, dump;
    long region;
    Lines rows;  // between the column header and the end line
  } cases[] = {
      {{region, Entry(0x152A40, 24, 8, 0, 4), Entry(0x152A60, 160, 8, 0, 0), Entry(0x153B08, 100, 12, 0, 4),
        Entry(0x154000, 0x3C000, 0, 0, PROCESS_HEAP_UNCOMMITTED_RANGE)}, 0, 0, -1,
       {Row("Region  ", 0x150000, 1024, 0, 0, " Committed=4096, Uncommitted=8192, FirstBlock=" + Hex(0x150400) + ", InvalidBlock=" + Hex(0x153000)),
        "-Gap-   " + Hex(0x150400) + "       9792", Row("Busy    ", 0x152A40, 24, 8, 0, " Flags=0x4"),
        Row("   Free ", 0x152A60, 160, 8, 0, ""), "-Gap-   " + Hex(0x152B08) + "       4096", Row("Busy    ", 0x153B08, 100, 12, 0, " Flags=0x4"),
        "-Gap-   " + Hex(0x153B78) + "       1160", Row("Uncomit ", 0x154000, 245760, 0, 0, "")}},
      // Moveable and shared blocks are marked in the type word; busy-only leaves out free entries.
      {{Entry(0x1000, 8, 8, 0, 0x14), Entry(0x1010, 8, 8, 0, 0), Entry(0x2000, 8, 8, 0, 0x24), Entry(0x3000, 8, 8, 1, 0x34)}, 0x2, 0, -1,
       {Row("BusyM   ", 0x1000, 8, 8, 0, " Flags=0x14"), Row("Busy D  ", 0x2000, 8, 8, 0, " Flags=0x24"), Row("BusyMD  ", 0x3000, 8, 8, 1, " Flags=0x34")}},
      // Runs merge only alike entries of one region, across entries the options leave out.
      {{Entry(0x1000, 16, 16, 0, 4), Entry(0x1020, 32, 0, 0, 0), Entry(0x1020, 16, 16, 0, 4), Entry(0x1040, 16, 16, 0, 0x14),
        Entry(0x1060, 16, 16, 1, 0x14)}, 0x3, 0, -1,
       {Row("Busy    ", 0x1000, 32, 32, 0, " Flags=0x4"), Row("BusyM   ", 0x1040, 16, 16, 0, " Flags=0x14"), Row("BusyM   ", 0x1060, 16, 16, 1, " Flags=0x14")}},
      {{Entry(0x1000, 16, 16, 0, 4), Entry(0x1060, 16, 16, 1, 0x14), Entry(0x1080, 16, 16, 2, 4)}, 0x1, 0, 1, {Row("BusyM   ", 0x1060, 16, 16, 1, " Flags=0x14")}},
      {{Entry(at, 40, 8, 0, 4)}, 0x2, 32, -1, {Row("Busy    ", at, 40, 8, 0, " " + std::string(36, ' ') + "*" + std::string(16, ' ') + "*")}},
  };
  HANDLE heap = ::HeapCreate(0, 0, 0);  // a real heap behind the scripted walk, for its lock
  ScopedImportPatch walk("HeapWalk", reinterpret_cast<const void*>(&ScriptedHeapWalk));
  for (size_t i = 0; i < std::size(cases); ++i) {
    script = cases[i].walk;
    Lines expected = {cases[i].options & 1 ? kCompressed : kDetailed, kHeader};
    expected.insert(expected.end(), cases[i].rows.begin(), cases[i].rows.end());
    expected.push_back(kComplete);
    EXPECT_EQ(Report(heap, cases[i].options, cases[i].dump, cases[i].region), expected) << "case " << i;
  }
  // The work area holds 2340 records: a walk that fills it may be incomplete.
  script.assign(2340, Entry(0x100000, 16, 16, 0, 4));
  for (size_t i = 0; i < script.size(); ++i) script[i].lpData = reinterpret_cast<void*>(0x100000 + 32 * i);
  EXPECT_EQ(Report(heap, 0, 0, -1).back(), kTooSmall);
  script.pop_back();
  EXPECT_EQ(Report(heap, 0, 0, -1).back(), kComplete);
  ::VirtualFree(gone, 0, MEM_RELEASE);
  ::HeapDestroy(heap);
}

// A private heap with blocks of known sizes and contents: a row per entry as the heap's own
// walk shows it, the first bytes of blocks in use dumped beside them, adjacent ones merged.
TEST(HeapReport, RealHeapRowsDumpsAndRuns) {
  HANDLE heap = ::HeapCreate(0, 0, 0);
  auto alloc = [heap](size_t size, const char* content) { return static_cast<char*>(std::memcpy(::HeapAlloc(heap, 0, size), content, size)); };
  char* five = alloc(5, "ABCDE");  // then a block given back: five stands alone
  char* freed = alloc(100, std::string(100, 'f').c_str());
  char* hello = alloc(24, "Hello, world\0\0\0\0ABCDwxyz");
  char* forty = alloc(40, "abcdefghijklmnopqrstuvwxyzabcdefghijklmn");
  ::HeapFree(heap, 0, freed);
  DWORD overhead[2] = {};
  PROCESS_HEAP_ENTRY e{};
  for (::HeapLock(heap); ::HeapWalk(heap, &e);)
    if (e.lpData == hello || e.lpData == forty) overhead[e.lpData == forty] = e.cbOverhead;
  ::HeapUnlock(heap);
  const std::uintptr_t h = std::uintptr_t(hello), f = std::uintptr_t(forty);
  Lines rows = Report(heap, 0, 0, -1);
  EXPECT_TRUE(Has(rows, Row("Busy    ", h, 24, overhead[0], 0, " Flags=0x4")));
  EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const std::string& r) { return r.rfind("   Free ", 0) == 0; }));
  EXPECT_EQ(Report(heap, 0, 0, 300), (Lines{kDetailed, kHeader, kComplete}));  // no such region
  rows = Report(heap, 0x3, 0, -1);  // merged and busy only: hello and forty as one row, nothing free
  EXPECT_TRUE(Has(rows, Row("Busy    ", h, 64, overhead[0] + overhead[1], 0, " Flags=0x4")));
  for (const std::string& row : rows) EXPECT_EQ(row.find("Free") + row.find("-Gap-") + 2 * row.find(Hex(forty)), 4 * std::string::npos) << row;
  void* big = ::HeapAlloc(::GetProcessHeap(), 0, 12345);
  rows = Report(nullptr, 0x2, 0, -1);  // a null heap is the process's default heap
  ::HeapFree(::GetProcessHeap(), 0, big);
  EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [big](const std::string& r) { return r.rfind("Busy    " + Hex(big) + "      12345", 0) == 0; }));
  if (!jovtest::kEmulatedLane) {  // ReadProcessMemory misreads under the emulation
    rows = Report(heap, 0x2, 20, -1);
    EXPECT_TRUE(Has(rows, Row("Busy    ", h, 24, overhead[0], 0, " 48656C6C 6F2C2077 6F726C64 00000000 *Hello, world....*")));
    EXPECT_TRUE(Has(rows, "        " + Hex(hello + 16) + std::string(34, ' ') + "41424344                            *ABCD            *"));
    EXPECT_TRUE(Has(rows, Row("Busy    ", f, 40, overhead[1], 0, " 61626364 65666768 696A6B6C 6D6E6F70 *abcdefghijklmnop*")));
    EXPECT_TRUE(Has(rows, "        " + Hex(forty + 16) + std::string(34, ' ') + "71727374                            *qrst            *"));
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [five](const std::string& r) {
      return r.rfind("Busy    " + Hex(five), 0) == 0 && r.substr(r.size() - 54) == "41424344 45                         *ABCDE           *";
    }));
  }
  ::HeapDestroy(heap);
}

namespace {

int heapLocks = 0, callsWhileLocked = 0;
bool heapLocked = false;
decltype(&::HeapLock) realLock = nullptr;
decltype(&::HeapUnlock) realUnlock = nullptr;
decltype(&::WriteFile) realWrite = nullptr;
BOOL WINAPI CountedLock(HANDLE heap) { return ++heapLocks, heapLocked = true, realLock(heap); }
BOOL WINAPI CountedUnlock(HANDLE heap) { return heapLocked = false, realUnlock(heap); }
BOOL WINAPI NotedWrite(HANDLE h, LPCVOID b, DWORD n, LPDWORD w, LPOVERLAPPED o) { return callsWhileLocked += heapLocked, realWrite(h, b, n, w, o); }
LPVOID WINAPI NoVirtualMemory(LPVOID, SIZE_T, DWORD, DWORD) { return nullptr; }

}  // namespace

// Nothing is written while the heap is locked; without a work area the heap is not locked
// at all and the report says it is incomplete.
TEST(HeapReport, NothingIsWrittenWhileTheHeapIsLocked) {
  HANDLE heap = ::HeapCreate(0, 0, 0);
  for (int i = 0; i < 50; ++i) ::HeapAlloc(heap, 0, 24 + i);
  ScopedImportPatch lock("HeapLock", reinterpret_cast<const void*>(&CountedLock)), unlock("HeapUnlock", reinterpret_cast<const void*>(&CountedUnlock)),
      write("WriteFile", reinterpret_cast<const void*>(&NotedWrite));
  realLock = lock.original<decltype(realLock)>(), realUnlock = unlock.original<decltype(realUnlock)>(), realWrite = write.original<decltype(realWrite)>();
  EXPECT_GE(Report(heap, 0x1, 32, -1).size(), 4u);
  EXPECT_EQ(heapLocks, 1);
  EXPECT_FALSE(heapLocked);
  EXPECT_EQ(callsWhileLocked, 0);
  ScopedImportPatch area("VirtualAlloc", reinterpret_cast<const void*>(&NoVirtualMemory));
  EXPECT_EQ(Report(heap, 0, 0, -1), (Lines{kDetailed, kHeader, kTooSmall}));
  EXPECT_EQ(heapLocks, 1);
  ::HeapDestroy(heap);
}

// ---- Memory lines: JOV_MonitorMemory must be set before the process's first allocation.
namespace {

BOOL WINAPI FailingHandleCount(HANDLE, PDWORD count) { return *count = 0, ::SetLastError(ERROR_ACCESS_DENIED), FALSE; }
SIZE_T privateBytes = 1000000;  // the real figure moves with every page the process commits
BOOL WINAPI FakeMemoryInfo(HANDLE, PPROCESS_MEMORY_COUNTERS counters, DWORD size) {
  return std::memset(counters, 0, size), counters->cb = size, counters->PagefileUsage = privateBytes, TRUE;
}
decltype(&::GetProcAddress) realGetProcAddress = nullptr;
FARPROC WINAPI RedirectingGetProcAddress(HMODULE module, LPCSTR name) {
  const bool memoryInfo = reinterpret_cast<ULONG_PTR>(name) > 0xFFFF && std::strcmp(name, "GetProcessMemoryInfo") == 0;
  return memoryInfo ? reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeMemoryInfo)) : realGetProcAddress(module, name);
}

}  // namespace

// Pool changes add up until they reach 1024 bytes; a change of private bytes alone makes a
// line; the closing line always gets one; a failed handle count is reported.
FRESH_TEST(Trace, MemoryLinesWhileMonitoring) {
  JOV_MonitorMemory = 1;
  ScopedImportPatch lookup("GetProcAddress", reinterpret_cast<const void*>(&RedirectingGetProcAddress));
  realGetProcAddress = lookup.original<decltype(realGetProcAddress)>();
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
    ScopedImportPatch count("GetProcessHandleCount", reinterpret_cast<const void*>(&FailingHandleCount));
    trace.InsertMsg(L"failing");
    for (void* block : blocks) JOV_MemoryFree(block);
  });
  const std::string changed = "...Memory use changed. Internal Pool=" + std::to_string(pool);
  const auto at = std::find(lines.begin(), lines.end(), "step 2") - lines.begin();
  ASSERT_LT(at + 6, static_cast<long>(lines.size()));
  EXPECT_EQ(lines[at - 4].rfind("...Memory use changed.", 0), 0u) << lines[at - 4];
  EXPECT_EQ(Lines(lines.begin() + at - 3, lines.end()),
            (Lines{"base", "step 1", changed + ", Change=+1024. Process Bytes Allocated=1000000, Change=+0", "step 2",
                   changed + ", Change=+0. Process Bytes Allocated=1004096, Change=+4096", "step 3",
                   "...Process Handle Count=0, ErrorCode=5.", "failing", lines[at + 5], "Trace Closed."}));
  EXPECT_EQ(lines[at + 5].rfind("...Memory use changed.", 0), 0u);  // the closing line always gets one
}
