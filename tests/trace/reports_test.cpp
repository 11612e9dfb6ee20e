// reports_test.cpp - heap reports of scripted walks (the DLL's HeapWalk replaced) row by row
// and of a real private heap, the report's own trace and heap lock, and the memory lines
// of the line writer while memory monitoring is on.
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
using tracetest::ScratchDir;
using Rows = std::vector<std::string>;

std::string Hex(std::uintptr_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*llX", int(2 * sizeof(void*)), static_cast<unsigned long long>(value));
  return text;
}
std::string Hex(const void* p) { return Hex(reinterpret_cast<std::uintptr_t>(p)); }
// A row: the type, the address, three numbers of 10 columns, and what follows.
std::string Row(const char* type, std::uintptr_t at, unsigned long length, unsigned overhead, unsigned region, const std::string& rest) {
  char numbers[40];
  std::snprintf(numbers, sizeof numbers, " %10lu %10u %10u", length, overhead, region);
  return type + Hex(at) + numbers + rest;
}

// The report's lines from its title to its end line, read from a trace of its own.
Rows RunReport(HANDLE heap, unsigned long options, unsigned long dumpCount, long region) {
  ScratchDir dir;
  {
    JOVDebug d;
    tracetest::StartIn(d, dir, L"heap");
    d.TraceHeap(heap, options, dumpCount, region);
  }
  Rows texts = tracetest::Shape(dir);
  texts.erase(texts.begin(), std::find_if(texts.begin(), texts.end(), [](const std::string& t) { return t.find(" Heap Trace <<<") != std::string::npos; }));
  texts.resize(std::min<size_t>(texts.size(), texts.size() - 1));  // the closing line
  return texts;
}

std::vector<PROCESS_HEAP_ENTRY> script;
BOOL WINAPI ScriptedHeapWalk(HANDLE, LPPROCESS_HEAP_ENTRY entry) {
  static size_t next = 0;
  if (entry->lpData == nullptr) next = 0;
  if (next >= script.size()) return ::SetLastError(ERROR_NO_MORE_ITEMS), FALSE;
  return *entry = script[next++], TRUE;
}
PROCESS_HEAP_ENTRY Entry(std::uintptr_t at, DWORD length, BYTE overhead, BYTE region, WORD flags) {
  PROCESS_HEAP_ENTRY e{};
  e.lpData = reinterpret_cast<void*>(at), e.cbData = length, e.cbOverhead = overhead, e.iRegionIndex = region, e.wFlags = flags;
  return e;
}

