// writer_test.cpp - where lines go: the chain of files at the size limit, the wrap ring with
// its dumps and a ring line waiting for a dump, writes that the system refuses or never
// finishes, a line that cannot be built, and four threads writing through one trace object.
#include "support/test_prelude.h"

#include "trace/trace_files.h"
#include "trace/trace_format.h"

namespace {

using jovtest::ScopedImportPatch;
using tracetest::Lines;
using tracetest::ScratchDir;
using tracetest::Traced;

const std::string kTerminated = jov::trace::format::kTerminated;
const std::string kReopened = jov::trace::format::kSizeNotice;
const std::string kBanner = jov::trace::format::kWrapBanner;
const std::string kEnd = jov::trace::format::kWrapEnd;

}  // namespace

// Every text line takes 28 bytes (prefix, 4 characters, CR LF). With the limit just after
// the first, the second still goes in whole and the third gives way to the notice; a limit
// below the opening lines still lets each file take one line. The closing line is never
// given way, even in a file past its limit, and the limit, a file's, leaves a later ring be.
TEST(TraceWriter, FileIsReplacedOnceItHoldsMoreThanTheLimit) {
  for (bool tiny : {false, true}) {
    const Lines shape = Traced([tiny](JOVDebug& trace, const ScratchDir& dir) {
      // The date and header lines.
      const size_t opening = jovtest::ReadBytes(tracetest::TraceFiles(dir)[0]).size();
      trace.MaxLogSize(tiny ? 10 : static_cast<unsigned long>(opening + 28));
      for (const wchar_t* text : {L"txt1", L"txt2", L"txt3"}) trace.InsertMsg(text);
      trace.TraceStop(1);
      tracetest::StartIn(trace, dir, L"wrap", 1024);  // its dump sorts after "trace"
      trace.InsertMsg(L"ring");
      trace.TraceDumpWrap(nullptr);
    });
    const Lines ring = {"D", "H", kBanner, "ring", kEnd};
    Lines exact = {"D", "H", "txt1", "txt2", kTerminated, kReopened, "D", "H", "Trace Closed."};
    Lines small = {"D", "H", "txt1", kTerminated, kReopened, "D", "H", "txt3", "Trace Closed."};
    for (Lines* lines : {&exact, &small}) lines->insert(lines->end(), ring.begin(), ring.end());
    EXPECT_EQ(shape, tiny ? small : exact);
  }
}

// A ring of 1020 usable bytes: a record is 6 bytes and 2 per character, so lines of 28
// characters take 62 bytes and five of 99 characters fill it exactly.
TEST(TraceWriter, WrapRingKeepsTheNewestWholeLinesAndDumpsThem) {
  Lines expected = {"D", "H", kBanner};
  for (int i = 25; i <= 40; ++i) expected.push_back("L0" + std::to_string(i));
  expected.insert(expected.end(), {kEnd, "D", "H", kBanner, "exact fit"});
  for (int i = 2; i <= 5; ++i) expected.push_back("E00" + std::to_string(i) + std::string(71, 'x'));
  // A line longer than the ring, cut to fill it.
  const std::string cut((1020 - 6) / 2 - 22 - 2, 'w');
  expected.insert(expected.end(),
                  {"next", kEnd, "D", "H", kBanner, cut, kEnd, "D", "H", "R001", "R002"});
  const Lines shape = Traced(
      [](JOVDebug& trace, const ScratchDir& dir) {
        EXPECT_EQ(trace.TraceWrapActive() - trace.TraceActive(), 1);
        auto write = [&trace](char head, int first, int last, size_t width) {
          for (int i = first; i <= last; ++i) {
            const std::string text =
                head + std::to_string(1000 + i).substr(1) + std::string(width - 4, 'x');
            trace.InsertMsg(std::wstring(text.begin(), text.end()).c_str());
          }
        };
        write('L', 1, 40, 4);
        trace.TraceDumpWrap(nullptr);
        tracetest::StartIn(trace, dir, L"bigger", 8192);  // ignored while the ring exists
        write('E', 1, 5, 75);
        trace.InsertMsg(L"next");
        wchar_t reason[] = L"exact fit";
        trace.TraceDumpWrap(reason);
        trace.InsertMsg(std::wstring(2000, L'w').c_str());  // cut to the ring, CR LF kept
        trace.TraceDumpWrap(nullptr);
        write('R', 1, 2, 4);
        tracetest::StartIn(trace, dir, L"taken");  // a file trace takes the ring after its header
        EXPECT_EQ(trace.TraceWrapActive() - trace.TraceActive(), -1);
        trace.TraceStop(0);
        std::wstring missing = dir.Join(L"no\\such\\folder");
        trace.TraceStart(&missing[0], 2048);
        trace.TraceDumpWrap(nullptr);  // no file can be made: the ring goes, the wrap trace ends
        EXPECT_EQ(trace.TraceAnyActive(), 0);
        tracetest::StartIn(trace, dir, L"stopped", 2048);
        write('S', 1, 2, 4);
        trace.TraceWrapStop();  // the lines are dropped
        trace.TraceDumpWrap(nullptr);
      },
      L"ring", 100);  // the smallest ring is 1024 bytes
  EXPECT_EQ(shape, expected);
}

