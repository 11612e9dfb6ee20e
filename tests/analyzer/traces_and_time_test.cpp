// traces_and_time_test.cpp - files put back together as traces (chains across the size
// limit in any order, wrap dumps, traces of other objects kept apart) and the microsecond
// timeline with its resynchronisation on the clock.
#include <gtest/gtest.h>

#include "analyzer/timeline.h"
#include "support/reader_harness.h"
#include "bench/analyzer/trace_lines.h"

namespace {

using readertest::At;
using tracelines::Script;

constexpr std::int64_t kDay = jovtrace::Timeline::kDay;

std::int32_t Tod(int h, int m, int s, int ms = 0) { return ((h * 60 + m) * 60 + s) * 1000 + ms; }

// A chain of three files: a routine pushed in the first is popped in the third.
std::map<std::string, std::string> Chain() {
  Script s(2026, 12, 3, At(22, 15, 30) % kDay);
  s.Open(42, 7, "C:\\t\\261203 221530 app.JOV_Log");
  s.Push("A.Long");
  s.Advance(1000);
  s.Text("first file");
  s.Bare(tracelines::kSizeNotice);
  std::map<std::string, std::string> files;
  files["c/261203 221530 app.JOV_Log"] = s.Content();
  s.Clear();
  s.Advance(2000);
  s.Open(42, 7, "C:\\t\\261203 221531 app.JOV_Log");
  s.Advance(1000);
  s.Text("second file");
  s.Bare(tracelines::kSizeNotice);
  files["a/261203 221531 app.JOV_Log"] = s.Content();
  s.Clear();
  s.Advance(2000);
  s.Open(42, 7, "C:\\t\\261203 221531 app 1.JOV_Log");
  s.Advance(1000);
  s.Pop(-1, 0);
  s.Text("Trace Closed.");
  files["b/261203 221531 app 1.JOV_Log"] = s.Content();
  return files;
}

TEST(Traces, ChainAcrossTheSizeLimitIsReadInTimeOrderAsOneTrace) {
  const readertest::Result r = readertest::Read(Chain());
  ASSERT_EQ(r.traces.size(), 1u);
  EXPECT_EQ(r.traces[0].files,
            (std::vector<std::string>{"c/261203 221530 app.JOV_Log", "a/261203 221531 app.JOV_Log",
                                      "b/261203 221531 app 1.JOV_Log"}));
  EXPECT_EQ(r.traces[0].label, "app (pid 42)");
  ASSERT_EQ(r.calls.size(), 1u);
  EXPECT_EQ(r.calls[0].close, jovtrace::CloseKind::kNormal);
  EXPECT_TRUE(r.calls[0].pushSeen);
  EXPECT_EQ(r.calls[0].duration, 7000);
  EXPECT_EQ(r.calls[0].start, At(22, 15, 30));
  EXPECT_EQ(r.stats[0].clockResyncs, 0u);
}

TEST(Traces, FilesOfOtherObjectsAndWrapDumpsStayApart) {
  std::map<std::string, std::string> files;
  // Two objects of one process with other names, at overlapping times.
  for (const char* name : {"one", "two"}) {
    Script s(2026, 12, 3, At(10, 0, 0) % kDay);
    s.Open(42, 7, std::string("C:\\t\\261203 100000 ") + name + ".JOV_Log");
    s.Push(std::string(name) + ".Run");
    s.Advance(500);
    files[std::string("261203 100000 ") + name + ".JOV_Log"] = s.Content();
  }
  // A wrap dump of the process, under the same name as a file trace.
  Script d(2026, 12, 3, At(10, 0, 1) % kDay);
  d.Open(42, 7, "C:\\t\\261203 100001 one.JOV_Log");
  d.Bare(tracelines::kWrapBanner);
  d.Bare("Reason: test");
  d.Advance(-800000);
  d.Push("W.Saved");
  d.Pop(-1, 0);
  d.Bare(tracelines::kWrapEnd);
  files["261203 100001 one.JOV_Log"] = d.Content();

  const readertest::Result r = readertest::Read(files);
  ASSERT_EQ(r.traces.size(), 3u);
  EXPECT_EQ(r.traces[2].label, "one (pid 42) wrap dump");
  EXPECT_TRUE(r.traces[2].wrapDump);
  EXPECT_EQ(r.stats[2].wrapReasons, (std::vector<std::string>{"Reason: test"}));
  // Each trace has its own stack: the open routine of one is not closed by another.
  for (const readertest::SeenCall& call : r.calls) {
    SCOPED_TRACE(call.name);
    EXPECT_EQ(call.path, call.name);
    EXPECT_EQ(call.trace, call.name == "W.Saved" ? 2 : (call.name == "one.Run" ? 0 : 1));
  }
  // The saved lines are older than the dump's header: the clock, not the intervals.
  EXPECT_EQ(r.Find("W.Saved")->end, At(10, 0, 0, 200000));
}

TEST(Timeline, SumsIntervalsWithinTheClockAndResynchronisesWhereTheyDisagree) {
  jovtrace::Timeline t;
  t.SetDate(100);
  EXPECT_EQ(t.Advance(Tod(10, 0, 0, 5), 999), 100 * kDay + Tod(10, 0, 0, 5) * 1000LL);
  // 1.5 ms later by the intervals, the clock agrees.
  EXPECT_EQ(t.Advance(Tod(10, 0, 0, 6), 1500), 100 * kDay + Tod(10, 0, 0, 5) * 1000LL + 1500);
  EXPECT_EQ(t.Resyncs(), 0u);
  // The clock jumped 5 s ahead of the intervals.
  EXPECT_EQ(t.Advance(Tod(10, 0, 5, 0), 100), 100 * kDay + Tod(10, 0, 5, 0) * 1000LL);
  EXPECT_EQ(t.Resyncs(), 1u);
  // A clock set back does not reorder the lines.
  const jovtrace::Micros before = t.Last();
  EXPECT_EQ(t.Advance(Tod(9, 0, 0, 0), 100), before);
  // Midnight without a date line: the clock went back by more than 12 hours.
  t.Advance(Tod(23, 59, 59, 999), 0);
  EXPECT_EQ(t.Advance(Tod(0, 0, 0, 1), 2000), 101 * kDay + 1000);
  // With a date line the day comes from it, not from the jump.
  t.SetDate(300);
  t.Break();
  EXPECT_EQ(t.Advance(Tod(0, 0, 1, 0), 5), 300 * kDay + 1000000);
}

TEST(Timeline, MidnightWithDateLineKeepsSummingMicroseconds) {
  std::string content = tracelines::DateLine(2026, 12, 3) + "\r\n";
  content += tracelines::TimedLine(Tod(23, 59, 59, 999), 0, 0, "before") + "\r\n";
  content += tracelines::DateLine(2026, 12, 4) + "\r\n";
  content += tracelines::TimedLine(Tod(0, 0, 0, 1), 1250, 0, "after") + "\r\n";
  const readertest::Result r = readertest::Read({{"m.JOV_Log", content}});
  ASSERT_EQ(r.texts.size(), 2u);
  EXPECT_EQ(r.texts[1].time - r.texts[0].time, 1250);
  EXPECT_EQ(r.stats[0].clockResyncs, 0u);
}

TEST(Traces, MemoryAndHandleLinesTakeTheTimeOfTheLineWrittenWithThem) {
  Script s(2026, 12, 3, At(8, 0, 0) % kDay);
  s.Open(1, 2, "x.JOV_Log");
  s.Advance(3000);
  s.Bare(tracelines::HandleCountLine(17, 0));
  s.Memory(4096, 65536);
  s.Text("allocated");
  const readertest::Result r = readertest::Read({{"x.JOV_Log", s.Content()}});
  ASSERT_EQ(r.counters.size(), 3u);
  for (const jovtrace::CounterSample& sample : r.counters) EXPECT_EQ(sample.time, At(8, 0, 0, 3000));
  EXPECT_EQ(r.counters[0].kind, jovtrace::CounterKind::kInternalPool);
  EXPECT_EQ(r.counters[0].value, 4096);
  EXPECT_EQ(r.counters[1].value, 65536);
  EXPECT_EQ(r.counters[2].kind, jovtrace::CounterKind::kHandleCount);
  EXPECT_EQ(r.counters[2].value, 17);
}

TEST(Traces, ContinuationLinesJoinTheTextTheyBelongTo) {
  Script s(2026, 12, 3, At(8, 0, 0) % kDay);
  s.Open(1, 2, "x.JOV_Log");
  s.Push("A.B");
  s.Text("monitor: progress\nqueue length 7\n  indented");
  s.Bare(tracelines::TimedLine(Tod(8, 0, 0), 0, 1, "a\r") + "\n" + std::string(30, ' ') + "b");
  const readertest::Result r = readertest::Read({{"x.JOV_Log", s.Content()}});
  ASSERT_EQ(r.texts.size(), 3u);
  EXPECT_EQ(r.texts[1].text, "monitor: progress\nqueue length 7\n  indented");
  // A carriage return of the text stays; the CR LF it makes still continues the text.
  EXPECT_EQ(r.texts[2].text, "a\nb");
  EXPECT_TRUE(r.notices.empty());
}

}  // namespace
