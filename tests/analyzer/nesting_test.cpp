// nesting_test.cpp - the routine stack rebuilt from Push and Pop lines and indentation:
// durations, self time, paths, return codes, outer pops, missing Pushes and Pops, the end.
#include <gtest/gtest.h>

#include "analyzer/timeline.h"
#include "support/reader_harness.h"
#include "bench/analyzer/trace_lines.h"

namespace {

using jovtrace::CloseKind;
using readertest::At;
using tracelines::Script;

constexpr char kLog[] = "C:\\t\\261203 221530 app.JOV_Log";
constexpr char kFile[] = "261203 221530 app.JOV_Log";

Script Started() {
  Script s(2026, 12, 3, At(22, 15, 30) % jovtrace::Timeline::kDay);
  s.Open(42, 7, kLog);
  return s;
}

readertest::Result ReadScript(const Script& s) { return readertest::Read({{kFile, s.Content()}}); }

TEST(Nesting, NestedCallsCarryTheirPopDurationsSelfTimeAndPath) {
  Script s = Started();
  s.Advance(1000);
  const int open = s.Push("Parser.Open", "file=a.dat");
  s.Advance(2000);
  s.Push("Parser.ReadBlock", "Request=1");
  s.Advance(5000);
  s.Pop(-1, 5);
  s.Advance(1500);
  s.Push("Parser.ReadBlock", "Request=2");
  s.Advance(2500);
  s.Pop(-1, 0);
  s.Advance(500);
  s.Pop(open);
  const readertest::Result r = ReadScript(s);

  ASSERT_EQ(r.calls.size(), 3u);
  const readertest::SeenCall& first = r.calls[0];
  EXPECT_EQ(first.path, "Parser.Open;Parser.ReadBlock");
  EXPECT_EQ(first.duration, 5000);
  EXPECT_EQ(first.start, At(22, 15, 30, 3000));
  EXPECT_EQ(first.end, At(22, 15, 30, 8000));
  EXPECT_TRUE(first.hasReturnCode);
  EXPECT_EQ(first.returnCode, 5);
  EXPECT_EQ(first.detail, "Request=1");
  EXPECT_EQ(first.thread, 7u);
  const readertest::SeenCall& outer = r.calls[2];
  EXPECT_EQ(outer.path, "Parser.Open");
  EXPECT_EQ(outer.duration, 11500);
  EXPECT_EQ(outer.self, 11500 - 5000 - 2500);
  EXPECT_FALSE(outer.hasReturnCode);
  EXPECT_EQ(outer.close, CloseKind::kNormal);
}

TEST(Nesting, PopOfAnOuterLevelClosesTheInnerLevelsAtItsTime) {
  Script s = Started();
  const int outer = s.Push("A.Outer");
  s.Advance(1000);
  s.Push("B.Middle");
  s.Advance(1000);
  s.Push("C.Inner");
  s.Advance(3000);
  s.Pop(outer, 0);  // the library pops levels 1 and 2 with it
  s.Advance(1000);
  s.Text("after");
  const readertest::Result r = ReadScript(s);

  ASSERT_EQ(r.calls.size(), 3u);
  const jovtrace::Micros popTime = At(22, 15, 30, 5000);
  for (const char* inner : {"C.Inner", "B.Middle"}) {
    SCOPED_TRACE(inner);
    const readertest::SeenCall* call = r.Find(inner);
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->close, CloseKind::kOuterPop);
    EXPECT_EQ(call->end, popTime);
    EXPECT_FALSE(call->hasReturnCode);
  }
  EXPECT_EQ(r.Find("C.Inner")->duration, 3000);
  EXPECT_EQ(r.Find("B.Middle")->self, 1000);
  EXPECT_EQ(r.Find("A.Outer")->close, CloseKind::kNormal);
  EXPECT_EQ(r.stats[0].closedByOuterPop, 2u);
}

TEST(Nesting, PopWithoutItsPushStartsAtPopTimeLessDurationAndNamesItsLevel) {
  // The oldest lines of a wrap dump: the Pushes of two levels were dropped from the ring.
  std::string content = tracelines::DateLine(2026, 12, 3) + "\r\n";
  content += tracelines::TimedLine((22 * 3600 + 15 * 60 + 30) * 1000, 500, 2, "inner text") + "\r\n";
  content += tracelines::TimedLine((22 * 3600 + 15 * 60 + 30) * 1000 + 4, 4000, 1,
                                   tracelines::PopText("B.Middle", 0, 6000)) + "\r\n";
  content += tracelines::TimedLine((22 * 3600 + 15 * 60 + 30) * 1000 + 6, 2000, 0,
                                   tracelines::PopText("A.Outer", 3, 9000)) + "\r\n";
  const readertest::Result r = readertest::Read({{"dump.JOV_Log", content}});

  ASSERT_EQ(r.calls.size(), 2u);
  const readertest::SeenCall& middle = r.calls[0];
  EXPECT_FALSE(middle.pushSeen);
  // Its outer level had no name when it closed; the Pop of level 0 named it afterwards.
  EXPECT_EQ(middle.path, "A.Outer;B.Middle");
  // Never before the trace's first line, although Pop time - duration is earlier.
  EXPECT_EQ(middle.start, At(22, 15, 30));
  EXPECT_EQ(middle.duration, 6000);
  const readertest::SeenCall& outer = r.calls[1];
  EXPECT_EQ(outer.path, "A.Outer");
  EXPECT_EQ(outer.self, 3000);
  EXPECT_EQ(r.stats[0].pushesMissing, 2u);
}

