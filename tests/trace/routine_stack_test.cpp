// routine_stack_test.cpp - the routine stack: levels, growth, trace selectors, Push and
// Pop lines with return codes and durations, and the stack as text.
#include "trace/trace_test_util.h"

#include "support/import_patch.h"

using tracetest::AfterPrefix;
using tracetest::CountsFor;
using tracetest::fakeCount;
using tracetest::FakeQueryPerformanceCounter;
using tracetest::ReadLines;
using tracetest::ScopedTempDir;

namespace {

std::string Text(const JOVString& s) { return tracetest::Narrow(s.c_str()); }

// The texts (after the prefix) of the lines a body writes, without the file's opening.
std::vector<std::string> Traced(void (*body)(JOVDebug&)) {
  ScopedTempDir dir;
  JOVDebug trace;
  tracetest::StartIn(trace, dir, L"stack");
  body(trace);
  trace.TraceStop(0);
  auto lines = ReadLines(dir.TraceFiles().at(0));
  std::vector<std::string> texts;
  for (size_t i = 2; i < lines.size(); ++i) texts.push_back(AfterPrefix(lines[i]));
  return texts;
}

}  // namespace

TEST(RoutineLevels, PushReturnsTheNewLevelAndPopTakesItOff) {
  JOVDebug trace;
  EXPECT_EQ(trace.RoutinePush(L"Parser", L"Open", nullptr, -2), 0);
  EXPECT_EQ(trace.RoutinePush(L"Parser", L"ReadBlock", nullptr, -2), 1);
  trace.RoutinePop(-1, 2147483647);
  EXPECT_EQ(Text(trace.ShowCallStack()), "Parser.Open");
  EXPECT_EQ(trace.RoutinePush(L"Buffer", L"Fill", nullptr, -2), 1);
  EXPECT_EQ(Text(trace.ShowCallStack()), "Parser.Open;Buffer.Fill");
  EXPECT_EQ(Text(trace.ActiveRoutine()), "Buffer.Fill");
}

TEST(RoutineLevels, EmptyStackAnswersEmptyAndPopLeavesItEmpty) {
  JOVDebug trace;
  EXPECT_TRUE(trace.ShowCallStack().empty());
  EXPECT_TRUE(trace.ActiveRoutine().empty());
  trace.RoutinePop(-1, 0);
  trace.RoutinePop(3, 0);
  EXPECT_EQ(trace.RoutinePush(L"", L"Open", nullptr, 1), 0);
  EXPECT_EQ(Text(trace.ActiveRoutine()), ".Open");
}

TEST(RoutineLevels, StackGrowsPastTwentyLevelsAndKeepsEveryName) {
  JOVDebug trace;
  std::string expected;
  for (int i = 0; i < 30; ++i) {
    const std::wstring routine = L"R" + std::to_wstring(i);
    EXPECT_EQ(trace.RoutinePush(L"Deep", routine.c_str(), nullptr, -2), i);
    if (i > 0) expected += ";";
    expected += "Deep.R" + std::to_string(i);
  }
  EXPECT_EQ(Text(trace.ShowCallStack()), expected);
  EXPECT_EQ(Text(trace.ActiveRoutine()), "Deep.R29");
}

TEST(RoutineLevels, PopOfALowerLevelTakesEveryLevelAboveIt) {
  JOVDebug trace;
  for (int i = 0; i < 4; ++i) trace.RoutinePush(L"C", std::to_wstring(i).c_str(), nullptr, -2);
  trace.RoutinePop(1, 0);
  EXPECT_EQ(Text(trace.ShowCallStack()), "C.0");
  trace.RoutinePop(5, 0);  // no longer on the stack: nothing changes
  EXPECT_EQ(Text(trace.ShowCallStack()), "C.0");
  EXPECT_EQ(trace.RoutinePush(L"C", L"again", nullptr, -2), 1);
}

TEST(PushPopLines, NestedRoutinesWriteIndentedLinesWithCodesAndDurations) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  if (frequency.QuadPart % 1000000 != 0) GTEST_SKIP() << "counter not in whole microseconds";
  const auto texts = Traced([](JOVDebug& trace) {
    jovtest::ScopedImportPatch patch("QueryPerformanceCounter",
                                     reinterpret_cast<void*>(&FakeQueryPerformanceCounter));
    fakeCount = CountsFor(1000000);
    trace.RoutinePush(L"Parser", L"Open", nullptr, -2);
    fakeCount += CountsFor(2657);
    trace.RoutinePush(L"Parser", L"ReadBlock", L"file=a.dat", -2);
    trace.InsertMsg(L"inside");
    EXPECT_EQ(Text(trace.ShowCallStack()), "Parser.Open;Parser.ReadBlock");
    fakeCount += CountsFor(12345);
    trace.RoutinePop(1, 0);
    trace.RoutinePop(-1, 2147483647);
  });
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0], "Push Parser.Open");
  EXPECT_EQ(texts[1], "    Push Parser.ReadBlock  file=a.dat");
  EXPECT_EQ(texts[2], "        inside");
  EXPECT_EQ(texts[3], "    Pop  Parser.ReadBlock Return Code=0  Dur=12.345 msecs");
  EXPECT_EQ(texts[4], "Pop  Parser.Open  Dur=15.002 msecs");
}

