// quantile_sketch.cpp - logarithmic buckets: value v goes to bucket ceil(log_gamma v), and a
// bucket i reports 2 gamma^i / (gamma + 1), within kRelativeError of all it holds.
#include "analyzer/model/quantile_sketch.h"

#include <algorithm>
#include <cmath>

namespace jov::analyzer {
namespace {

constexpr double kGamma =
    (1 + QuantileSketch::kRelativeError) / (1 - QuantileSketch::kRelativeError);
const double kLogGamma = std::log(kGamma);

int BucketOf(std::int64_t micros) {
  return static_cast<int>(std::ceil(std::log(static_cast<double>(micros)) / kLogGamma));
}

}  // namespace

void QuantileSketch::Add(std::int64_t micros) {
  min_ = count_ == 0 ? micros : std::min(min_, micros);
  max_ = count_ == 0 ? micros : std::max(max_, micros);
  ++count_;
  if (micros < 1) {
    ++zeros_;
    return;
  }
  const int bucket = BucketOf(micros);
  if (counts_.empty()) {
    lowest_ = bucket;
    counts_.assign(1, 0);
  } else if (bucket < lowest_) {
    counts_.insert(counts_.begin(), static_cast<std::size_t>(lowest_ - bucket), 0);
    lowest_ = bucket;
  } else if (bucket >= lowest_ + static_cast<int>(counts_.size())) {
    counts_.resize(static_cast<std::size_t>(bucket - lowest_ + 1), 0);
  }
  ++counts_[static_cast<std::size_t>(bucket - lowest_)];
}

void QuantileSketch::Merge(const QuantileSketch& other) {
  if (other.count_ == 0) return;
  min_ = count_ == 0 ? other.min_ : std::min(min_, other.min_);
  max_ = count_ == 0 ? other.max_ : std::max(max_, other.max_);
  count_ += other.count_;
  zeros_ += other.zeros_;
  if (other.counts_.empty()) return;
  const int otherEnd = other.lowest_ + static_cast<int>(other.counts_.size());
  if (counts_.empty()) {
    lowest_ = other.lowest_;
    counts_.assign(other.counts_.size(), 0);
  }
  if (other.lowest_ < lowest_) {
    counts_.insert(counts_.begin(), static_cast<std::size_t>(lowest_ - other.lowest_), 0);
    lowest_ = other.lowest_;
  }
  if (otherEnd > lowest_ + static_cast<int>(counts_.size())) {
    counts_.resize(static_cast<std::size_t>(otherEnd - lowest_), 0);
  }
  for (std::size_t i = 0; i < other.counts_.size(); ++i) {
    counts_[static_cast<std::size_t>(other.lowest_ - lowest_) + i] += other.counts_[i];
  }
}

double QuantileSketch::Quantile(double q) const {
  if (count_ == 0) return 0;
  return std::clamp(BucketValue(q), static_cast<double>(std::max<std::int64_t>(min_, 0)),
                    static_cast<double>(std::max<std::int64_t>(max_, 0)));
}

double QuantileSketch::BucketValue(double q) const {
  // The rank of the value asked for, 0-based, as the nearest-rank method takes it.
  const double wanted = q <= 0 ? 0 : std::ceil(q * static_cast<double>(count_)) - 1;
  const auto rank = static_cast<std::uint64_t>(wanted < 0 ? 0 : wanted);
  if (rank < zeros_) return 0;
  std::uint64_t seen = zeros_;
  for (std::size_t i = 0; i < counts_.size(); ++i) {
    seen += counts_[i];
    if (seen > rank) {
      return 2 * std::pow(kGamma, lowest_ + static_cast<int>(i)) / (kGamma + 1);
    }
  }
  return 2 * std::pow(kGamma, lowest_ + static_cast<int>(counts_.size()) - 1) / (kGamma + 1);
}

}  // namespace jov::analyzer
