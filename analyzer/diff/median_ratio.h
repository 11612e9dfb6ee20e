// median_ratio.h - a confidence interval for the ratio of two medians (new / base) from the
// exact bootstrap: the distribution of a resample's median is computed, not drawn, so the
// interval needs no seed and no resampling time.
#pragma once

#include <vector>

namespace jov::analyzer::diff {

struct MedianRatio {
  double estimate = 1;  // median of new / median of base
  double low = 1;       // the interval's bounds
  double high = 1;
};

// The median is the nearest-rank one (the ceil(n/2)-th value). Values below `floor` count as
// `floor`, so that a ratio exists for durations under the clock's resolution. Both samples
// must be sorted ascending and non-empty; `confidence` is in (0, 1), e.g. 0.99.
MedianRatio MedianRatioInterval(const std::vector<double>& base, const std::vector<double>& next,
                                double confidence, double floor);

// The nearest-rank median of a sorted, non-empty sample.
double SortedMedian(const std::vector<double>& sorted);

}  // namespace jov::analyzer::diff
