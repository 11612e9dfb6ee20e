// counter_series.h - the samples of one memory counter of a trace: every sample while they
// are few, and always their least, greatest and last value per bin of time, in bins whose
// width doubles as the trace grows (so a long trace keeps a bounded number).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

class JsonOut;

class CounterSeries {
 public:
  // Samples kept exactly at most; past it only the bins are written.
  static constexpr std::size_t kMaxExact = 20000;
  // Bins a series spans at most.
  static constexpr std::int64_t kMaxSpan = std::int64_t{1} << 14;

  struct Bin {
    std::int64_t index = 0;
    std::int64_t min = 0;
    std::int64_t max = 0;
    std::int64_t last = 0;
  };

  // A sample at `time` (relative to the trace's base, never before an earlier sample's).
  void Add(Micros time, std::int64_t value);

  bool Empty() const { return samples_ == 0; }
  bool Exact() const { return samples_ <= kMaxExact; }
  const std::vector<std::pair<Micros, std::int64_t>>& Samples() const { return exact_; }
  const std::vector<Bin>& Bins() const { return bins_; }
  Micros Width() const { return width_; }

  // The series' members of the report's data: {"kind": ...} is the caller's.
  void Write(JsonOut& json) const;

 private:
  void Widen();

  std::uint64_t samples_ = 0;
  std::vector<std::pair<Micros, std::int64_t>> exact_;
  Micros width_ = 1;
  std::vector<Bin> bins_;
};

}  // namespace jov::analyzer
