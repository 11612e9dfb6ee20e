// tracegen_main.cpp - writes the benchmark's generated trace to a file, for benchmarks that
// drive jovtrace from a script (report_bench.py).
//
// Usage: jovtrace_tracegen FILE SIZE_MB [SEED]
#include <cstdio>
#include <cstdlib>

#include "analyzer/generator/trace_generator.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: jovtrace_tracegen FILE SIZE_MB [SEED]\n");
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "%s: cannot write the file\n", argv[1]);
    return 2;
  }
  const std::uint64_t bytes = std::strtoull(argv[2], nullptr, 10) << 20;
  const auto seed =
      static_cast<std::uint32_t>(argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 20261203);
  const jov::generator::Generated generated = jov::generator::WriteTrace(out, bytes, seed);
  if (std::fclose(out) != 0) return 2;
  std::printf("%llu bytes, %llu lines, %llu Pop lines\n",
              static_cast<unsigned long long>(generated.bytes),
              static_cast<unsigned long long>(generated.lines),
              static_cast<unsigned long long>(generated.pops));
  return 0;
}
