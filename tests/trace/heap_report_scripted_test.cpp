// heap_report_scripted_test.cpp - heap reports of scripted walks (the library's HeapWalk
// replaced by a list of entries) checked row by row, and the report's own trace and work area.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/import_patch.h"
#include "trace/heap_report_test_util.h"

using namespace heaptest;

// ---- Scripted walks: HeapWalk of the library replaced by a list of entries -----------------
namespace {

std::vector<PROCESS_HEAP_ENTRY> gScript;
size_t gScriptNext = 0;

BOOL WINAPI ScriptedHeapWalk(HANDLE, LPPROCESS_HEAP_ENTRY entry) {
  if (entry->lpData == nullptr) gScriptNext = 0;
  if (gScriptNext >= gScript.size()) {
    ::SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  *entry = gScript[gScriptNext++];
  return TRUE;
}

PROCESS_HEAP_ENTRY Entry(std::uintptr_t address, DWORD length, BYTE overhead, BYTE region,
                         WORD flags) {
  PROCESS_HEAP_ENTRY e{};
  e.lpData = reinterpret_cast<void*>(address);
  e.cbData = length;
  e.cbOverhead = overhead;
  e.iRegionIndex = region;
  e.wFlags = flags;
  return e;
}

// A report of the scripted entries; a real heap stands behind the handle for its lock.
Report RunScripted(const std::vector<PROCESS_HEAP_ENTRY>& script, unsigned long options,
                   long region, unsigned long dumpCount = 0) {
  gScript = script;
  HANDLE heap = ::HeapCreate(0, 0, 0);
  Report report;
  {
    jovtest::ScopedImportPatch walk("HeapWalk", reinterpret_cast<const void*>(&ScriptedHeapWalk));
    report = RunReport(heap, options, dumpCount, region);
  }
  ::HeapDestroy(heap);
  return report;
}

}  // namespace

TEST(HeapReportRows, EveryRowKindByteForByte) {
  PROCESS_HEAP_ENTRY region = Entry(0x00150000, 1024, 0, 0, PROCESS_HEAP_REGION);
  region.Region.dwCommittedSize = 4096;
  region.Region.dwUnCommittedSize = 8192;
  region.Region.lpFirstBlock = reinterpret_cast<void*>(0x00150400);
  region.Region.lpLastBlock = reinterpret_cast<void*>(0x00153000);
  const Report report = RunScripted({region, Entry(0x00152A40, 24, 8, 0, PROCESS_HEAP_ENTRY_BUSY),
                                     Entry(0x00152A60, 160, 8, 0, 0),
                                     Entry(0x00153B08, 100, 12, 0, PROCESS_HEAP_ENTRY_BUSY),
                                     Entry(0x00154000, 0x3C000, 0, 0, PROCESS_HEAP_UNCOMMITTED_RANGE)},
                                    0, -1);
  ASSERT_TRUE(report.found);
  const std::vector<std::string> expected = {
      "Region  " + Hex(0x00150000) + "       1024          0          0 Committed=4096, "
          "Uncommitted=8192, FirstBlock=" + Hex(0x00150400) + ", InvalidBlock=" + Hex(0x00153000),
      "-Gap-   " + Hex(0x00150400) + "       9792",
      "Busy    " + Hex(0x00152A40) + "         24          8          0 Flags=0x4",
      "   Free " + Hex(0x00152A60) + "        160          8          0",
      "-Gap-   " + Hex(0x00152B08) + "       4096",
      "Busy    " + Hex(0x00153B08) + "        100         12          0 Flags=0x4",
      "-Gap-   " + Hex(0x00153B78) + "       1160",
      "Uncomit " + Hex(0x00154000) + "     245760          0          0",
  };
  EXPECT_EQ(report.rows, expected);
  EXPECT_EQ(report.end, kComplete);
}

TEST(HeapReportRows, MoveableAndSharedBlocksAreMarkedInTheTypeWord) {
  const Report report = RunScripted({Entry(0x1000, 8, 8, 0, 0x14), Entry(0x2000, 8, 8, 0, 0x24),
                                     Entry(0x3000, 8, 8, 0, 0x34)},
                                    0x2, -1);
  ASSERT_EQ(report.rows.size(), 3u);
  EXPECT_EQ(report.rows[0], "BusyM   " + Hex(0x1000) + "          8          8          0 Flags=0x14");
  EXPECT_EQ(report.rows[1], "Busy D  " + Hex(0x2000) + "          8          8          0 Flags=0x24");
  EXPECT_EQ(report.rows[2], "BusyMD  " + Hex(0x3000) + "          8          8          0 Flags=0x34");
}

TEST(HeapReportRows, RegionIndexKeepsOnlyThatRegionsEntries) {
  const Report report = RunScripted({Entry(0x1000, 8, 8, 0, 4), Entry(0x2000, 8, 8, 1, 4),
                                     Entry(0x3000, 8, 8, 1, 0), Entry(0x4000, 8, 8, 2, 4)},
                                    0, 1);
  const std::vector<Row> rows = EntryRows(report);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].address, 0x2000u);
  EXPECT_EQ(rows[1].address, 0x3000u);
  EXPECT_EQ(rows[1].region, 1u);
}

