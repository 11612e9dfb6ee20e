// quantile_sketch.h - percentiles of durations in bounded memory: counts in buckets whose
// bounds grow by a fixed ratio, so that any value a bucket stands for is within 1 % of
// every value it holds (the relative-error guarantee of a logarithmic sketch).
#pragma once

#include <cstdint>
#include <vector>

namespace jov::analyzer {

class QuantileSketch {
 public:
  // Relative error of a reported quantile against the true value of that rank.
  static constexpr double kRelativeError = 0.01;

  void Add(std::int64_t micros);
  // The value at quantile q (0..1), in microseconds, never outside the smallest and largest
  // value added; 0 for an empty sketch.
  double Quantile(double q) const;
  std::uint64_t Count() const { return count_; }
  // Adds everything `other` holds, as if its values had been added here.
  void Merge(const QuantileSketch& other);

 private:
  double BucketValue(double q) const;

  // Buckets span 1 µs .. 2^63 µs at gamma = 1.0202: under 2200 of them; only the range
  // between the smallest and largest bucket used is kept.
  std::uint64_t count_ = 0;
  std::uint64_t zeros_ = 0;  // values below 1 µs
  std::int64_t min_ = 0;
  std::int64_t max_ = 0;
  int lowest_ = 0;  // index of counts_[0]
  std::vector<std::uint32_t> counts_;
};

}  // namespace jov::analyzer
