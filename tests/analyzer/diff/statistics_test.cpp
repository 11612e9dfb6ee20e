// statistics_test.cpp - the diff's statistics against values worked by hand and against the
// coverage its interval promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "analyzer/diff/median_ratio.h"
#include "analyzer/diff/rank_test.h"
#include "analyzer/diff/sample_reservoir.h"

namespace {

using namespace jov::analyzer::diff;

TEST(RankTest, UAndTieCorrectedPAsWorkedByHand) {
  struct Case {
    std::vector<double> first, second;
    double u, p;
  };
  const Case cases[] = {
      // Apart: U = 9 of 9; z = (4.5 - 0.5) / sqrt(5.25).
      {{1, 2, 3}, {4, 5, 6}, 9, 0.080856},
      // Ties: ranks 1 | 3 3 3 | 5.5 5.5, tie term 30, variance 4.5, z = 3 / sqrt(4.5).
      {{1, 2, 2}, {2, 3, 3}, 8, std::erfc(1.0)},
      // All equal: no variance, no evidence.
      {{4, 4, 4}, {4, 4}, 3, 1},
  };
  for (const Case& c : cases) {
    const RankTest test = MannWhitney(c.first, c.second);
    EXPECT_DOUBLE_EQ(test.u, c.u);
    EXPECT_NEAR(test.p, c.p, 1e-6);
  }
}

TEST(RankTest, HolmAndBenjaminiHochbergCorrections) {
  const std::pair<Correction, std::vector<double>> cases[] = {
      {Correction::kHolm, {0.03, 0.06, 0.06, 0.02}},
      {Correction::kBenjaminiHochberg, {0.02, 0.04, 0.04, 0.02}}};
  for (const auto& [correction, expected] : cases) {
    const std::vector<double> adjusted = Corrected({0.01, 0.04, 0.03, 0.005}, correction);
    for (std::size_t j = 0; j < expected.size(); ++j) EXPECT_NEAR(adjusted[j], expected[j], 1e-12);
  }
}

TEST(MedianRatio, IntervalCoversTheTrueRatioAsOftenAsItPromises) {
  // Log-normal samples of 60 and 80 values whose medians differ by 10 %; a 90 % interval
  // should hold 1.1 in about 90 of 100 draws (binomial: 82..96 holds with 99 %).
  std::mt19937 random(42);
  std::lognormal_distribution<double> spread(std::log(1000.0), 0.4);
  int covered = 0;
  for (int draw = 0; draw < 100; ++draw) {
    std::vector<double> base(60), next(80);
    for (double& v : base) v = spread(random);
    for (double& v : next) v = 1.1 * spread(random);
    std::sort(base.begin(), base.end());
    std::sort(next.begin(), next.end());
    const MedianRatio ratio = MedianRatioInterval(base, next, 0.90, 0.5);
    EXPECT_LE(ratio.low, ratio.estimate);
    EXPECT_GE(ratio.high, ratio.estimate);
    covered += ratio.low <= 1.1 && 1.1 <= ratio.high;
  }
  EXPECT_GE(covered, 82);
  EXPECT_LE(covered, 96);
}

TEST(SampleReservoir, KeepsABoundedUniformRepeatableSample) {
  const std::int64_t n = 100000;
  SampleReservoir a(7), b(7);
  for (std::int64_t v = 0; v < n; ++v) {
    a.Add({v, -v});
    b.Add({v, -v});
  }
  ASSERT_EQ(a.Samples().size(), SampleReservoir::kCapacity);
  EXPECT_TRUE(std::equal(
      a.Samples().begin(), a.Samples().end(), b.Samples().begin(),
      [](const CallSample& x, const CallSample& y) { return x.duration == y.duration; }));
  // A uniform sample of 0..n-1 has its mean at n/2 within a few hundred; one kept from the
  // start or the end of the stream would not.
  double sum = 0;
  for (const CallSample& call : a.Samples()) {
    sum += static_cast<double>(call.duration);
    EXPECT_EQ(call.self, -call.duration);  // a call's two times stay together
  }
  EXPECT_NEAR(sum / static_cast<double>(a.Samples().size()), n / 2.0, 2000);
}

}  // namespace