TEST(HeapReportRows, RunsMergeOnlyAlikeAndAcrossSkippedEntries) {
  const Report report =
      RunScripted({Entry(0x1000, 16, 16, 0, 4), Entry(0x1020, 32, 0, 0, 0),  // free: skipped
                   Entry(0x1020, 16, 16, 0, 4),                                // continues the run
                   Entry(0x1040, 16, 16, 0, 0x14),                             // other flags
                   Entry(0x1060, 16, 16, 1, 0x14)},                            // other region
                  0x3, -1);
  ASSERT_TRUE(report.found);
  EXPECT_EQ(report.title, kCompressed);
  const std::vector<std::string> expected = {
      "Busy    " + Hex(0x1000) + "         32         32          0 Flags=0x4",
      "BusyM   " + Hex(0x1040) + "         16         16          0 Flags=0x14",
      "BusyM   " + Hex(0x1060) + "         16         16          1 Flags=0x14",
  };
  EXPECT_EQ(report.rows, expected);
}

TEST(HeapReportRows, BlockThatCanNoLongerBeReadGetsAnEmptyDumpPart) {
  // Reserved but not committed: what a block freed since the walk may have become.
  void* gone = ::VirtualAlloc(nullptr, 0x10000, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(gone, nullptr);
  const auto at = reinterpret_cast<std::uintptr_t>(gone);
  const Report report = RunScripted({Entry(at, 40, 8, 0, 4)}, 0x2, -1, 32);
  ::VirtualFree(gone, 0, MEM_RELEASE);
  ASSERT_EQ(report.rows.size(), 1u);
  EXPECT_EQ(report.rows[0], "Busy    " + Hex(at) + "         40          8          0 " +
                                std::string(36, ' ') + "*" + std::string(16, ' ') + "*");
  EXPECT_EQ(report.end, kComplete);
}

TEST(HeapReportRows, ExactlyFullWorkAreaIsReportedAsTooSmall) {
  std::vector<PROCESS_HEAP_ENTRY> script;
  for (std::uintptr_t i = 0; i < 2340; ++i) script.push_back(Entry(0x100000 + i * 32, 16, 16, 0, 4));
  Report report = RunScripted(script, 0, -1);
  EXPECT_EQ(report.rows.size(), 2340u);
  EXPECT_EQ(report.end, kTooSmall);

  script.pop_back();
  report = RunScripted(script, 0, -1);
  EXPECT_EQ(report.rows.size(), 2339u);
  EXPECT_EQ(report.end, kComplete);
}

// ---- The report's own trace, its work area and the heap lock ------------------------------
namespace {

std::wstring gCommandLine;
LPWSTR WINAPI ProgramInFolder() { return &gCommandLine[0]; }

int gHeapLocks = 0;
bool gHeapLocked = false;
int gCallsWhileLocked = 0;
decltype(&::HeapLock) gHeapLock = nullptr;
decltype(&::HeapUnlock) gHeapUnlock = nullptr;
BOOL WINAPI CountedHeapLock(HANDLE heap) {
  ++gHeapLocks;
  gHeapLocked = true;
  return gHeapLock(heap);
}
BOOL WINAPI CountedHeapUnlock(HANDLE heap) {
  gHeapLocked = false;
  return gHeapUnlock(heap);
}

LPVOID WINAPI NoVirtualMemory(LPVOID, SIZE_T, DWORD, DWORD) {
  ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

// Replacements that note a call made while the heap is locked, then pass it on.
decltype(&::HeapAlloc) gHeapAlloc = nullptr;
decltype(&::WriteFile) gWriteFile = nullptr;
void* (*gMalloc)(size_t) = nullptr;
LPVOID WINAPI NotedHeapAlloc(HANDLE h, DWORD f, SIZE_T n) {
  gCallsWhileLocked += gHeapLocked;
  return gHeapAlloc(h, f, n);
}
BOOL WINAPI NotedWriteFile(HANDLE h, LPCVOID b, DWORD n, LPDWORD w, LPOVERLAPPED o) {
  gCallsWhileLocked += gHeapLocked;
  return gWriteFile(h, b, n, w, o);
}
void* NotedMalloc(size_t n) {
  gCallsWhileLocked += gHeapLocked;
  return gMalloc(n);
}

}  // namespace

TEST(HeapReportTrace, WithoutActiveTraceTheReportGetsAFileOfItsOwn) {
  tracetest::ScopedTempDir dir;
  gCommandLine = L"\"" + dir.Join(L"reporter.exe") + L"\" --child";
  HANDLE heap = ::HeapCreate(0, 0, 0);
  ::HeapAlloc(heap, 0, 64);
  {
    jovtest::ScopedImportPatch commandLine("GetCommandLineW",
                                           reinterpret_cast<const void*>(&ProgramInFolder));
    JOVDebug d;
    d.TraceHeap(heap, 0, 0, -1);
    EXPECT_EQ(d.TraceAnyActive(), 0);
  }
  ::HeapDestroy(heap);
  const std::vector<std::wstring> files = dir.TraceFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(files[0].find(L" reporter.JOV_Log"), std::wstring::npos);
  const std::vector<std::string> texts = Texts(dir);
  ASSERT_GE(texts.size(), 5u);
  EXPECT_EQ(texts.front().rfind("Trace Started. UserId=", 0), 0u);
  EXPECT_EQ(texts.back(), "Trace Closed.");
  const Report report = FindReport(texts);
  ASSERT_TRUE(report.found);
  EXPECT_EQ(report.end, kComplete);
}

TEST(HeapReportTrace, ActiveTraceIsUsedAndLeftRunning) {
  tracetest::ScopedTempDir dir;
  JOVDebug d;
  tracetest::StartIn(d, dir, L"heap.log");
  d.TraceHeap(nullptr, 0x2, 0, 300);
  EXPECT_EQ(d.TraceActive(), 1);
  d.InsertMsg(L"after the report");
  d.TraceStop(1);
  EXPECT_EQ(dir.TraceFiles().size(), 1u);
  const std::vector<std::string> texts = Texts(dir);
  const Report report = FindReport(texts);
  ASSERT_TRUE(report.found);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "after the report"), texts.end());
}