const std::string kHeader = sizeof(void*) == 8 ? "Type               Start     Length   Overhead     Region"
                                               : "Type       Start     Length   Overhead     Region";
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
  const std::string emptyDump = " " + std::string(36, ' ') + "*" + std::string(16, ' ') + "*";
  std::vector<PROCESS_HEAP_ENTRY> full(2340, Entry(0x100000, 16, 16, 0, 4));
  for (size_t i = 0; i < full.size(); ++i) full[i].lpData = reinterpret_cast<void*>(0x100000 + 32 * i);
  const struct {
    std::vector<PROCESS_HEAP_ENTRY> walk;
    unsigned long options;
    long region;
    unsigned long dump;
    Rows rows;
  } cases[] = {
      {{region, Entry(0x152A40, 24, 8, 0, 4), Entry(0x152A60, 160, 8, 0, 0), Entry(0x153B08, 100, 12, 0, 4),
        Entry(0x154000, 0x3C000, 0, 0, PROCESS_HEAP_UNCOMMITTED_RANGE)}, 0, -1, 0,
       {kDetailed, kHeader,
        Row("Region  ", 0x150000, 1024, 0, 0, " Committed=4096, Uncommitted=8192, FirstBlock=" + Hex(0x150400) + ", InvalidBlock=" + Hex(0x153000)),
        "-Gap-   " + Hex(0x150400) + "       9792", Row("Busy    ", 0x152A40, 24, 8, 0, " Flags=0x4"),
        Row("   Free ", 0x152A60, 160, 8, 0, ""), "-Gap-   " + Hex(0x152B08) + "       4096",
        Row("Busy    ", 0x153B08, 100, 12, 0, " Flags=0x4"), "-Gap-   " + Hex(0x153B78) + "       1160",
        Row("Uncomit ", 0x154000, 245760, 0, 0, ""), kComplete}},
      // Moveable and shared blocks are marked in the type word; busy-only drops free entries.
      {{Entry(0x1000, 8, 8, 0, 0x14), Entry(0x1010, 8, 8, 0, 0), Entry(0x2000, 8, 8, 0, 0x24), Entry(0x3000, 8, 8, 1, 0x34)}, 0x2, -1, 0,
       {kDetailed, kHeader, Row("BusyM   ", 0x1000, 8, 8, 0, " Flags=0x14"), Row("Busy D  ", 0x2000, 8, 8, 0, " Flags=0x24"),
        Row("BusyMD  ", 0x3000, 8, 8, 1, " Flags=0x34"), kComplete}},
      // Runs merge only alike entries of one region, across entries the options leave out.
      {{Entry(0x1000, 16, 16, 0, 4), Entry(0x1020, 32, 0, 0, 0), Entry(0x1020, 16, 16, 0, 4), Entry(0x1040, 16, 16, 0, 0x14),
        Entry(0x1060, 16, 16, 1, 0x14), Entry(0x1080, 16, 16, 2, 4)}, 0x3, 1, 0,
       {kCompressed, kHeader, Row("BusyM   ", 0x1060, 16, 16, 1, " Flags=0x14"), kComplete}},
      {{Entry(0x1000, 16, 16, 0, 4), Entry(0x1020, 32, 0, 0, 0), Entry(0x1020, 16, 16, 0, 4), Entry(0x1040, 16, 16, 0, 0x14)}, 0x3, -1, 0,
       {kCompressed, kHeader, Row("Busy    ", 0x1000, 32, 32, 0, " Flags=0x4"), Row("BusyM   ", 0x1040, 16, 16, 0, " Flags=0x14"), kComplete}},
      {{Entry(at, 40, 8, 0, 4)}, 0x2, -1, 32, {kDetailed, kHeader, Row("Busy    ", at, 40, 8, 0, emptyDump), kComplete}},
  };
  HANDLE heap = ::HeapCreate(0, 0, 0);  // a real heap behind the scripted walk, for its lock
  ScopedImportPatch walk("HeapWalk", reinterpret_cast<const void*>(&ScriptedHeapWalk));
  for (size_t i = 0; i < std::size(cases); ++i) {
    script = cases[i].walk;
    EXPECT_EQ(RunReport(heap, cases[i].options, cases[i].dump, cases[i].region), cases[i].rows) << "case " << i;
  }
  // The work area holds 2340 records: a walk that fills it may be incomplete.
  for (size_t n : {2340u, 2339u}) {
    script.assign(full.begin(), full.begin() + n);
    const Rows rows = RunReport(heap, 0, 0, -1);
    EXPECT_EQ(rows.size(), n + 3);
    EXPECT_EQ(rows.back(), n == 2340 ? kTooSmall : kComplete);
  }
  ::VirtualFree(gone, 0, MEM_RELEASE);
  ::HeapDestroy(heap);
}

// A private heap with blocks of known sizes and contents: rows as the heap's own walk shows
// its entries, the first bytes of blocks in use dumped beside them, runs merged.
TEST(HeapReport, RealHeapRowsDumpsAndRuns) {
  HANDLE heap = ::HeapCreate(0, 0, 0);
  auto alloc = [heap](size_t size, const char* content) {
    auto* p = static_cast<char*>(::HeapAlloc(heap, 0, size));
    return static_cast<char*>(std::memcpy(p, content, size));
  };
  char* five = alloc(5, "ABCDE");  // then a block given back: five stands alone
  char* freed = alloc(100, std::string(100, 'f').c_str());
  char* hello = alloc(24, "Hello, world\0\0\0\0ABCDwxyz");
  char* forty = alloc(40, "abcdefghijklmnopqrstuvwxyzabcdefghijklmn");
  ::HeapFree(heap, 0, freed);
  DWORD overhead[2] = {};
  ::HeapLock(heap);
  PROCESS_HEAP_ENTRY e{};
  while (::HeapWalk(heap, &e))
    if (e.lpData == hello || e.lpData == forty) overhead[e.lpData == forty] = e.cbOverhead;
  ::HeapUnlock(heap);
  const std::string flags = " Flags=0x4";
  Rows rows = RunReport(heap, 0, 0, -1);
  EXPECT_NE(std::find(rows.begin(), rows.end(), Row("Busy    ", std::uintptr_t(hello), 24, overhead[0], 0, flags)), rows.end());
  EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const std::string& r) { return r.rfind("   Free ", 0) == 0; }) > 0, true);
  EXPECT_EQ(RunReport(heap, 0, 0, 300), (Rows{kDetailed, kHeader, kComplete}));  // no such region
  rows = RunReport(heap, 0x3, 0, -1);  // the adjacent blocks in use as one row, nothing free
  EXPECT_NE(std::find(rows.begin(), rows.end(), Row("Busy    ", std::uintptr_t(hello), 64, overhead[0] + overhead[1], 0, flags)), rows.end());
  for (const std::string& row : rows) EXPECT_TRUE(row.rfind("   Free ", 0) && row.rfind("-Gap-", 0) && row.find(Hex(forty)) == std::string::npos) << row;
  void* big = ::HeapAlloc(::GetProcessHeap(), 0, 12345);
  rows = RunReport(nullptr, 0x2, 0, -1);  // a null heap is the process's default heap
  ::HeapFree(::GetProcessHeap(), 0, big);
  EXPECT_NE(std::find_if(rows.begin(), rows.end(), [big](const std::string& r) { return r.rfind("Busy    " + Hex(big) + "      12345", 0) == 0; }), rows.end());
  if (jovtest::kEmulatedLane) return ::HeapDestroy(heap), void();  // ReadProcessMemory misreads
  rows = RunReport(heap, 0x2, 20, -1);
  const Rows dumped = {
      Row("Busy    ", std::uintptr_t(hello), 24, overhead[0], 0, " 48656C6C 6F2C2077 6F726C64 00000000 *Hello, world....*"),
      "        " + Hex(hello + 16) + std::string(34, ' ') + "41424344                            *ABCD            *",
      Row("Busy    ", std::uintptr_t(forty), 40, overhead[1], 0, " 61626364 65666768 696A6B6C 6D6E6F70 *abcdefghijklmnop*"),
      "        " + Hex(forty + 16) + std::string(34, ' ') + "71727374                            *qrst            *",
  };
  const auto first = std::find(rows.begin(), rows.end(), dumped[0]);
  ASSERT_LE(first + 4, rows.end());
  EXPECT_EQ(Rows(first, first + 4), dumped);
  EXPECT_NE(std::find_if(rows.begin(), rows.end(), [five](const std::string& r) {
              return r.rfind("Busy    " + Hex(five), 0) == 0 && r.substr(r.size() - 54) == "41424344 45                         *ABCDE           *";
            }), rows.end());
  ::HeapDestroy(heap);
}

