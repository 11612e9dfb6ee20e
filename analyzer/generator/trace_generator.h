// trace_generator.h - writes a large trace in the library's exact format: a nightly-batch
// workload of nested routines with return codes, texts, two threads and memory lines (the
// benchmarks' workload, and the tests' trace of many calls).
#pragma once

#include <cstdint>
#include <cstdio>

namespace jov::generator {

struct Generated {
  std::uint64_t bytes = 0;
  std::uint64_t lines = 0;
  std::uint64_t pops = 0;
};

// Writes at least `bytes` bytes of trace to `out` (whole lines; ends with "Trace Closed.").
Generated WriteTrace(std::FILE* out, std::uint64_t bytes, std::uint32_t seed);

}  // namespace jov::generator
