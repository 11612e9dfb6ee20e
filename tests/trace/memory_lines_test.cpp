// memory_lines_test.cpp - with memory monitoring on (a per-process setting, so each case
// runs in a child process): pool changes add up to the threshold before a memory line is
// written, the closing line always gets one, and a failed handle-count query is reported.
#include <cstdio>
#include <cstring>

#include "trace/trace_test_util.h"

#include "support/child_process.h"
#include "support/import_patch.h"

using tracetest::AfterPrefix;
using tracetest::ReadLines;
using tracetest::ScopedTempDir;

namespace {

bool IsMemoryLine(const std::string& line) { return line.rfind("...Memory use changed.", 0) == 0; }

// "...Memory use changed. Internal Pool=P, Change=C. Process Bytes Allocated=B, Change=D"
bool ParseMemoryLine(const std::string& line, long long& pool, long long& change) {
  std::smatch m;
  static const std::regex shape(
      R"(^\.\.\.Memory use changed\. Internal Pool=(\d+), Change=([+-]\d+)\. Process Bytes Allocated=-?\d+, Change=[+-]\d+$)");
  if (!std::regex_match(line, m, shape)) return false;
  pool = std::stoll(m[1].str());
  change = std::stoll(m[2].str());
  return true;
}

int Fail(int code, const char* what) {
  std::printf("memory lines: %s\n", what);
  return code;
}

BOOL WINAPI FailingGetProcessHandleCount(HANDLE, PDWORD count) {
  *count = 0;
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

// The process's private bytes as the test sets them: the real figure moves with every page
// the process commits.
SIZE_T fakePrivateBytes = 1000000;
BOOL WINAPI FakeGetProcessMemoryInfo(HANDLE, PPROCESS_MEMORY_COUNTERS counters, DWORD size) {
  std::memset(counters, 0, size);
  counters->cb = size;
  counters->PagefileUsage = fakePrivateBytes;
  return TRUE;
}

using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, LPCSTR);
GetProcAddressFn realGetProcAddress = nullptr;
FARPROC WINAPI RedirectingGetProcAddress(HMODULE module, LPCSTR name) {
  if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF && std::strcmp(name, "GetProcessMemoryInfo") == 0)
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeGetProcessMemoryInfo));
  return realGetProcAddress(module, name);
}

// Hands the library the fake memory query when it looks GetProcessMemoryInfo up.
struct FakePrivateBytes {
  jovtest::ScopedImportPatch lookup{"GetProcAddress",
                                    reinterpret_cast<void*>(&RedirectingGetProcAddress)};
  FakePrivateBytes() { realGetProcAddress = lookup.original<GetProcAddressFn>(); }
};

}  // namespace

JOV_CHILD_CASE(trace_memory_threshold) {
  JOV_MonitorMemory = 1;  // before the process's first allocation
  FakePrivateBytes privateBytes;
  ScopedTempDir dir;
  unsigned long long poolAtStep2 = 0;
  {
    JOVDebug trace;
    tracetest::StartIn(trace, dir, L"memory");
    trace.InsertMsg(L"warm 1");
    trace.InsertMsg(L"warm 2");
    void* baseline = JOV_MemoryGet(4096, 0, nullptr, 0);
    trace.InsertMsg(L"base 0");  // a memory line for the 4096 bytes: the new reference
    void* first = JOV_MemoryGet(1023, 0, nullptr, 0);
    trace.InsertMsg(L"step 1");
    void* second = JOV_MemoryGet(1, 0, nullptr, 0);
    poolAtStep2 = JOV_PoolMemBusy;
    trace.InsertMsg(L"step 2");
    fakePrivateBytes += 4096;
    trace.InsertMsg(L"step 3");  // private bytes alone make a line
    trace.TraceStop(1);
    JOV_MemoryFree(second);
    JOV_MemoryFree(first);
    JOV_MemoryFree(baseline);
  }
  const auto lines = ReadLines(dir.TraceFiles().at(0));
  const long base = tracetest::FindLine(lines, "base 0");
  const long step1 = tracetest::FindLine(lines, "step 1");
  const long step2 = tracetest::FindLine(lines, "step 2");
  if (base < 1 || step1 != base + 1 || step2 < step1 + 1) {
    for (const std::string& line : lines) std::printf("  %s\n", line.c_str());
    return Fail(2, "1023 bytes made a line");
  }
  long long basePool = 0, change = 0, pool = 0;
  if (!ParseMemoryLine(lines[base - 1], basePool, change)) return Fail(3, "no line for 4096 bytes");
  if (!ParseMemoryLine(lines[step2 - 1], pool, change)) return Fail(4, "no line at 1024 bytes");
  if (change != 1024 || pool - basePool != 1024) return Fail(5, "change is not the full 1024");
  if (static_cast<unsigned long long>(pool) != poolAtStep2) return Fail(6, "pool is not the counter");
  const long step3 = tracetest::FindLine(lines, "step 3");
  if (step3 != step2 + 2 ||
      lines[step3 - 1] != "...Memory use changed. Internal Pool=" + std::to_string(pool) +
                              ", Change=+0. Process Bytes Allocated=1004096, Change=+4096") {
    return Fail(9, "private bytes made no line");
  }
  if (AfterPrefix(lines.back()) != "Trace Closed.") return Fail(7, "no closing line");
  if (!IsMemoryLine(lines[lines.size() - 2])) return Fail(8, "closing line without memory line");
  return 0;
}

JOV_CHILD_CASE(trace_memory_handle_count_failure) {
  JOV_MonitorMemory = 1;
  FakePrivateBytes privateBytes;
  ScopedTempDir dir;
  {
    JOVDebug trace;
    tracetest::StartIn(trace, dir, L"handles");
    trace.InsertMsg(L"before");
    {
      jovtest::ScopedImportPatch patch("GetProcessHandleCount",
                                       reinterpret_cast<void*>(&FailingGetProcessHandleCount));
      trace.InsertMsg(L"failing");
    }
    trace.InsertMsg(L"after");
    trace.TraceStop(0);
  }
  const auto lines = ReadLines(dir.TraceFiles().at(0));
  const long failing = tracetest::FindLine(lines, "failing");
  const long after = tracetest::FindLine(lines, "after");
  if (failing < 1) return Fail(2, "line missing");
  if (lines[failing - 1] != "...Process Handle Count=0, ErrorCode=5.") return Fail(3, "no error line");
  if (after != failing + 1) return Fail(4, "count line after the query recovered");
  return 0;
}

TEST(MemoryLines, PoolChangesAddUpToTheThresholdAndTheClosingLineGetsOne) {
  JOV_REQUIRE_CHILD_PROCESSES();
  const auto result = jovtest::RunChild("trace_memory_threshold");
  EXPECT_EQ(result.exitCode, 0u) << result.output;
}

TEST(MemoryLines, FailedHandleCountQueryIsReportedWithItsErrorCode) {
  JOV_REQUIRE_CHILD_PROCESSES();
  const auto result = jovtest::RunChild("trace_memory_handle_count_failure");
  EXPECT_EQ(result.exitCode, 0u) << result.output;
}
