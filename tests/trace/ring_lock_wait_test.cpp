// ring_lock_wait_test.cpp - a ring line that finds the trace lock held past its polling waits
// for it, and lands whole after the holder's work.
#include <thread>

#include "support/import_patch.h"
#include "support/lane.h"
#include "trace/trace_test_util.h"

namespace {

using CreateFileWFn = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD,
                                      DWORD, HANDLE);
CreateFileWFn realCreateFileW = nullptr;
HANDLE lockHeld = nullptr;

// Creates the dump file only after a pause far longer than a ring line polls the lock, with
// the dump holding the lock all the while.
HANDLE WINAPI SlowCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                              DWORD disposition, DWORD flags, HANDLE templateFile) {
  ::SetEvent(lockHeld);
  ::Sleep(400);
  return realCreateFileW(name, access, share, sa, disposition, flags, templateFile);
}

// The lines that a dump of the ring writes between its banners.
std::vector<std::string> DumpedLines(JOVDebug& trace, const tracetest::ScopedTempDir& dir) {
  const size_t before = dir.TraceFiles().size();
  trace.TraceDumpWrap(nullptr);
  const auto files = dir.TraceFiles();
  if (files.size() != before + 1) return {"<no dump file>"};
  std::vector<std::string> lines = tracetest::ReadLines(files.back());
  const long first = tracetest::FindLine(lines, "---- Wrap trace of saved events.");
  if (first < 0 || lines.back() != "---- End of wrap trace.") return {"<no banners>"};
  return std::vector<std::string>(lines.begin() + first + 1, lines.end() - 1);
}

}  // namespace

TEST(RingLockWait, LineWaitsForADumpThatHoldsTheLock) {
  JOV_REQUIRE_THREADS();
  tracetest::ScopedTempDir dir;
  JOVDebug trace;
  tracetest::StartIn(trace, dir, L"waiting", 1u << 16);
  trace.InsertMsg(L"before");
  lockHeld = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<std::string> firstDump;
  {
    jovtest::ScopedImportPatch create("CreateFileW", reinterpret_cast<const void*>(&SlowCreateFileW));
    realCreateFileW = create.original<CreateFileWFn>();
    std::thread waiter([&] {
      ::WaitForSingleObject(lockHeld, INFINITE);
      trace.InsertMsg(L"waiter");
    });
    firstDump = DumpedLines(trace, dir);
    waiter.join();
  }
  ::CloseHandle(lockHeld);

  // The dump took the ring as it was; the waiter's line came after it, into the emptied ring.
  ASSERT_EQ(firstDump.size(), 2u);
  EXPECT_EQ(tracetest::AfterPrefix(firstDump[1]), "before");
  const std::vector<std::string> secondDump = DumpedLines(trace, dir);
  ASSERT_EQ(secondDump.size(), 2u);
  EXPECT_EQ(secondDump[0].substr(0, 14), "---- ThreadId=");
  EXPECT_EQ(tracetest::AfterPrefix(secondDump[1]), "waiter");
}
