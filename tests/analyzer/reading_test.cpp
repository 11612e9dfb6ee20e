// reading_test.cpp - whole readings of hand-made traces: the routine stack rebuilt from Push
// and Pop lines and indentation (outer pops, missing Pushes and Pops, the end), files put
// back together as traces (chains, wrap dumps, other objects), the clock, counters, texts
// and bad lines. Each case compares everything the sink was told.
#include "support/reader_test.h"
#include "trace/trace_format.h"

namespace {

constexpr char kHeader[] =
    "t7 d0 header 0 \"Trace Started. UserId=tester, ProcessId=42, ThreadId=7, Log "
    "File=C:\\t\\261203 221530 app.JOV_Log\"\n";
const std::string kSizeNotice = std::string("bare ") + jov::trace::format::kSizeNotice;

struct Case {
  const char* name;
  std::string steps;  // see readertest::Play
  const char* calls;
  const char* traces;
  const char* notices = "";
  std::string texts = "-";         // not compared when "-"
  const char* counters = nullptr;  // not compared when null
};

class Reading : public testing::TestWithParam<Case> {};

TEST_P(Reading, TellsTheSinkWhatTheTraceHolds) {
  const Case& c = GetParam();
  // On the calling thread, and in blocks of a few lines parsed by three threads: the blocks'
  // seams fall everywhere, and the reading must not change.
  jov::analyzer::ParseOptions threaded;
  threaded.block = 37;
  threaded.threads = 3;
  for (const jov::analyzer::ParseOptions& parse : {jov::analyzer::ParseOptions(), threaded}) {
    SCOPED_TRACE(parse.threads);
    const readertest::Reading r =
        readertest::Read(readertest::Play(c.steps), nullptr, nullptr, parse);
    EXPECT_EQ(r.calls, c.calls);
    EXPECT_EQ(r.traces, c.traces);
    EXPECT_EQ(r.notices, c.notices);
    if (c.texts != "-") EXPECT_EQ(r.texts, c.texts);
    if (c.counters != nullptr) EXPECT_EQ(r.counters, c.counters);
  }
}

const Case kCases[] = {
    {"nested_calls_take_their_pop_durations",  // blanks in a name, matched by its Pop
     "+1000|push Parser.Open/file=a.dat|+2000|push Parser.ReadBlock/Request=1|+5000|pop -1 5|+1500|"
     "push My Class.Do  it/x=1|+2500|pop -1 -1|+500|pop 0",
     "Parser.Open;Parser.ReadBlock 3000-8000 dur 5000 self 5000 rc 5 t7 \"Request=1\"\n"
     "Parser.Open;My Class.Do 9500-12000 dur 2500 self 2500 rc -1 t7 \"it  x=1\"\n"
     "Parser.Open 1000-12500 dur 11500 self 4000 t7 \"file=a.dat\"\n",
     "app (pid 42): calls 3 threads 7\n"},
    {"pop_of_an_outer_level_closes_the_inner_ones",  // as the library pops them with it
     "push A.Outer|+1000|push B.Middle|+1000|push C.Inner|+3000|pop 0 0|+1000|text after",
     "A.Outer;B.Middle;C.Inner 2000-5000 dur 3000 self 3000 by outer pop t7\n"
     "A.Outer;B.Middle 1000-5000 dur 4000 self 1000 by outer pop t7\n"
     "A.Outer 0-5000 dur 5000 self 1000 rc 0 t7\n",
     "app (pid 42): calls 3 outer 2 threads 7\n"},
    // The oldest lines of a wrap dump: the Pushes of two levels were dropped from the ring.
    // Never before the trace's first line; the outer level is named by its own Pop.
    {"pop_without_its_push_starts_at_pop_time_less_duration",
     "raw dump.JOV_Log|date 3|bare 22:15:30.000    0.500         inner text|"
     "bare 22:15:30.004    4.000     Pop  B.Middle Return Code=0  Dur=6.000 msecs|"
     "bare 22:15:30.006    2.000 Pop  A.Outer Return Code=3  Dur=9.000 msecs",
     "A.Outer;B.Middle 0-4000 dur 6000 self 6000 rc 0 no push t0\nA.Outer 0-6000 dur 9000 self "
     "3000 rc 3 no push t0\n",
     "dump: calls 2 nopush 2 threads 0\n"},
    // The routine popped silently (its innermost level was untraced): the next lines stand
    // at depth 0 and a new Push follows at level 0.
    {"push_without_pop_ends_where_the_lines_dropped_below_it",
     "push A.Traced|+1000|text inside|bare 22:15:30.003    2.000 outside|bare 22:15:30.005    "
     "2.000 Push A.Next",
     "A.Traced 0-1000 dur 1000 self 1000 without pop t7\nA.Next 5000-5000 dur 0 self 0 open t7\n",
     "app (pid 42): calls 2 nopop 1 open 1 threads 7\n"},
    {"lower_line_of_another_thread_before_the_pop_ends_nothing",  // it read the depth first
     "push A.Work|+1000|push B.Step|+1000|thread 9|bare 22:15:30.002    0.100     monitor|thread "
     "7|pop -1 0",
     "A.Work;B.Step 1000-2100 dur 1000 self 1000 rc 0 t7\nA.Work 0-2100 dur 2100 self 1100 open "
     "t7\n",
     "app (pid 42): calls 2 open 1 threads 7,9\n", "",
     std::string(kHeader) + "t9 d1 text 1100 \"monitor\"\n"},
    {"notice_replacing_a_lower_line_of_another_thread_ends_nothing",  // no call read twice
     "push A.Work|+1000|push B.Step|+1000|thread 9|bare 22:15:30.002    0.100     **** Trace "
     "terminated because it is too large. ****|thread 7|pop -1 0",
     "A.Work;B.Step 1000-2100 dur 1000 self 1000 rc 0 t7\nA.Work 0-2100 dur 2100 self 1100 open "
     "t7\n",
     "app (pid 42): calls 2 open 1 threads 7,9\n"},
    {"pop_replaced_by_the_size_limit_notice_ends_its_levels_there",  // the file was replaced after
                                                                     // it
     "push A.Outer|+1000|push B.Inner|+1000|"
     "bare 22:15:30.002    1.000     **** Trace terminated because it is too large. ****|" +
         kSizeNotice + "|+1000|bare 22:15:30.003    1.000     later",
     "A.Outer;B.Inner 1000-2000 dur 1000 self 1000 without pop t7\nA.Outer 0-3000 dur 3000 self "
     "2000 open t7\n",
     "app (pid 42): calls 2 nopop 1 open 1 threads 7\n"},
    // A routine pushed in the first file is popped in the third; the folders do not follow
    // the time order.
    {"chain_across_the_size_limit_is_one_trace_in_time_order",
     "file c/261203 221530 app.JOV_Log|push A.Long|+1000|text first file|" + kSizeNotice +
         "|+2000|file a/261203 221531 app.JOV_Log|+1000|text second file|" + kSizeNotice +
         "|+2000|file b/261203 221531 app 1.JOV_Log|+1000|pop -1 0|text Trace Closed.",
     "A.Long 0-7000 dur 7000 self 7000 rc 0 t7\n",
     "app (pid 42): calls 1 threads 7 files c/261203 221530 app.JOV_Log, a/261203 221531 "
     "app.JOV_Log, b/261203 221531 app 1.JOV_Log\n"},
    // Two objects of one process at overlapping times; a wrap dump of the process under the
    // name of a file trace, its saved lines older than its header: timed by the clock.
    {"files_of_other_objects_and_wrap_dumps_stay_apart",
     "file 261203 221530 one.JOV_Log|push one.Run|+500|new|file 261203 221530 two.JOV_Log|"
     "push two.Run|+500|new|+1000000|file 261203 221531 one.JOV_Log|"
     "bare ---- Wrap trace of saved events.|bare Reason: test|+-800000|push W.Saved|pop -1 0|"
     "bare ---- End of wrap trace.",
     "one.Run 0-0 dur 0 self 0 open t7\n#1 two.Run 0-0 dur 0 self 0 open t7\n#2 W.Saved "
     "200000-200000 dur 0 self 0 rc 0 t0\n",
     "one (pid 42): calls 1 open 1 threads 7\ntwo (pid 42): calls 1 open 1 threads 7\n"
     "one (pid 42) wrap dump: calls 1 threads 7,0 reasons \"Reason: test\"\n"},
    {"midnight_with_a_date_line_keeps_summing_microseconds",
     "raw m.JOV_Log|date 3|bare 23:59:59.999    0.000 before|date 4|bare 00:00:00.001    1.250 "
     "after",
     "", "m: calls 0 threads 0\n", "",
     "t0 d0 text 6269999000 \"before\"\nt0 d0 text 6270000250 \"after\"\n"},
    // Intervals may lead the clock's whole millisecond by up to 1 ms plus the tolerance; a
    // clock 5 s ahead resyncs, one set back reorders nothing, midnight without a date line.
    {"clock_sums_intervals_and_resyncs_where_they_disagree",
     "raw c.JOV_Log|date 3|bare 22:15:30.000    0.000 a|bare 22:15:30.001    1.500 b|"
     "bare 22:15:30.001  100.400 c|bare 22:15:35.000    0.100 d|bare 22:15:34.000    0.100 e|"
     "bare 23:59:59.999    0.000 f|bare 00:00:00.001    2.000 g",
     "", "c: calls 0 resyncs 3 threads 0\n", "",
     "t0 d0 text 0 \"a\"\nt0 d0 text 1500 \"b\"\nt0 d0 text 101900 \"c\"\nt0 d0 text 5000000 "
     "\"d\"\n"
     "t0 d0 text 5000000 \"e\"\nt0 d0 text 6269999000 \"f\"\nt0 d0 text 6270001000 \"g\"\n"},
    {"counters_take_the_time_of_the_line_written_with_them",
     "+3000|bare ...Process Handle Count=17, ErrorCode=0.|mem 4096 65536|text allocated|"
     "text Virtual memory usage: Free = 1000, Committed = 2000",
     "", "app (pid 42): calls 0 threads 7\n", "", "-",
     "Internal Pool 4096 3000\nProcess Bytes 65536 3000\nHandle Count 17 3000\nVirtual Committed "
     "2000 3000\n"},
    {"continuation_lines_join_their_text",  // a CR of the text stays; its CR LF still continues
     "push A.B|text monitor: progress\nqueue length 7\n  indented|bare 22:15:30.000    0.000     "
     "a\r\n                              b|"
     "thread 9|text 00412A30  48656C6C 6F2C2077 6F726C64          *Hello, world    *",
     "A.B 0-0 dur 0 self 0 open t7\n", "app (pid 42): calls 1 open 1 threads 7,9\n", "",
     std::string(kHeader) +
         "t7 d1 text 0 \"monitor: progress\nqueue length 7\n  indented\"\nt7 d1 text 0 \"a\nb\"\n"
         "t9 d1 hex dump 0 \"00412A30  48656C6C 6F2C2077 6F726C64          *Hello, world    *\"\n"},
    {"bad_lines_are_reported_with_file_and_line_and_the_rest_is_read",
     "file f.JOV_Log|bare 22:1x:30.000    1.000 mangled|bare \x01\x02\xfe\xff binary|push "
     "A.Run|+2500|pop -1 0|"
     "cut 22:15:30.003    0.500 Pop  A.Run Return",
     "A.Run 0-2500 dur 2500 self 2500 rc 0 t7\n", "f (pid 42): calls 1 skipped 4 threads 7\n",
     "f.JOV_Log:4: mangled time prefix; line skipped\nf.JOV_Log:5: not a trace line; skipped\n"
     "f.JOV_Log:8: last line has no line end (truncated)\nf.JOV_Log:8: Pop line without its "
     "duration; skipped\n"},
};

INSTANTIATE_TEST_SUITE_P(All, Reading, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
