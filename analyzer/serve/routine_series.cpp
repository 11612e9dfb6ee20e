// routine_series.cpp - a call added to the summary's figures and to its histogram bucket.
#include "analyzer/serve/routine_series.h"

#include <algorithm>

namespace jov::analyzer::serve {

void RoutineSeries::Add(const Call& call, const BucketBounds& bounds) {
  figures_.Add(call);
  // A bucket counts the durations up to and including its bound (Prometheus's "le").
  const auto at = std::lower_bound(bounds.begin(), bounds.end(), call.duration);
  ++buckets_[static_cast<std::size_t>(at - bounds.begin())];
}

}  // namespace jov::analyzer::serve
