// crc_bench.cpp - CRC-32 throughput of JOV_CRCCompute beside zlib's crc32 on the same
// buffers, in GB/s.
#include <zlib.h>

#include <cstdio>
#include <vector>

#include <JOVUtil.h>

#include "bench_harness.h"

namespace {

jov::bench::Row CrcRow(unsigned long size, long iterations) {
  std::vector<unsigned char> data(size);
  unsigned seed = 12345;
  for (auto& b : data) b = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 16);

  // Same bytes, same standard form (initial all ones, final inversion) on both sides.
  unsigned long ours = JOV_CRCCompute(0xFFFFFFFFul, data.data(), size) ^ 0xFFFFFFFFul;
  unsigned long peer = crc32(0, data.data(), size);
  if (ours != peer)
    std::printf("warning: CRC mismatch over %lu bytes: ours %08lx, zlib %08lx\n", size, ours, peer);

  double oursNs = jov::bench::NanosecondsPerCall(
      [&] {
        unsigned long crc = JOV_CRCCompute(0xFFFFFFFFul, data.data(), size);
        jov::bench::KeepAlive(crc);
      },
      iterations);
  double peerNs = jov::bench::NanosecondsPerCall(
      [&] {
        unsigned long crc = crc32(0, data.data(), size);
        jov::bench::KeepAlive(crc);
      },
      iterations);

  jov::bench::Row row;
  row.ours = size / oursNs;  // bytes per nanosecond is GB/s
  row.peer = size / peerNs;
  row.unit = "GB/s";
  row.higherIsBetter = true;
  row.peerName = "zlib crc32";
  return row;
}

}  // namespace

JOV_BENCH_ROW(crc32_4KiB) { return CrcRow(4096, 20000); }

JOV_BENCH_ROW(crc32_1MiB) { return CrcRow(1ul << 20, 100); }