TEST(PushPopLines, NegativeReturnCodeIsShown) {
  const auto texts = Traced([](JOVDebug& trace) {
    trace.RoutinePush(L"Job", L"Run", nullptr, 1);
    trace.RoutinePop(-1, -1);
  });
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1].substr(0, 27), "Pop  Job.Run Return Code=-1");
  EXPECT_TRUE(std::regex_match(texts[1], std::regex(R"(.*  Dur=\d+\.\d{3} msecs$)"))) << texts[1];
}

TEST(PushPopLines, RequestNumberBecomesTheDetail) {
  const auto texts = Traced([](JOVDebug& trace) {
    trace.RoutinePushReq(L"Parser", L"ReadBlock", 2147483647, 1);
    trace.RoutinePushReq(L"Parser", L"ReadBlock", 7, 1);
    trace.RoutinePushReq(L"Parser", L"ReadBlock", -42, 1);
  });
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "Push Parser.ReadBlock");
  EXPECT_EQ(texts[1], "    Push Parser.ReadBlock  Request=7");
  EXPECT_EQ(texts[2], "        Push Parser.ReadBlock  Request=-42");
}

TEST(TraceSelector, ZeroSilencesALevelAndMinusTwoInheritsIt) {
  const auto texts = Traced([](JOVDebug& trace) {
    trace.RoutinePush(L"Quiet", L"Outer", nullptr, 0);
    trace.RoutinePush(L"Quiet", L"Inherits", nullptr, -2);
    EXPECT_EQ(Text(trace.ShowCallStack()), "Quiet.Outer;Quiet.Inherits");
    trace.RoutinePush(L"Loud", L"Again", nullptr, 1);
    trace.RoutinePop(-1, 1);
    trace.RoutinePop(-1, 2);
    trace.RoutinePop(-1, 3);
  });
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "        Push Loud.Again");
  EXPECT_EQ(texts[1].substr(0, 37), "        Pop  Loud.Again Return Code=1");
}

TEST(TraceSelector, InnermostLevelDecidesWhetherAPopIsWritten) {
  static JOVString stackAfter;
  const auto texts = Traced([](JOVDebug& trace) {
    trace.RoutinePush(L"A", L"Zero", nullptr, 1);
    trace.RoutinePush(L"A", L"One", nullptr, 1);
    trace.RoutinePush(L"A", L"Two", nullptr, 0);
    trace.RoutinePop(1, 0);  // level 2 is silent: no line, but both levels go
    stackAfter = trace.ShowCallStack();
  });
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(Text(stackAfter), "A.Zero");
}

TEST(PushPopLines, PopOfLevelZeroFromDepthThreeWritesOneLineAndEmptiesTheStack) {
  static JOVString stackAfter;
  const auto texts = Traced([](JOVDebug& trace) {
    for (int i = 0; i < 4; ++i) trace.RoutinePush(L"N", std::to_wstring(i).c_str(), nullptr, -2);
    trace.RoutinePop(0, 5);
    stackAfter = trace.ShowCallStack();
  });
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[4].substr(0, 22), "Pop  N.0 Return Code=5");
  EXPECT_TRUE(stackAfter.empty());
}

TEST(PushPopLines, PopOfALevelNotOnTheStackWritesTheBareLine) {
  const auto texts = Traced([](JOVDebug& trace) {
    trace.RoutinePush(L"A", L"B", nullptr, 1);
    trace.RoutinePop(3, 0);
    trace.RoutinePop(-1, 2147483647);
    trace.RoutinePop(-1, 2147483647);  // empty stack: no line
  });
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[1], "    Pop  ");
  EXPECT_EQ(texts[2].substr(0, 13), "Pop  A.B  Dur");
}

TEST(PushPopLines, PushWithoutTraceRecordsNoStartTime) {
  ScopedTempDir dir;
  JOVDebug trace;
  trace.RoutinePush(L"Early", L"Bird", nullptr, -2);
  tracetest::StartIn(trace, dir, L"late");
  const unsigned long long now = JOV_TimerValue();
  trace.RoutinePop(-1, 2147483647);
  trace.TraceStop(0);
  const auto lines = ReadLines(dir.TraceFiles().at(0));
  ASSERT_EQ(lines.size(), 3u);
  std::smatch m;
  const std::string pop = AfterPrefix(lines[2]);
  ASSERT_TRUE(std::regex_match(pop, m, std::regex(R"(Pop  Early.Bird  Dur=(\d+)\.\d{3} msecs)"))) << pop;
  // Measured from 0, the level's start time when it never had one.
  EXPECT_GE(std::stoull(m[1].str()), now / 1000);
}
