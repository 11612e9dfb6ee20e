// routine_series.h - one routine's series for the metrics: the summary's per-routine figures
// (calls, errors, self time: the same aggregate, so the counters equal `jovtrace summary`'s)
// and the counts of the duration histogram's buckets.
#pragma once

#include <cstdint>
#include <vector>

#include "analyzer/model/trace_model.h"
#include "analyzer/model/routine_figures.h"

namespace jov::analyzer::serve {

// The histogram's upper bounds in microseconds, ascending; the +Inf bucket is implied.
using BucketBounds = std::vector<Micros>;

class RoutineSeries {
 public:
  explicit RoutineSeries(const BucketBounds& bounds) : buckets_(bounds.size() + 1, 0) {}

  void Add(const Call& call, const BucketBounds& bounds);

  std::uint64_t Calls() const { return figures_.calls; }
  std::uint64_t Errors() const { return figures_.errors; }
  Micros Self() const { return figures_.self; }
  Micros Total() const { return figures_.total; }
  // Calls per bucket (not cumulative), the last one past every bound.
  const std::vector<std::uint64_t>& Buckets() const { return buckets_; }

 private:
  RoutineFigures figures_;
  std::vector<std::uint64_t> buckets_;
};

}  // namespace jov::analyzer::serve
