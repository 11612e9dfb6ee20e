// median_ratio.cpp - a resample of n values has its median at or below the j-th smallest value
// when at least k = ceil(n/2) of its draws are, a binomial tail: P = I_{j/n}(k, n - k + 1).
// The ratio of the two independent resampled medians then has the distribution
// P(R <= r) = sum over base values b of P(base* = b) P(new* <= r b), whose quantiles are found
// by bisection. The interval is that distribution's central `confidence` part (the percentile
// bootstrap), without any drawing.
#include "analyzer/diff/median_ratio.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace jov::analyzer::diff {
namespace {

// The continued fraction of the incomplete beta function (modified Lentz).
double BetaFraction(double a, double b, double x) {
  constexpr double kTiny = 1e-300;
  double c = 1, d = 1 - (a + b) * x / (a + 1);
  if (std::fabs(d) < kTiny) d = kTiny;
  d = 1 / d;
  double h = d;
  for (int m = 1; m <= 10000; ++m) {
    const double m2 = 2.0 * m;
    double aa = m * (b - m) * x / ((a + m2 - 1) * (a + m2));
    d = 1 + aa * d;
    c = 1 + aa / c;
    d = 1 / (std::fabs(d) < kTiny ? kTiny : d);
    c = std::fabs(c) < kTiny ? kTiny : c;
    h *= d * c;
    aa = -(a + m) * (a + b + m) * x / ((a + m2) * (a + m2 + 1));
    d = 1 + aa * d;
    c = 1 + aa / c;
    d = 1 / (std::fabs(d) < kTiny ? kTiny : d);
    c = std::fabs(c) < kTiny ? kTiny : c;
    const double step = d * c;
    h *= step;
    if (std::fabs(step - 1) < 1e-15) break;
  }
  return h;
}

// The regularised incomplete beta function I_x(a, b).
double RegularisedBeta(double a, double b, double x) {
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) +
                                a * std::log(x) + b * std::log1p(-x));
  if (x < (a + 1) / (a + b + 2)) return front * BetaFraction(a, b, x) / a;
  return 1 - front * BetaFraction(b, a, 1 - x) / b;
}

// Values with the probability that a resample's median is that value, ascending; values of
// no weight left out.
std::vector<std::pair<double, double>> MedianDistribution(const std::vector<double>& sorted,
                                                          double floor) {
  const std::size_t n = sorted.size();
  const double k = std::ceil(static_cast<double>(n) / 2);
  // The resampled median lies within 8 standard deviations (sqrt(n) / 2 ranks each) of the
  // middle but for a probability far below what the interval can show: only those ranks are
  // weighed, which spares most of the beta functions of a large sample.
  const double reach = 4 * std::sqrt(static_cast<double>(n)) + 1;
  const auto first = static_cast<std::size_t>(std::max(1.0, static_cast<double>(n) / 2 - reach));
  const auto last = static_cast<std::size_t>(
      std::min(static_cast<double>(n), std::ceil(static_cast<double>(n) / 2 + reach)));
  std::vector<std::pair<double, double>> mass;
  double below = 0;  // P(median* <= the previous value weighed)
  for (std::size_t j = first; j <= last; ++j) {
    // Equal values form one point: its tail is that of the last of them.
    if (j < last && sorted[j] == sorted[j - 1]) continue;
    const double atOrBelow = j == last
                                 ? 1.0
                                 : RegularisedBeta(k, static_cast<double>(n) - k + 1,
                                                   static_cast<double>(j) / static_cast<double>(n));
    const double p = atOrBelow - below;
    below = atOrBelow;
    if (p > 1e-15) mass.emplace_back(std::max(sorted[j - 1], floor), p);
  }
  return mass;
}

}  // namespace

double SortedMedian(const std::vector<double>& sorted) { return sorted[(sorted.size() - 1) / 2]; }

MedianRatio MedianRatioInterval(const std::vector<double>& base, const std::vector<double>& next,
                                double confidence, double floor) {
  MedianRatio result;
  result.estimate = std::max(SortedMedian(next), floor) / std::max(SortedMedian(base), floor);
  const auto baseMass = MedianDistribution(base, floor);
  const auto nextMass = MedianDistribution(next, floor);
  std::vector<double> nextValues, nextCumulative;
  double sum = 0;
  for (const auto& [value, p] : nextMass) {
    nextValues.push_back(value);
    nextCumulative.push_back(sum += p);
  }
  auto cdf = [&](double ratio) {
    double total = 0;
    for (const auto& [value, p] : baseMass) {
      const auto at = std::upper_bound(nextValues.begin(), nextValues.end(), ratio * value);
      if (at != nextValues.begin()) total += p * nextCumulative[at - nextValues.begin() - 1];
    }
    return total;
  };
  // The smallest ratio whose probability reaches q, by bisection on its logarithm between the
  // smallest and the largest ratio the two distributions can give.
  auto quantile = [&](double q) {
    double lo = std::log(nextValues.front() / baseMass.back().first);
    double hi = std::log(nextValues.back() / baseMass.front().first);
    if (cdf(std::exp(lo)) >= q) return std::exp(lo);
    for (int step = 0; step < 64 && hi - lo > 1e-12; ++step) {
      const double mid = (lo + hi) / 2;
      (cdf(std::exp(mid)) >= q ? hi : lo) = mid;
    }
    return std::exp(hi);
  };
  const double tail = (1 - confidence) / 2;
  result.low = quantile(tail);
  result.high = quantile(1 - tail);
  return result;
}

}  // namespace jov::analyzer::diff
