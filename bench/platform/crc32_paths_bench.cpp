// crc32_paths_bench.cpp - the throughput of each CRC-32 path this host can run, beside the
// host's zlib, on the buffers of the DLL's own CRC rows. The paths are the DLL's sources
// compiled natively, so a host with all three folding widths shows each as the processors
// that have only that width run it.
//
//   crc32_paths_bench [rounds]      (200 by default; each figure is the best round)
//
// A round is short (4 MiB of CRC), so on a loaded machine some rounds still run unpreempted.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench/crc_buffers.h"
#include "platform/crc32_internal.h"

namespace {

using jov::platform::CrcPath;

constexpr double kRoundBytes = 4 << 20;

// Nanoseconds per call of `body`, timed over `iterations` calls.
template <typename Body>
double NanosecondsPerCall(Body&& body, long iterations) {
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < iterations; ++i) body();
  const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count() / static_cast<double>(iterations);
}

// Keeps the compiler from dropping a computed value.
void KeepAlive(unsigned long value) { asm volatile("" : : "g"(value) : "memory"); }

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
  std::printf("%-12s %-11s %12s %12s %8s\n", "path", "row", "ours GB/s", "zlib GB/s", "speedup");
  for (CrcPath path : jov::platform::kCrcPaths) {
    if (!jov::platform::CrcPathSupported(path)) {
      std::printf("%-12s (not supported here)\n", jov::platform::CrcPathName(path));
      continue;
    }
    for (const jov::bench::CrcCase& c : {jov::bench::kCrc4KiB, jov::bench::kCrc1MiB}) {
      const std::vector<unsigned char> data = jov::bench::CrcBuffer(c.size);
      auto ours = [&] { KeepAlive(jov::platform::CrcByPath(path, ~0u, data.data(), c.size)); };
      auto zlib = [&] { KeepAlive(crc32(0, data.data(), static_cast<uInt>(c.size))); };
      if ((jov::platform::CrcByPath(path, ~0u, data.data(), c.size) ^ ~0u) !=
          crc32(0, data.data(), static_cast<uInt>(c.size))) {
        std::printf("%s: CRC differs from zlib's over %lu bytes\n",
                    jov::platform::CrcPathName(path), c.size);
        return 1;
      }
      // Rounds of both alternate and each keeps its best, so a drift of the shared machine's
      // load favours neither side.
      const long calls = static_cast<long>(kRoundBytes / c.size);
      double oursNs = 1e300, zlibNs = 1e300;
      for (int round = 0; round < rounds; ++round) {
        oursNs = std::min(oursNs, NanosecondsPerCall(ours, calls));
        zlibNs = std::min(zlibNs, NanosecondsPerCall(zlib, calls));
      }
      std::printf("%-12s %-11s %12.2f %12.2f %8.2f\n", jov::platform::CrcPathName(path), c.row,
                  c.size / oursNs, c.size / zlibNs, zlibNs / oursNs);
    }
  }
  return 0;
}