TEST(HeapReportFailure, WithoutWorkAreaNothingIsWalkedAndTheReportSaysItIsIncomplete) {
  HANDLE heap = ::HeapCreate(0, 0, 0);
  ::HeapAlloc(heap, 0, 64);
  gHeapLocks = 0;
  Report report;
  {
    jovtest::ScopedImportPatch lock("HeapLock", reinterpret_cast<const void*>(&CountedHeapLock));
    gHeapLock = lock.original<decltype(gHeapLock)>();
    jovtest::ScopedImportPatch alloc("VirtualAlloc", reinterpret_cast<const void*>(&NoVirtualMemory));
    report = RunReport(heap, 0, 0, -1);
  }
  ::HeapDestroy(heap);
  ASSERT_TRUE(report.found);
  EXPECT_EQ(report.header, kHeader);
  EXPECT_TRUE(report.rows.empty());
  EXPECT_EQ(report.end, kTooSmall);
  EXPECT_EQ(gHeapLocks, 0);
}

TEST(HeapReportLocking, NothingIsAllocatedOrWrittenWhileTheHeapIsLocked) {
  HANDLE heap = ::HeapCreate(0, 0, 0);
  for (int i = 0; i < 50; ++i) ::HeapAlloc(heap, 0, 24 + i);
  gHeapLocks = 0;
  gCallsWhileLocked = 0;
  Report report;
  {
    using jovtest::ScopedImportPatch;
    ScopedImportPatch lock("HeapLock", reinterpret_cast<const void*>(&CountedHeapLock));
    gHeapLock = lock.original<decltype(gHeapLock)>();
    ScopedImportPatch unlock("HeapUnlock", reinterpret_cast<const void*>(&CountedHeapUnlock));
    gHeapUnlock = unlock.original<decltype(gHeapUnlock)>();
    ScopedImportPatch alloc("HeapAlloc", reinterpret_cast<const void*>(&NotedHeapAlloc));
    gHeapAlloc = alloc.original<decltype(gHeapAlloc)>();
    ScopedImportPatch write("WriteFile", reinterpret_cast<const void*>(&NotedWriteFile));
    gWriteFile = write.original<decltype(gWriteFile)>();
    ScopedImportPatch malloc("malloc", reinterpret_cast<const void*>(&NotedMalloc));
    gMalloc = malloc.original<decltype(gMalloc)>();
    report = RunReport(heap, 0x1, 32, -1);
  }
  ::HeapDestroy(heap);
  ASSERT_TRUE(report.found);
  EXPECT_GE(report.rows.size(), 3u);
  EXPECT_EQ(gHeapLocks, 1);
  EXPECT_FALSE(gHeapLocked);
  EXPECT_EQ(gCallsWhileLocked, 0);
}