namespace {

int heapLocks = 0, callsWhileLocked = 0;
bool heapLocked = false;
decltype(&::HeapLock) realLock = nullptr;
decltype(&::HeapUnlock) realUnlock = nullptr;
decltype(&::HeapAlloc) realHeapAlloc = nullptr;
decltype(&::WriteFile) realWrite = nullptr;
BOOL WINAPI CountedLock(HANDLE heap) { return ++heapLocks, heapLocked = true, realLock(heap); }
BOOL WINAPI CountedUnlock(HANDLE heap) { return heapLocked = false, realUnlock(heap); }
LPVOID WINAPI NotedHeapAlloc(HANDLE h, DWORD f, SIZE_T n) { return callsWhileLocked += heapLocked, realHeapAlloc(h, f, n); }
BOOL WINAPI NotedWrite(HANDLE h, LPCVOID b, DWORD n, LPDWORD w, LPOVERLAPPED o) { return callsWhileLocked += heapLocked, realWrite(h, b, n, w, o); }
LPVOID WINAPI NoVirtualMemory(LPVOID, SIZE_T, DWORD, DWORD) { return nullptr; }

struct LockWatch {
  ScopedImportPatch lock{"HeapLock", reinterpret_cast<const void*>(&CountedLock)};
  ScopedImportPatch unlock{"HeapUnlock", reinterpret_cast<const void*>(&CountedUnlock)};
  LockWatch() { realLock = lock.original<decltype(realLock)>(), realUnlock = unlock.original<decltype(realUnlock)>(), heapLocks = 0; }
};

}  // namespace

// The walk allocates and writes nothing while the heap is locked; without a work area the
// heap is not locked at all and the report says it is incomplete.
TEST(HeapReport, NothingIsAllocatedOrWrittenWhileTheHeapIsLocked) {
  HANDLE heap = ::HeapCreate(0, 0, 0);
  for (int i = 0; i < 50; ++i) ::HeapAlloc(heap, 0, 24 + i);
  {
    LockWatch watch;
    ScopedImportPatch alloc("HeapAlloc", reinterpret_cast<const void*>(&NotedHeapAlloc)),
        write("WriteFile", reinterpret_cast<const void*>(&NotedWrite));
    realHeapAlloc = alloc.original<decltype(realHeapAlloc)>(), realWrite = write.original<decltype(realWrite)>();
    EXPECT_GE(RunReport(heap, 0x1, 32, -1).size(), 4u);
    EXPECT_EQ(heapLocks, 1);
    EXPECT_FALSE(heapLocked);
    EXPECT_EQ(callsWhileLocked, 0);
    ScopedImportPatch area("VirtualAlloc", reinterpret_cast<const void*>(&NoVirtualMemory));
    EXPECT_EQ(RunReport(heap, 0, 0, -1), (Rows{kDetailed, kHeader, kTooSmall}));
    EXPECT_EQ(heapLocks, 1);
  }
  ::HeapDestroy(heap);
}

