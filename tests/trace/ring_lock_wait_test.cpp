// ring_lock_wait_test.cpp - a ring line that finds the trace lock held past its polling waits
// for it, and lands whole after the holder's work.
#include "trace/trace_files.h"

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
std::vector<std::string> DumpedLines(JOVDebug& trace, const jovtest::ScratchDir& dir) {
  const size_t before = tracetest::TraceFiles(dir).size();
  trace.TraceDumpWrap(nullptr);
  const auto files = tracetest::TraceFiles(dir);
  if (files.size() != before + 1) return {"<no dump file>"};
  return tracetest::WrapDumpBody(jovtest::ReadLines(files.back()));
}

// A line's text after its time stamp, interval and indent.
std::string TextOf(const std::string& line) {
  const size_t intervalEnd = line.find(' ', line.find_first_not_of(' ', 13));
  return line.substr(std::min(line.find_first_not_of(' ', intervalEnd), line.size()));
}

}  // namespace

TEST(RingLockWait, LineWaitsForADumpThatHoldsTheLock) {
  JOV_SKIP_ON_EMULATED_LANE("threads");
  jovtest::ScratchDir dir;
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
  EXPECT_EQ(TextOf(firstDump[1]), "before");
  const std::vector<std::string> secondDump = DumpedLines(trace, dir);
  ASSERT_EQ(secondDump.size(), 2u);
  EXPECT_EQ(secondDump[0].substr(0, 14), "---- ThreadId=");
  EXPECT_EQ(TextOf(secondDump[1]), "waiter");
}
