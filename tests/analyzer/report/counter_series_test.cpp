// counter_series_test.cpp - a counter's samples: all of them while few, then per bin the
// least, greatest and last value of the samples in it.
#include "analyzer/outputs/report/counter_series.h"
#include "support/reader_test.h"

using jov::analyzer::CounterSeries;

TEST(CounterSeries, KeepsEverySampleWhileFewThenTheirRangeAndLastPerBin) {
  CounterSeries series;
  std::vector<std::pair<std::int64_t, std::int64_t>> samples;
  for (std::int64_t i = 0; i < static_cast<std::int64_t>(CounterSeries::kMaxExact) + 5000; ++i) {
    samples.emplace_back(i * 997, (i * 7919) % 100003 - 50000);
    series.Add(samples.back().first, samples.back().second);
    if (samples.size() == CounterSeries::kMaxExact)
      ASSERT_TRUE(series.Exact() && series.Samples() == samples);
  }
  ASSERT_TRUE(!series.Exact() && series.Samples().empty())
      << "past the bound the exact samples are let go";
  std::size_t next = 0;
  for (const CounterSeries::Bin& bin : series.Bins()) {
    SCOPED_TRACE(bin.index);
    EXPECT_LT(bin.index, CounterSeries::kMaxSpan);
    std::int64_t lo = INT64_MAX, hi = INT64_MIN, last = 0;
    for (; next < samples.size() && samples[next].first / series.Width() == bin.index; ++next) {
      lo = std::min(lo, samples[next].second);
      hi = std::max(hi, samples[next].second);
      last = samples[next].second;
    }
    EXPECT_EQ(std::make_tuple(bin.min, bin.max, bin.last), std::make_tuple(lo, hi, last));
  }
  EXPECT_EQ(next, samples.size());
}
