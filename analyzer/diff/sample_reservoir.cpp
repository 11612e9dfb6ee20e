// sample_reservoir.cpp - Li's Algorithm L with a splitmix64 generator: once the reservoir is
// full, the number of calls to pass over before the next one is kept is drawn at once
// (geometric), so a routine of millions of calls costs a counter compare per call, and a draw
// only for the few thousand calls that replace a kept one.
#include "analyzer/diff/sample_reservoir.h"

#include <cmath>

namespace jov::analyzer::diff {

std::uint64_t SampleReservoir::Next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

double SampleReservoir::Uniform() { return (static_cast<double>(Next() >> 11) + 0.5) * 0x1.0p-53; }

void SampleReservoir::Skip() {
  w_ *= std::exp(std::log(Uniform()) / static_cast<double>(kCapacity));
  const double gap = std::floor(std::log(Uniform()) / std::log1p(-w_));
  // A gap beyond any count of calls (w near 0) leaves the sample as it is.
  nextKept_ = gap < 1e18 ? seen_ + static_cast<std::uint64_t>(gap) : UINT64_MAX;
}

void SampleReservoir::Keep(std::uint64_t index, const CallSample& sample) {
  if (index < kCapacity) {
    samples_.push_back(sample);
    if (samples_.size() == kCapacity) {
      w_ = 1;
      Skip();
    }
    return;
  }
  samples_[Next() % kCapacity] = sample;
  Skip();
}

std::uint64_t ReservoirSeed(const char* data, std::size_t size) {
  std::uint64_t hash = 0xCBF29CE484222325ULL;  // FNV-1a
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= static_cast<unsigned char>(data[i]);
    hash *= 0x100000001B3ULL;
  }
  return hash ^ 20261207;
}

}  // namespace jov::analyzer::diff