TEST(Nesting, PushWithoutPopInBetweenEndsTheLevelWhenTheLinesDroppedBelowIt) {
  Script s = Started();
  s.Push("A.Traced");
  s.Advance(1000);
  s.Text("inside");
  // The routine popped silently (its innermost level was untraced): the next lines stand
  // at depth 0 and a new Push follows at level 0.
  std::string content = s.Content();
  content += tracelines::TimedLine((22 * 3600 + 15 * 60 + 30) * 1000 + 3, 2000, 0, "outside") + "\r\n";
  content += tracelines::TimedLine((22 * 3600 + 15 * 60 + 30) * 1000 + 5, 2000, 0,
                                   tracelines::PushText("A.Next")) + "\r\n";
  const readertest::Result r = readertest::Read({{kFile, content}});

  const readertest::SeenCall* traced = r.Find("A.Traced");
  ASSERT_NE(traced, nullptr);
  EXPECT_EQ(traced->close, CloseKind::kPopMissing);
  EXPECT_EQ(traced->end, At(22, 15, 30, 1000));  // the last line inside it
  EXPECT_EQ(traced->duration, 1000);
  EXPECT_EQ(r.Find("A.Next")->close, CloseKind::kOpenAtEnd);
}

TEST(Nesting, LowerLineFromAnotherThreadBeforeThePopDoesNotEndTheLevel) {
  // A second thread reads the depth after RoutinePop lowered it and writes first.
  Script s = Started();
  s.Push("A.Work");
  s.Advance(1000);
  s.Push("B.Step");
  s.Advance(1000);
  s.Thread(9);
  s.Bare(tracelines::TimedLine((22 * 3600 + 15 * 60 + 30) * 1000 + 2, 100, 1, "monitor"));
  s.Thread(7);
  s.Pop(-1, 0);
  const readertest::Result r = ReadScript(s);

  ASSERT_EQ(r.calls.size(), 2u);
  EXPECT_EQ(r.Find("B.Step")->close, CloseKind::kNormal);
  EXPECT_TRUE(r.Find("B.Step")->pushSeen);
  EXPECT_EQ(r.stats[0].popsMissing + r.stats[0].pushesMissing, 0u);
}

TEST(Nesting, RoutinesStillOpenAtTheEndCloseAtTheLastLineMarkedOpen) {
  Script s = Started();
  s.Push("A.Main");
  s.Advance(2000);
  s.Push("B.Crash");
  s.Advance(3000);
  s.Text("last words");
  const readertest::Result r = ReadScript(s);

  ASSERT_EQ(r.calls.size(), 2u);
  for (const readertest::SeenCall& call : r.calls) {
    SCOPED_TRACE(call.name);
    EXPECT_EQ(call.close, CloseKind::kOpenAtEnd);
    EXPECT_EQ(call.end, At(22, 15, 30, 5000));
  }
  EXPECT_EQ(r.Find("A.Main")->duration, 5000);
  EXPECT_EQ(r.stats[0].leftOpen, 2u);
}

TEST(Nesting, PopLineReplacedByTheSizeLimitNoticeEndsItsLevelsThere) {
  Script s = Started();
  s.Push("A.Outer");
  s.Advance(1000);
  s.Push("B.Inner");
  s.Advance(1000);
  // The Pop of level 1 went out as the notice; the file was replaced after it.
  s.Bare(tracelines::TimedLine((22 * 3600 + 15 * 60 + 30) * 1000 + 2, 1000, 1,
                               "**** Trace terminated because it is too large. ****"));
  s.Bare(tracelines::kSizeNotice);
  s.Advance(1000);
  s.Bare(tracelines::TimedLine((22 * 3600 + 15 * 60 + 30) * 1000 + 3, 1000, 1, "later"));
  const readertest::Result r = ReadScript(s);
  const readertest::SeenCall* inner = r.Find("B.Inner");
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->close, CloseKind::kPopMissing);
  EXPECT_EQ(inner->end, At(22, 15, 30, 2000));
  EXPECT_EQ(r.Find("A.Outer")->close, CloseKind::kOpenAtEnd);
}

TEST(Nesting, NameWithBlanksAndDetailIsMatchedByItsPop) {
  Script s = Started();
  s.Push("My Class.Do  it", "x=1");
  s.Advance(700);
  s.Pop(-1, -1);
  const readertest::Result r = ReadScript(s);
  ASSERT_EQ(r.calls.size(), 1u);
  EXPECT_EQ(r.calls[0].close, CloseKind::kNormal);
  EXPECT_TRUE(r.calls[0].pushSeen);
  EXPECT_EQ(r.calls[0].returnCode, -1);
  EXPECT_EQ(r.calls[0].duration, 700);
}

TEST(Nesting, CallsGoOnTheThreadOfTheirPushAndTextsOnTheirWriter) {
  Script s = Started();
  s.Push("A.Work");
  s.Advance(100);
  s.Thread(9);
  s.Text("from nine");
  s.Advance(100);
  s.Thread(7);
  s.Pop(-1);
  const readertest::Result r = ReadScript(s);
  EXPECT_EQ(r.calls[0].thread, 7u);
  ASSERT_GE(r.texts.size(), 2u);
  EXPECT_EQ(r.texts[1].text, "from nine");
  EXPECT_EQ(r.texts[1].thread, 9u);
  EXPECT_EQ(r.texts[1].depth, 1);
  EXPECT_EQ(r.stats[0].threads, (std::vector<std::uint32_t>{7, 9}));
}

}  // namespace
