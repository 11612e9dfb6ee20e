// call_bins_test.cpp - the timeline's bins: sums that survive every widening, the longest
// call of each bin, calls before the base, the bound on the number of bins.
#include <array>

#include "analyzer/outputs/report/call_bins.h"
#include "support/reader_test.h"

namespace {

using jov::analyzer::CallBins;
using jov::analyzer::Micros;
using jov::analyzer::TimelineCall;

TimelineCall Make(std::uint32_t thread, std::uint32_t depth, Micros start, Micros duration,
                  jov::analyzer::NameId name = 1, std::int64_t code = 0) {
  return TimelineCall{start, duration, thread, depth, name, code, /*flags: has a code*/ 1, {}};
}

// Every widening keeps the sums of each row, and every call at least a bin long exactly.
TEST(CallBins, RowSumsAndLongCallsSurviveEveryWidening) {
  // Six rows of back-to-back calls over 20 s, a long call now and then: the width doubles
  // many times, first for the span, then for the number of bins.
  std::vector<TimelineCall> calls;
  std::uint32_t seed = 12345;
  const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (std::uint32_t row = 0; row < 6; ++row) {
    Micros t = row * 7;
    while (t < 20000000) {
      const Micros duration = next() % 50 == 0 ? 20000 + next() % 30000 : 5 + next() % 120;
      calls.push_back(
          Make(row % 2, row / 2, t, duration, 1 + next() % 4, next() % 40 == 0 ? 3 : 0));
      t += duration + 1 + next() % 20;
    }
  }
  // A few calls come late, as calls held for an unnamed outer level do.
  calls.push_back(Make(0, 0, 3000, 40, 2));
  calls.push_back(Make(1, 2, -50000, 50500, 3, 7));  // started before the base: counts from 0
  CallBins bins;
  std::map<CallBins::RowKey, std::array<std::int64_t, 3>> want;  // cover, count, errors
  for (const TimelineCall& c : calls) {
    bins.Add(c);
    auto& s = want[{c.thread, c.depth}];
    s = {s[0] + c.start + c.duration - std::max<Micros>(c.start, 0), s[1] + 1,
         s[2] + (c.Failed() ? 1 : 0)};
  }
  EXPECT_LE(bins.BinCount(), CallBins::kMaxBins);
  EXPECT_GE(bins.Width(), 256);
  EXPECT_EQ(bins.Width() & (bins.Width() - 1), 0) << "the width is a power of two";
  std::size_t total = 0, longCalls = 0;
  for (const auto& [key, row] : bins.Rows()) {
    SCOPED_TRACE(testing::Message() << "thread " << key.thread << " depth " << key.depth);
    std::array<std::int64_t, 3> got{};
    total += row.size();
    for (std::size_t i = 0; i < row.size(); ++i) {
      EXPECT_TRUE(row[i].index >= (i > 0 ? row[i - 1].index + 1 : 0) &&
                  row[i].index < CallBins::kMaxSpan);
      got = {got[0] + row[i].cover, got[1] + std::int64_t(row[i].count),
             got[2] + std::int64_t(row[i].errors)};
    }
    EXPECT_EQ(got, want[key]);
  }
  EXPECT_EQ(total, bins.BinCount());
  for (const TimelineCall& c : calls) {
    if (c.duration < bins.Width() || c.start < 0) continue;
    ++longCalls;
    const auto& row = bins.Rows().at({c.thread, c.depth});
    EXPECT_TRUE(std::any_of(row.begin(), row.end(),
                            [&](const CallBins::Bin& b) {
                              return b.longest.start == c.start && b.longest.duration == c.duration;
                            }))
        << "call at " << c.start << " of " << c.duration << " us lost";
  }
  EXPECT_GT(longCalls, 100u);
}

TEST(CallBins, ABinIsNamedForTheRoutineThatCoveredMostOfIt) {
  CallBins bins;
  bins.Add(Make(0, 0, 2000000, 1, 9));  // widens the bins to 32 us
  ASSERT_EQ(bins.Width(), 32);
  for (const TimelineCall& call :
       {Make(0, 1, 64, 5, 1), Make(0, 1, 70, 20, 2), Make(0, 1, 91, 2, 3)})
    bins.Add(call);
  const CallBins::Bin& b = bins.Rows().at({0, 1}).front();
  EXPECT_EQ(std::make_tuple(b.index, b.name, b.count, b.cover, b.longest.start),
            std::make_tuple(2, 2u, 3u, 27, 70));
}

}  // namespace
