// sample_reservoir.cpp - Algorithm R with a splitmix64 generator: the i-th value (from 0)
// replaces a kept one with probability kCapacity / (i + 1).
#include "analyzer/diff/sample_reservoir.h"

namespace jov::analyzer::diff {

std::uint64_t SampleReservoir::Next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

void SampleReservoir::Add(std::int64_t value) {
  const std::uint64_t index = seen_++;
  if (samples_.size() < kCapacity) {
    samples_.push_back(value);
    return;
  }
  // A 64-bit draw reduced by a modulo: its bias is below 2^-40 for any count of calls here.
  const std::uint64_t slot = Next() % (index + 1);
  if (slot < kCapacity) samples_[slot] = value;
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
