// line_writer_test.cpp - the lines InsertMsg writes: prefix and interval column,
// indentation, continuation lines, marker lines, the size limit and failure reports.
#include <thread>

#include "support/import_patch.h"
#include "support/lane.h"
#include "trace/trace_test_util.h"

using tracetest::AfterPrefix;
using tracetest::CountsFor;
using tracetest::fakeCount;
using tracetest::FakeQueryPerformanceCounter;
using tracetest::ReadLines;
using tracetest::ScopedTempDir;
using tracetest::StartIn;

namespace {

std::vector<std::string> TraceOnce(void (*body)(JOVDebug&)) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartIn(trace, dir, L"lines");
  body(trace);
  trace.TraceStop(0);
  return ReadLines(dir.TraceFiles().at(0));
}

}  // namespace

TEST(LinePrefix, IntervalIsRightAlignedInEightColumnsWithThreeDecimals) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  if (frequency.QuadPart % 1000000 != 0) GTEST_SKIP() << "counter not in whole microseconds";
  const auto lines = TraceOnce([](JOVDebug& trace) {
    jovtest::ScopedImportPatch patch("QueryPerformanceCounter",
                                     reinterpret_cast<void*>(&FakeQueryPerformanceCounter));
    fakeCount = CountsFor(5000000000LL);
    trace.InsertMsg(L"start");
    fakeCount += CountsFor(500);
    trace.InsertMsg(L"half");
    fakeCount += CountsFor(12345679);
    trace.InsertMsg(L"long");
    trace.InsertMsg(L"same");
    fakeCount += CountsFor(1500);
    trace.InsertMsg(L"one and a half");
  });
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[3].substr(12), "    0.500 half");
  EXPECT_EQ(lines[4].substr(12), " 12345.679 long");
  EXPECT_EQ(lines[5].substr(12), "    0.000 same");
  EXPECT_EQ(lines[6].substr(12), "    1.500 one and a half");
}

TEST(LinePrefix, TimeIsTheLocalTimeWithMilliseconds) {
  SYSTEMTIME before, after;
  ::GetLocalTime(&before);
  const auto lines = TraceOnce([](JOVDebug& trace) { trace.InsertMsg(L"now"); });
  ::GetLocalTime(&after);
  auto clock = [](const SYSTEMTIME& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond,
                  t.wMilliseconds);
    return std::string(text);
  };
  ASSERT_EQ(lines.size(), 3u);
  ASSERT_TRUE(tracetest::IsPrefixed(lines[2]));
  EXPECT_GE(lines[2].substr(0, 12), clock(before));
  EXPECT_LE(lines[2].substr(0, 12), clock(after));
}

TEST(LineText, IndentationFollowsTheRoutineDepth) {
  const auto lines = TraceOnce([](JOVDebug& trace) {
    trace.InsertMsg(L"outside");
    trace.RoutinePush(L"Parser", L"Open");
    trace.InsertMsg(L"level 0");
    trace.RoutinePush(L"Parser", L"ReadBlock");
    trace.InsertMsg(L"level 1");
    trace.InsertMsg(L"");
    trace.RoutinePop(-1, 2147483647);
    trace.InsertMsg(L"back");
  });
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(AfterPrefix(lines[2]), "outside");
  EXPECT_EQ(AfterPrefix(lines[4]), "    level 0");
  EXPECT_EQ(AfterPrefix(lines[6]), "        level 1");
  EXPECT_EQ(lines[7].size(), 22u + 8u);  // an empty text: prefix and indentation only
  EXPECT_EQ(lines[7].find_first_not_of(' ', 22), std::string::npos);
  EXPECT_EQ(AfterPrefix(lines[9]), "    back");
}

TEST(LineText, LineFeedsStartContinuationLinesAlignedUnderTheText) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartIn(trace, dir, L"continued");
  trace.InsertMsg(L"a\nb");
  trace.InsertMsg(L"c\r\nd");
  trace.RoutinePush(L"Parser", L"Open");
  trace.InsertMsg(L"e\nf\ng");
  trace.TraceStop(0);
  const std::string content = tracetest::ReadFileBytes(dir.TraceFiles().at(0));
  const std::string blanks26(26, ' ');
  const std::string blanks30(30, ' ');
  EXPECT_NE(content.find(" a\n" + blanks26 + "b\r\n"), std::string::npos);
  EXPECT_NE(content.find(" c\r\n" + blanks26 + "d\r\n"), std::string::npos);
  EXPECT_NE(content.find("     e\n" + blanks30 + "f\n" + blanks30 + "g\r\n"), std::string::npos);
}

TEST(MarkerLines, OneThreadOnOneDayWritesNoMarkers) {
  const auto lines = TraceOnce([](JOVDebug& trace) {
    trace.InsertMsg(L"first");
    trace.InsertMsg(L"second");
  });
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], tracetest::DateLine());
  EXPECT_EQ(AfterPrefix(lines[2]), "first");
  EXPECT_EQ(AfterPrefix(lines[3]), "second");
}

