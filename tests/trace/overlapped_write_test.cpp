// overlapped_write_test.cpp - a write still in flight when the bounded wait ends: the file
// is not garbled and the write's buffer is neither freed nor reused while it may be read.
#include "trace/trace_test_util.h"

#include "support/import_patch.h"

using tracetest::AfterPrefix;
using tracetest::ReadLines;
using tracetest::ScopedTempDir;

namespace {

using WriteFileFn = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
using WaitFn = DWORD(WINAPI*)(HANDLE, DWORD);

struct CapturedWrite {
  HANDLE file = nullptr;
  const char* buffer = nullptr;
  DWORD length = 0;
  OVERLAPPED* overlap = nullptr;
  unsigned long long offset = 0;
};

WriteFileFn realWriteFile = nullptr;
WaitFn realWait = nullptr;
bool stallNextWrite = false;
bool cancelTakesEffect = false;
CapturedWrite stuck;
std::vector<unsigned long long> offsets;

unsigned long long OffsetOf(const OVERLAPPED* overlap) {
  return (static_cast<unsigned long long>(overlap->OffsetHigh) << 32) | overlap->Offset;
}

// Passes writes on, except one that it leaves pending for ever, as a dead device would.
BOOL WINAPI StallingWriteFile(HANDLE file, LPCVOID buffer, DWORD length, LPDWORD written,
                              LPOVERLAPPED overlap) {
  if (overlap != nullptr) offsets.push_back(OffsetOf(overlap));
  if (!stallNextWrite || overlap == nullptr) return realWriteFile(file, buffer, length, written, overlap);
  stallNextWrite = false;
  stuck = {file, static_cast<const char*>(buffer), length, overlap, OffsetOf(overlap)};
  overlap->Internal = STATUS_PENDING;
  ::ResetEvent(overlap->hEvent);
  ::SetLastError(ERROR_IO_PENDING);
  return FALSE;
}

// The stuck write's event never comes; other waits are real.
DWORD WINAPI ImpatientWait(HANDLE handle, DWORD milliseconds) {
  if (stuck.overlap != nullptr && handle == stuck.overlap->hEvent &&
      stuck.overlap->Internal == STATUS_PENDING) {
    return WAIT_TIMEOUT;
  }
  return realWait(handle, milliseconds);
}

BOOL WINAPI FakeCancelIoEx(HANDLE, LPOVERLAPPED overlap) {
  if (!cancelTakesEffect) return TRUE;  // the device ignores the cancel
  overlap->Internal = static_cast<ULONG_PTR>(0xC0000120L);  // STATUS_CANCELLED
  overlap->InternalHigh = 0;
  ::SetEvent(overlap->hEvent);
  return TRUE;
}

// Lets the stuck write finally happen, as the late device would.
void CompleteStuckWrite() {
  OVERLAPPED own = {};
  own.Offset = static_cast<DWORD>(stuck.offset);
  own.OffsetHigh = static_cast<DWORD>(stuck.offset >> 32);
  own.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD done = 0;
  if (!realWriteFile(stuck.file, stuck.buffer, stuck.length, nullptr, &own)) {
    ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  }
  ASSERT_TRUE(::GetOverlappedResult(stuck.file, &own, &done, TRUE));
  ::CloseHandle(own.hEvent);
  stuck.overlap->InternalHigh = done;
  stuck.overlap->Internal = 0;
  ::SetEvent(stuck.overlap->hEvent);
}

struct Patches {
  jovtest::ScopedImportPatch write{"WriteFile", reinterpret_cast<void*>(&StallingWriteFile)};
  jovtest::ScopedImportPatch wait{"WaitForSingleObject", reinterpret_cast<void*>(&ImpatientWait)};
  jovtest::ScopedImportPatch cancel{"CancelIoEx", reinterpret_cast<void*>(&FakeCancelIoEx)};
  Patches() {
    realWriteFile = write.original<WriteFileFn>();
    realWait = wait.original<WaitFn>();
    stuck = CapturedWrite{};
    offsets.clear();
  }
};

std::vector<std::string> Texts(const std::vector<std::string>& lines) {
  std::vector<std::string> texts;
  for (size_t i = 2; i < lines.size(); ++i) texts.push_back(AfterPrefix(lines[i]));
  return texts;
}

}  // namespace

TEST(StuckWrite, AbandonedWriteKeepsItsBufferAndItsPlaceInTheFile) {
  ScopedTempDir dir;
  JOVDebug trace;
  tracetest::StartIn(trace, dir, L"stuck");
  {
    Patches patches;
    cancelTakesEffect = false;
    trace.InsertMsg(L"before");
    stallNextWrite = true;
    trace.InsertMsg(L"stuck line");
    ASSERT_NE(stuck.overlap, nullptr);
    const std::string stuckBytes(stuck.buffer, stuck.length);
    trace.InsertMsg(L"after");
    for (int i = 0; i < 5; ++i) trace.InsertMsg(tracetest::Widen("more " + std::to_string(i)).c_str());

    // The next write went past the stuck one's bytes, not onto them.
    const auto afterAt = std::find(offsets.begin(), offsets.end(), stuck.offset);
    ASSERT_NE(afterAt, offsets.end());
    ASSERT_NE(afterAt + 1, offsets.end());
    EXPECT_EQ(*(afterAt + 1), stuck.offset + stuck.length);
    // The system may still read the stuck write's buffer: it holds its line unchanged.
    EXPECT_EQ(std::string(stuck.buffer, stuck.length), stuckBytes);

    CompleteStuckWrite();
    trace.TraceStop(1);
  }
  const auto texts = Texts(ReadLines(dir.TraceFiles().at(0)));
  const std::vector<std::string> expected = {"before", "stuck line", "after",  "more 0", "more 1",
                                             "more 2", "more 3",     "more 4", "Trace Closed."};
  EXPECT_EQ(texts, expected);
}

TEST(StuckWrite, CancelledWriteLeavesNoGapAndTheNextLineTakesItsPlace) {
  ScopedTempDir dir;
  JOVDebug trace;
  tracetest::StartIn(trace, dir, L"cancelled");
  {
    Patches patches;
    cancelTakesEffect = true;
    trace.InsertMsg(L"before");
    stallNextWrite = true;
    trace.InsertMsg(L"stuck line");
    ASSERT_NE(stuck.overlap, nullptr);
    trace.InsertMsg(L"after");
    EXPECT_EQ(offsets.back(), stuck.offset);
    trace.TraceStop(1);
    cancelTakesEffect = false;
  }
  const std::string content = tracetest::ReadFileBytes(dir.TraceFiles().at(0));
  EXPECT_EQ(content.find('\0'), std::string::npos);
  const auto texts = Texts(ReadLines(dir.TraceFiles().at(0)));
  const std::vector<std::string> expected = {"before", "after", "Trace Closed."};
  EXPECT_EQ(texts, expected);
}