namespace {

decltype(&::CreateFileW) realCreateFileW = nullptr;
JOVDebug* ringTrace = nullptr;
std::thread waiter;
DWORD waiterId = 0;

// Starts a thread that writes a ring line while the dump holds the lock, and creates the
// dump file only after a pause far longer than that line polls the lock.
HANDLE WINAPI SlowCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                              DWORD disposition, DWORD flags, HANDLE templateFile) {
  waiter = std::thread([] {
    waiterId = ::GetCurrentThreadId();
    ringTrace->InsertMsg(L"waiter");
  });
  ::Sleep(400);
  return realCreateFileW(name, access, share, sa, disposition, flags, templateFile);
}

}  // namespace

// A ring line that finds the lock held by a dump past its polling waits for it and lands
// whole after the dump, in the emptied ring, marked as another thread's.
TEST(TraceWriter, RingLineWaitsForADumpThatHoldsTheLock) {
  JOV_SKIP_ON_EMULATED_LANE("threads");
  const Lines shape = Traced(
      [](JOVDebug& trace, auto&) {
        trace.InsertMsg(L"before");
        ringTrace = &trace;
        {
          ScopedImportPatch create("CreateFileW", &SlowCreateFileW, &realCreateFileW);
          trace.TraceDumpWrap(nullptr);
        }
        waiter.join();
        trace.TraceDumpWrap(nullptr);
      },
      L"waiting", 1u << 16);
  auto marker = [](DWORD thread) {
    return "---- ThreadId=" + std::to_string(thread) + " " + std::string(30, '-');
  };
  EXPECT_EQ(shape,
            (Lines{"D", "H", kBanner, "D", "before", kEnd, "D", marker(::GetCurrentThreadId()), "H",
                   kBanner, marker(waiterId), "waiter", kEnd}));
}

