// sample_reservoir.h - a uniform sample of a routine's call durations in bounded memory
// (reservoir sampling), drawn from a seeded generator so that a reading gives the same sample
// every time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jov::analyzer::diff {

class SampleReservoir {
 public:
  // Calls kept per routine and side; a routine with more calls keeps a uniform sample of them.
  static constexpr std::size_t kCapacity = 4096;

  explicit SampleReservoir(std::uint64_t seed) : state_(seed) {}
  void Add(std::int64_t value);
  // The kept values in the order they were kept (not sorted).
  const std::vector<std::int64_t>& Samples() const { return samples_; }
  std::uint64_t Seen() const { return seen_; }

 private:
  std::uint64_t Next();

  std::uint64_t state_;
  std::uint64_t seen_ = 0;
  std::vector<std::int64_t> samples_;
};

// A seed for the reservoir of a routine: the same name gives the same seed on both sides, so
// that two equal readings keep equal samples.
std::uint64_t ReservoirSeed(const char* data, std::size_t size);

}  // namespace jov::analyzer::diff
