// sample_reservoir.h - a uniform sample of a routine's calls in bounded memory (reservoir
// sampling), drawn from a seeded generator so that a reading gives the same sample every time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jov::analyzer::diff {

// What is kept of a call: its duration and its self time, in microseconds.
struct CallSample {
  std::int64_t duration = 0;
  std::int64_t self = 0;
};

class SampleReservoir {
 public:
  // Calls kept per routine and side; a routine with more calls keeps a uniform sample of them.
  static constexpr std::size_t kCapacity = 4096;

  explicit SampleReservoir(std::uint64_t seed) : state_(seed) {}
  // Inline: once the reservoir is full, most calls cost this compare alone.
  void Add(const CallSample& sample) {
    const std::uint64_t index = seen_++;
    if (index >= kCapacity && index != nextKept_) return;
    Keep(index, sample);
  }
  // The kept calls in the order they were kept (not sorted).
  const std::vector<CallSample>& Samples() const { return samples_; }
  std::uint64_t Seen() const { return seen_; }

 private:
  void Keep(std::uint64_t index, const CallSample& sample);
  std::uint64_t Next();
  double Uniform();  // in (0, 1)
  void Skip();

  std::uint64_t state_;
  std::uint64_t seen_ = 0;
  std::uint64_t nextKept_ = 0;  // index of the next call to keep once the reservoir is full
  double w_ = 0;
  std::vector<CallSample> samples_;
};

// A seed for the reservoir of a routine: the same name gives the same seed on both sides, so
// that two equal readings keep equal samples.
std::uint64_t ReservoirSeed(const char* data, std::size_t size);

}  // namespace jov::analyzer::diff
