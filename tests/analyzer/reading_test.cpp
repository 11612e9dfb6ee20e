// reading_test.cpp - whole readings of hand-made traces: the routine stack rebuilt from Push
// and Pop lines and indentation (outer pops, missing Pushes and Pops, the end), files put
// back together as traces (chains, wrap dumps, other objects), the clock, counters, texts
// and bad lines. Each case compares everything the sink was told.
#include <gtest/gtest.h>

#include "analyzer/timeline.h"
#include "bench/analyzer/trace_lines.h"
#include "support/reader_harness.h"

namespace {

using readertest::At;
using readertest::Files;
using readertest::Tod;
using tracelines::Script;

constexpr std::int64_t kDay = jovtrace::Timeline::kDay;
constexpr char kFile[] = "261203 221530 app.JOV_Log";

Script Started(int hours = 22, int minutes = 15, int seconds = 30) {
  Script s(2026, 12, 3, At(hours, minutes, seconds) % kDay);
  s.Open(42, 7, "C:\\t\\261203 221530 app.JOV_Log");
  return s;
}

std::string Line(std::int32_t tod, std::int64_t interval, int levels, std::string_view text) {
  return tracelines::TimedLine(tod, interval, levels, text) + "\r\n";
}

struct Case {
  const char* name;
  Files (*files)();
  const char* calls;
  const char* traces;
  const char* notices = "";
  const char* texts = nullptr;  // not compared when null
  const char* counters = nullptr;
  const char* fileOrder = nullptr;
};

class Reading : public testing::TestWithParam<Case> {};

TEST_P(Reading, TellsTheSinkWhatTheTraceHolds) {
  const Case& c = GetParam();
  const readertest::Reading r = readertest::Read(c.files());
  EXPECT_EQ(r.calls, c.calls);
  EXPECT_EQ(r.traces, c.traces);
  EXPECT_EQ(r.notices, c.notices);
  if (c.texts != nullptr) EXPECT_EQ(r.texts, c.texts);
  if (c.counters != nullptr) EXPECT_EQ(r.counters, c.counters);
  if (c.fileOrder != nullptr) EXPECT_EQ(r.files, c.fileOrder);
}

const Case kCases[] = {
    {"nested_calls_take_their_pop_durations",
     +[]() -> Files {
       Script s = Started();
       s.Advance(1000);
       const int open = s.Push("Parser.Open", "file=a.dat");
       s.Advance(2000);
       s.Push("Parser.ReadBlock", "Request=1");
       s.Advance(5000);
       s.Pop(-1, 5);
       s.Advance(1500);
       s.Push("My Class.Do  it", "x=1");  // blanks in the name, matched by its Pop
       s.Advance(2500);
       s.Pop(-1, -1);
       s.Advance(500);
       s.Pop(open);
       return {{kFile, s.Content()}};
     },
     "Parser.Open;Parser.ReadBlock 22:15:30.003000-22:15:30.008000 dur 5000 self 5000 normal rc 5 t7 \"Request=1\"\n"
     "Parser.Open;My Class.Do 22:15:30.009500-22:15:30.012000 dur 2500 self 2500 normal rc -1 t7 \"it  x=1\"\n"
     "Parser.Open 22:15:30.001000-22:15:30.012500 dur 11500 self 4000 normal t7 \"file=a.dat\"\n",
     "app (pid 42): calls 3 outer 0 nopush 0 nopop 0 open 0 skipped 0 resyncs 0 threads 7\n"},
    {"pop_of_an_outer_level_closes_the_inner_ones",
     +[]() -> Files {
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
       return {{kFile, s.Content()}};
     },
     "A.Outer;B.Middle;C.Inner 22:15:30.002000-22:15:30.005000 dur 3000 self 3000 by outer pop t7\n"
     "A.Outer;B.Middle 22:15:30.001000-22:15:30.005000 dur 4000 self 1000 by outer pop t7\n"
     "A.Outer 22:15:30.000000-22:15:30.005000 dur 5000 self 1000 normal rc 0 t7\n",
     "app (pid 42): calls 3 outer 2 nopush 0 nopop 0 open 0 skipped 0 resyncs 0 threads 7\n"},
    {"pop_without_its_push_starts_at_pop_time_less_duration",
     // The oldest lines of a wrap dump: the Pushes of two levels were dropped from the ring.
     +[]() -> Files {
       return {{"dump.JOV_Log",
                tracelines::DateLine(2026, 12, 3) + "\r\n" +
                    Line(Tod(22, 15, 30), 500, 2, "inner text") +
                    Line(Tod(22, 15, 30, 4), 4000, 1, tracelines::PopText("B.Middle", 0, 6000)) +
                    Line(Tod(22, 15, 30, 6), 2000, 0, tracelines::PopText("A.Outer", 3, 9000))}};
     },
     // Never before the trace's first line; the outer level, unnamed when the inner one
     // closed, is named in its path by its own Pop.
     "A.Outer;B.Middle 22:15:30.000000-22:15:30.004000 dur 6000 self 6000 normal rc 0 no push t0\n"
     "A.Outer 22:15:30.000000-22:15:30.006000 dur 9000 self 3000 normal rc 3 no push t0\n",
     "dump: calls 2 outer 0 nopush 2 nopop 0 open 0 skipped 0 resyncs 0 threads 0\n"},
    {"push_without_pop_ends_where_the_lines_dropped_below_it",
     // The routine popped silently (its innermost level was untraced): the next lines stand
     // at depth 0 and a new Push follows at level 0.
     +[]() -> Files {
       Script s = Started();
       s.Push("A.Traced");
       s.Advance(1000);
       s.Text("inside");
       return {{kFile, s.Content() + Line(Tod(22, 15, 30, 3), 2000, 0, "outside") +
                           Line(Tod(22, 15, 30, 5), 2000, 0, tracelines::PushText("A.Next"))}};
     },
     "A.Traced 22:15:30.000000-22:15:30.001000 dur 1000 self 1000 without pop t7\n"
     "A.Next 22:15:30.005000-22:15:30.005000 dur 0 self 0 open t7\n",
     "app (pid 42): calls 2 outer 0 nopush 0 nopop 1 open 1 skipped 0 resyncs 0 threads 7\n"},
    {"lower_line_of_another_thread_before_the_pop_ends_nothing",
     // A second thread reads the depth after RoutinePop lowered it and writes first.
     +[]() -> Files {
       Script s = Started();
       s.Push("A.Work");
       s.Advance(1000);
       s.Push("B.Step");
       s.Advance(1000);
       s.Thread(9);
       s.Bare(tracelines::TimedLine(Tod(22, 15, 30, 2), 100, 1, "monitor"));
       s.Thread(7);
       s.Pop(-1, 0);
       return {{kFile, s.Content()}};
     },
     "A.Work;B.Step 22:15:30.001000-22:15:30.002100 dur 1000 self 1000 normal rc 0 t7\n"
     "A.Work 22:15:30.000000-22:15:30.002100 dur 2100 self 1100 open t7\n",
     "app (pid 42): calls 2 outer 0 nopush 0 nopop 0 open 1 skipped 0 resyncs 0 threads 7,9\n", "",
     "t7 d0 header 22:15:30.000000 \"Trace Started. UserId=tester, ProcessId=42, ThreadId=7, Log File=C:\\t\\261203 221530 app.JOV_Log\"\n"
     "t9 d1 text 22:15:30.001100 \"monitor\"\n"},
    {"routines_open_at_the_end_close_at_the_last_line",
     +[]() -> Files {
       Script s = Started();
       s.Push("A.Main");
       s.Advance(2000);
       s.Push("B.Crash");
       s.Advance(3000);
       s.Text("last words");
       return {{kFile, s.Content()}};
     },
     "A.Main;B.Crash 22:15:30.002000-22:15:30.005000 dur 3000 self 3000 open t7\n"
     "A.Main 22:15:30.000000-22:15:30.005000 dur 5000 self 2000 open t7\n",
     "app (pid 42): calls 2 outer 0 nopush 0 nopop 0 open 2 skipped 0 resyncs 0 threads 7\n"},
    {"pop_replaced_by_the_size_limit_notice_ends_its_levels_there",
     +[]() -> Files {
       Script s = Started();
       s.Push("A.Outer");
       s.Advance(1000);
       s.Push("B.Inner");
       s.Advance(1000);
       // The Pop of level 1 went out as the notice; the file was replaced after it.
       s.Bare(tracelines::TimedLine(Tod(22, 15, 30, 2), 1000, 1,
                                    "**** Trace terminated because it is too large. ****"));
       s.Bare(tracelines::kSizeNotice);
       s.Advance(1000);
       s.Bare(tracelines::TimedLine(Tod(22, 15, 30, 3), 1000, 1, "later"));
       return {{kFile, s.Content()}};
     },
     "A.Outer;B.Inner 22:15:30.001000-22:15:30.002000 dur 1000 self 1000 without pop t7\n"
     "A.Outer 22:15:30.000000-22:15:30.003000 dur 3000 self 2000 open t7\n",
     "app (pid 42): calls 2 outer 0 nopush 0 nopop 1 open 1 skipped 0 resyncs 0 threads 7\n"},
    {"chain_across_the_size_limit_is_one_trace_in_time_order",
     // A routine pushed in the first file is popped in the third; the folders do not
     // follow the time order.
     +[]() -> Files {
       Script s = Started();
       s.Push("A.Long");
       s.Advance(1000);
       s.Text("first file");
       s.Bare(tracelines::kSizeNotice);
       Files files{{"c/261203 221530 app.JOV_Log", s.Content()}};
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
     },
     "A.Long 22:15:30.000000-22:15:30.007000 dur 7000 self 7000 normal rc 0 t7\n",
     "app (pid 42): calls 1 outer 0 nopush 0 nopop 0 open 0 skipped 0 resyncs 0 threads 7\n", "", nullptr, nullptr,
     "c/261203 221530 app.JOV_Log, a/261203 221531 app.JOV_Log, b/261203 221531 app 1.JOV_Log\n"},
    {"files_of_other_objects_and_wrap_dumps_stay_apart",
     +[]() -> Files {
       Files files;
       // Two objects of one process with other names, at overlapping times.
       for (const std::string name : {"one", "two"}) {
         Script s(2026, 12, 3, At(10, 0, 0) % kDay);
         s.Open(42, 7, "C:\\t\\261203 100000 " + name + ".JOV_Log");
         s.Push(name + ".Run");
         s.Advance(500);
         files["261203 100000 " + name + ".JOV_Log"] = s.Content();
       }
       // A wrap dump of the process under the name of a file trace; its saved lines are
       // older than its header: their time comes from the clock, not the intervals.
       Script d(2026, 12, 3, At(10, 0, 1) % kDay);
       d.Open(42, 7, "C:\\t\\261203 100001 one.JOV_Log");
       d.Bare(tracelines::kWrapBanner);
       d.Bare("Reason: test");
       d.Advance(-800000);
       d.Push("W.Saved");
       d.Pop(-1, 0);
       d.Bare(tracelines::kWrapEnd);
       files["261203 100001 one.JOV_Log"] = d.Content();
       return files;
     },
     "one.Run 10:00:00.000000-10:00:00.000000 dur 0 self 0 open t7\n"
     "#1 two.Run 10:00:00.000000-10:00:00.000000 dur 0 self 0 open t7\n"
     "#2 W.Saved 10:00:00.200000-10:00:00.200000 dur 0 self 0 normal rc 0 t0\n",
     "one (pid 42): calls 1 outer 0 nopush 0 nopop 0 open 1 skipped 0 resyncs 0 threads 7\n"
     "two (pid 42): calls 1 outer 0 nopush 0 nopop 0 open 1 skipped 0 resyncs 0 threads 7\n"
     "one (pid 42) wrap dump: calls 1 outer 0 nopush 0 nopop 0 open 0 skipped 0 resyncs 0 threads 7,0 reasons \"Reason: test\"\n"},
    {"midnight_with_a_date_line_keeps_summing_microseconds",
     +[]() -> Files {
       return {{"m.JOV_Log", tracelines::DateLine(2026, 12, 3) + "\r\n" +
                                 Line(Tod(23, 59, 59, 999), 0, 0, "before") +
                                 tracelines::DateLine(2026, 12, 4) + "\r\n" +
                                 Line(Tod(0, 0, 0, 1), 1250, 0, "after")}};
     },
     "",
     "m: calls 0 outer 0 nopush 0 nopop 0 open 0 skipped 0 resyncs 0 threads 0\n", "",
     "t0 d0 text 23:59:59.999000 \"before\"\nt0 d0 text 24:00:00.000250 \"after\"\n"},
    {"counters_take_the_time_of_the_line_written_with_them",
     +[]() -> Files {
       Script s = Started(8, 0, 0);
       s.Advance(3000);
       s.Bare(tracelines::HandleCountLine(17, 0));
       s.Memory(4096, 65536);
       s.Text("allocated");
       s.Text("Virtual memory usage: Free = 1000, Committed = 2000");
       return {{kFile, s.Content()}};
     },
     "",
     "app (pid 42): calls 0 outer 0 nopush 0 nopop 0 open 0 skipped 0 resyncs 0 threads 7\n", "", nullptr,
     "Internal Pool 4096 08:00:00.003000\nProcess Bytes 65536 08:00:00.003000\n"
     "Handle Count 17 08:00:00.003000\nVirtual Committed 2000 08:00:00.003000\n"},
    {"continuation_lines_join_their_text",
     // A carriage return of the text stays; the CR LF it makes still continues the text.
     +[]() -> Files {
       Script s = Started(8, 0, 0);
       s.Push("A.B");
       s.Text("monitor: progress\nqueue length 7\n  indented");
       s.Bare(tracelines::TimedLine(Tod(8, 0, 0), 0, 1, "a\r") + "\n" + std::string(30, ' ') + "b");
       s.Thread(9);
       s.Text("00412A30  48656C6C 6F2C2077 6F726C64          *Hello, world    *");
       return {{kFile, s.Content()}};
     },
     "A.B 08:00:00.000000-08:00:00.000000 dur 0 self 0 open t7\n",
     "app (pid 42): calls 1 outer 0 nopush 0 nopop 0 open 1 skipped 0 resyncs 0 threads 7,9\n", "",
     "t7 d0 header 08:00:00.000000 \"Trace Started. UserId=tester, ProcessId=42, ThreadId=7, Log File=C:\\t\\261203 221530 app.JOV_Log\"\n"
     "t7 d1 text 08:00:00.000000 \"monitor: progress\nqueue length 7\n  indented\"\n"
     "t7 d1 text 08:00:00.000000 \"a\nb\"\n"
     "t9 d1 hex dump 08:00:00.000000 \"00412A30  48656C6C 6F2C2077 6F726C64          *Hello, world    *\"\n"},
    {"bad_lines_are_reported_with_file_and_line_and_the_rest_is_read",
     +[]() -> Files {
       Script s = Started(9, 0, 0);
       s.Bare("22:1x:30.000    1.000 mangled");
       s.Bare("\x01\x02\xfe\xff binary");
       s.Push("A.Run");
       s.Advance(2500);
       s.Pop(-1, 0);
       return {{"f.JOV_Log", s.Content() + "09:00:00.003    0.500 Pop  A.Run Return"}};  // cut off
     },
     "A.Run 09:00:00.000000-09:00:00.002500 dur 2500 self 2500 normal rc 0 t7\n",
     "app (pid 42): calls 1 outer 0 nopush 0 nopop 0 open 0 skipped 4 resyncs 0 threads 7\n",
     "f.JOV_Log:4: mangled time prefix; line skipped\nf.JOV_Log:5: not a trace line; skipped\n"
     "f.JOV_Log:8: last line has no line end (truncated)\nf.JOV_Log:8: Pop line without its duration; skipped\n"},
};

INSTANTIATE_TEST_SUITE_P(All, Reading, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

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

}  // namespace