TEST(MarkerLines, EveryChangeOfWritingThreadIsMarked) {
  JOV_REQUIRE_THREADS();
  static DWORD otherThread = 0;
  const auto lines = TraceOnce([](JOVDebug& trace) {
    trace.InsertMsg(L"one");
    std::thread other([&trace] {
      otherThread = ::GetCurrentThreadId();
      trace.InsertMsg(L"two");
    });
    other.join();
    trace.InsertMsg(L"three");
  });
  auto marker = [](DWORD id) { return "---- ThreadId=" + std::to_string(id) + " " + std::string(30, '-'); };
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(AfterPrefix(lines[2]), "one");
  EXPECT_EQ(lines[3], marker(otherThread));
  EXPECT_EQ(AfterPrefix(lines[4]), "two");
  EXPECT_EQ(lines[5], marker(::GetCurrentThreadId()));
  EXPECT_EQ(AfterPrefix(lines[6]), "three");
}

TEST(SizeLimit, LinePastTheLimitIsWholeAndTheNextTextGivesWayToTheNotice) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartIn(trace, dir, L"limited");
  trace.MaxLogSize(1000);
  for (int i = 0; i < 40; ++i) {
    char text[64];
    std::snprintf(text, sizeof text, "line %02d of a text long enough to fill the file", i);
    trace.InsertMsg(tracetest::Widen(text).c_str());
  }
  trace.TraceStop(1);
  const auto files = dir.TraceFiles();
  ASSERT_GE(files.size(), 2u);

  const auto first = ReadLines(files[0]);
  ASSERT_GE(first.size(), 4u);
  EXPECT_EQ(first.back(), "--Trace closed and re-opened due to trace size.");
  EXPECT_EQ(AfterPrefix(first[first.size() - 2]),
            "**** Trace terminated because it is too large. ****");
  // The file passed 1000 bytes with its last text line, not before.
  size_t bytesBeforeLast = 0;
  for (size_t i = 0; i + 3 < first.size(); ++i) bytesBeforeLast += first[i].size() + 2;
  const size_t bytesWithLast = bytesBeforeLast + first[first.size() - 3].size() + 2;
  EXPECT_LE(bytesBeforeLast, 1000u);
  EXPECT_GT(bytesWithLast, 1000u);
  const std::string lastText = AfterPrefix(first[first.size() - 3]);
  const int lastNumber = std::stoi(lastText.substr(5, 2));

  const auto second = ReadLines(files[1]);
  ASSERT_GE(second.size(), 3u);
  EXPECT_EQ(second[0], tracetest::DateLine());
  EXPECT_NE(AfterPrefix(second[1]).find("Trace Started. UserId="), std::string::npos);
  // The text that met the full file is the only one lost.
  EXPECT_EQ(std::stoi(AfterPrefix(second[2]).substr(5, 2)), lastNumber + 2);
}

TEST(SizeLimit, LimitBelowTheOpeningLinesDoesNotReplaceFilesWithoutEnd) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartIn(trace, dir, L"tiny");
  trace.MaxLogSize(10);
  for (int i = 0; i < 6; ++i) trace.InsertMsg(tracetest::Widen("text " + std::to_string(i)).c_str());
  trace.TraceStop(1);
  const auto files = dir.TraceFiles();
  ASSERT_GE(files.size(), 2u);
  ASSERT_LE(files.size(), 7u);
  int texts = 0, notices = 0;
  for (size_t f = 0; f < files.size(); ++f) {
    const auto lines = ReadLines(files[f]);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], tracetest::DateLine());
    EXPECT_NE(AfterPrefix(lines[1]).find("Trace Started."), std::string::npos);
    // Each file takes a line; the last may have met only the closing line.
    if (f + 1 < files.size()) {
      EXPECT_EQ(AfterPrefix(lines[2]).substr(0, 5), "text ");
    }
    for (const std::string& line : lines) {
      if (AfterPrefix(line).substr(0, 5) == "text ") ++texts;
      if (AfterPrefix(line).find("**** Trace terminated") == 0) ++notices;
    }
  }
  EXPECT_EQ(texts + notices, 6);
}

namespace {

using MallocFn = void* (*)(size_t);
MallocFn realMalloc = nullptr;
size_t failAbove = ~size_t{0};
void* LimitedMalloc(size_t size) { return size > failAbove ? nullptr : realMalloc(size); }

std::wstring reportedText;
BOOL WINAPI CapturingReportEventW(HANDLE, WORD, WORD, DWORD, PSID, WORD count, DWORD,
                                  LPCWSTR* strings, LPVOID) {
  if (count > 0) reportedText = strings[0];
  return TRUE;
}

}  // namespace

TEST(LineFailure, LineThatCannotBeBuiltIsReportedWithItsStage) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartIn(trace, dir, L"failing");
  std::wstring text = L"x";
  for (int i = 0; i < 60; ++i) text += L"\ny";
  {
    jovtest::ScopedImportPatch report("ReportEventW", reinterpret_cast<void*>(&CapturingReportEventW));
    jovtest::ScopedImportPatch patch("malloc", reinterpret_cast<void*>(&LimitedMalloc));
    realMalloc = patch.original<MallocFn>();
    failAbove = 2048;  // the line with its continuations needs more; the report less
    reportedText.clear();
    trace.InsertMsg(text.c_str());
    failAbove = ~size_t{0};
  }
  const std::wstring head = L"JOVDebug.InsertMsg PgmChkLoc=500, Original Text=\"x";
  EXPECT_EQ(reportedText.substr(0, head.size()), head);
  EXPECT_EQ(reportedText.back(), L'"');

  trace.InsertMsg(L"after");  // the lock was released and the writer goes on
  trace.TraceStop(0);
  const auto lines = ReadLines(dir.TraceFiles().at(0));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(AfterPrefix(lines[2]), "after");
}