std::wstring commandLine;
LPWSTR WINAPI ProgramInFolder() { return &commandLine[0]; }
BOOL WINAPI Windows98(LPOSVERSIONINFOW info) {
  info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS, info->dwMajorVersion = 4, info->dwMinorVersion = 10;
  return TRUE;
}

// Without an active trace the report starts one of its own, named after the program, and
// stops it; an active trace is used and left running.
TEST(HeapReport, ReportMakesATraceOfItsOwnOnlyWhenNoneIsActive) {
  ScratchDir dir;
  commandLine = L"\"" + dir.Join(L"reporter.exe") + L"\" --child";
  JOVDebug d;
  {
    ScopedImportPatch program("GetCommandLineW", reinterpret_cast<const void*>(&ProgramInFolder));
    d.TraceHeap(nullptr, 0x2, 0, 300);
  }
  EXPECT_EQ(d.TraceAnyActive(), 0);
  tracetest::StartIn(d, dir, L"second");
  d.TraceHeap(nullptr, 0x2, 0, 300);
  d.InsertMsg(L"after the report");
  d.TraceStop(1);
  const std::vector<std::wstring> files = tracetest::TraceFiles(dir);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_NE(files[0].find(L" reporter.JOV_Log"), std::wstring::npos);
  EXPECT_EQ(tracetest::Shape(dir), (Rows{"D", "H", kDetailed, kHeader, kComplete, "Trace Closed.", "D", "H", kDetailed, kHeader,
                                         kComplete, "after the report", "Trace Closed."}));
}

FRESH_TEST(Trace, HeapReportDoesNothingOutsideTheNtFamily) {
  ScratchDir dir;
  commandLine = L"\"" + dir.Join(L"reporter.exe") + L"\"";
  ScopedImportPatch version("GetVersionExW", reinterpret_cast<const void*>(&Windows98)),
      program("GetCommandLineW", reinterpret_cast<const void*>(&ProgramInFolder));
  LockWatch watch;
  JOVDebug().TraceHeap(nullptr, 0, 0, -1);
  EXPECT_EQ(heapLocks, 0);
  EXPECT_TRUE(dir.Entries(L"*").empty());
}

// ---- Memory lines: JOV_MonitorMemory must be set before the process's first allocation.
namespace {

BOOL WINAPI FailingHandleCount(HANDLE, PDWORD count) { return *count = 0, ::SetLastError(ERROR_ACCESS_DENIED), FALSE; }
SIZE_T privateBytes = 1000000;  // the real figure moves with every page the process commits
BOOL WINAPI FakeMemoryInfo(HANDLE, PPROCESS_MEMORY_COUNTERS counters, DWORD size) {
  std::memset(counters, 0, size);
  return counters->cb = size, counters->PagefileUsage = privateBytes, TRUE;
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
  ScratchDir dir;
  unsigned long long pool = 0;
  {
    JOVDebug trace;
    tracetest::StartIn(trace, dir, L"memory");
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
    {
      ScopedImportPatch count("GetProcessHandleCount", reinterpret_cast<const void*>(&FailingHandleCount));
      trace.InsertMsg(L"failing");
    }
    trace.InsertMsg(L"after");
    trace.TraceStop(1);
    for (void* block : blocks) JOV_MemoryFree(block);
  }
  const Rows lines = tracetest::Shape(dir);
  auto at = [&lines](const char* text) { return std::find(lines.begin(), lines.end(), text) - lines.begin(); };
  const std::string changed = "...Memory use changed. Internal Pool=" + std::to_string(pool);
  ASSERT_LT(at("after") + 2, static_cast<long>(lines.size()));
  EXPECT_EQ(lines[at("base") - 1].rfind("...Memory use changed.", 0), 0u) << lines[at("base") - 1];
  EXPECT_EQ(lines[at("step 1") - 1], "base");  // 1023 bytes make no line
  EXPECT_EQ(lines[at("step 2") - 1], changed + ", Change=+1024. Process Bytes Allocated=1000000, Change=+0");
  EXPECT_EQ(lines[at("step 3") - 1], changed + ", Change=+0. Process Bytes Allocated=1004096, Change=+4096");
  EXPECT_EQ(lines[at("failing") - 1], "...Process Handle Count=0, ErrorCode=5.");
  EXPECT_EQ(lines[at("after") - 1], "failing");
  EXPECT_EQ(lines[at("after") + 1].rfind("...Memory use changed.", 0), 0u);
  EXPECT_EQ(lines.back(), "Trace Closed.");
}
