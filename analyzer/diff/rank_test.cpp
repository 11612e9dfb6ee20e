// rank_test.cpp - U from the rank sum of the second sample, walked in one merge of the two
// sorted samples; each group of equal values gets its mean rank and adds to the tie term.
#include "analyzer/diff/rank_test.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace jov::analyzer::diff {

RankTest MannWhitney(const std::vector<double>& first, const std::vector<double>& second) {
  RankTest result;
  const double m = static_cast<double>(first.size());
  const double n = static_cast<double>(second.size());
  const double all = m + n;
  double rankSum = 0;  // of the second sample
  double ties = 0;     // sum of t^3 - t over groups of equal values
  std::size_t i = 0, j = 0;
  double rank = 1;  // rank of the next value
  while (i < first.size() || j < second.size()) {
    const double value =
        j == second.size() || (i < first.size() && first[i] < second[j]) ? first[i] : second[j];
    std::size_t inFirst = 0, inSecond = 0;
    while (i < first.size() && first[i] == value) ++i, ++inFirst;
    while (j < second.size() && second[j] == value) ++j, ++inSecond;
    const double t = static_cast<double>(inFirst + inSecond);
    rankSum += static_cast<double>(inSecond) * (rank + (t - 1) / 2);
    ties += t * t * t - t;
    rank += t;
  }
  result.u = rankSum - n * (n + 1) / 2;
  if (m == 0 || n == 0) return result;
  const double variance = m * n / 12 * ((all + 1) - ties / (all * (all - 1)));
  if (variance <= 0) return result;
  const double centred = result.u - m * n / 2;
  // Continuity correction: half a step towards the centre, never past it.
  const double corrected = std::copysign(std::max(std::fabs(centred) - 0.5, 0.0), centred);
  result.z = corrected / std::sqrt(variance);
  result.p = std::min(1.0, std::erfc(std::fabs(result.z) / std::sqrt(2.0)));
  return result;
}

bool ParseCorrection(const std::string& text, Correction& correction) {
  if (text == "holm") {
    correction = Correction::kHolm;
  } else if (text == "bh") {
    correction = Correction::kBenjaminiHochberg;
  } else {
    return false;
  }
  return true;
}

const char* CorrectionName(Correction correction) {
  return correction == Correction::kHolm ? "holm" : "bh";
}

std::vector<double> Corrected(const std::vector<double>& p, Correction correction) {
  const std::size_t k = p.size();
  std::vector<std::size_t> order(k);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return p[a] < p[b]; });
  std::vector<double> adjusted(k);
  if (correction == Correction::kHolm) {
    double running = 0;  // adjusted values never decrease along the sorted order
    for (std::size_t r = 0; r < k; ++r) {
      running = std::max(running, std::min(1.0, static_cast<double>(k - r) * p[order[r]]));
      adjusted[order[r]] = running;
    }
  } else {
    double running = 1;  // nor increase when walked from the largest
    for (std::size_t r = k; r-- > 0;) {
      running =
          std::min(running, static_cast<double>(k) / static_cast<double>(r + 1) * p[order[r]]);
      adjusted[order[r]] = std::min(1.0, running);
    }
  }
  return adjusted;
}

}  // namespace jov::analyzer::diff
