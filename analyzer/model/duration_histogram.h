// duration_histogram.h - the one quantile method of jovtrace: durations counted in log-linear
// buckets, from which every median and 95th percentile it prints comes (summary, tree, report,
// diff, follow).
//
// Bucketing: a duration below kExactBelow µs has a bucket of its own (exact). Above, its
// octave is given by its highest set bit and the next kSubBucketBits bits pick one of 64
// equal sub-buckets of that octave. A bucket reports its middle microsecond, which lies
// within half a sub-bucket of every value it holds: at most 1/128 (0.781 %) of the value, since
// an octave starts at 64 sub-buckets' width. Quantiles are nearest-rank (the ceil(q n)-th
// smallest value), and a reported value is clamped to the smallest and largest one added.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

class DurationHistogram {
 public:
  static constexpr int kSubBucketBits = 6;
  // Durations below this many microseconds are counted exactly.
  static constexpr Micros kExactBelow = Micros{2} << kSubBucketBits;
  // The largest error of a reported quantile, relative to the true value of its rank.
  static constexpr double kRelativeError = 1.0 / static_cast<double>(kExactBelow);

  // Counts one duration; a negative one counts as 0. O(1) with integer arithmetic; allocates
  // only when the duration falls in an octave not seen before. (Inline: it runs once per call
  // in every sink that counts figures.)
  void Add(Micros micros) {
    if (micros < 0) micros = 0;
    min_ = micros < min_ ? micros : min_;
    max_ = micros > max_ ? micros : max_;
    ++count_;
    const std::uint32_t bucket = BucketOf(micros);
    // Below first_ the difference wraps around to a large number: one test covers both ends.
    if (bucket - first_ >= counts_.size()) Cover(bucket);
    if (++counts_[bucket - first_] == 0) Carry(bucket);
  }
  // Adds everything `other` holds, as if its durations had been added here.
  void Merge(const DurationHistogram& other);
  std::uint64_t Count() const { return count_; }

  // The rank-th smallest duration (1-based, at most Count()) within kRelativeError; 0 when
  // empty.
  Micros AtRank(std::uint64_t rank) const;
  // Nearest-rank median (the ceil(n/2)-th value) and 95th percentile (the ceil(0.95 n)-th).
  Micros Median() const { return AtRank((count_ + 1) / 2); }
  Micros P95() const { return AtRank((95 * count_ + 99) / 100); }

  // The bucket of a duration: below kExactBelow the duration itself; above, one octave of
  // 2^kSubBucketBits buckets after the other, so the indices run on without a gap.
  static std::uint32_t BucketOf(Micros micros) {
    const auto value = static_cast<std::uint64_t>(micros);
    if (micros < kExactBelow) return static_cast<std::uint32_t>(value);
    const int shift = 63 - __builtin_clzll(value) - kSubBucketBits;
    return (static_cast<std::uint32_t>(shift + 1) << kSubBucketBits) |
           static_cast<std::uint32_t>((value >> shift) & ((1u << kSubBucketBits) - 1));
  }
  // The middle microsecond of a bucket (its lower one when the bucket is one or two wide).
  static Micros MiddleOf(std::uint32_t bucket);

 private:
  // Memory grows by whole octaves, from the lowest octave used to the highest.
  void Cover(std::uint32_t bucket);
  // A bucket's count wrapped around: its 2^16 go to carries_.
  void Carry(std::uint32_t bucket) { ++carries_[bucket]; }
  std::uint64_t CountOf(std::size_t index) const;

  std::uint64_t count_ = 0;
  Micros min_ = INT64_MAX;
  Micros max_ = 0;
  std::uint32_t first_ = 0;  // the bucket counts_[0] stands for
  // 16-bit counts: a quarter of the memory of 64-bit ones, so that a call's bucket is more
  // often in the cache (the reader adds one per call, and this is the one random access of
  // it). A count past 2^16 carries into carries_, once in 65,536 calls of that bucket.
  std::vector<std::uint16_t> counts_;
  std::map<std::uint32_t, std::uint64_t> carries_;  // bucket -> wraps of its count
};

}  // namespace jov::analyzer
