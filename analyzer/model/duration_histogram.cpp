// duration_histogram.cpp - the log-linear buckets of the durations (duration_histogram.h):
// the memory of the octaves used, merging, and a rank's value from its bucket's middle.
#include "analyzer/model/duration_histogram.h"

#include <algorithm>

namespace jov::analyzer {
namespace {

constexpr int kBits = DurationHistogram::kSubBucketBits;
constexpr std::uint32_t kPerOctave = 1u << kBits;

}  // namespace

Micros DurationHistogram::MiddleOf(std::uint32_t bucket) {
  if (bucket < DurationHistogram::kExactBelow) return bucket;
  const int shift = static_cast<int>(bucket >> kBits) - 1;
  const std::uint64_t low = static_cast<std::uint64_t>(kPerOctave + (bucket & (kPerOctave - 1)))
                            << shift;
  return static_cast<Micros>(low + ((std::uint64_t{1} << shift) - 1) / 2);
}

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

void DurationHistogram::Merge(const DurationHistogram& other) {
  if (other.count_ == 0) return;
  count_ += other.count_;
  min_ = std::min(min_, other.min_);
  max_ = std::max(max_, other.max_);
  Cover(other.first_);
  Cover(other.first_ + static_cast<std::uint32_t>(other.counts_.size()) - 1);
  for (std::size_t i = 0; i < other.counts_.size(); ++i) {
    std::uint16_t& count = counts_[other.first_ - first_ + i];
    const std::uint32_t sum = std::uint32_t{count} + other.counts_[i];
    count = static_cast<std::uint16_t>(sum);
    if (sum > 0xFFFF) Carry(other.first_ + static_cast<std::uint32_t>(i));
  }
  for (const auto& [bucket, wraps] : other.carries_) carries_[bucket] += wraps;
}

std::uint64_t DurationHistogram::CountOf(std::size_t index) const {
  std::uint64_t count = counts_[index];
  if (!carries_.empty()) {
    const auto carried = carries_.find(first_ + static_cast<std::uint32_t>(index));
    if (carried != carries_.end()) count += carried->second << 16;
  }
  return count;
}

Micros DurationHistogram::AtRank(std::uint64_t rank) const {
  if (count_ == 0) return 0;
  std::uint64_t seen = 0;
  for (std::size_t i = 0; i < counts_.size(); ++i) {
    seen += CountOf(i);
    if (seen >= rank) {
      return std::clamp(MiddleOf(first_ + static_cast<std::uint32_t>(i)), min_, max_);
    }
  }
  return max_;
}

}  // namespace jov::analyzer
