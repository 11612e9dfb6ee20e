// duration_histogram.cpp - the log-linear buckets of the durations (duration_histogram.h):
// a bucket's index from a duration's highest set bit and the bits after it, and back.
#include "analyzer/model/duration_histogram.h"

#include <algorithm>

namespace jov::analyzer {
namespace {

constexpr int kBits = DurationHistogram::kSubBucketBits;
constexpr std::uint32_t kPerOctave = 1u << kBits;

// Buckets below kExactBelow are the durations themselves; above, an octave of kPerOctave
// buckets follows the other, so the indices run on without a gap.
std::uint32_t BucketOf(Micros micros) {
  const auto value = static_cast<std::uint64_t>(micros);
  if (micros < DurationHistogram::kExactBelow) return static_cast<std::uint32_t>(value);
  const int shift = 63 - __builtin_clzll(value) - kBits;
  return (static_cast<std::uint32_t>(shift + 1) << kBits) |
         static_cast<std::uint32_t>((value >> shift) & (kPerOctave - 1));
}

// The middle microsecond of a bucket (its lower one when the bucket is one or two wide).
Micros MiddleOf(std::uint32_t bucket) {
  if (bucket < DurationHistogram::kExactBelow) return bucket;
  const int shift = static_cast<int>(bucket >> kBits) - 1;
  const std::uint64_t low = static_cast<std::uint64_t>(kPerOctave + (bucket & (kPerOctave - 1)))
                            << shift;
  return static_cast<Micros>(low + ((std::uint64_t{1} << shift) - 1) / 2);
}

}  // namespace

void DurationHistogram::Cover(std::uint32_t bucket) {
  const std::uint32_t from = bucket & ~(kPerOctave - 1);
  if (counts_.empty()) {
    first_ = from;
    counts_.assign(kPerOctave, 0);
    return;
  }
  if (from < first_) {
    counts_.insert(counts_.begin(), first_ - from, 0);
    first_ = from;
  }
  const std::size_t end = from + kPerOctave - first_;
  if (end > counts_.size()) counts_.resize(end, 0);
}

void DurationHistogram::Add(Micros micros) {
  if (micros < 0) micros = 0;
  min_ = std::min(min_, micros);
  max_ = std::max(max_, micros);
  ++count_;
  const std::uint32_t bucket = BucketOf(micros);
  // Below first_ the difference wraps around to a large number: one test covers both ends.
  if (bucket - first_ >= counts_.size()) Cover(bucket);
  ++counts_[bucket - first_];
}

void DurationHistogram::Merge(const DurationHistogram& other) {
  if (other.count_ == 0) return;
  count_ += other.count_;
  min_ = std::min(min_, other.min_);
  max_ = std::max(max_, other.max_);
  Cover(other.first_);
  Cover(other.first_ + static_cast<std::uint32_t>(other.counts_.size()) - 1);
  for (std::size_t i = 0; i < other.counts_.size(); ++i)
    counts_[other.first_ - first_ + i] += other.counts_[i];
}

Micros DurationHistogram::AtRank(std::uint64_t rank) const {
  if (count_ == 0) return 0;
  std::uint64_t seen = 0;
  for (std::size_t i = 0; i < counts_.size(); ++i) {
    seen += counts_[i];
    if (seen >= rank) {
      return std::clamp(MiddleOf(first_ + static_cast<std::uint32_t>(i)), min_, max_);
    }
  }
  return max_;
}

}  // namespace jov::analyzer