namespace {

decltype(&::WriteFile) realWriteFile = nullptr;
decltype(&::WaitForSingleObject) realWait = nullptr;
enum class Next { kWrite, kRefuse, kStall } nextWrite = Next::kWrite;
bool cancelTakesEffect = false;
struct {
  HANDLE file;
  const char* buffer;
  std::string bytes;  // a copy of what the write was given
  OVERLAPPED* overlap;
} stuck;  // the write left pending, as a dead device would

BOOL WINAPI FakeWriteFile(HANDLE file, LPCVOID buffer, DWORD length, LPDWORD written,
                          LPOVERLAPPED overlap) {
  if (!overlap) return realWriteFile(file, buffer, length, written, overlap);
  const Next what = std::exchange(nextWrite, Next::kWrite);
  if (what == Next::kWrite) return realWriteFile(file, buffer, length, written, overlap);
  overlap->Internal = STATUS_PENDING;  // as the system leaves a write it refused at once
  ::ResetEvent(overlap->hEvent);
  if (what == Next::kRefuse) {
    ::SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  const char* bytes = static_cast<const char*>(buffer);
  stuck = {file, bytes, std::string(bytes, length), overlap};
  ::SetLastError(ERROR_IO_PENDING);
  return FALSE;
}
DWORD WINAPI ImpatientWait(HANDLE handle, DWORD ms) {  // the stuck write's event never comes
  const OVERLAPPED* o = stuck.overlap;
  return o && handle == o->hEvent && o->Internal == STATUS_PENDING ? WAIT_TIMEOUT
                                                                   : realWait(handle, ms);
}
BOOL WINAPI FakeCancelIoEx(HANDLE, LPOVERLAPPED overlap) {
  if (cancelTakesEffect) {  // ended as cancelled, nothing written
    overlap->Internal = 0xC0000120;
    overlap->InternalHigh = 0;
    ::SetEvent(overlap->hEvent);
  }
  return TRUE;
}

}  // namespace

// A write refused at once leaves no gap: the next line takes its place. A write still
// pending after the wait is cancelled; cancelled, its place goes to the next line as well,
// but if it will not end it is abandoned: its buffer stays untouched for the system to read
// and the next write goes behind its bytes.
TEST(TraceWriter, RefusedAndStuckWritesLeaveNoGapAndNoBufferReused) {
  for (bool cancelled : {false, true}) {
    const Lines shape = Traced(
        [cancelled](JOVDebug& trace, auto&) {
          ScopedImportPatch write("WriteFile", &FakeWriteFile, &realWriteFile),
              wait("WaitForSingleObject", &ImpatientWait, &realWait),
              cancel("CancelIoEx", &FakeCancelIoEx);
          stuck = {};
          cancelTakesEffect = cancelled;
          nextWrite = Next::kRefuse;
          trace.InsertMsg(L"refused");
          nextWrite = Next::kStall;
          for (const wchar_t* text : {L"stuck", L"after", L"more", L"more"}) trace.InsertMsg(text);
          ASSERT_NE(stuck.overlap, nullptr);
          if (!cancelled) {  // the abandoned buffer is intact; the late device writes it at last
            EXPECT_EQ(std::string(stuck.buffer, stuck.bytes.size()), stuck.bytes);
            OVERLAPPED own = *stuck.overlap;  // the same place; its own status
            DWORD done = 0;
            realWriteFile(stuck.file, stuck.buffer, static_cast<DWORD>(stuck.bytes.size()), nullptr,
                          &own);
            ::GetOverlappedResult(stuck.file, &own, &done, TRUE);
            stuck.overlap->InternalHigh = done;
            stuck.overlap->Internal = 0;
          }
          trace.TraceStop(1);
        },
        L"stuck");
    // A gap left in the file would put NULs before the next line's clock and spoil its shape.
    EXPECT_EQ(shape,
              (cancelled ? Lines{"D", "H", "after", "more", "more", "Trace Closed."}
                         : Lines{"D", "H", "stuck", "after", "more", "more", "Trace Closed."}));
  }
}

namespace {

void* (*realMalloc)(size_t) = nullptr;
void* SmallMalloc(size_t size) { return size > 2048 ? nullptr : realMalloc(size); }
std::wstring reported;
BOOL WINAPI CaptureReport(HANDLE, WORD type, WORD, DWORD, PSID, WORD, DWORD, LPCWSTR* strings,
                          LPVOID) {
  reported = std::to_wstring(type) + L" " + strings[0];
  return TRUE;
}

}  // namespace

// The line with its continuations needs more than the allocator gives; the report less.
TEST(TraceWriter, LineThatCannotBeBuiltIsReportedWithItsStage) {
  std::wstring text = L"x";
  for (int i = 0; i < 60; ++i) text += L"\ny";
  const Lines shape = Traced([&text](JOVDebug& trace, auto&) {
    {
      ScopedImportPatch report("ReportEventW", &CaptureReport),
          patch("malloc", &SmallMalloc, &realMalloc);
      trace.InsertMsg(text.c_str());
    }
    trace.InsertMsg(L"after");  // the lock was released and the writer goes on
  });
  // The CRs are the formatter's; type 4 is information.
  reported.erase(std::remove(reported.begin(), reported.end(), L'\r'), reported.end());
  EXPECT_EQ(reported, L"4 JOVDebug.InsertMsg PgmChkLoc=500, Original Text=\"" + text + L"\"");
  EXPECT_EQ(shape, (Lines{"D", "H", "after", "Trace Closed."}));
}

// Every line once, whole, in its thread's order, each change of writer marked, also across
// the chain of files that the size limit makes, where only the texts that the notices
// replace are lost.
TEST(TraceThreads, EveryLineOnceWholeInOrderWithEachChangeOfWriterMarked) {
  JOV_SKIP_ON_EMULATED_LANE("threads");
  constexpr int kThreads = 4, kLines = 10000;
  const std::string filler = " filler text that makes a line of some sixty characters";
  for (unsigned long limit : {0ul, 300000ul}) {
    DWORD ids[kThreads] = {};
    const Lines shape = Traced(
        [&](JOVDebug& trace, auto&) {
          if (limit) trace.MaxLogSize(limit);
          std::vector<std::thread> threads;
          for (int k = 0; k < kThreads; ++k)
            threads.emplace_back([&, k] {
              ids[k] = ::GetCurrentThreadId();
              const std::wstring tail(filler.begin(), filler.end());
              for (int i = 0; i < kLines; ++i)
                trace.InsertMsg(
                    (L"T" + std::to_wstring(k) + L" " + std::to_wstring(100000 + i) + tail)
                        .c_str());
            });
          for (auto& thread : threads) thread.join();
        },
        L"threads");
    int next[kThreads] = {}, notices = 0, wrong = 0, missing = 0;
    DWORD writer = ::GetCurrentThreadId();
    for (const std::string& text : shape) {
      if (text.rfind("---- ThreadId=", 0) == 0) writer = std::stoul(text.substr(14));
      notices += text == kTerminated;
      if (text.size() < 9 || text[0] != 'T' || text[2] != ' ' ||
          unsigned(text[1] - '0') >= kThreads)
        continue;
      const int k = text[1] - '0', i = std::stoi(text.substr(3, 6)) - 100000;
      wrong += text.substr(9) != filler || ids[k] != writer || i < next[k];
      missing += i - next[k];
      next[k] = i + 1;
    }
    for (int k = 0; k < kThreads; ++k) missing += kLines - next[k];
    EXPECT_EQ(wrong, 0) << "damaged, unmarked or out of order";
    EXPECT_EQ(missing, notices);  // with none out of order, every other line is there once
    EXPECT_EQ(std::count(shape.begin(), shape.end(), "H"), limit ? notices + 1 : 1);  // the files
    EXPECT_GE(notices, limit ? 4 : 0);
  }
}