namespace {

BOOL WINAPI WindowsNinetyEight(LPOSVERSIONINFOW info) {
  info->dwMajorVersion = 4;
  info->dwMinorVersion = 10;
  info->dwBuildNumber = 1998;
  info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
  info->szCSDVersion[0] = L'\0';
  return TRUE;
}

}  // namespace

// The platform answer is cached once per process, hence a child of its own.
JOV_CHILD_CASE(HeapReportOutsideNTFamily) {
  tracetest::ScopedTempDir dir;
  gCommandLine = L"\"" + dir.Join(L"reporter.exe") + L"\"";
  jovtest::ScopedImportPatch version("GetVersionExW", reinterpret_cast<const void*>(&WindowsNinetyEight));
  jovtest::ScopedImportPatch commandLine("GetCommandLineW",
                                         reinterpret_cast<const void*>(&ProgramInFolder));
  jovtest::ScopedImportPatch lock("HeapLock", reinterpret_cast<const void*>(&CountedHeapLock));
  gHeapLock = lock.original<decltype(gHeapLock)>();
  gHeapLocks = 0;
  JOVDebug d;
  d.TraceHeap(nullptr, 0, 0, -1);
  if (JOV_IsWinNT() != 0) return 2;  // the replacement did not take
  return (dir.Files(L"*").empty() && gHeapLocks == 0 && d.TraceAnyActive() == 0) ? 0 : 1;
}

TEST(HeapReportPlatform, DoesNothingOutsideTheNTFamily) {
  JOV_REQUIRE_CHILD_PROCESSES();
  const jovtest::ChildResult child = jovtest::RunChild("HeapReportOutsideNTFamily");
  EXPECT_EQ(child.exitCode, 0u) << child.output;
}
