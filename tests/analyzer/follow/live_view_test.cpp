// live_view_test.cpp - the live model's window (slices that expire, a reset, the 95th
// percentile across slices) and the screen's order of open calls: what the tmux test
// cannot pin down with a writer whose timing it does not control.
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "analyzer/follow/live_model.h"
#include "analyzer/follow/screen_view.h"

namespace jov::analyzer {
namespace {

constexpr Micros kSecond = 1000000;
constexpr Micros kNow = 1000 * kSecond;

Call CallAt(NameId name, Micros end, Micros duration, long code = 0) {
  Call call;
  call.name = name;
  call.end = end;
  call.start = end - duration;
  call.duration = duration;
  call.hasReturnCode = code != 0;
  call.returnCode = code;
  return call;
}

TEST(LiveModel, WindowCountsOnlyRecentCallsAndResetStartsItAgain) {
  // Events in arrival order: a call that ended so many seconds before now, or (kReset) the
  // r key at the time of the call before it.
  constexpr Micros kReset = -1;
  struct Case {
    const char* what;
    std::vector<Micros> events;
    std::uint64_t windowCalls;
    std::uint64_t calls;
  };
  const Case cases[] = {
      {"all recent", {9, 2, 1}, 3, 3},
      {"older than the window", {30, 12, 11, 1}, 1, 4},
      {"a reset drops what ended before it", {8, 5, kReset, 3}, 1, 3},
      {"a reset keeps what comes after it", {8, kReset, 5, 3}, 2, 3},
  };
  for (const Case& c : cases) {
    LiveModel model(10 * kSecond);
    Micros last = 0;
    for (const Micros ago : c.events) {
      if (ago == kReset) {
        model.ResetWindow(kNow - last * kSecond + 1);
        continue;
      }
      model.OnCall(CallAt(1, kNow - ago * kSecond, 1000));
      last = ago;
    }
    const std::vector<LiveRoutine> rows = model.Routines(kNow);
    ASSERT_EQ(rows.size(), 1u) << c.what;
    EXPECT_EQ(rows[0].window.calls, c.windowCalls) << c.what;
    EXPECT_EQ(rows[0].calls, c.calls) << c.what;
  }
}

TEST(LiveModel, WindowFiguresMergeTheSlices) {
  LiveModel model(10 * kSecond);
  // 100 calls of 1..100 ms spread over the whole window; every tenth returns 5.
  for (int i = 1; i <= 100; ++i)
    model.OnCall(CallAt(3, kNow - (i % 10) * kSecond, i * 1000, i % 10 == 0 ? 5 : 0));
  const LiveRoutine row = model.Routines(kNow).at(0);
  // The 95th of 100 is 95 ms, in the bucket 94208..95231 µs (1/64 of its octave): its middle.
  EXPECT_EQ(
      std::make_tuple(row.window.calls, row.window.errors, row.window.Mean(), row.window.P95()),
      std::make_tuple(std::uint64_t{100}, std::uint64_t{10}, 50500.0, Micros{94719}));
}

TEST(Screen, ThreadOpenLongestLeadsWhateverItsId) {
  NameTable names;
  // Thread 100 opened the stack's outermost level; thread 7 came later, two levels deep.
  const std::vector<OpenLevel> open = {
      {names.Intern("Service.Wait"), kNow - 90 * kSecond, 100, true},
      {names.Intern("Batch.Step"), kNow - 2 * kSecond, 7, true},
      {names.Intern("Io.Read"), kNow - kSecond / 2, 7, true}};
  LiveModel model(10 * kSecond);
  LiveStatus status;
  status.now = kNow;
  const std::vector<ScreenLine> lines = BuildScreen(model, names, open, status, {}, 100, 40);
  const auto title = std::find_if(lines.begin(), lines.end(), [](const ScreenLine& line) {
    return line.text.rfind("OPEN CALLS", 0) == 0;
  });
  ASSERT_LT(title + 4, lines.end());
  EXPECT_EQ(title[2].text, "       100      0:01:30  Service.Wait");
  EXPECT_EQ(title[3].text, "         7      2.000 s  Batch.Step");
  EXPECT_EQ(title[4].text, "               500.0 ms    Io.Read");
}

}  // namespace
}  // namespace jov::analyzer
